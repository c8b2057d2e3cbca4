// Reading "input.txt": whitespace-separated tokens from a buffered stream and
// their strict conversion to the integer dim and to finite doubles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

struct Lector {
  std::FILE* archivo = nullptr;
  char bufer[1 << 16];
  std::size_t pos = 0;      // next byte to look at
  std::size_t fin = 0;      // bytes held in bufer
  bool agotado = false;     // no more bytes after bufer
  std::string largo;        // a token that spans refills of bufer
};

// Opens nombre for reading and reads its first block (skipping a UTF-8
// byte-order mark). False when the file cannot be opened or read, as with a
// directory; nothing is left open then.
bool abreLector(Lector& lector, const char* nombre);

// The next maximal run of non-whitespace bytes; empty at the end of the input.
// The view stays valid until the next call.
std::string_view siguienteToken(Lector& lector);

void cierraLector(Lector& lector);

// An optional sign and decimal digits that fit 32 bits.
bool esEnteroValido(std::string_view s, std::int32_t& valor);

// Optional sign, digits with at most one decimal point (at least one digit),
// optional exponent (e or E, optional sign, digits); correctly rounded, finite.
// Underflow is fine; overflow, nan, inf and hexadecimal forms are not.
bool esRealValido(std::string_view s, double& valor);
