// Number formatting. std::to_chars with a precision is specified to give
// exactly printf's text in the C locale, and it is fast; only the exponent
// width and the padding are ours.
#include "report/formato.h"

#include <charconv>
#include <cmath>
#include <algorithm>
#include <cstring>

namespace {

// Widens the exponent of the text [ini, fin) to at least three digits;
// returns the new end.
char* ensanchaExponente(const char* ini, char* fin) {
  // The exponent, when there is one, is within the last five characters.
  char* e = fin;
  while (e > ini && fin - e < 6 && *(e - 1) != 'e') --e;
  if (e == ini || *(e - 1) != 'e') return fin;
  char* cifras = e + 1;  // past 'e' and the sign
  const std::ptrdiff_t faltan = 3 - (fin - cifras);
  if (faltan <= 0) return fin;
  std::memmove(cifras + faltan, cifras, static_cast<std::size_t>(fin - cifras));
  std::memset(cifras, '0', static_cast<std::size_t>(faltan));
  return fin + faltan;
}

// Pads the text [dst, fin) with blanks to ancho, then adds the format's blank.
// Eight blanks are stored at once (widths are at most 7 and dst has room for
// kMaxNumero bytes); the end then moves to where the field ends.
char* rellena(char* dst, char* fin, int ancho) {
  std::fill_n(fin, 8, ' ');
  const std::ptrdiff_t largo = fin - dst;
  return dst + (largo < ancho ? ancho : largo) + 1;
}

// A NaN's sign bit is whatever the processor's arithmetic left there (x86 and
// ARM make the default NaN with opposite signs), so every NaN is written "nan".
char* escribeNan(char* dst, int ancho) {
  return rellena(dst, std::copy_n("nan", 3, dst), ancho);
}

}  // namespace

char* formatoG(char* dst, double v, int ancho, int precision) {
  if (std::isnan(v)) return escribeNan(dst, ancho);
  if (v == 0.0) {  // most values of a sparse network: "0" or "-0" at any precision
    char* fin = dst;
    if (std::signbit(v)) *fin++ = '-';
    *fin++ = '0';
    return rellena(dst, fin, ancho);
  }
  char* fin = std::to_chars(dst, dst + kMaxNumero, v, std::chars_format::general, precision).ptr;
  return rellena(dst, ensanchaExponente(dst, fin), ancho);
}

char* formatoE(char* dst, double v, int ancho, int precision) {
  if (std::isnan(v)) return escribeNan(dst, ancho);
  char* fin = std::to_chars(dst, dst + kMaxNumero, v, std::chars_format::scientific, precision).ptr;
  return rellena(dst, ensanchaExponente(dst, fin), ancho);
}

char* formatoEntero(char* dst, std::int32_t v, int ancho) {
  return rellena(dst, std::to_chars(dst, dst + kMaxNumero, v).ptr, ancho);
}

char* formatoReal(char* dst, double v, FormatoReal f) {
  return f.exponente ? formatoE(dst, v, f.ancho, f.precision)
                     : formatoG(dst, v, f.ancho, f.precision);
}
