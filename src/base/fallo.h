// Failures below the programs. Nothing under src/ but a program ends the
// process: a failure is thrown as one Fallo where it is found, and caught
// either by the engine's public call (clearing/motor.h), which hands it back
// as a value, or at a program's edge, which maps it to its message and exit
// status (run/mensajes.h).
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

enum class Error : unsigned char {
  sinMemoria,     // an allocation failed, or the system has no room for the run
  entrada,        // input.txt cannot be opened
  lectura,        // reading input.txt failed
  formato,        // input.txt holds no valid number where one is due
  salida,         // output.txt cannot be opened
  escritura,      // writing output.txt failed
  indeterminado,  // a round's system has no usable pivot in some column
  noConverge      // the rounds ran out without a clearing vector
};

enum class Salto : unsigned char { con, sin };  // whether CR LF follows the message

// Copyable without throwing (an exception object must be): the detail of a
// format error lives in a fixed array.
struct Fallo {
  Error error = Error::sinMemoria;
  Salto salto = Salto::con;
  std::array<char, 240> detalle{};  // a format error's text after the common prefix
  std::size_t largo = 0;

  std::string_view textoDetalle() const { return {detalle.data(), largo}; }
};

// Throws a Fallo of this kind.
[[noreturn]] void lanzaFallo(Error error, Salto salto = Salto::con);

// Throws fallo again: an error value handed back by the engine, where the
// caller's own edge is the place to act on it.
[[noreturn]] void relanza(const Fallo& fallo);

// A byte as every message of every program shows it: itself when it is
// printable ASCII other than the backslash, otherwise \xHH. Bytes from a file
// must not reach a terminal raw. Writes 1 or 4 chars into escrito and
// returns how many.
std::size_t escapaByte(char c, std::array<char, 4>& escrito);

// The input's token (cut to 32 bytes) is not a valid `donde` (dim, L[i][j],
// e[i]): a format error. Its bytes are shown as escapaByte shows them.
[[noreturn]] void lanzaDatoIncorrecto(std::string_view token, std::string_view donde);

// The input ended before `donde`: a format error.
[[noreturn]] void lanzaFaltaDato(std::string_view donde);
