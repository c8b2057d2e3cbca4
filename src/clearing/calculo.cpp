// The two ways to compute a round, and the choice between them.
#include "clearing/calculo.h"

#include <cstddef>
#include <utility>

#include "base/memoria.h"
#include "clearing/estructura.h"
#include "clearing/mapa.h"
#include "clearing/sistema.h"
#include "linalg/operaciones.h"
#include "linalg/solucion.h"

namespace {

Marcas marcasLiterales(const NetworkState& estado, const Vector& p, const Vector& /*phi*/) {
  const Matrix lambda = diagonalP(estado, p);
  Marcas marcas = nuevoVectorEntero(lambda.size());
  for (std::size_t i = 0; i < lambda.size(); ++i) marcas[i] = lambda[i][i] == 1.0 ? 1 : 0;
  return marcas;
}

void resuelveLiteral(NetworkState& estado, const Marcas& /*marcas*/, TrabajoBloque& /*trabajo*/) {
  Vector b = terminoIndep(estado, estado.pPrima);
  Matrix A = matrizSistema(estado, estado.pPrima);
  estado.pPrima = solucionSistema(A, b);
}

Vector entradasLiterales(const NetworkState& estado, const Vector& p) {
  return prodMatVec(traspuesta(estado.PI), p);
}

Marcas marcasEstructuradas(const NetworkState& estado, const Vector& /*p*/, const Vector& phi) {
  return marcasDePhi(estado, phi);
}

// The block solver hands a round back when a pivot row or a factor is not
// finite; that round is then solved literally, from a fresh A and b.
void resuelveEstructurado(NetworkState& estado, const Marcas& marcas, TrabajoBloque& trabajo) {
  const std::size_t n = estado.pPrima.size();
  const Bloque bloque = calculaBloque(marcas);
  if (trabajo.Ab.size() != n)  // first round
    trabajo = nuevoTrabajoBloque(n, trabajo.historia.permitida, bloque.indices.size());
  Vector b;
  Vector x;
  construyeSistema(estado, bloque, trabajo, b);
  if (resuelveBloque(trabajo, bloque, b, x)) {
    estado.pPrima = std::move(x);
    return;
  }
  resuelveLiteral(estado, marcas, trabajo);
}

// L, PI and A's dense temporaries: four products per round, each with its operands.
constexpr Calculo kLiteral{phiP, marcasLiterales, resuelveLiteral, entradasLiterales, 10};
// L, PI and the block solver's storage; a cascade's record of its rounds,
// two more, only where they fit (iteraQuiebras).
constexpr Calculo kEstructurado{phiEstructurado, marcasEstructuradas, resuelveEstructurado,
                                sumaEntradas, 3};

}  // namespace

const Calculo& calculoPrevisto(bool literal) {
  return literal ? kLiteral : kEstructurado;
}

const Calculo& eligeCalculo(const NetworkState& estado, bool literal) {
  if (literal || !esDatoFinito(estado)) return kLiteral;
  return kEstructurado;
}
