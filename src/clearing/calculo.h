// The one place that chooses how a round's quantities are computed: by the
// literal formulas (clearing/mapa.h, clearing/sistema.h and the plain solver)
// or from the structure of Λ (clearing/estructura.h and the block solver).
// Both give the same bits; the run chooses once, and the iteration and the
// results see only this table.
#pragma once

#include "base/estado.h"
#include "linalg/bloque.h"

// L and PI: the matrices the run holds before any round.
inline constexpr int kMatricesDeDatos = 2;

struct Calculo {
  // φ(p) = minimo(PIᵀ·p + e, pBarra), shared among at most `hilos` threads
  // (0: hilos()), as is PIᵀ·p below.
  Vector (*phi)(const Red& red, const Vector& p, unsigned hilos);
  // Λ(p)'s marks, given φ = φ(p).
  Marcas (*marcas)(const Red& red, const Vector& p, const Vector& phi);
  // p = A\b for the round of the marked nodes, A and b built for p; trabajo
  // is the block solver's storage, kept from round to round.
  void (*resuelveRonda)(const Red& red, Vector& p, const Marcas& marcas, TrabajoBloque& trabajo);
  // PIᵀ·p: what the other nodes pay each node.
  Vector (*entradas)(const Red& red, const Vector& p, unsigned hilos);
  // The n×n matrices the run holds at its peak on this path (L and PI included).
  int matricesEnUso;
  // Of those, the block solver's storage: 1, or 0 where there is no block.
  int matricesDeBloque;
};

// The table a run expects before its data are read: the literal one for the
// reference build, the structure-aware one otherwise.
const Calculo& calculoPrevisto(bool literal);

// The literal table when literal is set (the reference build) or when PI,
// pBarra or e hold a value that is not finite; the structure-aware one otherwise.
const Calculo& eligeCalculo(const Red& red, bool literal);
