// The input rules restated independently of clearing/lector.cpp, as the fuzz
// harnesses' oracle: tokenizing, the number grammar as a state table, the
// 32-bit range of dim, and the values strtod gives.
#pragma once

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace oraculo {

// The six blank bytes of the C locale; nothing else separates tokens.
inline bool esSeparador(unsigned char c) {
  switch (c) {
    case ' ':
    case '\t':
    case '\n':
    case '\v':
    case '\f':
    case '\r':
      return true;
    default:
      return false;
  }
}

// Tokens of a whole file; a UTF-8 byte-order mark counts only at byte 0.
inline std::vector<std::string> tokens(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  std::vector<std::string> resultado;
  std::string actual;
  for (const char c : bytes) {
    if (!esSeparador(static_cast<unsigned char>(c))) {
      actual += c;
    } else if (!actual.empty()) {
      resultado.push_back(std::move(actual));
      actual.clear();
    }
  }
  if (!actual.empty()) resultado.push_back(std::move(actual));
  return resultado;
}

// [+-]? ( d+ ( . d* )? | . d+ ) ( [eE] [+-]? d+ )? as a finite automaton.
inline bool cumpleGramaticaReal(std::string_view t) {
  enum Estado {
    inicio,
    signo,
    entera,
    punto,
    puntoSolo,
    fraccion,
    marcaExp,
    signoExp,
    exponente,
    error
  };
  // Accepting states: entera, punto (as in "5."), fraccion, exponente.
  Estado e = inicio;
  for (const char c : t) {
    const bool digito = c >= '0' && c <= '9';
    const bool mas = c == '+' || c == '-';
    const bool marca = c == 'e' || c == 'E';
    switch (e) {
      case inicio:
        e = digito ? entera : mas ? signo : c == '.' ? puntoSolo : error;
        break;
      case signo:
        e = digito ? entera : c == '.' ? puntoSolo : error;
        break;
      case entera:
        e = digito ? entera : c == '.' ? punto : marca ? marcaExp : error;
        break;
      case punto:
      case fraccion:
        e = digito ? fraccion : marca ? marcaExp : error;
        break;
      case puntoSolo:
        e = digito ? fraccion : error;
        break;
      case marcaExp:
        e = digito ? exponente : mas ? signoExp : error;
        break;
      case signoExp:
      case exponente:
        e = digito ? exponente : error;
        break;
      case error:
        return false;
    }
  }
  return e == entera || e == punto || e == fraccion || e == exponente;
}

// strtod's correctly rounded value of a token that meets the grammar.
inline double valorStrtod(std::string_view t) {
  const std::string copia(t);
  return std::strtod(copia.c_str(), nullptr);
}

// True and the value when the token is a number the input accepts.
inline bool realAceptado(std::string_view t, double& valor) {
  if (!cumpleGramaticaReal(t)) return false;
  valor = valorStrtod(t);
  return std::isfinite(valor);
}

// [+-]? d+ within [−2³¹, 2³¹ − 1], by digit count and comparison.
inline bool enteroAceptado(std::string_view t, std::int64_t& valor) {
  bool negativo = false;
  if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
    negativo = t[0] == '-';
    t.remove_prefix(1);
  }
  if (t.empty()) return false;
  for (const char c : t)
    if (c < '0' || c > '9') return false;
  while (t.size() > 1 && t[0] == '0') t.remove_prefix(1);
  if (t.size() > 10) return false;
  std::int64_t v = 0;
  for (const char c : t) v = v * 10 + (c - '0');
  if (negativo) v = -v;
  if (v < -2147483648LL || v > 2147483647LL) return false;
  valor = v;
  return true;
}

// A token as a message shows it: its first 32 bytes, each one outside
// printable ASCII, and the backslash, written \xHH.
inline std::string muestraVisible(std::string_view t) {
  std::string r;
  for (const char c : t.substr(0, 32)) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b < 0x7F && b != 0x5C) {
      r += c;
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      r += hex;
    }
  }
  return r;
}

}  // namespace oraculo
