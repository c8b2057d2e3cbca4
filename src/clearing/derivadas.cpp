// The quantities derived from the network's obligations: pBarra and PI.
#include "clearing/derivadas.h"

#include <algorithm>
#include <cstddef>

#include "base/hilos.h"
#include "base/memoria.h"
#include "base/reparto.h"

// Rows are independent and each is computed whole by one thread, in the
// order of its columns: the bits do not depend on the number of threads.
// The rows' pages are first touched there too, on every core.
Vector calculaPBarra(const NetworkState& estado) {
  const std::size_t n = estado.L.size();
  Vector pBarra = nuevoVector(n);
  repartePorFilas(n, 1, n, [&](std::size_t desde, std::size_t hasta) {
    for (std::size_t i = desde; i < hasta; ++i) {
      pBarra[i] = sumaFila(estado.L[i]);
    }
  });
  return pBarra;
}

Matrix calculaPI(const NetworkState& estado) {
  const std::size_t n = estado.L.size();
  Matrix PI = reservaMatriz(n);
  repartePorFilas(n, 1, n, [&](std::size_t desde, std::size_t hasta) {
    for (std::size_t i = desde; i < hasta; ++i) {
      PI[i].resize(n);  // zeros, within the reserved room
      divideFila(estado.L[i], estado.pBarra[i], PI[i]);
    }
  });
  return PI;
}

double sumaFila(const Vector& filaL) {
  double suma = 0.0;
  for (const double l : filaL) suma += l;
  return suma;
}

void divideFila(const Vector& filaL, double pBarra, Vector& filaPI) {
  if (pBarra == 0.0) {  // exact test: the row is 0.0
    std::fill(filaPI.begin(), filaPI.end(), 0.0);
    return;
  }
  for (std::size_t j = 0; j < filaL.size(); ++j) filaPI[j] = filaL[j] / pBarra;
}
