// The panel elimination of the block solver (linalg/panel.h). A panel's
// pivots are chosen a strip at a time on the compact copy of its columns, the
// next one found while the rows are updated for the last; each strip's pivots
// then reach the panel's other columns. Only then are the pivot rows' copies
// completed outside the panel, and the sweep brings the rest of every row up
// to date, in register tiles (linalg/tesela.h), a stretch of columns at a
// time, on every thread.
#include "linalg/panel.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "base/fallo.h"
#include "base/hilos.h"
#include "base/memoria.h"
#include "linalg/tesela.h"

namespace {

// Columns [desde, hasta) and [luego, fin) of a row; either may be empty.
struct Tramos {
  std::size_t desde;
  std::size_t hasta;
  std::size_t luego;
  std::size_t fin;
};

// A run's pivot rows, in the order of the pivots.
using Copias = std::array<const double*, kAnchoPanel>;

// Room for the factors of a tile's rows for every pivot of a panel.
using Factores = std::array<double, kAnchoPanel * kFilasTesela>;

using Indices = std::array<std::int32_t, kAnchoPanel>;
using Filas = std::array<double*, kFilasTesela>;
using Cuales = std::array<std::size_t, kFilasTesela>;

// Every strip of a panel, as bits.
constexpr std::uint32_t kTodas = (1U << kFranjasPorPanel) - 1;
static_assert(kFranjasPorPanel < 32);

// f(a, b) for each side of tramos that holds columns.
template <typename F>
void porTramos(const Tramos& tramos, const F& f) {
  if (tramos.desde < tramos.hasta) f(tramos.desde, tramos.hasta);
  if (tramos.luego < tramos.fin) f(tramos.luego, tramos.fin);
}

bool esFinito(const double* fila, std::size_t desde, std::size_t hasta) {
  for (std::size_t l = desde; l < hasta; ++l)
    if (!std::isfinite(fila[l])) return false;
  return true;
}

// Whether row k has a nonzero factor for one of the pivots of the strips
// in `franjas` (bit s: strip s); without one, those pivots change none of
// its entries (invariant 1 of linalg/bloque.h), and sparse blocks leave most
// rows so.
bool tieneFactores(const Panel& panel, std::size_t k, std::uint32_t franjas) {
  return (static_cast<std::uint32_t>(panel.trabajo.conFactores[k]) & franjas) != 0;
}

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

// Threads for a step of about `actualizaciones` updates: as many as the
// block may use when the step is at least a sweep of filasParaRepartir()
// rows would be (docs/performance.md, "Threads"), else the caller alone.
// Sparse blocks, whose steps are mostly skipped zeros, so wake no worker.
unsigned hilosParaPaso(const Panel& panel, double actualizaciones) {
  const auto filas = static_cast<double>(filasParaRepartir());
  return actualizaciones >= static_cast<double>(kAnchoFranja) * filas * filas
             ? hilosPara(panel.trabajo.hilos)
             : 1;
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

// The panel's pivots desde … hasta − 1 that have a nonzero factor for one of
// block rows k[0 … R): their numbers in indices, their factors in factores
// (factores[j·R + i] for the j-th of them). A pivot whose factors for all R
// rows are zero changes none of their entries (invariant 1 of
// linalg/bloque.h), so leaving it out leaves the bits of applying it.
template <std::size_t R>
std::size_t reunePivotes(const Panel& panel, const std::size_t* k, std::size_t desde,
                         std::size_t hasta, Indices& indices, Factores& factores) {
  std::size_t cuantas = 0;
  for (std::size_t t = desde; t < hasta; ++t) {
    const double* factor = panel.trabajo.factor[t].data();
    bool alguno = false;
    for (std::size_t i = 0; i < R; ++i) {
      factores[cuantas * R + i] = factor[k[i]];
      alguno = alguno || factor[k[i]] != 0.0;
    }
    if (alguno) indices[cuantas++] = static_cast<std::int32_t>(t);
  }
  return cuantas;
}

// Rows filas[0 … R), whose factors are those of block rows k[i], over the
// columns of `tramos`, with the panel's pivots desde … hasta − 1 in order,
// their copies read `corre` columns on (the compact copy's column l is block
// column inicio + l).
template <std::size_t R>
void aplicaPivotes(const Panel& panel, double* const* filas, const std::size_t* k,
                   std::size_t desde, std::size_t hasta, std::size_t corre, const Tramos& tramos,
                   Factores& factores) {
  Indices indices{};
  const std::size_t cuantas = reunePivotes<R>(panel, k, desde, hasta, indices, factores);
  if (cuantas == 0) return;
  Copias copias{};
  for (std::size_t j = 0; j < cuantas; ++j)
    copias[j] = panel.trabajo.copia[static_cast<std::size_t>(indices[j])].data() + corre;
  const Pivotes p{copias.data(), factores.data(), cuantas};
  porTramos(tramos, [&](std::size_t a, std::size_t b) {
    if constexpr (R == 1)
      restaPivotesFila(filas[0], p, a, b);
    else
      restaPivotesTesela(filas, p, a, b);
  });
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

// The copies of pivots [0, hasta) over the block columns [a, b) outside the
// panel: pivot t's row as it was when chosen, with the pivots before it. A
// tile's kFilasTesela copies at a time take the pivots before the first of
// them in register tiles, then those among themselves one copy at a time.
void completaCopias(const Matrix& Ab, Panel& panel, std::size_t hasta, std::size_t a,
                    std::size_t b) {
  const Tramos tramos{a, std::min(b, panel.inicio), std::max(a, panel.fin), b};
  Factores factores{};
  for (std::size_t t0 = 0; t0 < hasta; t0 += kFilasTesela) {
    const std::size_t juntas = std::min(kFilasTesela, hasta - t0);
    Filas filas{};
    Cuales cuales{};
    for (std::size_t i = 0; i < juntas; ++i) {
      const auto r = static_cast<std::size_t>(panel.pivote[t0 + i]);
      double* copia = panel.trabajo.copia[t0 + i].data();
      porTramos(tramos, [&](std::size_t d, std::size_t h) {
        std::copy(Ab[r].begin() + static_cast<std::ptrdiff_t>(d),
                  Ab[r].begin() + static_cast<std::ptrdiff_t>(h), copia + d);
      });
      filas[i] = copia;
      cuales[i] = r;
    }
    if (juntas == kFilasTesela)
      aplicaPivotes<kFilasTesela>(panel, filas.data(), cuales.data(), 0, t0, 0, tramos, factores);
    else
      for (std::size_t i = 0; i < juntas; ++i)
        aplicaPivotes<1>(panel, &filas[i], &cuales[i], 0, t0, 0, tramos, factores);
    for (std::size_t i = 1; i < juntas; ++i)
      aplicaPivotes<1>(panel, &filas[i], &cuales[i], t0, t0 + i, 0, tramos, factores);
  }
}

// Whether the copies of pivots [0, hasta) are finite outside the panel.
bool sonFinitasFuera(const Panel& panel, std::size_t hasta, std::size_t m) {
  for (std::size_t t = 0; t < hasta; ++t) {
    const double* copia = panel.trabajo.copia[t].data();
    if (!esFinito(copia, 0, panel.inicio) || !esFinito(copia, panel.fin, m)) return false;
  }
  return true;
}

// The pivot rows over block columns [a, b) outside the panel (a a multiple
// of kAnchoBloque) into the packed blocks of linalg/tesela.h.
void empaqueta(const Panel& panel, std::size_t a, std::size_t b) {
  const std::size_t ancho = panel.fin - panel.inicio;
  double* base = panel.trabajo.empaquetadas.data();
  for (std::size_t c = a; c < b; c += kAnchoBloque) {
    if (c >= panel.inicio && c < panel.fin) continue;
    const std::size_t cuantas = std::min(kAnchoBloque, b - c);
    double* bloque = base + (c / kAnchoBloque) * kAnchoPanel * kAnchoBloque;
    for (std::size_t t = 0; t < ancho; ++t)
      std::copy_n(panel.trabajo.copia[t].begin() + static_cast<std::ptrdiff_t>(c), cuantas,
                  bloque + t * kAnchoBloque);
  }
}

// The pivot rows' copies of pivots [0, hasta), completed on every thread,
// each its own stretch of columns, and packed for the sweep when `paraBarrer`;
// false when one is not finite.
bool completaYRevisa(const Matrix& Ab, Panel& panel, std::size_t hasta, std::size_t m,
                     bool paraBarrer) {
  // Copying and packing are m values a pivot; each nonzero factor of a pivot
  // row for an earlier pivot is m updates more.
  std::size_t porFila = hasta;
  for (std::size_t t = 0; t < hasta; ++t)
    for (std::size_t antes = 0; antes < t; ++antes)
      porFila += panel.trabajo.factor[antes][static_cast<std::size_t>(panel.pivote[t])] != 0.0;
  reparteEnPartes(hilosParaPaso(panel, static_cast<double>(porFila) * static_cast<double>(m)), m,
                  kColumnasPorTramo / 8, [&](std::size_t a, std::size_t b) {
                    completaCopias(Ab, panel, hasta, a, b);
                    if (paraBarrer) empaqueta(panel, a, b);
                  });
  return sonFinitasFuera(panel, hasta, m);
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
  panel.fin = std::min(inicio + kAnchoPanel, m);
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
