// The token grammar of input.txt, written once: blanks separate tokens, and a
// number is [+-]? (d+ (. d*)? | . d+) ([eE] [+-]? d+)?, taken a byte at a
// time by siguienteParte. The strict conversions of a token to dim and to a
// finite double stand on it; so does the long-token reducer (largo.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// The blanks scanf skips in the C locale.
constexpr bool esBlanco(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

constexpr bool esDigito(char c) {
  return c >= '0' && c <= '9';
}

// The first non-blank of bytes at or after i, or fin.
inline std::size_t noBlancoDesde(const char* bytes, std::size_t i, std::size_t fin) {
  while (i < fin && esBlanco(bytes[i])) ++i;
  return i;
}

// The first blank of bytes at or after i, or fin.
inline std::size_t blancoDesde(const char* bytes, std::size_t i, std::size_t fin) {
  while (i < fin && !esBlanco(bytes[i])) ++i;
  return i;
}

// Where a token's bytes so far stand in the number grammar.
enum class Parte : unsigned char {
  inicio,     // nothing yet
  signo,      // a sign
  entera,     // integer digits
  punto,      // digits and a point
  puntoSolo,  // a point with no digit before it
  fraccion,   // fraction digits
  marcaExp,   // e or E
  signoExp,   // the exponent's sign
  exponente,  // exponent digits
  invalida    // no byte after this makes a number
};

// The grammar's one step: where byte c takes a token that stood at parte.
constexpr Parte siguienteParte(Parte parte, char c) {
  const bool cifra = esDigito(c);
  const bool signo = c == '+' || c == '-';
  const bool marca = c == 'e' || c == 'E';
  switch (parte) {
    case Parte::inicio:
      if (signo) return Parte::signo;
      [[fallthrough]];
    case Parte::signo:
      return cifra ? Parte::entera : c == '.' ? Parte::puntoSolo : Parte::invalida;
    case Parte::entera:
      return cifra      ? Parte::entera
             : c == '.' ? Parte::punto
             : marca    ? Parte::marcaExp
                        : Parte::invalida;
    case Parte::punto:
    case Parte::fraccion:
      return cifra ? Parte::fraccion : marca ? Parte::marcaExp : Parte::invalida;
    case Parte::puntoSolo:
      return cifra ? Parte::fraccion : Parte::invalida;
    case Parte::marcaExp:
      if (signo) return Parte::signoExp;
      [[fallthrough]];
    case Parte::signoExp:
    case Parte::exponente:
      return cifra ? Parte::exponente : Parte::invalida;
    case Parte::invalida:
      break;
  }
  return Parte::invalida;
}

// Whether a token that ends at parte is a number.
constexpr bool esNumeroCompleto(Parte parte) {
  return parte == Parte::entera || parte == Parte::punto || parte == Parte::fraccion ||
         parte == Parte::exponente;
}

enum class Conversion { valida, invalida, fueraDeRango };

// The conversion of a number token without the second try that an
// out-of-range result needs (it allocates): that result is only reported.
Conversion convierteReal(std::string_view s, double& valor);

// The second try, on a number that a blank or a NUL ends in memory: false
// when it is too large, its value (0 or a subnormal) when it is too small.
bool convierteFueraDeRango(const char* texto, double& valor);

// An optional sign and decimal digits that fit 32 bits.
bool esEnteroValido(std::string_view s, std::int32_t& valor);

// A number of the grammar, correctly rounded and finite. Underflow is fine;
// overflow, nan, inf and hexadecimal forms are not. Memory exhausted on the
// second try throws Error::sinMemoria.
bool esRealValido(std::string_view s, double& valor);
