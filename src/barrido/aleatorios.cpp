#include "barrido/aleatorios.h"

#include <charconv>
#include <cmath>

#include "lectura/lector.h"
#include "totales/normal.h"

namespace {

constexpr std::uint64_t kMaxAleatorios = 100'000'000;

bool leeNatural(std::string_view texto, std::uint64_t& valor) {
  const char* fin = texto.data() + texto.size();
  const auto [donde, fallo] = std::from_chars(texto.data(), fin, valor);
  return fallo == std::errc{} && donde == fin;
}

}  // namespace

bool leeAleatorios(std::string_view cuantos, std::string_view semilla, std::string_view media,
                   std::string_view correlacion, Escenarios& escenarios, std::string& error) {
  escenarios = Escenarios{};
  escenarios.tipo = Barrido::aleatorio;
  std::uint64_t k = 0;
  if (!leeNatural(cuantos, k) || k < 1 || k > kMaxAleatorios) {
    error = "--random " + std::string(cuantos) + ": K must be a whole number from 1 to " +
            std::to_string(kMaxAleatorios);
    return false;
  }
  escenarios.pasos = k;
  if (!leeNatural(semilla, escenarios.semilla)) {
    error = "--seed " + std::string(semilla) + ": S must be a whole number from 0 to 2^64 - 1";
    return false;
  }
  if (!esRealValido(media, escenarios.media) || !(escenarios.media > 0.0) ||
      !(escenarios.media < 1.0)) {
    error = "--loss-mean " + std::string(media) + ": M must be a number strictly between 0 and 1";
    return false;
  }
  if (!esRealValido(correlacion, escenarios.correlacion) || !(escenarios.correlacion >= 0.0) ||
      !(escenarios.correlacion <= 1.0)) {
    error = "--loss-corr " + std::string(correlacion) + ": RHO must be a number in [0, 1]";
    return false;
  }
  return true;
}

void perdidasAleatorias(const Escenarios& escenarios, std::size_t k, Vector& fraccion) {
  Normales normales{azarDeRed(escenarios.semilla, k)};
  const double umbral = inversaFi(escenarios.media);
  const double comun = std::sqrt(escenarios.correlacion);
  const double propio = std::sqrt(1.0 - escenarios.correlacion);
  const double z = siguienteNormal(normales);
  for (double& f : fraccion) {
    const double epsilon = siguienteNormal(normales);
    f = fiNormal(umbral + (comun * z + propio * epsilon));
  }
}

void cajaDeEscenario(const Escenarios& escenarios, std::size_t k, const Vector& base, Vector& e) {
  aplicaEscenario(escenarios, k, base, e);
  if (escenarios.tipo != Barrido::aleatorio) return;
  Vector fraccion(base.size());
  perdidasAleatorias(escenarios, k, fraccion);
  for (std::size_t i = 0; i < e.size(); ++i) e[i] *= 1.0 - fraccion[i];
}
