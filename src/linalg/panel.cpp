// The panel elimination of the block solver (linalg/panel.h): pivot search,
// the panel's own columns in a compact row-major copy, and the sweep that
// brings the rest of every row up to date.
#include "linalg/panel.h"

#include <algorithm>
#include <cmath>

#include "base/fatal.h"
#include "base/memoria.h"

namespace {

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

// row −= pivote·f over m columns (vectorises: no branches).
CLEARING_VERSIONES_VECTORIALES
void restaFila(double* fila, const double* pivote, double f, std::size_t m) {
  for (std::size_t l = 0; l < m; ++l) fila[l] = fila[l] - pivote[l] * f;
}

// Row k, outside the panel's columns: the updates of the panel's pivots
// hechas[k] … hasta − 1, in order. A zero factor is skipped (invariant 1 of
// linalg/bloque.h: it changes nothing).
void aplicaPendientes(Matrix& Ab, Panel& panel, std::size_t k, std::size_t hasta, std::size_t m) {
  double* fila = Ab[k].data();
  for (std::size_t t = static_cast<std::size_t>(panel.hechas[k]); t < hasta; ++t) {
    const double f = panel.trabajo.factor[t][k];
    if (f == 0.0) continue;
    const double* pivote = panel.trabajo.copia[t].data();
    restaFila(fila, pivote, f, panel.inicio);
    restaFila(fila + panel.fin, pivote + panel.fin, f, m - panel.fin);
  }
  panel.hechas[k] = static_cast<std::int32_t>(hasta);
}

// Pivot t of the panel (block column inicio + t): chosen, brought up to date,
// copied, and applied to the panel's columns of every other row.
bool decidePivote(Matrix& Ab, std::vector<std::int32_t>& usada, Panel& panel, std::size_t t,
                  std::size_t m) {
  TrabajoPanel& trabajo = panel.trabajo;
  const std::size_t ancho = panel.fin - panel.inicio;
  const std::size_t r = buscaPivote(trabajo.columnas, usada, m, t);
  if (r == m) terminaConError(kIndeterminado);
  aplicaPendientes(Ab, panel, r, t, m);
  Vector& copia = trabajo.copia[t];
  const double* enPanel = trabajo.columnas.data() + r * kAnchoPanel;
  std::copy(Ab[r].begin(), Ab[r].begin() + static_cast<std::ptrdiff_t>(m), copia.begin());
  std::copy(enPanel, enPanel + ancho, copia.begin() + static_cast<std::ptrdiff_t>(panel.inicio));
  if (!esFilaFinita(copia, m)) return false;
  panel.pivote[t] = static_cast<std::int32_t>(r);
  usada[r] = 1;
  const double* pivote = copia.data() + panel.inicio;
  for (std::size_t k = 0; k < m; ++k) {
    double* fila = trabajo.columnas.data() + k * kAnchoPanel;
    const double f = k == r ? 0.0 : fila[t] / pivote[t];
    if (!std::isfinite(f)) return false;
    trabajo.factor[t][k] = f;
    if (f != 0.0) restaFila(fila, pivote, f, ancho);
  }
  return true;
}

}  // namespace

TrabajoPanel nuevoTrabajoPanel(std::size_t n) {
  TrabajoPanel trabajo;
  trabajo.copia = reservaFilas(kAnchoPanel, n);
  trabajo.factor = reservaFilas(kAnchoPanel, n);
  trabajo.columnas = reservaVector(n * kAnchoPanel);
  return trabajo;
}

void preparaPanel(TrabajoPanel& trabajo, std::size_t m) {
  for (Vector& fila : trabajo.copia) fila.resize(m);
  for (Vector& fila : trabajo.factor) fila.resize(m);
  trabajo.columnas.resize(m * kAnchoPanel);
}

Panel nuevoPanel(TrabajoPanel& trabajo, std::size_t m) {
  return Panel{0, 0, nuevoVectorEntero(kAnchoPanel), trabajo, nuevoVectorEntero(m)};
}

bool eliminaPanel(Matrix& Ab, std::vector<std::int32_t>& usada, Panel& panel, std::size_t inicio,
                  std::size_t m) {
  TrabajoPanel& trabajo = panel.trabajo;
  panel.inicio = inicio;
  panel.fin = std::min(inicio + kAnchoPanel, m);
  const std::size_t ancho = panel.fin - inicio;
  std::fill(panel.hechas.begin(), panel.hechas.end(), 0);
  for (std::size_t k = 0; k < m; ++k)
    std::copy_n(Ab[k].begin() + static_cast<std::ptrdiff_t>(inicio), ancho,
                trabajo.columnas.begin() + static_cast<std::ptrdiff_t>(k * kAnchoPanel));
  for (std::size_t t = 0; t < ancho; ++t)
    if (!decidePivote(Ab, usada, panel, t, m)) return false;
  for (std::size_t k = 0; k < m; ++k) {
    std::copy_n(trabajo.columnas.begin() + static_cast<std::ptrdiff_t>(k * kAnchoPanel), ancho,
                Ab[k].begin() + static_cast<std::ptrdiff_t>(inicio));
    aplicaPendientes(Ab, panel, k, ancho, m);
  }
  return true;
}
