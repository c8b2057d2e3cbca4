// Number formatting. std::to_chars with a precision is specified to give
// exactly printf's text in the C locale; only the exponent width and the
// padding are ours. The report's matrices, millions of "%g" values of two or
// three digits, take a faster way to the same digits first.
#include "report/formato.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
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

// Powers of ten that doubles hold exactly.
constexpr double kPotencias[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxPotencia = 22;
constexpr int kMaxPrecisionRapida = 4;
// The margin around a tie, in units of the last digit kept. y below is a·10^s
// rounded once and below 10^4, so within 10^4·2⁻⁵³ ≈ 1.1e-12 of the exact
// product; when y's fraction lies within 1e-9 of one half, the side of the
// tie is settled exactly (ladoDelEmpate), and farther from it the rounding of
// y cannot have crossed the half. The margin is about a thousand times that
// error; only values this close to a tie pay for the exact test.
constexpr double kMargenEmpate = 1e-9;

// hi + lo = x·y exactly (Dekker's product: the build fuses no multiply-add).
void productoExacto(double x, double y, double& hi, double& lo) {
  constexpr double kCorte = 134217729.0;  // 2^27 + 1 splits a double in halves
  hi = x * y;
  const double cx = kCorte * x;
  const double xa = cx - (cx - x);
  const double xb = x - xa;
  const double cy = kCorte * y;
  const double ya = cy - (cy - y);
  const double yb = y - ya;
  lo = ((xa * ya - hi) + xa * yb + xb * ya) + xb * yb;
}

// The sign of a·10^s − medio, exactly (medio is y's nearby half-integer). The
// products are exact, and each difference is of doubles within a factor of
// two of each other, so exact too, until the last, whose rounding keeps the sign.
int ladoDelEmpate(double a, int s, double medio) {
  double hi = 0.0;
  double lo = 0.0;
  double diferencia = 0.0;
  if (s >= 0) {  // a·10^s − medio = (hi − medio) + lo
    productoExacto(a, kPotencias[s], hi, lo);
    diferencia = (hi - medio) + lo;
  } else {  // sign of a − medio·10^−s = (a − hi) − lo
    productoExacto(medio, kPotencias[-s], hi, lo);
    diferencia = (a - hi) - lo;
  }
  return (diferencia > 0) - (diferencia < 0);
}

// a·10^s with one rounding; |s| ≤ kMaxPotencia.
double escala(double a, int s) {
  return s >= 0 ? a * kPotencias[s] : a / kPotencias[-s];
}

// floor(e·log10 2) for |e| < 1650, in integers.
int suelo10DePotencia2(int e) {
  return (e * 78913) >> 18;
}

// a > 0, finite, rounded to `precision` significant digits as printf rounds
// (to nearest, ties to even), as cifras·10^(exponente − precision + 1) with
// cifras of exactly `precision` digits; false when a is too large or too
// small for one exact power of ten to scale it.
bool cifrasRapidas(double a, int precision, std::int64_t& cifras, int& exponente) {
  const auto campo = static_cast<int>((std::bit_cast<std::uint64_t>(a) >> 52) & 0x7FF);
  if (campo == 0) return false;  // subnormal: far below any exact scale
  // a in [2^e, 2^(e+1)): floor(log10 a) is k or k + 1.
  int k = suelo10DePotencia2(campo - 1023);
  int s = precision - 1 - k;
  if (s < -kMaxPotencia || s > kMaxPotencia) return false;
  const double tope = kPotencias[precision];
  double y = escala(a, s);
  if (y >= tope) {
    if (--s < -kMaxPotencia) return false;
    ++k;
    y = escala(a, s);
  }
  const auto entera = static_cast<std::int64_t>(y);      // y ≥ 0: truncation is floor
  const double resto = y - static_cast<double>(entera);  // exact: y < 2^52
  int lado = resto > 0.5 ? 1 : -1;
  if (std::fabs(resto - 0.5) < kMargenEmpate)
    lado = ladoDelEmpate(a, s, static_cast<double>(entera) + 0.5);
  cifras = entera + (lado > 0 || (lado == 0 && entera % 2 == 1) ? 1 : 0);
  if (cifras == static_cast<std::int64_t>(tope)) {  // 999.6 → 1000: one more digit before the point
    cifras /= 10;
    ++k;
  }
  exponente = k;
  return true;
}

// The `precision` digits of cifras, first digit first, in c, which is
// stored as one word: copiaCifras's loads of four bytes are then served from
// that store, where bytes stored one at a time made each load wait for them.
using Cifras = char[2 * kMaxPrecisionRapida];
void enCifras(std::int64_t cifras, int precision, Cifras& c) {
  static_assert(std::endian::native == std::endian::little ||
                std::endian::native == std::endian::big);
  static_assert(sizeof(Cifras) == sizeof(std::uint64_t));
  std::uint64_t palabra = 0x3030303030303030;  // eight '0'
  for (int i = precision - 1; i >= 0; --i, cifras /= 10) {
    const int byte = std::endian::native == std::endian::little ? i : 7 - i;
    palabra += static_cast<std::uint64_t>(cifras % 10) << (8 * byte);
  }
  std::memcpy(c, &palabra, sizeof(palabra));
}

// Digits c[desde, hasta) written at dst, one to four of them: a store of
// four bytes, then the end moved past those that count (dst has room for a
// number and more). Copying exactly hasta − desde bytes calls the library's
// memmove, which for a few bytes cost more than the rest of the formatting.
char* copiaCifras(char* dst, const char* c, int desde, int hasta) {
  std::memcpy(dst, c + desde, kMaxPrecisionRapida);
  return dst + (hasta - desde);
}

// The digits of "%.{precision}g" from cifras·10^(exponente − precision + 1):
// fixed notation for −4 ≤ exponente < precision, else exponent notation,
// trailing zeros of the fraction dropped (and the point with them).
char* escribeG(char* dst, bool negativo, std::int64_t cifras, int exponente, int precision) {
  Cifras c;  // copiaCifras reads four from any digit
  enCifras(cifras, precision, c);
  int ultima = precision - 1;  // the last digit kept: trailing zeros go
  while (ultima > 0 && c[ultima] == '0') --ultima;
  if (negativo) *dst++ = '-';
  if (exponente < -4 || exponente >= precision) {
    *dst++ = c[0];
    if (ultima > 0) {
      *dst++ = '.';
      dst = copiaCifras(dst, c, 1, ultima + 1);
    }
    *dst++ = 'e';
    *dst++ = exponente < 0 ? '-' : '+';
    const int x = exponente < 0 ? -exponente : exponente;
    *dst++ = static_cast<char>('0' + x / 100);
    *dst++ = static_cast<char>('0' + x / 10 % 10);
    *dst++ = static_cast<char>('0' + x % 10);
    return dst;
  }
  if (exponente < 0) {
    *dst++ = '0';
    *dst++ = '.';
    dst = std::fill_n(dst, -exponente - 1, '0');
    return copiaCifras(dst, c, 0, ultima + 1);
  }
  dst = copiaCifras(dst, c, 0, exponente + 1);
  if (ultima > exponente) {
    *dst++ = '.';
    dst = copiaCifras(dst, c, exponente + 1, ultima + 1);
  }
  return dst;
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
  std::int64_t cifras = 0;
  int exponente = 0;
  if (precision >= 1 && precision <= kMaxPrecisionRapida && std::isfinite(v) &&
      cifrasRapidas(std::fabs(v), precision, cifras, exponente))
    return rellena(dst, escribeG(dst, std::signbit(v), cifras, exponente, precision), ancho);
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
