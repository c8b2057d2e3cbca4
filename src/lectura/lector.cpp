// Token reader over a fixed block buffer: memory use does not grow with the
// file. A token cut by a refill is reduced, as its bytes arrive, to what
// decides its acceptance and its value (TokenLargo), so no token is ever held
// whole beyond one block.
#include "lectura/lector.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <system_error>

#include "base/fallo.h"
#include "base/hilos.h"

namespace {

// Past this an exponent cannot change the outcome: its number is 0 or too
// large, whatever the scale of its digits (a scale counts bytes of the token).
constexpr std::int64_t kTopeExponente = 1000000000000000;
// The same for the exponent written into a long number's equivalent text.
constexpr std::int64_t kTopeExponenteTexto = 99999;

// Below this many bytes a block's share is converted on fewer threads: a
// thread converts it in about 15 ms, ten times what starting one can cost.
constexpr std::size_t kBytesPorHilo = std::size_t{1} << 18;
// Threads that share a block at most (four take a 1 MiB block already).
constexpr std::size_t kMaxTramos = 16;

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

// The first non-blank of bytes at or after i, or fin.
std::size_t noBlancoDesde(const char* bytes, std::size_t i, std::size_t fin) {
  while (i < fin && esBlanco(bytes[i])) ++i;
  return i;
}

// The first blank of bytes at or after i, or fin.
std::size_t blancoDesde(const char* bytes, std::size_t i, std::size_t fin) {
  while (i < fin && !esBlanco(bytes[i])) ++i;
  return i;
}

bool esDigito(char c) {
  return c >= '0' && c <= '9';
}

// Sizes a byte container; memory exhausted throws Error::sinMemoria.
template <typename Bytes>
void ajustaOTermina(Bytes& bytes, std::size_t n) {
  try {
    bytes.resize(n);
  } catch (const std::exception&) {
    lanzaFallo(Error::sinMemoria);
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
  if (!leeBloque(lector)) lanzaFallo(Error::lectura);
  return lector.fin > 0;
}

// Skips blanks across refills; false at the end of the input.
bool saltaBlancos(Lector& lector) {
  for (;;) {
    lector.pos = noBlancoDesde(lector.bufer.data(), lector.pos, lector.fin);
    if (lector.pos < lector.fin) return true;
    if (!recarga(lector)) return false;
  }
}

// Moves pos past the non-blanks that start there, within the block.
void pasaToken(Lector& lector) {
  lector.pos = blancoDesde(lector.bufer.data(), lector.pos, lector.fin);
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
// strtod stops where the notation ends: at a blank or a NUL after it.
bool convierteConStrtod(const char* texto, double& valor) {
  const double v = std::strtod(texto, nullptr);
  if (std::isinf(v)) return false;
  valor = v;
  return true;
}

bool convierteFueraDeRango(std::string_view s, double& valor) {
  std::string copia;
  ajustaOTermina(copia, s.size());
  std::copy(s.begin(), s.end(), copia.begin());
  return convierteConStrtod(copia.c_str(), valor);
}

enum class Conversion { valida, invalida, fueraDeRango };

// The conversion without its second try, which allocates: an out-of-range
// result is only reported.
Conversion convierteReal(std::string_view s, double& valor) {
  if (s.size() == 1 && esDigito(s[0])) {  // most entries of a sparse matrix: "0"
    valor = s[0] - '0';
    return Conversion::valida;
  }
  if (!esNotacionDecimal(s)) return Conversion::invalida;
  if (s[0] == '+') s.remove_prefix(1);  // from_chars takes no plus sign
  const auto [fin, ec] = std::from_chars(s.data(), s.data() + s.size(), valor);
  if (ec == std::errc::result_out_of_range) return Conversion::fueraDeRango;
  return ec == std::errc() && fin == s.data() + s.size() ? Conversion::valida
                                                         : Conversion::invalida;
}

// One thread's share of the block: the whole tokens in [desde, hasta), their
// values written from reales[base] on.
struct Tramo {
  std::size_t desde = 0;
  std::size_t hasta = 0;
  std::size_t base = 0;
  std::size_t leidos = 0;
  bool parado = false;  // at a token that is not a number, or one left to esRealValido
};

// Past the block's whole tokens: all of it once the input is exhausted, else
// its last blank (a token touching the end may go on in the next refill).
std::size_t finDeEnteros(const Lector& lector) {
  if (lector.agotado) return lector.fin;
  std::size_t fin = lector.fin;
  while (fin > lector.pos && !esBlanco(lector.bufer[fin - 1])) --fin;
  return fin;
}

using Tramos = std::array<Tramo, kMaxTramos>;

// Splits [pos, fin) at blanks into `partes` tramos. A tramo starting at a
// blank c has at most (c − pos + 1) / 2 tokens before it: each takes a byte
// and a blank. That bound is its base, so no two tramos write the same slot.
Tramos cortaTramos(const Lector& lector, std::size_t fin, std::size_t partes) {
  Tramos tramos{};
  std::size_t desde = lector.pos;
  for (std::size_t p = 0; p < partes; ++p) {
    const std::size_t hasta =
        p + 1 == partes
            ? fin
            : blancoDesde(lector.bufer.data(),
                          std::max(desde, lector.pos + (fin - lector.pos) * (p + 1) / partes), fin);
    tramos[p].desde = desde;
    tramos[p].hasta = hasta;
    tramos[p].base = (desde - lector.pos + 1) / 2;
    desde = hasta;
  }
  return tramos;
}

// Converts a tramo's tokens up to the first that is not a number; an
// underflow at the very end of the input is left to esRealValido, which copies it.
void convierteTramo(const Lector& lector, Tramo& tramo, double* reales) {
  const char* bytes = lector.bufer.data();
  std::size_t i = tramo.desde;
  for (;;) {
    const std::size_t inicio = noBlancoDesde(bytes, i, tramo.hasta);
    if (inicio == tramo.hasta) return;
    i = blancoDesde(bytes, inicio, tramo.hasta);
    double valor = 0.0;
    Conversion conversion = convierteReal(std::string_view(bytes + inicio, i - inicio), valor);
    // A blank in the block ends the token for strtod; the input's last byte does not.
    if (conversion == Conversion::fueraDeRango && i < lector.fin)
      conversion =
          convierteConStrtod(bytes + inicio, valor) ? Conversion::valida : Conversion::invalida;
    if (conversion != Conversion::valida) {
      tramo.parado = true;
      return;
    }
    reales[tramo.base + tramo.leidos++] = valor;
  }
}

// Past the k-th token from i.
std::size_t pasaTokens(const Lector& lector, std::size_t i, std::size_t k) {
  for (; k > 0; --k) {
    i = noBlancoDesde(lector.bufer.data(), i, lector.fin);
    i = blancoDesde(lector.bufer.data(), i, lector.fin);
  }
  return i;
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
  std::vector<char>().swap(lector.bufer);  // a large input's megabytes go back at once
  std::vector<double>().swap(lector.reales);
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
  switch (convierteReal(s, valor)) {
    case Conversion::valida:
      return true;
    case Conversion::fueraDeRango:
      return convierteFueraDeRango(s, valor);
    case Conversion::invalida:
      break;
  }
  return false;
}

void ampliaLector(Lector& lector, std::size_t bytes) {
  if (bytes > lector.bufer.size()) ajustaOTermina(lector.bufer, bytes);
}

std::span<const double> leeReales(Lector& lector, std::size_t cuantos) {
  if (lector.saltaResto || cuantos == 0) return {};
  const std::size_t fin = finDeEnteros(lector);
  if (fin == lector.pos) return {};
  // Sized once, for a whole block: the tokens of [pos, fin) need (fin − pos) / 2 + 1.
  if (lector.reales.size() < lector.bufer.size() / 2 + 1)
    ajustaOTermina(lector.reales, lector.bufer.size() / 2 + 1);
  const std::size_t partes = std::clamp<std::size_t>((fin - lector.pos) / kBytesPorHilo, 1,
                                                     std::min<std::size_t>(hilos(), kMaxTramos));
  Tramos tramos = cortaTramos(lector, fin, partes);
  double* reales = lector.reales.data();
  reparteEnPartes(partes, partes, 1, [&](std::size_t desde, std::size_t hasta) {
    for (std::size_t p = desde; p < hasta; ++p) convierteTramo(lector, tramos[p], reales);
  });
  // The tramos' values, moved together in order (each base is at or past
  // the count before it), up to the first token not taken or `cuantos`.
  std::size_t tomados = 0;
  lector.pos = fin;
  for (std::size_t p = 0; p < partes; ++p) {
    const Tramo& tramo = tramos[p];
    const std::size_t aqui = std::min(tramo.leidos, cuantos - tomados);
    std::memmove(reales + tomados, reales + tramo.base, aqui * sizeof(double));
    tomados += aqui;
    if (tramo.parado || tomados == cuantos) {
      lector.pos = pasaTokens(lector, tramo.desde, aqui);
      break;
    }
  }
  return {reales, tomados};
}

void fallaLectura(long k) {
  lecturasHastaFallo = k < 0 ? -1 : k;
}
