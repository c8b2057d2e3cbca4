// The solver's elimination, division and reordering on a system that is −I
// outside a block, with the same floating-point operations on every value
// that can change. Why the skipped work changes nothing, given that the pivot
// row and the factor are finite:
// - A holds no −0.0 (its entries are 0.0 + x or x − 1.0, and x − y is −0.0
//   only when x is −0.0), so A[k][l] − (±0) = A[k][l]: a row whose factor is
//   zero, or a column where the pivot row holds a zero, keeps its entries.
// - Outside the block every entry is +0.0 but the −1 of A[j][j]; a column
//   j outside pivots on row j, and every other row's factor there is a zero.
// - b is updated for every row and column as the full elimination does, so
//   the signs of zeros (−0 − (−0) = +0) and any NaN come out the same.
#include "linalg/bloque.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

#include "linalg/memoria.h"
#include "run/fatal.h"

namespace {

constexpr std::int32_t kFuera = -1;
constexpr std::size_t kAnchoPanel = 32;

// The diagonal outside the block.
volatile const double kMenosUno = -1.0;

// Row k outside the block meets a column j outside: its factor +0/−1.
constexpr double kFactorFuera = 0.0 / -1.0;

// The −0.0 among b[filas]: while there are none, a zero factor changes nothing.
// No update creates a −0.0 (x − y is −0.0 only for x = −0.0), so a count made
// earlier is an upper bound that stays safe until it is made again.
struct CerosNegativos {
  const std::vector<std::int32_t>& filas;
  std::size_t cuantos;
};

std::size_t cuentaCerosNegativos(const Vector& b, const std::vector<std::int32_t>& filas) {
  std::size_t n = 0;
  for (std::int32_t k : filas) n += b[k] == 0.0 && std::signbit(b[k]);
  return n;
}

// b[k] −= b[i]·cero for the rows k ≠ i, where cero is a signed zero. With a
// finite b[i] the product p is a zero, and x − p differs from x only when
// x = −0.0 and p = −0.0 (it gives +0.0); a non-finite b[i] makes p NaN, and so
// every value. So the loop runs only when p is NaN or −0.0 with a −0.0 to turn.
void restaCero(Vector& b, CerosNegativos& ceros, std::size_t i, double cero) {
  const double p = b[i] * cero;
  if (!std::isnan(p) && (!std::signbit(p) || ceros.cuantos == 0)) return;
  for (std::int32_t k : ceros.filas)
    if (static_cast<std::size_t>(k) != i) b[k] = b[k] - p;
  ceros.cuantos = cuentaCerosNegativos(b, ceros.filas);
}

bool esFilaFinita(const Vector& fila, std::size_t m) {
  for (std::size_t l = 0; l < m; ++l)
    if (!std::isfinite(fila[l])) return false;
  return true;
}

// First unused row whose entry in the panel's column t is ≥ tol; m if none.
std::size_t buscaPivote(const Vector& columnas, const std::vector<std::int32_t>& usada,
                        std::size_t m, std::size_t t) {
  for (std::size_t r = 0; r < m; ++r)
    if (!usada[r] && std::fabs(columnas[r * kAnchoPanel + t]) >= tol) return r;
  return m;
}

// Wider vectors where the processor has them, chosen when the program
// starts. Each element is still x − p·f in double, with no fused
// multiply-add, so the bits do not depend on the version that runs. The
// choice needs ifunc, which only ELF with glibc offers (not Windows, macOS or
// musl); elsewhere the portable loop runs.
#if defined(__GNUC__) && defined(__x86_64__) && defined(__ELF__) && defined(__GLIBC__) && \
    !defined(__SANITIZE_ADDRESS__)
#define CLEARING_VERSIONES_VECTORIALES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define CLEARING_VERSIONES_VECTORIALES
#endif

// row −= pivote·f over the block's columns (vectorises: no branches).
CLEARING_VERSIONES_VECTORIALES
void restaFila(double* fila, const double* pivote, double f, std::size_t m) {
  for (std::size_t l = 0; l < m; ++l) fila[l] = fila[l] - pivote[l] * f;
}

// The pivots of up to kAnchoPanel consecutive block columns are decided
// together, with the panel's own columns updated at once (in a compact copy,
// row by row) and the rest of each row updated afterwards in one sweep: every
// element still receives its updates in pivot order, from the pivot row as it
// was when chosen, but a row is read from memory once per panel rather than
// once per column.

struct Panel {
  std::size_t inicio = 0;              // block columns [inicio, fin)
  std::size_t fin = 0;
  std::vector<std::int32_t> pivote;    // per column: the pivot row
  Matrix& copia;                       // per column: the pivot row when it was chosen
  Matrix& factor;                      // per column: each row's factor (0 for the pivot)
  Vector& columnas;                    // the panel's columns: [k·kAnchoPanel + t] = Ab[k][inicio + t]
  std::vector<std::int32_t> hechas;    // per row: the panel's columns applied outside it
};

// Row k, outside the panel's columns: the updates of the panel's pivots
// hechas[k] … hasta − 1, in order.
void aplicaPendientes(Matrix& Ab, Panel& panel, std::size_t k, std::size_t hasta,
                      std::size_t m) {
  double* fila = Ab[k].data();
  for (std::size_t t = static_cast<std::size_t>(panel.hechas[k]); t < hasta; ++t) {
    const double f = panel.factor[t][k];
    if (f == 0.0) continue;
    const double* pivote = panel.copia[t].data();
    restaFila(fila, pivote, f, panel.inicio);
    restaFila(fila + panel.fin, pivote + panel.fin, f, m - panel.fin);
  }
  panel.hechas[k] = static_cast<std::int32_t>(hasta);
}

// Pivot t of the panel (block column inicio + t): chosen, brought up to date,
// copied, and applied to the panel's columns of every other row.
bool decidePivote(Matrix& Ab, std::vector<std::int32_t>& usada, Panel& panel, std::size_t t,
                  std::size_t m) {
  const std::size_t ancho = panel.fin - panel.inicio;
  const std::size_t r = buscaPivote(panel.columnas, usada, m, t);
  if (r == m) terminaConError(kIndeterminado, Salto::con);
  aplicaPendientes(Ab, panel, r, t, m);
  Vector& copia = panel.copia[t];
  const double* enPanel = panel.columnas.data() + r * kAnchoPanel;
  std::copy(Ab[r].begin(), Ab[r].begin() + static_cast<std::ptrdiff_t>(m), copia.begin());
  std::copy(enPanel, enPanel + ancho, copia.begin() + static_cast<std::ptrdiff_t>(panel.inicio));
  if (!esFilaFinita(copia, m)) return false;
  panel.pivote[t] = static_cast<std::int32_t>(r);
  usada[r] = 1;
  const double* pivote = copia.data() + panel.inicio;
  for (std::size_t k = 0; k < m; ++k) {
    double* fila = panel.columnas.data() + k * kAnchoPanel;
    const double f = k == r ? 0.0 : fila[t] / pivote[t];
    if (!std::isfinite(f)) return false;
    panel.factor[t][k] = f;
    if (f != 0.0) restaFila(fila, pivote, f, ancho);
  }
  return true;
}

// The A side of block columns inicio … inicio + kAnchoPanel − 1.
bool eliminaPanel(Matrix& Ab, std::vector<std::int32_t>& usada, Panel& panel, std::size_t inicio,
                  std::size_t m) {
  panel.inicio = inicio;
  panel.fin = std::min(inicio + kAnchoPanel, m);
  const std::size_t ancho = panel.fin - inicio;
  std::fill(panel.hechas.begin(), panel.hechas.end(), 0);
  for (std::size_t k = 0; k < m; ++k)
    std::copy_n(Ab[k].begin() + static_cast<std::ptrdiff_t>(inicio), ancho,
                panel.columnas.begin() + static_cast<std::ptrdiff_t>(k * kAnchoPanel));
  for (std::size_t t = 0; t < ancho; ++t)
    if (!decidePivote(Ab, usada, panel, t, m)) return false;
  for (std::size_t k = 0; k < m; ++k) {
    std::copy_n(panel.columnas.begin() + static_cast<std::ptrdiff_t>(k * kAnchoPanel), ancho,
                Ab[k].begin() + static_cast<std::ptrdiff_t>(inicio));
    aplicaPendientes(Ab, panel, k, ancho, m);
  }
  return true;
}

// The b side of block column c, whose pivot the panel holds: the block's
// rows with their factors, the rows outside with +0/pivot.
void eliminaTermino(const Panel& panel, std::size_t c, Vector& b, CerosNegativos& enBloque,
                    CerosNegativos& fuera) {
  const std::size_t t = c - panel.inicio;
  const std::size_t r = static_cast<std::size_t>(panel.pivote[t]);
  const std::size_t i = static_cast<std::size_t>(enBloque.filas[r]);
  const double bi = b[i];
  for (std::size_t k = 0; k < enBloque.filas.size(); ++k) {
    if (k == r) continue;
    double& bk = b[static_cast<std::size_t>(enBloque.filas[k])];
    bk = bk - bi * panel.factor[t][k];
  }
  restaCero(b, fuera, i, 0.0 / panel.copia[t][c]);
}

// Elimination over all n columns; false when a premise of the shortcuts fails.
// b is updated column by column in the full order, after the A side of the
// panel that holds the column: b never feeds back into A.
bool elimina(TrabajoBloque& trabajo, const Bloque& bloque, Vector& b) {
  Matrix& Ab = trabajo.Ab;
  const std::size_t m = bloque.indices.size();
  std::vector<std::int32_t> usada = nuevoVectorEntero(m, Salto::con);
  Panel panel{0, 0, nuevoVectorEntero(kAnchoPanel, Salto::con), trabajo.copia, trabajo.factor,
              trabajo.columnas, nuevoVectorEntero(m, Salto::con)};
  CerosNegativos enBloque{bloque.indices, cuentaCerosNegativos(b, bloque.indices)};
  CerosNegativos fuera{bloque.fuera, cuentaCerosNegativos(b, bloque.fuera)};
  for (std::size_t j = 0; j < b.size(); ++j) {
    const std::int32_t c = bloque.posicion[j];
    if (c == kFuera) {  // pivot row j: every other row's factor is +0/−1
      restaCero(b, enBloque, j, kFactorFuera);
      restaCero(b, fuera, j, kFactorFuera);
      continue;
    }
    const auto columna = static_cast<std::size_t>(c);
    if (columna == panel.fin && !eliminaPanel(Ab, usada, panel, columna, m)) return false;
    eliminaTermino(panel, columna, b, enBloque, fuera);
  }
  return true;
}

// Division: each row's value over its entry of largest magnitude, the first
// such column on ties. Outside the block that entry is the −1 on the diagonal;
// in a block row the zeros outside never win, so column 0 (0.0 when outside)
// and the block's columns decide.
void divide(const Matrix& Ab, const Bloque& bloque, const Vector& b, Vector& x) {
  // Read at run time: the compiler may turn a division by the literal −1.0
  // into a negation, which flips the sign of a NaN where the division keeps it.
  const double menosUno = kMenosUno;
  for (std::size_t i = 0; i < b.size(); ++i) {
    const std::int32_t r = bloque.posicion[i];
    if (r == kFuera) {
      x[i] = b[i] / menosUno;
      continue;
    }
    const Vector& fila = Ab[static_cast<std::size_t>(r)];
    const std::int32_t c0 = bloque.posicion[0];
    double mayor = c0 == kFuera ? 0.0 : fila[static_cast<std::size_t>(c0)];
    for (std::size_t c = 0; c < bloque.indices.size(); ++c)
      if (bloque.indices[c] > 0 && std::fabs(fila[c]) > std::fabs(mayor)) mayor = fila[c];
    x[i] = b[i] / mayor;
  }
}

// Reordering: rows move with the values. en[p] is the original row now at
// place p, lugar[o] the place of original row o.
void reordena(const Matrix& Ab, const Bloque& bloque, Vector& x) {
  const std::size_t n = x.size();
  std::vector<std::int32_t> en = nuevoVectorEntero(n, Salto::con);
  std::vector<std::int32_t> lugar = nuevoVectorEntero(n, Salto::con);
  for (std::size_t i = 0; i < n; ++i) en[i] = lugar[i] = static_cast<std::int32_t>(i);
  for (std::size_t j = 0; j < n; ++j) {
    const std::int32_t c = bloque.posicion[j];
    std::int32_t r = 0;
    if (c == kFuera) {
      r = lugar[j];  // the only entry of column j above tol: original row j's −1
    } else {
      for (std::size_t k = 0; k < bloque.indices.size(); ++k)
        if (std::fabs(Ab[k][static_cast<std::size_t>(c)]) > tol)
          r = std::max(r, lugar[static_cast<std::size_t>(bloque.indices[k])]);
    }
    if (static_cast<std::size_t>(r) == j) continue;
    std::swap(x[j], x[static_cast<std::size_t>(r)]);
    std::swap(en[j], en[static_cast<std::size_t>(r)]);
    lugar[static_cast<std::size_t>(en[j])] = static_cast<std::int32_t>(j);
    lugar[static_cast<std::size_t>(en[static_cast<std::size_t>(r)])] = r;
  }
}

}  // namespace

