// The panel elimination of the block solver (linalg/panel.h): the pivots
// chosen on the compact copy of the panel's columns, the next one found while
// the rows are updated for the last, and the sweep that brings the rest of
// every row up to date, in register tiles (linalg/tesela.h) on every thread.
#include "linalg/panel.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "base/fallo.h"
#include "base/hilos.h"
#include "base/memoria.h"
#include "linalg/tesela.h"

namespace {

bool esFilaFinita(const Vector& fila, std::size_t m) {
  for (std::size_t l = 0; l < m; ++l)
    if (!std::isfinite(fila[l])) return false;
  return true;
}

// Per panel column: its pivot row's copy, in the order of the pivots.
using Copias = std::array<const double*, kAnchoPanel>;

// Whether row k has a nonzero factor for one of the panel's pivots desde …
// hasta − 1; without one, the pivots change none of its entries (invariant 1
// of linalg/bloque.h), and sparse blocks leave most rows so.
bool tieneFactores(const Panel& panel, std::size_t k, std::size_t desde, std::size_t hasta) {
  for (std::size_t t = desde; t < hasta; ++t)
    if (panel.trabajo.factor[t][k] != 0.0) return true;
  return false;
}

// Rows filas[0 … R) outside the panel's columns, with the panel's pivots
// desde … hasta − 1 in order. A pivot whose factors for all R rows are zero
// is left out (invariant 1 of linalg/bloque.h: it changes nothing); so the
// bits are those of applying every pivot. factores holds kAnchoPanel·R.
template <std::size_t R>
void aplicaPivotes(const Panel& panel, const Copias& copias, double* const* filas,
                   const std::size_t* k, std::size_t desde, std::size_t hasta, std::size_t m,
                   double* factores) {
  Copias usadas{};
  std::size_t cuantas = 0;
  for (std::size_t t = desde; t < hasta; ++t) {
    bool alguno = false;
    for (std::size_t i = 0; i < R; ++i) {
      const double f = panel.trabajo.factor[t][k[i]];
      factores[cuantas * R + i] = f;
      alguno = alguno || f != 0.0;
    }
    if (alguno) usadas[cuantas++] = copias[t];
  }
  if (cuantas == 0) return;
  const Pivotes p{usadas.data(), factores, cuantas};
  if (R == 1) {
    restaPivotesFila(filas[0], p, 0, panel.inicio);
    restaPivotesFila(filas[0], p, panel.fin, m);
  } else {
    restaPivotesTesela(filas, p, 0, panel.inicio);
    restaPivotesTesela(filas, p, panel.fin, m);
  }
}

// Row k, outside the panel's columns: pivots hechas[k] … hasta − 1.
void aplicaPendientes(Matrix& Ab, Panel& panel, const Copias& copias, std::size_t k,
                      std::size_t hasta, std::size_t m) {
  std::array<double, kAnchoPanel> factores{};
  double* fila = Ab[k].data();
  aplicaPivotes<1>(panel, copias, &fila, &k, static_cast<std::size_t>(panel.hechas[k]), hasta, m,
                   factores.data());
  panel.hechas[k] = static_cast<std::int32_t>(hasta);
}

// Rows [desde, hasta) after the panel's pivots: its columns back from the
// compact copy, the rest with every pivot. Rows untouched so far go four at
// a time through the register tiles, those with only zero factors nowhere;
// the pivot rows, which already have some of the updates, and the last few
// rows go one at a time.
void barre(Matrix& Ab, Panel& panel, const Copias& copias, std::size_t desde, std::size_t hasta,
           std::size_t m) {
  const std::size_t ancho = panel.fin - panel.inicio;
  std::array<double, kAnchoPanel * kFilasTesela> factores{};
  std::array<double*, kFilasTesela> filas{};
  std::array<std::size_t, kFilasTesela> cuales{};
  std::size_t juntas = 0;
  for (std::size_t k = desde; k < hasta; ++k) {
    std::copy_n(panel.trabajo.columnas.begin() + static_cast<std::ptrdiff_t>(k * kAnchoPanel),
                ancho, Ab[k].begin() + static_cast<std::ptrdiff_t>(panel.inicio));
    if (panel.hechas[k] != 0) {
      aplicaPendientes(Ab, panel, copias, k, ancho, m);
      continue;
    }
    if (!tieneFactores(panel, k, 0, ancho)) continue;
    filas[juntas] = Ab[k].data();
    cuales[juntas] = k;
    if (++juntas < kFilasTesela) continue;
    aplicaPivotes<kFilasTesela>(panel, copias, filas.data(), cuales.data(), 0, ancho, m,
                                factores.data());
    juntas = 0;
  }
  for (std::size_t i = 0; i < juntas; ++i) aplicaPendientes(Ab, panel, copias, cuales[i], ancho, m);
}

// Pivot t of the panel (block column inicio + t), row r: brought up to date,
// copied, and applied to the panel's columns of every other row, which also
// finds the next column's pivot row and leaves it in r.
bool decidePivote(Matrix& Ab, std::vector<std::int32_t>& usada, Panel& panel, const Copias& copias,
                  std::size_t t, std::size_t& r, std::size_t m) {
  TrabajoPanel& trabajo = panel.trabajo;
  const std::size_t ancho = panel.fin - panel.inicio;
  const std::size_t fila = r;
  if (fila == m) lanzaFallo(Error::indeterminado);
  aplicaPendientes(Ab, panel, copias, fila, t, m);
  Vector& copia = trabajo.copia[t];
  const double* enPanel = trabajo.columnas.data() + fila * kAnchoPanel;
  std::copy(Ab[fila].begin(), Ab[fila].begin() + static_cast<std::ptrdiff_t>(m), copia.begin());
  std::copy(enPanel, enPanel + ancho, copia.begin() + static_cast<std::ptrdiff_t>(panel.inicio));
  if (!esFilaFinita(copia, m)) return false;
  panel.pivote[t] = static_cast<std::int32_t>(fila);
  usada[fila] = 1;
  const Compacta compacta{trabajo.columnas.data(), kAnchoPanel, ancho, m};
  return eliminaColumnaPanel(compacta, copia.data() + panel.inicio, t, fila,
                             trabajo.factor[t].data(), usada.data(), tol, r);
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
  Copias copias{};
  for (std::size_t t = 0; t < ancho; ++t) copias[t] = trabajo.copia[t].data();
  std::size_t r = m;  // the first column's pivot: the first unused row of magnitude ≥ tol
  for (std::size_t k = 0; k < m; ++k) {
    const double* fila = Ab[k].data() + inicio;
    std::copy_n(fila, ancho,
                trabajo.columnas.begin() + static_cast<std::ptrdiff_t>(k * kAnchoPanel));
    if (r == m && !usada[k] && std::fabs(fila[0]) >= tol) r = k;
  }
  for (std::size_t t = 0; t < ancho; ++t)
    if (!decidePivote(Ab, usada, panel, copias, t, r, m)) return false;
  std::size_t conFactores = 0;  // the rows the sweep has work for
  for (std::size_t k = 0; k < m; ++k) conFactores += tieneFactores(panel, k, 0, ancho) ? 1 : 0;
  repartePorFilas(
      m, kFilasTesela, conFactores,
      [&](std::size_t desde, std::size_t hasta) { barre(Ab, panel, copias, desde, hasta, m); },
      panel.trabajo.hilos);
  return true;
}
