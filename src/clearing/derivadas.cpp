// The quantities derived from the network's obligations: pBarra and PI.
#include "clearing/derivadas.h"

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
      double suma = 0.0;
      for (std::size_t j = 0; j < n; ++j) suma += estado.L[i][j];
      pBarra[i] = suma;
    }
  });
  return pBarra;
}

Matrix calculaPI(const NetworkState& estado) {
  const std::size_t n = estado.L.size();
  Matrix PI = reservaMatriz(n);
  repartePorFilas(n, 1, n, [&](std::size_t desde, std::size_t hasta) {
    for (std::size_t i = desde; i < hasta; ++i) {
      PI[i].resize(n);                        // zeros, within the reserved room
      if (estado.pBarra[i] == 0.0) continue;  // exact test: the row stays 0.0
      for (std::size_t j = 0; j < n; ++j) PI[i][j] = estado.L[i][j] / estado.pBarra[i];
    }
  });
  return PI;
}
