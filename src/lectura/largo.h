// A token longer than the reader's refill, reduced as its bytes arrive to
// what decides its acceptance and its value, so that no token is held whole:
// its sample for a message, its sign, its first kCifrasDecisivas significant
// digits, whether a nonzero digit follows them, its scale and its exponent.
// From these it writes an equivalent text, short and bounded, that the
// conversions of numeros.h accept or reject and value as the whole token.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "lectura/numeros.h"

inline constexpr std::size_t kMuestra = 32;  // bytes of a token a message shows
// Significant digits kept of a long number: a double's rounding is decided
// within the first 768 (the longest exact halfway point between two doubles);
// past them only whether some digit is nonzero counts.
inline constexpr std::size_t kCifrasDecisivas = 800;

// The value is ±0.cifras × 10^(escala ± exponente), plus a trace past the
// kept digits when resto is set.
struct TokenLargo {
  char muestra[kMuestra];
  std::size_t enMuestra = 0;
  Parte parte = Parte::inicio;
  bool negativo = false;
  char cifras[kCifrasDecisivas];  // significant digits, leading zeros skipped
  std::size_t numCifras = 0;
  bool resto = false;  // a nonzero digit past the kept ones
  std::int64_t escala =
      0;  // integer digits from the first significant one; −leading fraction zeros
  std::int64_t exponente = 0;  // saturated
  bool exponenteNegativo = false;
  char texto[kCifrasDecisivas + 32];  // the equivalent text, built at the token's end
};

// The token's next n bytes.
void anadeBytes(TokenLargo& t, const char* datos, std::size_t n);

// Invalid and its sample complete: no further byte can change the outcome or
// the message, so the rest of the token need not be looked at.
bool esDecidido(const TokenLargo& t);

// The equivalent text, in t.texto: the integer itself when the token is only a
// sign and digits, all kept; else ±0.<digits>[1]e<scale>, whose 1 stands for
// the nonzero digits dropped past the decisive ones; "." (rejected by both
// conversions) when the token is no number.
std::string_view textoEquivalente(TokenLargo& t);
