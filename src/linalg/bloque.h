// Systems that are −I outside one block: A[j][k] = −δjk unless both j and k
// are in the block. The round systems of the iteration have this shape, with
// the defaulting nodes as the block. The block solver computes exactly what
// the full solver (linalg/solucion.h) computes, in time that follows the
// block rather than the dimension. Why skipping the rest changes no bit,
// given that every pivot row and every factor is finite:
//   1. A holds no −0.0: its entries are 0.0 + x or x − 1.0, and x − y is −0.0
//      only when x is −0.0. So A[k][l] − (±0) = A[k][l]: an update with a zero
//      factor, or from a zero in the pivot row, leaves A unchanged.
//   2. Outside the block A is −I. A column j outside pivots on row j (its
//      only entry ≥ tol), and every other row's factor there is ±0 / −1, a
//      signed zero; by 1 it changes no entry of A.
//   3. An update of b with a zero factor, b[k] − b[i]·(±0), changes b[k]
//      only when the product is NaN (b[i] not finite) or when it is −0.0 and
//      b[k] is −0.0 (giving +0.0); those updates are made, the others skipped,
//      so b's signed zeros and NaNs come out as in the full elimination.
//   4. In the division, a row outside the block divides by its −1; in a block
//      row the zeros outside never win the search for the largest magnitude,
//      so column 0 (0.0 when it is outside) and the block's columns decide.
//   5. In the reordering, column j outside has one entry above tol, original
//      row j's −1; a block column's entries lie in the block's rows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "base/tipos.h"
#include "linalg/historia.h"
#include "panel/panel.h"

struct CacheEliminaciones;  // linalg/eliminadas.h
struct Eliminacion;

struct Bloque {
  std::vector<std::int32_t> indices;   // the block's rows/columns, ascending
  std::vector<std::int32_t> fuera;     // the other indices, ascending
  std::vector<std::int32_t> posicion;  // per index: its place in indices, kFuera outside
};
inline constexpr std::int32_t kFuera = -1;

// The block of the marked indices.
Bloque calculaBloque(const Marcas& marcas);

// Work storage of the block solver, kept from one round to the next: its
// rows have room for the whole dimension from the start, so later rounds
// neither allocate nor make the system hand out fresh pages.
struct TrabajoBloque {
  Matrix Ab;                            // the block: Ab[r][c] = A[indices[r]][indices[c]]
  std::array<TrabajoPanel, 2> paneles;  // the elimination's panels, used in turn
  Historia historia;                    // the last round's elimination, for the next
  std::size_t conservadas = 0;          // this round: leading columns already eliminated
  bool guarda = false;                  // this round: recorded for the next
  unsigned hilos = 0;                   // threads for a block's rows; 0: hilos()
  // The caller's word on whether that many more n×n matrices fit, asked
  // before a round is handed to the full solver; none: they do.
  std::function<bool(int matrices)> caben;
  // Blocks eliminated before for this network and these costs, shared with
  // other runs (linalg/eliminadas.h); none: each round eliminates its own.
  CacheEliminaciones* cache = nullptr;
  // Rows a caller gave up for Ab, n of them with room for n values each (the
  // program's L once it is in the report; their values are of no account):
  // the first round takes them instead of fresh memory, whose pages the
  // system would clear once more.
  Matrix sitio;
};

// Room for blocks of up to n indices; nothing is touched yet. `recuerda`:
// the run allows a round's elimination to be carried over to the next (when
// it is: linalg/historia.h). `primera`, the
// first block's size, says whether the room will be written nearly whole;
// `hilos` caps the threads a block's rows are shared among (0: hilos()).
// Ab takes the rows of `sitio` when it has n of them, each with room for n.
TrabajoBloque nuevoTrabajoBloque(std::size_t n, bool recuerda = false, std::size_t primera = 0,
                                 unsigned hilos = 0, Matrix sitio = {});

// Makes Ab m×m (within its room) for the block's m indices. Returns k, the
// leading rows and columns whose elimination the last round left in Ab: the
// caller fills every entry but those Ab[r][c] with r, c < k.
std::size_t preparaBloque(TrabajoBloque& trabajo, const Bloque& bloque);

// x with A·x = b. trabajo.Ab holds the block, prepared and filled; it is
// overwritten, as is b (length n); the elimination is recorded in `registro`
// when there is one (nuevaEliminacion, linalg/eliminadas.h). Returns false when a pivot row or a
// factor is not finite: the invariants above then do not hold, and the
// caller solves the full system instead from a fresh A and b. An
// indeterminate system throws Error::indeterminado.
bool resuelveBloque(TrabajoBloque& trabajo, const Bloque& bloque, Vector& b, Vector& x,
                    Eliminacion* registro = nullptr);
