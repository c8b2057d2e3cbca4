// Token reader over a fixed block buffer: memory use does not grow with the
// file, and a token cut by a refill is carried over in a string.
#include "clearing/lector.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <system_error>

#include "base/fatal.h"

namespace {

// The blanks scanf skips in the C locale.
bool esBlanco(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool esDigito(char c) {
  return c >= '0' && c <= '9';
}

// Refills bufer from the file; false when nothing more could be read.
bool recarga(Lector& lector) {
  lector.pos = 0;
  lector.fin =
      lector.agotado ? 0 : std::fread(lector.bufer, 1, sizeof lector.bufer, lector.archivo);
  if (lector.fin < sizeof lector.bufer) lector.agotado = true;
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

// Appends n bytes to a long token; a token larger than memory ends the run.
void anadeOTermina(std::string& destino, const char* datos, std::size_t n) {
  try {
    destino.append(datos, n);
  } catch (const std::exception&) {
    terminaConError(kSinMemoria);
  }
}

// Underflow and overflow: from_chars reports both alike, strtod tells them
// apart (the program never changes the C locale, so "." is the point).
bool convierteFueraDeRango(std::string_view s, double& valor) {
  std::string copia;
  anadeOTermina(copia, s.data(), s.size());
  const double v = std::strtod(copia.c_str(), nullptr);
  if (std::isinf(v)) return false;
  valor = v;
  return true;
}

}  // namespace

bool abreLector(Lector& lector, const char* nombre) {
  lector.archivo = std::fopen(nombre, "rb");
  if (lector.archivo == nullptr) return false;
  lector.agotado = false;
  recarga(lector);
  if (std::ferror(lector.archivo)) {
    cierraLector(lector);
    return false;
  }
  if (lector.fin >= 3 && std::memcmp(lector.bufer, "\xEF\xBB\xBF", 3) == 0) lector.pos = 3;
  return true;
}

void cierraLector(Lector& lector) {
  if (lector.archivo != nullptr) (void)std::fclose(lector.archivo);  // read-only: nothing to lose
  lector.archivo = nullptr;
}

std::string_view siguienteToken(Lector& lector) {
  if (!saltaBlancos(lector)) return {};
  const std::size_t inicio = lector.pos;
  while (lector.pos < lector.fin && !esBlanco(lector.bufer[lector.pos])) ++lector.pos;
  if (lector.pos < lector.fin || lector.agotado)
    return std::string_view(lector.bufer + inicio, lector.pos - inicio);
  lector.largo.clear();
  anadeOTermina(lector.largo, lector.bufer + inicio, lector.pos - inicio);
  while (recarga(lector)) {
    while (lector.pos < lector.fin && !esBlanco(lector.bufer[lector.pos])) ++lector.pos;
    anadeOTermina(lector.largo, lector.bufer, lector.pos);
    if (lector.pos < lector.fin) break;
  }
  return lector.largo;
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
