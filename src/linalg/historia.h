// What one round's elimination leaves for the next. In a cascade a round's
// block is often the last one with a few higher indices added: the old rows
// and columns come first in the same order, their entries are the same, so
// the old pivots are the same rows with the same factors, and the old part
// of the eliminated block is what the last round left. Only the added rows
// and columns need the old pivots applied, which takes the old pivot rows as
// they were when chosen and every row's factors: m²·d updates for d added
// nodes instead of m³. Each element still receives x − p·f for every pivot
// in pivot order, so the bits are those of eliminating the whole block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/tipos.h"

struct Historia {
  bool permitida = false;             // the run has the memory for it
  std::size_t dimension = 0;          // n: room for blocks of up to n indices
  std::vector<std::int32_t> indices;  // the block of the last round solved
  bool creciendo = false;             // that round added a few indices to the one before it
  std::size_t guardadas = 0;          // its columns recorded below; 0: none valid
  std::vector<std::int32_t> pivote;   // per block column: its pivot row
  Matrix copia;                       // per block column: its pivot row when chosen
  Matrix factor;                      // per block column: every row's factor, 0 for its pivot row
};

// A history for blocks of up to n indices; storage is reserved when the
// first round is recorded.
Historia nuevaHistoria(std::size_t n, bool permitida);

// The leading block columns whose elimination the last round left in the
// block storage for this block: the last block's size when it was recorded
// and this one is it with a few higher indices added (few enough for the
// carrying over to pay), 0 otherwise.
std::size_t columnasConservadas(const Historia& historia, const std::vector<std::int32_t>& indices);

// Whether this round should be recorded for the next: the run allows it,
// the block could still grow, and both this round and the last added a few
// higher indices to the block before (a cascade in progress). A run whose
// blocks jump, or that extends its block once at the end, never pays for a
// record it would not use.
bool convieneGuardar(const Historia& historia, const std::vector<std::int32_t>& indices,
                     std::size_t n);

// Applies the k recorded pivots to the rows and columns k … m − 1 of the m×m
// block Ab (rows 0 … k − 1 already hold their columns 0 … k − 1 eliminated),
// extending the record to m rows, and marks the pivot rows in usada.
// columnas is scratch room for kAncho·m values. False when an added entry of
// a pivot row or an added row's factor is not finite.
bool aplicaHistoria(Matrix& Ab, Historia& historia, std::size_t k, std::size_t m,
                    std::vector<std::int32_t>& usada, Vector& columnas, std::size_t kAncho);

// Records block column c: its pivot row, the row as chosen and the factors
// of the block's m rows.
void guardaColumna(Historia& historia, std::size_t c, std::int32_t pivote, const Vector& copia,
                   const Vector& factor, std::size_t m);

// The round of this block is done: recorded when `guardada`, else forgotten.
void cierraHistoria(Historia& historia, const std::vector<std::int32_t>& indices, bool guardada);
