// The elimination's A side, in panels of consecutive pivots: the pivots of up
// to kAnchoPanel block columns are decided a strip of kAnchoFranja columns at
// a time on a compact copy of the panel's columns, and the rest of each row
// is updated afterwards in one update for all of them. Invariant (P): every
// element still receives x − p·f for each pivot in pivot order, p from the
// pivot row as it was when chosen, with no fused multiply-add; so the bits are
// those of the column-by-column elimination, while a row is read from memory
// once per panel rather than once per column.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/hilos.h"
#include "base/tipos.h"
#include "panel/tesela.h"

// 32 pivots decided together on the compact copy: the strip's own updates
// are made one row and one pivot at a time, and grow with the square of its
// width (figures in docs/performance.md, "Panels and register tiles").
inline constexpr std::size_t kAnchoFranja = 32;

// 2 strips an update: a row is then read from memory once per 64 pivots, so
// the update stays bound by arithmetic on both cores of a large block; 4
// were no faster and hold more pivot rows (docs/performance.md).
inline constexpr std::size_t kFranjasPorPanel = 2;
inline constexpr std::size_t kAnchoPanel = kAnchoFranja * kFranjasPorPanel;

// The update goes over the block's columns in stretches of this many, each
// stretch over all rows: the panel's pivot rows there (64 × 512 doubles,
// 256 KiB) stay in the second-level cache while the rows stream past.
inline constexpr std::size_t kColumnasPorTrecho = 512;

// Room a row of the update's list holds for its tile's pivot numbers: a
// tile's kFilasTesela rows then hold the panel's kAnchoPanel and their count.
inline constexpr std::size_t kPivotesPorFila = kAnchoPanel / kFilasTesela + 1;

// Work storage of a panel, with room for blocks of the whole dimension.
struct TrabajoPanel {
  Matrix copia;                      // per panel column: its pivot row when it was chosen
  Matrix factor;                     // per panel column: each row's factor (0 for the pivot row)
  Vector columnas;                   // the panel's columns, a strip of every row at a time
  Vector empaquetadas;               // the pivot rows packed for the update (panel/tesela.h)
  std::vector<std::int32_t> llenos;  // per packed block: 1 when a pivot row is nonzero there
  std::vector<std::int32_t> filas;   // the update: each thread's rows for the register tiles
  // The update: each tile's factors for the pivots that apply and, before
  // their numbers, how many apply; a tile of kFilasTesela rows from row k
  // of the list holds those from k·kAnchoPanel and k·kPivotesPorFila on.
  Vector factoresTeselas;
  std::vector<std::int32_t> pivotesTeselas;
  std::vector<std::int32_t> conFactores;  // per row: bit s, a nonzero factor in strip s
  unsigned hilos = 0;                     // threads for an update's rows; 0: hilos()
};

// One panel: block columns [inicio, fin), their pivot rows and the work
// storage that holds their copies and factors.
struct Panel {
  std::size_t inicio = 0;
  std::size_t fin = 0;
  std::size_t m = 0;                 // the block's rows
  std::vector<std::int32_t> pivote;  // per panel column: the pivot row
  TrabajoPanel& trabajo;
};

// The bytes the two sets of an elimination's panels reserve (nuevoTrabajoPanel).
double memoriaDePaneles(std::size_t n);

// Room for blocks of up to n rows; nothing is touched yet.
TrabajoPanel nuevoTrabajoPanel(std::size_t n);

// Sizes the storage for a block of m rows (within its room: no allocation).
void preparaPanel(TrabajoPanel& trabajo, std::size_t m);

// What is left of a panel's update while the next panel's pivots are
// decided: the block's columns outside the panel and the next one, a piece
// of rows at a time, taken in turn by the pool's workers and, once it has
// decided, by the caller. Each row's columns get the same updates in the
// same order whoever takes them.
struct ActualizacionPendiente {
  struct Parte {
    ActualizacionPendiente* pendiente;
    void operator()(std::size_t parte) const;
  };
  Matrix* Ab = nullptr;
  const Panel* panel = nullptr;
  std::size_t desde = 0;  // the columns left: [0, panel->inicio) and [desde, m)
  std::size_t piezas = 0;
  std::atomic<std::size_t> siguiente{0};  // the next piece not taken
  Parte parte{this};
  std::optional<Encargo> encargo;  // the workers' parts, while any may run
};

// One elimination's panels, on two sets of storage in turn (look-ahead):
// while the rest of the block is still updated for the last panel, the next
// panel's pivots are decided on the other set.
struct Paneles {
  std::array<Panel, 2> panel;
  std::size_t ultimo = 0;            // panel[ultimo]: the last panel eliminated
  bool adelantado = false;           // panel[1 − ultimo]: the next panel, its pivots decided
  ActualizacionPendiente pendiente;  // last: ends, its parts waited for, before the panels go
};

// Nothing decided yet; the first panel starts at block column inicio (after
// the columns a carried-over elimination kept).
Paneles nuevosPaneles(std::array<TrabajoPanel, 2>& trabajo, std::size_t inicio);

// The last panel eliminated, whose columns the caller closes.
inline const Panel& ultimoPanel(const Paneles& paneles) {
  return paneles.panel[paneles.ultimo];
}

// The A side of the panel of the m×m block Ab that starts at block column
// inicio, the last panel's end; usada marks the rows already pivots. A
// column with no unused row of magnitude ≥ tol throws Error::indeterminado.
// Returns false when a pivot row or a factor is not finite. The update for it
// may still run on the pool's workers when it returns (terminaActualizacion).
bool eliminaPanel(Matrix& Ab, std::vector<std::int32_t>& usada, Paneles& paneles,
                  std::size_t inicio, std::size_t m);

// Ends the update of the last panel, taking its pieces on this thread too.
void terminaActualizacion(ActualizacionPendiente& pendiente);
