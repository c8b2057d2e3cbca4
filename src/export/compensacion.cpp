// The engine's call exactly as clearing makes it: the default options
// (structure-aware path; carrying eliminations over changes no bit).
#include <new>
#include <utility>

#include "clearing/motor.h"
#include "comun/motivos.h"
#include "export/cotejo.h"

bool calculaResultado(const NetworkState& estado, Resultado& resultado, std::string& error) {
  const auto n = static_cast<std::size_t>(estado.dim);
  std::vector<char> marcadas(n, 0);
  const ObservaRonda observa = [&](int /*ronda*/, const Marcas& marcas) {
    std::vector<std::int32_t>& cambios = resultado.cambios.emplace_back();
    for (std::size_t i = 0; i < n; ++i) {
      const char ahora = marcas[i] != 0 ? 1 : 0;
      if (ahora != marcadas[i]) cambios.push_back(static_cast<std::int32_t>(i));
      marcadas[i] = ahora;
    }
    ++resultado.rondas;
  };
  ResultadoClearing calculado;
  try {
    calculado = calculaClearing(Red(estado), OpcionesClearing{}, observa);
  } catch (const std::bad_alloc&) {  // the record of the rounds, not the engine
    calculado.error = ErrorClearing{};
  }
  if (calculado.error) {
    if (calculado.error->fallo.error == Error::sinMemoria) {
      error = "input.txt: " + motivo(calculado.error->fallo) + " to compute its clearing";
      return false;
    }
    resultado.sinClearing = motivo(calculado.error->fallo);
    return true;
  }
  resultado.p = std::move(calculado.clearing.p);
  resultado.ronda = std::move(calculado.clearing.ordenQuiebra);
  resultado.capital = std::move(calculado.clearing.capital);
  return true;
}
