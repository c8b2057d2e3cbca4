// Systems that are −I outside one block: A[j][k] = −δjk unless both j and k
// are in the block. The round systems of the iteration have this shape, with
// the defaulting nodes as the block.
#pragma once

#include <cstdint>
#include <vector>

#include "linalg/tipos.h"

struct Bloque {
  std::vector<std::int32_t> indices;   // the block's rows/columns, ascending
  std::vector<std::int32_t> posicion;  // per index: its place in indices, −1 outside
};

// The block of the indices marked in `dentro` (one flag per index).
Bloque calculaBloque(const std::vector<std::int32_t>& dentro);

// x with A·x = b, computing exactly what solucionSistema computes on the full
// matrix, in time that follows the block rather than the dimension. Ab holds
// the block (Ab[r][c] = A[indices[r]][indices[c]]; rows may be longer) and is
// overwritten, as is b (length n). Returns false, with nothing decided, when a
// pivot row or a factor is not finite: the shortcuts then do not hold and the
// caller solves the full system instead. An indeterminate system ends the run.
bool resuelveBloque(Matrix& Ab, const Bloque& bloque, Vector& b, Vector& x);
