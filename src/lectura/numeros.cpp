// The conversions of a token, on the one grammar of numeros.h.
#include "lectura/numeros.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <system_error>

#include "lectura/lector.h"

namespace {

// True when s is a number of the grammar.
bool esNotacionDecimal(std::string_view s) {
  Parte parte = Parte::inicio;
  for (const char c : s) {
    parte = siguienteParte(parte, c);
    if (parte == Parte::invalida) return false;
  }
  return esNumeroCompleto(parte);
}

// The second try on a copy that a NUL ends.
bool convierteCopia(std::string_view s, double& valor) {
  std::string copia;
  ajustaOLanza(copia, s.size());
  std::copy(s.begin(), s.end(), copia.begin());
  return convierteFueraDeRango(copia.c_str(), valor);
}

}  // namespace

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

// Underflow and overflow: from_chars reports both alike, strtod tells them
// apart (the program never changes the C locale, so "." is the point).
// strtod stops where the notation ends: at a blank or a NUL after it.
bool convierteFueraDeRango(const char* texto, double& valor) {
  const double v = std::strtod(texto, nullptr);
  if (std::isinf(v)) return false;
  valor = v;
  return true;
}

bool esEnteroValido(std::string_view s, std::int32_t& valor) {
  const std::size_t inicio = (!s.empty() && (s[0] == '+' || s[0] == '-')) ? 1 : 0;
  if (inicio == s.size() || std::find_if_not(s.begin() + static_cast<std::ptrdiff_t>(inicio),
                                             s.end(), esDigito) != s.end())
    return false;
  if (s[0] == '+') s.remove_prefix(1);  // from_chars takes no plus sign
  const auto [fin, ec] = std::from_chars(s.data(), s.data() + s.size(), valor);
  return ec == std::errc() && fin == s.data() + s.size();
}

bool esRealValido(std::string_view s, double& valor) {
  switch (convierteReal(s, valor)) {
    case Conversion::valida:
      return true;
    case Conversion::fueraDeRango:
      return convierteCopia(s, valor);
    case Conversion::invalida:
      break;
  }
  return false;
}
