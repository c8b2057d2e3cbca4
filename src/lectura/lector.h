// Reading "input.txt" as whitespace-separated tokens from a buffered stream,
// a refill at a time, with read errors reported. Memory stays bounded whatever
// the file holds: a token longer than the refill is reduced as it arrives
// (largo.h). A token's text is read by the conversions of numeros.h; a
// refill's whole numbers can be converted at once (reales.h).
#pragma once

#include <cstddef>
#include <cstdio>
#include <exception>
#include <string_view>
#include <vector>

#include "base/fallo.h"
#include "lectura/largo.h"
#include "lectura/numeros.h"

inline constexpr std::size_t kBytesPorRecarga = std::size_t{1} << 16;  // bytes per refill
// A large input's refill: fewer reads, and enough numbers per refill to convert
// them on every core.
inline constexpr std::size_t kRecargaGrande = std::size_t{1} << 20;
// A UTF-8 byte-order mark, skipped at the very start.
inline constexpr std::string_view kMarcaDeOrden = "\xEF\xBB\xBF";

struct Lector {
  std::FILE* archivo = nullptr;
  std::vector<char> bufer;  // kBytesPorRecarga bytes, off the caller's stack
  std::size_t pos = 0;      // next byte to look at
  std::size_t fin = 0;      // bytes held in bufer
  bool agotado = false;     // no more bytes after bufer
  bool saltaResto = false;  // the last token was cut short: skip its remaining bytes first
  TokenLargo largo;
  std::vector<double> reales;  // what leeReales hands over
};

struct Token {
  // The token's bytes; for one that spans refills, an equivalent text: the
  // same value, accepted or rejected alike by esRealValido and esEnteroValido.
  std::string_view texto;
  std::string_view muestra;  // its first kMuestra bytes, as a message shows them
};

// Opens nombre for reading and reads its first refill (skipping a UTF-8
// byte-order mark). False when the file cannot be opened or read, as with a
// directory; nothing is left open then.
bool abreLector(Lector& lector, const char* nombre);

// The next maximal run of non-whitespace bytes; texto is empty at the end of
// the input. The views stay valid until the next call. A token that is
// invalid for good is read only as far as its sample goes. A read error throws
// Error::lectura: what was read so far is not the end of the data.
Token siguienteToken(Lector& lector);

// Closes the file and gives back the buffers.
void cierraLector(Lector& lector);

// Makes the refills `bytes` long (what the buffer holds is kept); memory
// exhausted throws Error::sinMemoria.
void ampliaLector(Lector& lector, std::size_t bytes);

// Sizes one of the reader's containers (bytes, values, a copy of a token);
// memory exhausted throws Error::sinMemoria.
template <typename Contenedor>
void ajustaOLanza(Contenedor& contenedor, std::size_t n) {
  try {
    contenedor.resize(n);
  } catch (const std::exception&) {
    lanzaFallo(Error::sinMemoria);
  }
}
