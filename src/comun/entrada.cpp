#include "comun/entrada.h"

#include <cstddef>

#include "base/memoria.h"
#include "clearing/derivadas.h"
#include "lectura/datos.h"

void leeRedYDeriva(Lector& entrada, NetworkState& estado) {
  const auto n = static_cast<std::size_t>(estado.dim);
  estado.e = reservaVector(n);
  estado.L = reservaMatriz(n);
  leerDatos(entrada, estado);
  estado.pBarra = calculaPBarra(estado);
  estado.PI = calculaPI(estado);
}
