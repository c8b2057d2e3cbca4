// The one place that chooses how a round's quantities are computed: by the
// literal formulas (clearing/mapa.h, clearing/sistema.h and the plain solver)
// or from the structure of Λ (clearing/estructura.h and the block solver).
// Both give the same bits; the run chooses once, and the iteration and the
// results see only this table.
#pragma once

#include "base/estado.h"
#include "linalg/bloque.h"

struct Calculo {
  // φ(p) = minimo(PIᵀ·p + e, pBarra).
  Vector (*phi)(const NetworkState& estado, const Vector& p);
  // Λ(p)'s marks, given φ = φ(p).
  Marcas (*marcas)(const NetworkState& estado, const Vector& p, const Vector& phi);
  // pPrima = A\b for the round of the marked nodes; trabajo is the block
  // solver's storage, kept from round to round.
  void (*resuelveRonda)(NetworkState& estado, const Marcas& marcas, TrabajoBloque& trabajo);
  // PIᵀ·p: what the other nodes pay each node.
  Vector (*entradas)(const NetworkState& estado, const Vector& p);
  // The n×n matrices the run holds at its peak on this path (L and PI included).
  int matricesEnUso;
};

// The table a run expects before its data are read: the literal one for the
// reference build, the structure-aware one otherwise.
const Calculo& calculoPrevisto(bool literal);

// The literal table when literal is set (the reference build) or when PI,
// pBarra or e hold a value that is not finite; the structure-aware one otherwise.
const Calculo& eligeCalculo(const NetworkState& estado, bool literal);
