// The rounds of the iteration. Each step has two forms with the same bits:
// the literal formulas (the reference build, and any network whose data are
// not all finite) and the structure-aware ones of clearing/impago.h.
#include "clearing/iteracion.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "clearing/impago.h"
#include "clearing/mapa.h"
#include "linalg/bloque.h"
#include "linalg/memoria.h"
#include "linalg/operaciones.h"
#include "linalg/solucion.h"
#include "report/preliminares.h"
#include "run/fatal.h"

namespace {

std::vector<std::int32_t> marcasDe(const Matrix& lambda) {
  std::vector<std::int32_t> marcas = nuevoVectorEntero(lambda.size(), Salto::con);
  for (std::size_t i = 0; i < lambda.size(); ++i) marcas[i] = lambda[i][i] == 1.0 ? 1 : 0;
  return marcas;
}

// Λ(pPrima)'s diagonal: 1 for a node in default.
std::vector<std::int32_t> calculaMarcas(const NetworkState& estado) {
  if (estado.literal) return marcasDe(diagonalP(estado, estado.pPrima));
  return calculaImpago(estado, phiEstructurado(estado, estado.pPrima));
}

// True when the rounds can stop at the new pPrima: it reproduces itself, or
// its default set is the one just solved for (another round would solve the
// same system again). Otherwise siguientes gets that default set, computed
// on the structured path from the same φ as the test.
bool esFinal(const NetworkState& estado, const std::vector<std::int32_t>& resueltas,
             std::vector<std::int32_t>& siguientes) {
  const Vector& p = estado.pPrima;
  if (estado.literal) {
    if (esSolucion(p, phiP(estado, p))) return true;
    siguientes = marcasDe(diagonalP(estado, p));
  } else {
    const Vector phi = phiEstructurado(estado, p);
    if (esSolucion(p, phi)) return true;
    siguientes = calculaImpago(estado, phi);
  }
  return siguientes == resueltas;
}

// pPrima = A\b for the round whose defaulting nodes are marked. trabajo is
// the block solver's storage, kept from round to round.
void resuelveRonda(NetworkState& estado, const std::vector<std::int32_t>& marcas,
                   TrabajoBloque& trabajo) {
  if (!estado.literal) {
    const Bloque bloque = calculaBloque(marcas);
    Vector b;
    Vector x;
    construyeSistema(estado, bloque, trabajo, b);
    if (resuelveBloque(trabajo, bloque, b, x)) {
      estado.pPrima = std::move(x);
      return;
    }
  }
  Vector b = terminoIndep(estado, estado.pPrima);
  Matrix A = matrizSistema(estado, estado.pPrima);
  estado.pPrima = solucionSistema(A, b);
}

}  // namespace

void escribeDiagonal(std::FILE* out, NetworkState& estado, int k,
                     const std::vector<std::int32_t>& marcas) {
  if (estado.literal) {
    const Matrix lambda = diagonalP(estado, estado.pPrima);
    escribePaso(out, k, lambda);
  } else {
    escribePasoMarcas(out, k, marcas);
  }
  for (std::size_t i = 0; i < marcas.size(); ++i)
    if (marcas[i] != 0 && estado.ordenQuiebra[i] == 0) estado.ordenQuiebra[i] = k;
}

Matrix matrizSistema(const NetworkState& estado, const Vector& p) {
  const Matrix lambda = diagonalP(estado, p);
  const Matrix PIt = traspuesta(estado.PI);
  return restaMat(producteMat(lambda, producteMat(PIt, lambda)), I(p.size()));
}

Vector terminoIndep(const NetworkState& estado, const Vector& p) {
  const Matrix lambda = diagonalP(estado, p);
  const Matrix PIt = traspuesta(estado.PI);
  const Matrix solventes = restaMat(I(p.size()), lambda);  // I − Λ
  const Vector u = prodMatVec(solventes, estado.pBarra);
  const Vector w = prodMatVec(lambda, estado.e);
  const Vector z = prodMatVec(producteMat(producteMat(lambda, PIt), solventes), estado.pBarra);
  Vector b = sumaVec(sumaVec(z, w), u);
  for (double& x : b) x = -x;
  return b;
}

void iteraQuiebras(std::FILE* out, NetworkState& estado) {
  estado.pPrima.assign(estado.pBarra.begin(), estado.pBarra.end());  // within the run's room
  const int maxRondas = std::max<int>(estado.dim, 1);
  TrabajoBloque trabajo;
  if (!estado.literal) trabajo = nuevoTrabajoBloque(estado.pBarra.size());
  std::vector<std::int32_t> marcas = calculaMarcas(estado);
  for (int k = 1;;) {
    escribeDiagonal(out, estado, k, marcas);
    resuelveRonda(estado, marcas, trabajo);
    k = k + 1;
    std::vector<std::int32_t> siguientes;
    if (esFinal(estado, marcas, siguientes)) return;
    if (k - 1 >= maxRondas) terminaConError(kNoConverge, Salto::con);
    marcas = std::move(siguientes);
  }
}
