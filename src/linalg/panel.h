// The elimination's A side, in panels of consecutive pivots: the pivots of up
// to kAnchoPanel block columns are decided together, with the panel's own
// columns updated at once (in a compact copy) and the rest of each row
// updated afterwards in one sweep. Invariant (P): every element still
// receives x − p·f for each pivot in pivot order, p from the pivot row as it
// was when chosen, with no fused multiply-add; so the bits are those of the
// column-by-column elimination, while a row is read from memory once per
// panel rather than once per column.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/tipos.h"

// 32 pivots a panel: a row is then read once per 32 updates, enough for the
// sweep to be bound by arithmetic rather than memory, while the panel's own
// columns (whose updates grow with the square of the width) stay a small share
// (figures in docs/performance.md, "Panels and register tiles").
inline constexpr std::size_t kAnchoPanel = 32;

// Work storage of the panels, with room for blocks of the whole dimension.
struct TrabajoPanel {
  Matrix copia;        // per panel column: its pivot row when it was chosen
  Matrix factor;       // per panel column: each row's factor (0 for the pivot row)
  Vector columnas;     // the panel's columns, row by row: [k·kAnchoPanel + t]
  unsigned hilos = 0;  // threads for a sweep's rows; 0: hilos()
};

// One panel: block columns [inicio, fin), their pivot rows and the work
// storage that holds their copies and factors.
struct Panel {
  std::size_t inicio = 0;
  std::size_t fin = 0;
  std::vector<std::int32_t> pivote;  // per panel column: the pivot row
  TrabajoPanel& trabajo;
  std::vector<std::int32_t> hechas;  // per row: the panel's columns applied outside it
};

// Room for blocks of up to n rows; nothing is touched yet.
TrabajoPanel nuevoTrabajoPanel(std::size_t n);

// Sizes the storage for a block of m rows (within its room: no allocation).
void preparaPanel(TrabajoPanel& trabajo, std::size_t m);

// A panel over m block rows, with nothing decided yet.
Panel nuevoPanel(TrabajoPanel& trabajo, std::size_t m);

// The A side of block columns inicio … inicio + kAnchoPanel − 1 of the m×m
// block Ab; usada marks the rows already pivots. A column with no unused row
// of magnitude ≥ tol throws Error::indeterminado. Returns
// false when a pivot row or a factor is not finite.
bool eliminaPanel(Matrix& Ab, std::vector<std::int32_t>& usada, Panel& panel, std::size_t inicio,
                  std::size_t m);
