// The capital, with the inflows computed as the run's table computes them.
#include "clearing/capital.h"

#include "linalg/operaciones.h"

Vector calculaCapital(const NetworkState& estado, const Calculo& calculo) {
  const Vector entradas = calculo.entradas(estado, estado.pPrima);  // PIᵀ·p
  return restaVec(sumaVec(entradas, estado.e), estado.pPrima);
}