Bloque calculaBloque(const std::vector<std::int32_t>& dentro) {
  Bloque bloque;
  bloque.posicion = nuevoVectorEntero(dentro.size(), Salto::con);
  std::size_t m = 0;
  for (std::int32_t d : dentro) m += d != 0 ? 1 : 0;
  bloque.indices = nuevoVectorEntero(m, Salto::con);
  bloque.fuera = nuevoVectorEntero(dentro.size() - m, Salto::con);
  std::size_t dentroHasta = 0;
  std::size_t fueraHasta = 0;
  for (std::size_t i = 0; i < dentro.size(); ++i) {
    const auto indice = static_cast<std::int32_t>(i);
    if (dentro[i] != 0) {
      bloque.posicion[i] = static_cast<std::int32_t>(dentroHasta);
      bloque.indices[dentroHasta++] = indice;
    } else {
      bloque.posicion[i] = kFuera;
      bloque.fuera[fueraHasta++] = indice;
    }
  }
  return bloque;
}

TrabajoBloque nuevoTrabajoBloque(std::size_t n) {
  TrabajoBloque trabajo;
  trabajo.Ab = reservaMatriz(n, Salto::con);
  trabajo.copia = reservaFilas(kAnchoPanel, n, Salto::con);
  trabajo.factor = reservaFilas(kAnchoPanel, n, Salto::con);
  trabajo.columnas = reservaVector(n * kAnchoPanel, Salto::con);
  return trabajo;
}

void preparaBloque(TrabajoBloque& trabajo, std::size_t m) {
  // Within the room of nuevoTrabajoBloque: these resizes do not allocate.
  for (std::size_t r = 0; r < m; ++r) trabajo.Ab[r].resize(m);
  for (Vector& fila : trabajo.copia) fila.resize(m);
  for (Vector& fila : trabajo.factor) fila.resize(m);
  trabajo.columnas.resize(m * kAnchoPanel);
}

bool resuelveBloque(TrabajoBloque& trabajo, const Bloque& bloque, Vector& b, Vector& x) {
  x = nuevoVector(b.size(), Salto::con);
  if (!elimina(trabajo, bloque, b)) return false;
  divide(trabajo.Ab, bloque, b, x);
  reordena(trabajo.Ab, bloque, x);
  return true;
}
