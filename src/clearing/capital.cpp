// The capital, with the inflows computed as the run's table computes them.
#include "clearing/capital.h"

#include "linalg/operaciones.h"

Vector calculaCapital(const Red& red, const Vector& p, const Calculo& calculo, unsigned hilos) {
  const Vector entradas = calculo.entradas(red, p, hilos);  // PIᵀ·p
  return restaVec(sumaVec(entradas, red.e), p);
}
