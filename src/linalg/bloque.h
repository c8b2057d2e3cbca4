// Systems that are −I outside one block: A[j][k] = −δjk unless both j and k
// are in the block. The round systems of the iteration have this shape, with
// the defaulting nodes as the block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "linalg/tipos.h"

struct Bloque {
  std::vector<std::int32_t> indices;   // the block's rows/columns, ascending
  std::vector<std::int32_t> fuera;     // the other indices, ascending
  std::vector<std::int32_t> posicion;  // per index: its place in indices, −1 outside
};

// The block of the indices marked in `dentro` (one flag per index).
Bloque calculaBloque(const std::vector<std::int32_t>& dentro);

// Work storage of the block solver, kept from one round to the next: its
// rows have room for the whole dimension from the start, so later rounds
// neither allocate nor make the system hand out fresh pages.
struct TrabajoBloque {
  Matrix Ab;      // the block: Ab[r][c] = A[indices[r]][indices[c]]
  Matrix copia;   // the pivot rows of a panel of columns, as chosen
  Matrix factor;  // every row's factor for each column of the panel
  Vector columnas;  // the panel's columns, row by row
};

// Room for blocks of up to n indices; nothing is touched yet.
TrabajoBloque nuevoTrabajoBloque(std::size_t n);

// Makes Ab m×m (within its room) for the caller to fill.
void preparaBloque(TrabajoBloque& trabajo, std::size_t m);

// x with A·x = b, computing exactly what solucionSistema computes on the full
// matrix, in time that follows the block rather than the dimension.
// trabajo.Ab holds the block, prepared and filled; it is overwritten, as is b
// (length n). Returns false when a pivot row or a factor is not finite: the
// shortcuts then do not hold, and the caller solves the full system instead
// from a fresh A and b. An indeterminate system ends the run.
bool resuelveBloque(TrabajoBloque& trabajo, const Bloque& bloque, Vector& b, Vector& x);
