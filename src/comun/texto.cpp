// Locale-free conversions: std::to_chars, never printf's %g.
#include "comun/texto.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "base/fallo.h"

void anadeExacto(std::string& texto, double v) {
  if (std::isnan(v)) {
    texto += "nan";
    return;
  }
  std::array<char, 32> cifras{};
  auto* const fin = std::to_chars(cifras.data(), cifras.data() + cifras.size(), v).ptr;
  texto.append(cifras.data(), fin);
}

std::string textoExacto(double v) {
  std::string texto;
  anadeExacto(texto, v);
  return texto;
}

std::string textoLegible(double v) {
  if (std::isnan(v)) return "nan";
  char texto[64];
  auto* const fin =
      std::to_chars(texto, texto + sizeof texto, v, std::chars_format::general, 6).ptr;
  return std::string(texto, fin);
}

std::string minusculas(std::string_view texto) {
  std::string r(texto);
  for (char& c : r) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return r;
}

std::string textoGiB(double bytes) {
  char texto[32];
  const int largo = std::snprintf(texto, sizeof texto, "%.1f GiB", bytes / (1 << 30));
  return std::string(texto, static_cast<std::size_t>(largo));
}

std::string textoPorcentaje(double fraccion) {
  if (std::isnan(fraccion)) return "nan";
  char texto[64];
  auto* const fin =
      std::to_chars(texto, texto + sizeof texto, fraccion * 100, std::chars_format::fixed, 1).ptr;
  return std::string(texto, fin) + "%";
}

std::string textoCorto(std::string_view texto, std::size_t limite) {
  std::size_t puntos = 0;
  for (std::size_t i = 0; i < texto.size(); ++i) {
    if ((static_cast<unsigned char>(texto[i]) & 0xC0) == 0x80) continue;  // continuation byte
    if (++puntos > limite) return std::string(texto.substr(0, i)) + "\xE2\x80\xA6";
  }
  return std::string(texto);
}

std::size_t cuentaCaracteres(std::string_view texto) {
  return static_cast<std::size_t>(std::count_if(texto.begin(), texto.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;  // not a continuation byte
  }));
}

std::string aislado(std::string_view nombre) {
  return "\xE2\x81\xA8" + std::string(nombre) + "\xE2\x81\xA9";
}

std::string campoCsv(std::string_view campo) {
  const bool bordes = !campo.empty() && (campo.front() == ' ' || campo.front() == '\t' ||
                                         campo.back() == ' ' || campo.back() == '\t');
  if (!bordes && campo.find_first_of(",\"\r\n") == std::string_view::npos)
    return std::string(campo);
  std::string texto = "\"";
  for (char c : campo) {
    if (c == '"') texto += '"';
    texto += c;
  }
  return texto + '"';
}

std::string textoHtml(std::string_view texto) {
  std::string salida;
  salida.reserve(texto.size());
  for (char c : texto) {
    switch (c) {
      case '&':
        salida += "&amp;";
        break;
      case '<':
        salida += "&lt;";
        break;
      case '>':
        salida += "&gt;";
        break;
      case '"':
        salida += "&quot;";
        break;
      case '\'':
        salida += "&#39;";
        break;
      default:
        salida += c;
    }
  }
  return salida;
}

std::string enLinea(std::string_view mostrado, long linea, std::string_view que) {
  std::string texto(mostrado);
  return texto.append(":").append(std::to_string(linea)).append(": ").append(que);
}

std::string citado(std::string_view texto) {
  std::string cita(1, '"');
  cita.append(textoSeguro(texto.substr(0, 32)));
  return cita.append(texto.size() > 32 ? "...\"" : "\"");
}

std::string textoSeguro(std::string_view texto) {
  std::string seguro;
  for (const char c : texto) {
    std::array<char, 4> escrito;
    seguro.append(escrito.data(), escapaByte(c, escrito));
  }
  return seguro;
}

std::string utf8DeLatin1(std::string_view latin1) {
  std::string texto;
  for (unsigned char c : latin1) {
    if (c < 0x80) {
      texto += static_cast<char>(c);
    } else {
      texto += static_cast<char>(0xC0 | (c >> 6));
      texto += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return texto;
}

bool esUtf8Valido(std::string_view texto) {
  std::size_t i = 0;
  while (i < texto.size()) {
    const auto c = static_cast<unsigned char>(texto[i]);
    std::size_t siguen = 0;
    char32_t punto = 0;
    if (c < 0x80) {
      ++i;
      continue;
    }
    if (c >= 0xC2 && c <= 0xDF) {
      siguen = 1;
      punto = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      siguen = 2;
      punto = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      siguen = 3;
      punto = c & 0x07;
    } else {
      return false;
    }
    if (i + siguen >= texto.size()) return false;
    for (std::size_t k = 1; k <= siguen; ++k) {
      const auto b = static_cast<unsigned char>(texto[i + k]);
      if ((b & 0xC0) != 0x80) return false;
      punto = (punto << 6) | (b & 0x3F);
    }
    // Overlong forms, UTF-16 surrogates and code points past U+10FFFF.
    const char32_t minimo = siguen == 1 ? 0x80 : siguen == 2 ? 0x800 : 0x10000;
    if (punto < minimo || (punto >= 0xD800 && punto <= 0xDFFF) || punto > 0x10FFFF) return false;
    i += siguen + 1;
  }
  return true;
}

std::vector<std::string_view> separaCeldas(std::string_view linea) {
  std::vector<std::string_view> celdas;
  std::size_t i = 0;
  for (;;) {
    i = linea.find_first_not_of(' ', i);
    if (i == std::string_view::npos) return celdas;
    const std::size_t fin = std::min(linea.find(' ', i), linea.size());
    celdas.push_back(linea.substr(i, fin - i));
    i = fin;
  }
}
