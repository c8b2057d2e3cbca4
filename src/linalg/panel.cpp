// The panel elimination of the block solver (linalg/panel.h). A panel's
// pivots are chosen a strip at a time on the compact copy of its columns, the
// next one found while the rows are updated for the last; each strip's pivots
// then reach the panel's other columns. Only then are the pivot rows' copies
// completed outside the panel (linalg/copias.h), and the sweep brings the rest of every row up
// to date, in register tiles (linalg/tesela.h), a stretch of columns at a
// time, on every thread.
#include "linalg/panel.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "base/fallo.h"
#include "base/hilos.h"
#include "base/memoria.h"
#include "linalg/copias.h"
#include "linalg/pivotes.h"
#include "linalg/tesela.h"

namespace {

// Marks the rows with a nonzero factor among pivots [s0, s1), strip s0's:
// one pass along each pivot's factors, rather than one across them per row.
// Returns how many rows it marked.
std::size_t marcaFactores(const Panel& panel, std::size_t s0, std::size_t s1) {
  const auto bit = static_cast<std::int32_t>(1U << (s0 / kAnchoFranja));
  std::int32_t* marcas = panel.trabajo.conFactores.data();
  for (std::size_t t = s0; t < s1; ++t) {
    const double* factor = panel.trabajo.factor[t].data();
    for (std::size_t k = 0; k < panel.m; ++k)
      if (factor[k] != 0.0) marcas[k] |= bit;
  }
  std::size_t marcadas = 0;
  for (std::size_t k = 0; k < panel.m; ++k) marcadas += (marcas[k] & bit) != 0 ? 1 : 0;
  return marcadas;
}

// Row k's columns of strip `franja` in the compact copy. A strip holds its
// columns of every row together, so that a pivot's pass over its strip reads
// m·kAnchoFranja values (within the second-level cache) rather than the
// whole panel's.
double* enFranja(const Panel& panel, std::size_t franja, std::size_t k) {
  return panel.trabajo.columnas.data() + (franja * panel.m + k) * kAnchoFranja;
}

// The columns of the strip that starts at panel column s0.
std::size_t anchoFranja(const Panel& panel, std::size_t s0) {
  return std::min(kAnchoFranja, panel.fin - panel.inicio - s0);
}

// The rows k of [primera, ultima) with a nonzero factor in `franjas`
// go through aplica(filas, cuales, R) a tile's kFilasTesela at a time, the
// rest one at a time.
template <typename Fila, typename Aplica>
void porTeselas(std::size_t primera, std::size_t ultima, const Panel& panel, std::uint32_t franjas,
                const Fila& fila, const Aplica& aplica) {
  Filas filas{};
  Cuales cuales{};
  std::size_t juntas = 0;
  for (std::size_t k = primera; k < ultima; ++k) {
    if (!tieneFactores(panel, k, franjas)) continue;
    filas[juntas] = fila(k);
    cuales[juntas] = k;
    if (++juntas < kFilasTesela) continue;
    aplica(filas.data(), cuales.data(), kFilasTesela);
    juntas = 0;
  }
  for (std::size_t i = 0; i < juntas; ++i) aplica(&filas[i], &cuales[i], 1);
}

// Compact rows [desde, hasta) after the pivots of strip [s0, s1): the
// panel's other strips receive them.
void cruzaFranja(const Panel& panel, std::size_t s0, std::size_t s1, std::size_t desde,
                 std::size_t hasta) {
  Factores factores{};
  for (std::size_t otra = 0; otra < panel.fin - panel.inicio; otra += kAnchoFranja) {
    if (otra == s0) continue;
    const std::size_t franja = otra / kAnchoFranja;
    const Tramos tramos{0, anchoFranja(panel, otra), 0, 0};
    const std::size_t corre = panel.inicio + otra;
    porTeselas(
        desde, hasta, panel, 1U << (s0 / kAnchoFranja),
        [&](std::size_t k) { return enFranja(panel, franja, k); },
        [&](double* const* filas, const std::size_t* k, std::size_t R) {
          if (R == 1)
            aplicaPivotes<1>(panel, filas, k, s0, s1, corre, tramos, factores);
          else
            aplicaPivotes<kFilasTesela>(panel, filas, k, s0, s1, corre, tramos, factores);
        });
  }
}

// Row k's columns of the panel, from the compact copy into fila (its block
// column inicio at fila[0]).
void copiaDeCompacta(const Panel& panel, std::size_t k, double* fila) {
  for (std::size_t s0 = 0; s0 < panel.fin - panel.inicio; s0 += kAnchoFranja)
    std::copy_n(enFranja(panel, s0 / kAnchoFranja, k), anchoFranja(panel, s0), fila + s0);
}

// Rows filas (block rows k), a tile, over the columns of `tramos`, with the
// panel's pivots from their packed rows.
void aplicaEmpaquetadas(const Panel& panel, double* const* filas, const std::size_t* k,
                        const Tramos& tramos, Factores& factores) {
  Indices indices{};
  const std::size_t cuantas =
      reunePivotes<kFilasTesela>(panel, k, 0, panel.fin - panel.inicio, indices, factores);
  if (cuantas == 0) return;
  const Empaquetadas p{panel.trabajo.empaquetadas.data(), kAnchoPanel, indices.data(),
                       factores.data(), cuantas};
  porTramos(tramos, [&](std::size_t a, std::size_t b) { restaEmpaquetadasTesela(filas, p, a, b); });
}

// Block rows [desde, hasta) after the panel's pivots: its columns back from
// the compact copy, the rest with every pivot. Rows with a nonzero factor go
// kFilasTesela at a time through the register tiles, a stretch of columns at
// a time over all of them, the last few one at a time.
void barre(Matrix& Ab, const Panel& panel, std::size_t desde, std::size_t hasta, std::size_t m) {
  const std::size_t ancho = panel.fin - panel.inicio;
  std::int32_t* lista = panel.trabajo.filas.data() + desde;  // this part's own stretch of the list
  std::size_t enLista = 0;
  for (std::size_t k = desde; k < hasta; ++k) {
    copiaDeCompacta(panel, k, Ab[k].data() + panel.inicio);
    if (tieneFactores(panel, k, kTodas)) lista[enLista++] = static_cast<std::int32_t>(k);
  }
  Factores factores{};
  const std::size_t enTeselas = enLista - enLista % kFilasTesela;
  for (std::size_t a = 0; a < m; a += kColumnasPorTramo) {
    const std::size_t b = std::min(a + kColumnasPorTramo, m);
    const Tramos tramos{a, std::min(b, panel.inicio), std::max(a, panel.fin), b};
    for (std::size_t g = 0; g < enTeselas; g += kFilasTesela) {
      Filas filas{};
      Cuales cuales{};
      for (std::size_t i = 0; i < kFilasTesela; ++i) {
        cuales[i] = static_cast<std::size_t>(lista[g + i]);
        filas[i] = Ab[cuales[i]].data();
      }
      aplicaEmpaquetadas(panel, filas.data(), cuales.data(), tramos, factores);
    }
  }
  for (std::size_t g = enTeselas; g < enLista; ++g) {
    const auto k = static_cast<std::size_t>(lista[g]);
    double* fila = Ab[k].data();
    aplicaPivotes<1>(panel, &fila, &k, 0, ancho, 0, Tramos{0, panel.inicio, panel.fin, m},
                     factores);
  }
}

// The first row not yet a pivot whose compact column c is ≥ tol in magnitude
// (a NaN never is); m when there is none.
std::size_t primeraFila(const Panel& panel, const std::vector<std::int32_t>& usada, std::size_t c,
                        std::size_t m) {
  const double* compacta = enFranja(panel, c / kAnchoFranja, 0) + c % kAnchoFranja;
  for (std::size_t k = 0; k < m; ++k)
    if (!usada[k] && std::fabs(compacta[k * kAnchoFranja]) >= tol) return k;
  return m;
}

enum class Paso : unsigned char { sigue, noFinito, sinPivote };

// Pivot t of the panel, in strip [s0, s1), row r: its copy in the panel's
// columns (those outside the strip still lack the strip's earlier pivots,
// which the copy receives here), then applied to the strip's columns of every
// other row, which also finds the next column's pivot row and leaves it in r.
Paso decidePivote(std::vector<std::int32_t>& usada, Panel& panel, std::size_t s0, std::size_t s1,
                  std::size_t t, std::size_t& r, std::size_t m) {
  TrabajoPanel& trabajo = panel.trabajo;
  const std::size_t fila = r;
  if (fila == m) return Paso::sinPivote;
  const std::size_t inicio = panel.inicio;
  double* copia = trabajo.copia[t].data();
  copiaDeCompacta(panel, fila, copia + inicio);
  Factores factores{};
  aplicaPivotes<1>(panel, &copia, &fila, s0, t, 0,
                   Tramos{inicio, inicio + s0, inicio + s1, panel.fin}, factores);
  if (!esFinito(copia, inicio, panel.fin)) return Paso::noFinito;
  panel.pivote[t] = static_cast<std::int32_t>(fila);
  usada[fila] = 1;
  const Compacta compacta{enFranja(panel, s0 / kAnchoFranja, 0), kAnchoFranja, s1 - s0, m};
  return eliminaColumnaPanel(compacta, copia + inicio + s0, t - s0, fila, trabajo.factor[t].data(),
                             usada.data(), tol, r)
             ? Paso::sigue
             : Paso::noFinito;
}

// The pivots of strip [s0, s1) and their reach into the panel's other
// columns, on every thread. A column without a pivot is an indeterminate
// system, unless a pivot row chosen before it is not finite: the block is
// then given up (false), as it would have been when that row was chosen.
bool eliminaFranja(const Matrix& Ab, std::vector<std::int32_t>& usada, Panel& panel, std::size_t s0,
                   std::size_t s1, std::size_t m) {
  std::size_t r = primeraFila(panel, usada, s0, m);
  for (std::size_t t = s0; t < s1; ++t) {
    const Paso paso = decidePivote(usada, panel, s0, s1, t, r, m);
    if (paso == Paso::noFinito) return false;
    if (paso == Paso::sinPivote) {
      if (!completaYRevisa(Ab, panel, t, m, false)) return false;
      lanzaFallo(Error::indeterminado);
    }
  }
  const std::size_t marcadas = marcaFactores(panel, s0, s1);
  const std::size_t ancho = panel.fin - panel.inicio;
  if (s1 - s0 == ancho) return true;
  const double actualizaciones =
      static_cast<double>(marcadas) * static_cast<double>((s1 - s0) * (ancho - (s1 - s0)));
  reparteEnPartes(
      hilosParaPaso(panel, actualizaciones), m, kFilasTesela,
      [&](std::size_t desde, std::size_t hasta) { cruzaFranja(panel, s0, s1, desde, hasta); });
  return true;
}

}  // namespace

