// Token reader over a fixed block buffer: memory use does not grow with the
// file. A token cut by a refill is reduced, as its bytes arrive, to what
// decides its acceptance and its value (TokenLargo), so no token is ever held
// whole beyond one block.
#include "clearing/lector.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <system_error>

#include "base/fatal.h"

namespace {

// Past this an exponent cannot change the outcome: its number is 0 or too
// large, whatever the scale of its digits (a scale counts bytes of the token).
constexpr std::int64_t kTopeExponente = 1000000000000000;
// The same for the exponent written into a long number's equivalent text.
constexpr std::int64_t kTopeExponenteTexto = 99999;

long lecturasHastaFallo = -1;  // test hook; -1: never fail

// Counts one read and says whether the hook makes it fail.
bool esFalloForzado() {
  if (lecturasHastaFallo < 0) return false;
  return lecturasHastaFallo-- == 0;
}

// The blanks scanf skips in the C locale.
bool esBlanco(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool esDigito(char c) {
  return c >= '0' && c <= '9';
}

// Sizes a byte container; memory exhausted ends the run.
template <typename Bytes>
void ajustaOTermina(Bytes& bytes, std::size_t n) {
  try {
    bytes.resize(n);
  } catch (const std::exception&) {
    terminaConError(kSinMemoria);
  }
}

// Reads the next block; false on a read error, which is not the end of the file.
bool leeBloque(Lector& lector) {
  lector.pos = 0;
  lector.fin = 0;
  if (lector.agotado) return true;
  if (esFalloForzado()) return false;
  lector.fin = std::fread(lector.bufer.data(), 1, lector.bufer.size(), lector.archivo);
  if (lector.fin < lector.bufer.size()) {
    if (std::ferror(lector.archivo)) return false;
    lector.agotado = true;
  }
  return true;
}

// Refills bufer from the file; false when nothing more could be read.
bool recarga(Lector& lector) {
  if (!leeBloque(lector)) terminaConError(kErrorLectura);
  return lector.fin > 0;
}

// Skips blanks across refills; false at the end of the input.
bool saltaBlancos(Lector& lector) {
  for (;;) {
    while (lector.pos < lector.fin && esBlanco(lector.bufer[lector.pos])) ++lector.pos;
    if (lector.pos < lector.fin) return true;
    if (!recarga(lector)) return false;
  }
}

// Moves pos past the non-blanks that start there, within the block.
void pasaToken(Lector& lector) {
  while (lector.pos < lector.fin && !esBlanco(lector.bufer[lector.pos])) ++lector.pos;
}

// Skips the rest of a token across refills.
void saltaToken(Lector& lector) {
  for (;;) {
    pasaToken(lector);
    if (lector.pos < lector.fin || !recarga(lector)) return;
  }
}

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

// One byte of a long token through the number grammar.
void anadeByte(TokenLargo& t, char c) {
  const bool cifra = esDigito(c);
  const bool signo = c == '+' || c == '-';
  const bool marca = c == 'e' || c == 'E';
  switch (t.parte) {
    case Parte::inicio:
    case Parte::signo:
      if (cifra) {
        t.parte = Parte::entera;
        anadeCifra(t, c, false);
      } else if (signo && t.parte == Parte::inicio) {
        t.parte = Parte::signo;
        t.negativo = c == '-';
      } else {
        t.parte = c == '.' ? Parte::puntoSolo : Parte::invalida;
      }
      break;
    case Parte::entera:
      if (cifra)
        anadeCifra(t, c, false);
      else
        t.parte = c == '.' ? Parte::punto : marca ? Parte::marcaExp : Parte::invalida;
      break;
    case Parte::punto:
    case Parte::puntoSolo:
    case Parte::fraccion:
      if (cifra) {
        t.parte = Parte::fraccion;
        anadeCifra(t, c, true);
      } else {
        t.parte = marca && t.parte != Parte::puntoSolo ? Parte::marcaExp : Parte::invalida;
      }
      break;
    case Parte::marcaExp:
      if (signo) {
        t.parte = Parte::signoExp;
        t.exponenteNegativo = c == '-';
        break;
      }
      [[fallthrough]];
    case Parte::signoExp:
    case Parte::exponente:
      if (cifra) {
        t.parte = Parte::exponente;
        t.exponente = std::min(t.exponente * 10 + (c - '0'), kTopeExponente);
      } else {
        t.parte = Parte::invalida;
      }
      break;
    case Parte::invalida:
      break;
  }
}

void anadeBytes(TokenLargo& t, const char* datos, std::size_t n) {
  const std::size_t copia = std::min(n, kMuestra - t.enMuestra);
  std::memcpy(t.muestra + t.enMuestra, datos, copia);
  t.enMuestra += copia;
  for (std::size_t i = 0; i < n && t.parte != Parte::invalida; ++i) anadeByte(t, datos[i]);
}

// Invalid and its sample complete: no further byte can change the message.
bool esDecidido(const TokenLargo& t) {
  return t.parte == Parte::invalida && t.enMuestra == kMuestra;
}

// The text that reads as the long token does: the integer itself when it is
// only a sign and digits, all kept; else ±0.<digits>[1]e<scale>, whose 1
// stands for the nonzero digits dropped past the decisive ones.
std::string_view textoEquivalente(TokenLargo& t) {
  const bool completo = t.parte == Parte::entera || t.parte == Parte::punto ||
                        t.parte == Parte::fraccion || t.parte == Parte::exponente;
  if (!completo) return ".";  // rejected by both conversions, as the token is
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

// A token that reaches the end of the block at inicio: fed to lector.largo
// block by block until a blank, the end of the input, or its outcome is decided.
Token leeTokenLargo(Lector& lector, std::size_t inicio) {
  TokenLargo& t = lector.largo;
  t = TokenLargo{};
  for (;;) {
    anadeBytes(t, lector.bufer.data() + inicio, lector.pos - inicio);
    if (lector.pos < lector.fin) break;  // a blank ends it
    if (esDecidido(t)) {
      lector.saltaResto = true;
      break;
    }
    if (!recarga(lector)) break;
    inicio = 0;
    pasaToken(lector);
  }
  return {textoEquivalente(t), std::string_view(t.muestra, t.enMuestra)};
}

// Index past the digits that start at i.
std::size_t pasaDigitos(std::string_view s, std::size_t i) {
  while (i < s.size() && esDigito(s[i])) ++i;
  return i;
}

// True when token is [+-]? (d+ (. d*)? | . d+) ([eE] [+-]? d+)?
bool esNotacionDecimal(std::string_view s) {
  std::size_t i = (!s.empty() && (s[0] == '+' || s[0] == '-')) ? 1 : 0;
  const std::size_t inicioEntera = i;
  i = pasaDigitos(s, i);
  std::size_t cifras = i - inicioEntera;
  if (i < s.size() && s[i] == '.') {
    const std::size_t inicioFraccion = ++i;
    i = pasaDigitos(s, i);
    cifras += i - inicioFraccion;
  }
  if (cifras == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    const std::size_t inicioExponente = i;
    i = pasaDigitos(s, i);
    if (i == inicioExponente) return false;
  }
  return i == s.size();
}

// Underflow and overflow: from_chars reports both alike, strtod tells them
// apart (the program never changes the C locale, so "." is the point).
bool convierteFueraDeRango(std::string_view s, double& valor) {
  std::string copia;
  ajustaOTermina(copia, s.size());
  std::copy(s.begin(), s.end(), copia.begin());
  const double v = std::strtod(copia.c_str(), nullptr);
  if (std::isinf(v)) return false;
  valor = v;
  return true;
}

}  // namespace

bool abreLector(Lector& lector, const char* nombre) {
  lector.archivo = std::fopen(nombre, "rb");
  if (lector.archivo == nullptr) return false;
  ajustaOTermina(lector.bufer, kBloqueLectura);
  lector.agotado = false;
  lector.saltaResto = false;
  if (!leeBloque(lector)) {  // a directory, for one
    cierraLector(lector);
    return false;
  }
  if (lector.fin >= 3 && std::memcmp(lector.bufer.data(), "\xEF\xBB\xBF", 3) == 0) lector.pos = 3;
  return true;
}

void cierraLector(Lector& lector) {
  if (lector.archivo != nullptr) (void)std::fclose(lector.archivo);  // read-only: nothing to lose
  lector.archivo = nullptr;
}

Token siguienteToken(Lector& lector) {
  if (lector.saltaResto) saltaToken(lector);
  lector.saltaResto = false;
  if (!saltaBlancos(lector)) return {};
  const std::size_t inicio = lector.pos;
  pasaToken(lector);
  if (lector.pos == lector.fin && !lector.agotado) return leeTokenLargo(lector, inicio);
  const std::string_view token(lector.bufer.data() + inicio, lector.pos - inicio);
  return {token, token.substr(0, kMuestra)};
}

bool esEnteroValido(std::string_view s, std::int32_t& valor) {
  const std::size_t inicio = (!s.empty() && (s[0] == '+' || s[0] == '-')) ? 1 : 0;
  if (inicio == s.size() || pasaDigitos(s, inicio) != s.size()) return false;
  if (s[0] == '+') s.remove_prefix(1);  // from_chars takes no plus sign
  const auto [fin, ec] = std::from_chars(s.data(), s.data() + s.size(), valor);
  return ec == std::errc() && fin == s.data() + s.size();
}

bool esRealValido(std::string_view s, double& valor) {
  if (s.size() == 1 && esDigito(s[0])) {  // most entries of a sparse matrix: "0"
    valor = s[0] - '0';
    return true;
  }
  if (!esNotacionDecimal(s)) return false;
  if (s[0] == '+') s.remove_prefix(1);  // from_chars takes no plus sign
  const auto [fin, ec] = std::from_chars(s.data(), s.data() + s.size(), valor);
  if (ec == std::errc::result_out_of_range) return convierteFueraDeRango(s, valor);
  return ec == std::errc() && fin == s.data() + s.size();
}

void fallaLectura(long k) {
  lecturasHastaFallo = k < 0 ? -1 : k;
}
