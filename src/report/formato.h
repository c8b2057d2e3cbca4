// The report's number formats: printf's "%-W.Pg ", "%-W.Ple " and "%-Wd "
// in the C locale, with every exponent widened to three digits before the
// field width applies, and every NaN written "nan" whatever its sign. Each
// writes at dst and returns the end of its text.
#pragma once

#include <cstddef>
#include <cstdint>

// Room that any one formatted number needs, blank included.
inline constexpr std::size_t kMaxNumero = 48;

// v in "%-{ancho}.{precision}g " (shortest of fixed and exponent notation).
char* formatoG(char* dst, double v, int ancho, int precision);

// v in "%-{ancho}.{precision}le " (always exponent notation).
char* formatoE(char* dst, double v, int ancho, int precision);

// v in "%-{ancho}d ".
char* formatoEntero(char* dst, std::int32_t v, int ancho);

struct FormatoReal {
  int ancho;
  int precision;
  bool exponente;  // "%le" rather than "%g"
};

inline constexpr FormatoReal kFormatoL{6, 3, false};          // L and the payments
inline constexpr FormatoReal kFormatoPI{6, 2, false};         // PI and the default matrices
inline constexpr FormatoReal kFormatoVector{5, 3, false};     // e and pBarra
inline constexpr FormatoReal kFormatoResultado{5, 5, true};   // clearing vector and capital
inline constexpr int kAnchoPaso = 6;                          // default steps

char* formatoReal(char* dst, double v, FormatoReal f);