double memoriaDePaneles(std::size_t n) {
  const auto nodos = static_cast<double>(n);
  return 8.0 * kAnchoPanel * (4.0 * nodos + kAnchoBloque) + 8.0 * nodos;
}

TrabajoPanel nuevoTrabajoPanel(std::size_t n) {
  TrabajoPanel trabajo;
  trabajo.copia = reservaFilas(kAnchoPanel, n);
  trabajo.factor = reservaFilas(kAnchoPanel, n);
  trabajo.columnas = reservaVector(n * kAnchoPanel);
  trabajo.empaquetadas = reservaVector(porExceso(n, kAnchoBloque) * kAnchoBloque * kAnchoPanel);
  trabajo.filas = nuevoVectorEntero(n);
  trabajo.conFactores = nuevoVectorEntero(n);
  return trabajo;
}

void preparaPanel(TrabajoPanel& trabajo, std::size_t m) {
  for (Vector& fila : trabajo.copia) fila.resize(m);
  for (Vector& fila : trabajo.factor) fila.resize(m);
  trabajo.columnas.resize(m * kAnchoPanel);
  trabajo.empaquetadas.resize(porExceso(m, kAnchoBloque) * kAnchoBloque * kAnchoPanel);
}

Panel nuevoPanel(TrabajoPanel& trabajo) {
  return Panel{0, 0, 0, nuevoVectorEntero(kAnchoPanel), trabajo};
}

