// The rounds of the iteration: mark, write the block, solve, test. How each
// quantity is computed is the table's business (clearing/calculo.h).
#include "clearing/iteracion.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "base/fatal.h"
#include "base/plataforma.h"
#include "clearing/mapa.h"
#include "clearing/progreso.h"
#include "report/preliminares.h"

void escribeDiagonal(std::FILE* out, NetworkState& estado, int k, const Marcas& marcas) {
  escribePaso(out, k, marcas);
  for (std::size_t i = 0; i < marcas.size(); ++i)
    if (marcas[i] != 0 && estado.ordenQuiebra[i] == 0) estado.ordenQuiebra[i] = k;
}

void iteraQuiebras(std::FILE* out, NetworkState& estado, const Calculo& calculo, bool recuerda) {
  estado.pPrima.assign(estado.pBarra.begin(), estado.pBarra.end());  // within the run's room
  const int maxRondas = std::max<int>(estado.dim, 1);
  TrabajoBloque trabajo;  // its storage is reserved by the first round that needs it
  trabajo.historia.permitida = recuerda;
  Marcas marcas = calculo.marcas(estado, estado.pPrima, calculo.phi(estado, estado.pPrima));
  Progreso progreso = nuevoProgreso(stderr, esTerminalDeError());
  for (int k = 1;; ++k) {
    escribeDiagonal(out, estado, k, marcas);
    muestraRonda(progreso, k, marcas);
    calculo.resuelveRonda(estado, marcas, trabajo);
    const Vector phi = calculo.phi(estado, estado.pPrima);
    if (esSolucion(estado.pPrima, phi))
      return borraProgreso(progreso);  // the vector reproduces itself
    Marcas siguientes = calculo.marcas(estado, estado.pPrima, phi);
    if (siguientes == marcas)
      return borraProgreso(progreso);  // another round would solve the same system
    if (k >= maxRondas) terminaConError(kNoConverge);
    marcas = std::move(siguientes);
  }
}
