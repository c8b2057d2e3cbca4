#include "export/paleta.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace {

struct Rgb {
  double r, g, b;
};

constexpr std::array<Rgb, 3> kEscala{{{127, 0, 0}, {215, 48, 31}, {253, 187, 132}}};

double posicion(std::int32_t ronda, std::int32_t rondas) {
  return rondas <= 1 ? 0.0 : static_cast<double>(ronda - 1) / (rondas - 1);
}

}  // namespace

std::string colorDeRonda(std::int32_t ronda, std::int32_t rondas) {
  if (ronda == 0) return kColorSolvente;
  const double t = posicion(ronda, rondas) * (kEscala.size() - 1);
  const std::size_t segmento = t >= 1.0 ? 1 : 0;
  const double f = t - static_cast<double>(segmento);
  const Rgb& a = kEscala[segmento];
  const Rgb& b = kEscala[segmento + 1];
  char texto[8];
  (void)std::snprintf(texto, sizeof texto, "#%02x%02x%02x",
                      static_cast<unsigned>(std::lround(a.r + (b.r - a.r) * f)),
                      static_cast<unsigned>(std::lround(a.g + (b.g - a.g) * f)),
                      static_cast<unsigned>(std::lround(a.b + (b.b - a.b) * f)));
  return texto;
}

const char* colorDeTexto(std::int32_t ronda, std::int32_t rondas) {
  return ronda != 0 && posicion(ronda, rondas) < 0.6 ? "#ffffff" : kColorTextoPagina;
}
