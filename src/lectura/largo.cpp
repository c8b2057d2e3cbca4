// The long-token reducer: the grammar's steps (numeros.h) with the
// bookkeeping of the digits that decide the value.
#include "lectura/largo.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

// Past this an exponent cannot change the outcome: its number is 0 or too
// large, whatever the scale of its digits (a scale counts bytes of the token).
constexpr std::int64_t kTopeExponente = 1000000000000000;
// The same for the exponent written into a long number's equivalent text.
constexpr std::int64_t kTopeExponenteTexto = 99999;

// One digit of the mantissa, in the integer part or in the fraction.
void anadeCifra(TokenLargo& t, char c, bool enFraccion) {
  if (t.numCifras == 0 && c == '0') {  // a leading zero only moves the point
    if (enFraccion) --t.escala;
    return;
  }
  if (t.numCifras < kCifrasDecisivas)
    t.cifras[t.numCifras++] = c;
  else if (c != '0')
    t.resto = true;
  if (!enFraccion) ++t.escala;
}

// One byte: the grammar's step, then what the byte adds to the value.
void anadeByte(TokenLargo& t, char c) {
  t.parte = siguienteParte(t.parte, c);
  switch (t.parte) {
    case Parte::signo:
      t.negativo = c == '-';
      break;
    case Parte::entera:
      anadeCifra(t, c, false);
      break;
    case Parte::fraccion:
      anadeCifra(t, c, true);
      break;
    case Parte::signoExp:
      t.exponenteNegativo = c == '-';
      break;
    case Parte::exponente:
      t.exponente = std::min(t.exponente * 10 + (c - '0'), kTopeExponente);
      break;
    default:
      break;
  }
}

}  // namespace

void anadeBytes(TokenLargo& t, const char* datos, std::size_t n) {
  const std::size_t copia = std::min(n, kMuestra - t.enMuestra);
  std::memcpy(t.muestra + t.enMuestra, datos, copia);
  t.enMuestra += copia;
  for (std::size_t i = 0; i < n && t.parte != Parte::invalida; ++i) anadeByte(t, datos[i]);
}

bool esDecidido(const TokenLargo& t) {
  return t.parte == Parte::invalida && t.enMuestra == kMuestra;
}

std::string_view textoEquivalente(TokenLargo& t) {
  if (!esNumeroCompleto(t.parte)) return ".";  // rejected by both conversions, as the token is
  char* p = t.texto;
  if (t.negativo) *p++ = '-';
  const bool entero =
      t.parte == Parte::entera && t.escala == static_cast<std::int64_t>(t.numCifras);
  if (!entero) {
    *p++ = '0';
    *p++ = '.';
  }
  if (t.numCifras == 0) {
    *p++ = '0';
    return std::string_view(t.texto, static_cast<std::size_t>(p - t.texto));
  }
  std::memcpy(p, t.cifras, t.numCifras);
  p += t.numCifras;
  if (entero) return std::string_view(t.texto, static_cast<std::size_t>(p - t.texto));
  if (t.resto) *p++ = '1';
  *p++ = 'e';
  const std::int64_t exponente =
      std::clamp(t.escala + (t.exponenteNegativo ? -t.exponente : t.exponente),
                 -kTopeExponenteTexto, kTopeExponenteTexto);
  p = std::to_chars(p, t.texto + sizeof t.texto, exponente).ptr;
  return std::string_view(t.texto, static_cast<std::size_t>(p - t.texto));
}