bool eliminaPanel(Matrix& Ab, std::vector<std::int32_t>& usada, Panel& panel, std::size_t inicio,
                  std::size_t m) {
  panel.inicio = inicio;
  // Panels end at multiples of kAnchoPanel (the first after a carried-over
  // elimination may be narrower): the sweep's columns past a panel then
  // start where a packed block does, as the packed kernel needs.
  panel.fin = std::min(inicio - inicio % kAnchoPanel + kAnchoPanel, m);
  panel.m = m;
  const std::size_t ancho = panel.fin - inicio;
  std::fill_n(panel.trabajo.conFactores.begin(), m, 0);
  for (std::size_t s0 = 0; s0 < ancho; s0 += kAnchoFranja)
    for (std::size_t k = 0; k < m; ++k)
      std::copy_n(Ab[k].data() + inicio + s0, anchoFranja(panel, s0),
                  enFranja(panel, s0 / kAnchoFranja, k));
  for (std::size_t s0 = 0; s0 < ancho; s0 += kAnchoFranja)
    if (!eliminaFranja(Ab, usada, panel, s0, std::min(s0 + kAnchoFranja, ancho), m)) return false;
  if (!completaYRevisa(Ab, panel, ancho, m, true)) return false;
  std::size_t conFactores = 0;  // the rows the sweep has work for
  for (std::size_t k = 0; k < m; ++k) conFactores += tieneFactores(panel, k, kTodas) ? 1 : 0;
  repartePorFilas(
      m, kFilasTesela, conFactores,
      [&](std::size_t desde, std::size_t hasta) { barre(Ab, panel, desde, hasta, m); },
      panel.trabajo.hilos);
  return true;
}
