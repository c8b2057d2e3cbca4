// The arithmetic core of the panel elimination (panel/panel.h): rows that
// receive a run of pivots, held in registers a tile at a time. Every element
// gets x − p·f once per pivot, in pivot order, as separate multiply and
// subtract (no fused multiply-add), so the bits do not depend on the version
// the processor runs (AVX-512, AVX2 or the portable one, chosen once).
#pragma once

#include <cstddef>
#include <cstdint>

// Rows of a tile; a tile is two vectors wide (16 columns with AVX-512, 8
// with AVX2, 4 with the portable vectors). 8 × 16 keeps 16 AVX-512 registers
// of running values, and each pivot's two loaded vectors serve eight rows:
// the loads from the second-level cache then keep up with the arithmetic
// (figures in docs/performance.md, "Panels and register tiles").
inline constexpr std::size_t kFilasTesela = 8;

// The pivots of a run: pivotes[t] is pivot t's row (its columns in the
// block's numbering), factores[t·filas + i] the factor of row i for it.
struct Pivotes {
  const double* const* pivotes;
  const double* factores;
  std::size_t cuantos;
};

// For each pivot t in order: filas[i][c] = filas[i][c] − pivotes[t][c]·f
// over columns [desde, hasta), for the kFilasTesela rows filas[i].
void restaPivotesTesela(double* const* filas, const Pivotes& p, std::size_t desde,
                        std::size_t hasta);

// Pivot rows packed for the update: from column 0, each block of kAnchoPaquete
// columns holds the rows of `ancho` pivots one after another, so that a tile
// reads its pivots as one stream rather than one row each. The j-th pivot
// applied is indices[j], its factor for row i factores[j·kFilasTesela + i].
inline constexpr std::size_t kAnchoPaquete = 16;
struct Empaquetadas {
  const double* base;  // pivot t, block b: base + (b·ancho + t)·kAnchoPaquete
  std::size_t ancho;
  const std::int32_t* indices;
  const double* factores;
  std::size_t cuantos;
};

// restaPivotesTesela from packed rows; desde is a multiple of kAnchoPaquete.
void restaEmpaquetadasTesela(double* const* filas, const Empaquetadas& p, std::size_t desde,
                             std::size_t hasta);

// The same for one row (factores[t]).
void restaPivotesFila(double* fila, const Pivotes& p, std::size_t desde, std::size_t hasta);

// The versions, for the tests to run each on this machine through
// ControlPruebas::instrucciones (base/pruebas.h), which holds one as its
// number: one the processor lacks falls back to the best it has; mejor (0)
// is the choice at start.
enum class Instrucciones : unsigned char { mejor, portables, avx2, avx512 };

// A panel's compact copy: m rows of its columns, row k at filas[k·paso], the
// first ancho of them in use.
struct Compacta {
  double* filas;
  std::size_t paso;
  std::size_t ancho;
  std::size_t m;
};

// Pivot t of the panel, row r, over the compact copy: row k's factor is its
// column t over pivote[t] (0 for row r), stored in factor[k], and row k
// receives x − pivote[c]·f over the ancho columns. Also finds the next
// column's pivot while the rows pass by: the first row k with usada[k] == 0
// and |column t + 1| ≥ minimo after the update (m when there is none or no
// column t + 1). False when a factor is not finite; the block is then given up.
bool eliminaColumnaPanel(const Compacta& panel, const double* pivote, std::size_t t, std::size_t r,
                         double* factor, const std::int32_t* usada, double minimo,
                         std::size_t& siguiente);
