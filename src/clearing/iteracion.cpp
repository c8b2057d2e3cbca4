// The rounds of the iteration: mark, observe, solve, test. How each quantity
// is computed is the table's business (clearing/calculo.h).
#include "clearing/iteracion.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "base/fallo.h"
#include "clearing/mapa.h"

namespace {

// Round k's first act: nodes marked for the first time get default step k.
void anotaQuiebras(Rondas& rondas, int k, const Marcas& marcas) {
  for (std::size_t i = 0; i < marcas.size(); ++i)
    if (marcas[i] != 0 && rondas.ordenQuiebra[i] == 0) rondas.ordenQuiebra[i] = k;
}

}  // namespace

void iteraQuiebras(const Red& red, const Calculo& calculo, TrabajoBloque& trabajo,
                   const ObservaRonda& observa, Rondas& rondas) {
  Vector& p = rondas.p;
  p.assign(red.pBarra.begin(), red.pBarra.end());  // within the caller's room
  const int maxRondas = static_cast<int>(std::max<std::size_t>(p.size(), 1));
  Marcas marcas = calculo.marcas(red, p, calculo.phi(red, p, trabajo.hilos));
  for (int k = 1;; ++k) {
    rondas.rondas = k;
    anotaQuiebras(rondas, k, marcas);
    if (observa) observa(k, marcas);
    calculo.resuelveRonda(red, p, marcas, trabajo);
    const Vector phi = calculo.phi(red, p, trabajo.hilos);
    if (esSolucion(p, phi)) return;  // the vector reproduces itself
    Marcas siguientes = calculo.marcas(red, p, phi);
    if (siguientes == marcas) return;  // another round would solve the same system
    if (k >= maxRondas) lanzaFallo(Error::noConverge);
    marcas = std::move(siguientes);
  }
}
