// The rounds of the iteration: mark, observe, solve, test. How each quantity
// is computed is the table's business (clearing/calculo.h).
#include "clearing/iteracion.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "base/fallo.h"
#include "clearing/mapa.h"
#include "linalg/operaciones.h"

namespace {

// Round k's first act: nodes marked for the first time get default step k.
void anotaQuiebras(Rondas& rondas, int k, const Marcas& marcas) {
  for (std::size_t i = 0; i < marcas.size(); ++i)
    if (marcas[i] != 0 && rondas.ordenQuiebra[i] == 0) rondas.ordenQuiebra[i] = k;
}

// With default costs, what the map gives p: in full for a node that can pay
// (φ[i] = pBarra[i]), α·e + β·(what it receives), at most pBarra, for one
// that cannot.
Vector pagosConCostes(const Red& red, const Calculo& calculo, const Vector& p, const Vector& phi,
                      unsigned hilos) {
  Vector pagos = calculo.entradas(red, p, hilos);
  for (std::size_t i = 0; i < pagos.size(); ++i) {
    const double conCostes = red.costes.alfa * red.e[i] + red.costes.beta * pagos[i];
    pagos[i] = red.pBarra[i] > phi[i] ? minimo(conCostes, red.pBarra[i]) : phi[i];
  }
  return pagos;
}

}  // namespace

void iteraQuiebras(const Red& red, const Calculo& calculo, TrabajoBloque& trabajo,
                   const ObservaRonda& observa, Rondas& rondas) {
  Vector& p = rondas.p;
  p.assign(red.pBarra.begin(), red.pBarra.end());  // within the caller's room
  const int maxRondas = static_cast<int>(std::max<std::size_t>(p.size(), 1));
  Marcas& marcas = rondas.marcas;
  marcas = calculo.marcas(red, p, calculo.phi(red, p, trabajo.hilos));
  for (int k = 1;; ++k) {
    rondas.rondas = k;
    anotaQuiebras(rondas, k, marcas);
    if (observa) observa(k, marcas);
    calculo.resuelveRonda(red, p, marcas, trabajo);
    const Vector phi = calculo.phi(red, p, trabajo.hilos);
    // the vector reproduces itself
    if (esSolucion(p, red.costes.ninguno() ? phi : pagosConCostes(red, calculo, p, phi, trabajo.hilos))) return;
    Marcas siguientes = calculo.marcas(red, p, phi);
    if (siguientes == marcas) return;  // another round would solve the same system
    if (k >= maxRondas) lanzaFallo(Error::noConverge);
    marcas = std::move(siguientes);
  }
}
