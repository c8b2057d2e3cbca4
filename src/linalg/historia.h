// What one round's elimination leaves for the next. In a cascade a round's
// block is often the last one with a few higher indices added: the old rows
// and columns come first in the same order, their entries are the same, so
// the old pivots are the same rows with the same factors, and the old part
// of the eliminated block is what the last round left. Only the added rows
// and columns need the old pivots applied, which takes the old pivot rows as
// they were when chosen and every row's factors: m²·d updates for d added
// nodes instead of m³. Each element still receives x − p·f for every pivot
// in pivot order, so the bits are those of eliminating the whole block.
//
// The conditions, stated here only (other files point here):
//   1. A block's entries do not depend on p: they are β·(0.0 + PI[k][j]),
//      minus 1.0 on the diagonal, over the block's indices j, k, β the run's
//      default cost (construyeSistema, clearing/estructura.cpp, writes them
//      from PI and β alone). So the same
//      indices in the same order give the same entries. The right-hand side
//      changes with the block; it is eliminated afresh every round, with the
//      recorded pivots and factors for the columns carried over.
//   2. A round carries over (columnasConservadas) when the last round was
//      recorded and this block is that block with at most a sixteenth of
//      this one added after it (kAnadidasPorConservada); the indices are
//      ascending, so the added ones are higher. Otherwise it is eliminated
//      afresh.
//   3. A round is recorded (convieneGuardar) when the run allows it, its
//      block is not yet every index (a whole block cannot grow), and both it
//      and the round before it extended their predecessor so (a cascade in
//      progress). A round that is solved otherwise (the block solver hands it
//      back when a pivot row or a factor is not finite) is not recorded.
//   4. The run allows it (permitida, from OpcionesClearing::recuerda) only
//      when the system reports room for kMatricesRecuerdo more n×n matrices:
//      the record's pivot rows and factors, reserved when the first round is
//      recorded. The program decides it (run/programa.cpp).
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

// Forgets the last round, keeping the storage: the next block starts afresh
// (a new network, or the same one with other outside cash).
void olvidaHistoria(Historia& historia, bool permitida);

// The leading block columns whose elimination the last round left in the
// block storage for this block (condition 2): the last block's size, or 0.
std::size_t columnasConservadas(const Historia& historia, const std::vector<std::int32_t>& indices);

// Whether this round is to be recorded for the next (condition 3): a run
// whose blocks jump, or that extends its block once at the end, never pays
// for a record it would not use.
bool convieneGuardar(const Historia& historia, const std::vector<std::int32_t>& indices,
                     std::size_t n);

// Recorded pivots taken through a round together, at most: their scalars
// found one after another on one thread, then applied with each thread over
// its own stretch of rows.
inline constexpr std::size_t kPivotesJuntos = 64;

// Applies the k recorded pivots to the rows and columns k … m − 1 of the m×m
// block Ab (rows 0 … k − 1 already hold their columns 0 … k − 1 eliminated),
// extending the record to m rows, and marks the pivot rows in usada.
// columnas is scratch room for kAncho·m values. False when an added entry of
// a pivot row or an added row's factor is not finite. Each pivot's update is
// shared among at most `hilos` threads (0: hilos()), with the same bits.
bool aplicaHistoria(Matrix& Ab, Historia& historia, std::size_t k, std::size_t m,
                    std::vector<std::int32_t>& usada, Vector& columnas, std::size_t kAncho,
                    unsigned hilos);

// The same in steps, for a caller that takes another vector (the
// right-hand side) through the recorded pivots in the same passes over their
// factors, which are then read once for both. In order:
//   abreHistoria: the pivot rows marked, the record extended to m rows with
//     the added rows' factors (they depend on the old columns alone); false
//     when one is not finite;
//   reuneAnadidas: the added columns of the old rows gathered in columnas
//     (room for (m − k)·k values, column j at j·k);
//   aplicaTramo, once for each stretch [t0, t1) of at most kPivotesJuntos
//     pivots, in order: the gathered columns c0 … c0 + w − 1 receive them, and
//     otro, when given, in the same pass; false when an added entry of a pivot
//     row is not finite;
//   completaHistoria: the columns back in Ab, and the added rows' added columns.
bool abreHistoria(Matrix& Ab, Historia& historia, std::size_t k, std::size_t m,
                  std::vector<std::int32_t>& usada, unsigned hilos);
void reuneAnadidas(const Matrix& Ab, Vector& columnas, std::size_t k, std::size_t m);

// The other vector: v[filas[r]] is block row r's value, r < largo (every
// row of the block); each pivot of the stretch subtracts its scalar times its
// factors, the pivot row keeping its value, as the columns do. juntas is
// scratch room for largo values.
struct Acompanante {
  double* v;
  const std::int32_t* filas;
  std::size_t largo;
  const double* escalares;  // per pivot of the stretch, from t0
  double* juntas;
};

bool aplicaTramo(Historia& historia, Vector& columnas, std::size_t k, std::size_t c0, std::size_t w,
                 std::size_t t0, std::size_t t1, const Acompanante* otro, unsigned hilos);
void completaHistoria(Matrix& Ab, const Historia& historia, const Vector& columnas, std::size_t k,
                      std::size_t m, unsigned hilos);

// Records block column c: its pivot row, the row as chosen and the factors
// of the block's m rows.
void guardaColumna(Historia& historia, std::size_t c, std::int32_t pivote, const Vector& copia,
                   const Vector& factor, std::size_t m);

// The round of this block is done: recorded when `guardada` (the round was
// to be recorded and the block solver solved it), else forgotten.
void cierraHistoria(Historia& historia, const std::vector<std::int32_t>& indices, bool guardada);
