#include "run/progreso.h"

#include <algorithm>
#include <cstdint>

#include "base/pruebas.h"

namespace {

using Reloj = std::chrono::steady_clock;

constexpr auto kEspera = std::chrono::seconds(1);
constexpr auto kIntervalo = std::chrono::milliseconds(100);

}  // namespace

Progreso nuevoProgreso(std::FILE* salida, bool esTerminal) {
  Progreso progreso;
  progreso.salida = esTerminal ? salida : nullptr;
  progreso.inicio = progreso.ultima = Reloj::now();
  return progreso;
}

std::string lineaProgreso(int ronda, std::size_t enQuiebra, std::size_t nodos, double segundos) {
  char texto[160];
  const int n = std::snprintf(texto, sizeof texto,
                              "Ronda %d: %zu de %zu nodos en quiebra, bloque %zux%zu, %.1f s",
                              ronda, enQuiebra, nodos, enQuiebra, enQuiebra, segundos);
  return std::string(texto, n > 0 ? static_cast<std::size_t>(n) : 0);
}

void muestraRonda(Progreso& progreso, int ronda, const Marcas& marcas) {
  if (progreso.salida == nullptr) return;
  const Reloj::time_point ahora = Reloj::now();
  const auto espera = controlPruebas().progresoSinEspera ? Reloj::duration::zero() : kEspera;
  if (ahora - progreso.inicio < espera ||
      (progreso.ancho > 0 && ahora - progreso.ultima < kIntervalo))
    return;
  progreso.ultima = ahora;
  const std::chrono::duration<double> segundos = ahora - progreso.inicio;
  const auto enQuiebra = static_cast<std::size_t>(
      std::count_if(marcas.begin(), marcas.end(), [](std::int32_t marca) { return marca != 0; }));
  const std::string linea = lineaProgreso(ronda, enQuiebra, marcas.size(), segundos.count());
  // Blanks cover what is left of a longer line before.
  const int relleno =
      progreso.ancho > linea.size() ? static_cast<int>(progreso.ancho - linea.size()) : 0;
  (void)std::fprintf(progreso.salida, "\r%s%*s", linea.c_str(), relleno, "");
  (void)std::fflush(progreso.salida);
  progreso.ancho = linea.size();
}

void borraProgreso(Progreso& progreso) {
  if (progreso.salida == nullptr || progreso.ancho == 0) return;
  (void)std::fprintf(progreso.salida, "\r%*s\r", static_cast<int>(progreso.ancho), "");
  (void)std::fflush(progreso.salida);
  progreso.ancho = 0;
}
