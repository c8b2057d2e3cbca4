// The two ways to compute a round, and the choice between them.
#include "clearing/calculo.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <utility>

#include "base/fallo.h"
#include "base/memoria.h"
#include "clearing/estructura.h"
#include "clearing/mapa.h"
#include "clearing/sistema.h"
#include "linalg/eliminadas.h"
#include "linalg/operaciones.h"
#include "linalg/solucion.h"

namespace {

Marcas marcasLiterales(const Red& red, const Vector& p, const Vector& /*phi*/) {
  const Matrix lambda = diagonalP(red, p);
  Marcas marcas = nuevoVectorEntero(lambda.size());
  for (std::size_t i = 0; i < lambda.size(); ++i) marcas[i] = lambda[i][i] == 1.0 ? 1 : 0;
  return marcas;
}

void resuelveLiteral(const Red& red, Vector& p, const Marcas& /*marcas*/,
                     TrabajoBloque& /*trabajo*/) {
  Vector b = terminoIndep(red, p);
  Matrix A = matrizSistema(red, p);
  p = solucionSistema(A, b);
}

Vector phiLiteral(const Red& red, const Vector& p, unsigned /*hilos*/) {
  return phiP(red, p);
}

Vector entradasLiterales(const Red& red, const Vector& p, unsigned /*hilos*/) {
  return prodMatVec(traspuesta(red.PI), p);
}

Marcas marcasEstructuradas(const Red& red, const Vector& /*p*/, const Vector& phi) {
  return marcasDePhi(red, phi);
}

// L, PI and A's dense temporaries: four products per round, each with its operands.
constexpr Calculo kLiteral{phiLiteral, marcasLiterales, resuelveLiteral, entradasLiterales, 10, 0};

// A block eliminated before (linalg/eliminadas.h): only the right-hand side
// is built, and taken through the record. The block storage is left as it
// is, so the record of the last round it holds is forgotten.
bool resuelveConCache(const Red& red, Vector& p, const Bloque& bloque, TrabajoBloque& trabajo) {
  const std::shared_ptr<const Eliminacion> hecha = buscaEliminacion(trabajo.cache, bloque.indices);
  if (!hecha) return false;
  olvidaHistoria(trabajo.historia, trabajo.historia.permitida);
  Vector b;
  construyeTermino(red, bloque, hecha->delBloque, b);
  resuelveConEliminacion(*hecha, bloque, b, p);
  return true;
}

// A round solved by the block solver, into the cache with what its
// right-hand side takes from the block alone; left out when memory is short.
void guardaEnCache(const Red& red, const Bloque& bloque, CacheEliminaciones& cache,
                   Eliminacion registro) {
  try {
    registro.delBloque = pagosDeSolventes(red, bloque);
  } catch (const Fallo&) {
    return;
  }
  guardaEliminacion(cache, std::move(registro));
}

// The block solver hands a round back when a pivot row or a factor is not
// finite; that round is then solved literally, from a fresh A and b, once
// the caller has said the literal formulas' matrices fit beside what the
// run holds (the block's storage stays). They take far more than the start
// allowed for, and finite data can still overflow there.
void resuelveEstructurado(const Red& red, Vector& p, const Marcas& marcas, TrabajoBloque& trabajo) {
  const std::size_t n = p.size();
  const Bloque bloque = calculaBloque(marcas);
  if (resuelveConCache(red, p, bloque, trabajo)) return;
  if (trabajo.Ab.size() != n) {  // first round
    auto caben = std::move(trabajo.caben);
    CacheEliminaciones* cache = trabajo.cache;
    trabajo = nuevoTrabajoBloque(n, trabajo.historia.permitida, bloque.indices.size(),
                                 trabajo.hilos, std::move(trabajo.sitio));
    trabajo.caben = std::move(caben);
    trabajo.cache = cache;
  }
  Vector b;
  Vector x;
  construyeSistema(red, bloque, trabajo, b);
  std::optional<Eliminacion> registro = nuevaEliminacion(trabajo.cache, bloque.indices, n);
  if (resuelveBloque(trabajo, bloque, b, x, registro ? &*registro : nullptr)) {
    if (registro) guardaEnCache(red, bloque, *trabajo.cache, std::move(*registro));
    p = std::move(x);
    return;
  }
  // The run's own check, like the one at the start: no line end.
  if (trabajo.caben && !trabajo.caben(kLiteral.matricesEnUso - kMatricesDeDatos))
    lanzaFallo(Error::sinMemoria, Salto::sin);
  resuelveLiteral(red, p, marcas, trabajo);
}

// L, PI and the block solver's storage; a cascade's record of its rounds,
// two more, only where they fit (linalg/historia.h).
constexpr Calculo kEstructurado{
    phiEstructurado, marcasEstructuradas, resuelveEstructurado, sumaEntradas, 3, 1};

}  // namespace

const Calculo& calculoPrevisto(bool literal) {
  return literal ? kLiteral : kEstructurado;
}

const Calculo& eligeCalculo(const Red& red, bool literal) {
  if (literal || !esDatoFinito(red)) return kLiteral;
  return kEstructurado;
}
