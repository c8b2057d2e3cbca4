// The panel elimination of the block solver (panel/panel.h). A panel's
// pivots are chosen a strip at a time on the compact copy of its columns, the
// next one found while the rows are updated for the last; each strip's pivots
// then reach the panel's other columns. Only then are the pivot rows' copies
// completed outside the panel (panel/copias.h), and the update brings the
// rest of every row up to date, in register tiles (panel/tesela.h), a
// stretch of columns at a time, on every thread (panel/actualizacion.h). While
// the workers update a dense panel's rows, the caller decides the next
// panel's pivots.
#include "panel/panel.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>

#include "base/fallo.h"
#include "base/hilos.h"
#include "base/memoria.h"
#include "base/reparto.h"
#include "panel/actualizacion.h"
#include "panel/copias.h"
#include "panel/pivotes.h"
#include "panel/tesela.h"

namespace {

// Marks the rows with a nonzero factor among pivots [s0, s1), strip s0's:
// one pass along each pivot's factors, rather than one across them per row.
// Returns how many rows it marked.
std::size_t senalaFactores(const Panel& panel, std::size_t s0, std::size_t s1) {
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
    const Trechos trechos{0, anchoFranja(panel, otra), 0, 0};
    const std::size_t corre = panel.inicio + otra;
    porTeselas(
        desde, hasta, panel, 1U << (s0 / kAnchoFranja),
        [&](std::size_t k) { return enFranja(panel, franja, k); },
        [&](double* const* filas, const std::size_t* k, std::size_t R) {
          if (R == 1)
            aplicaPivotes<1>(panel, filas, k, s0, s1, corre, trechos, factores);
          else
            aplicaPivotes<kFilasTesela>(panel, filas, k, s0, s1, corre, trechos, factores);
        });
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
                   Trechos{inicio, inicio + s0, inicio + s1, panel.fin}, factores);
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
// Those rows' copies need the last panel's update ended.
bool eliminaFranja(const Matrix& Ab, std::vector<std::int32_t>& usada, Panel& panel, std::size_t s0,
                   std::size_t s1, std::size_t m, ActualizacionPendiente& pendiente) {
  std::size_t r = primeraFila(panel, usada, s0, m);
  for (std::size_t t = s0; t < s1; ++t) {
    const Paso paso = decidePivote(usada, panel, s0, s1, t, r, m);
    if (paso == Paso::noFinito) return false;
    if (paso == Paso::sinPivote) {
      terminaActualizacion(pendiente);
      if (!completaYRevisa(Ab, panel, t, m, false)) return false;
      lanzaFallo(Error::indeterminado);
    }
  }
  const std::size_t marcadas = senalaFactores(panel, s0, s1);
  const std::size_t ancho = panel.fin - panel.inicio;
  if (s1 - s0 == ancho) return true;
  const double actualizaciones =
      static_cast<double>(marcadas) * static_cast<double>((s1 - s0) * (ancho - (s1 - s0)));
  reparteEnPartes(
      hilosParaPaso(panel, actualizaciones), m, kFilasTesela,
      [&](std::size_t desde, std::size_t hasta) { cruzaFranja(panel, s0, s1, desde, hasta); });
  return true;
}

// Where the panel that starts at block column inicio ends: at a multiple of
// kAnchoPanel (the first after a carried-over elimination may be
// narrower), so that the update's columns past a panel start where a packed
// block does, as the packed kernel needs.
std::size_t finDePanel(std::size_t inicio, std::size_t m) {
  return std::min(inicio - inicio % kAnchoPanel + kAnchoPanel, m);
}
// So that panels and the update's stretches of columns end where a packed
// block does.
static_assert(kAnchoPanel % kAnchoPaquete == 0 && kColumnasPorTrecho % kAnchoPaquete == 0);

// Whether a panel with work for conFactores of the block's m rows is dense
// enough to update in pieces: nearly every row has a factor, so a piece's
// rows fill whole tiles. A sparse panel's pieces would leave a few rows in
// each to go one at a time (the generated cascade of 4000 nodes took 10 %
// longer), and its pivots take little deciding anyway.
bool esDenso(std::size_t conFactores, std::size_t m) {
  return conFactores >= m - m / 8;
}

// The panel at block column inicio: its columns gathered into the compact
// copy (the last panel's update has brought them up to date), then its
// pivots decided a strip at a time.
bool decidePanel(const Matrix& Ab, std::vector<std::int32_t>& usada, Panel& panel,
                 std::size_t inicio, std::size_t m, ActualizacionPendiente& pendiente) {
  panel.inicio = inicio;
  panel.fin = finDePanel(inicio, m);
  assert(inicio < panel.fin && (panel.fin == m || panel.fin % kAnchoPanel == 0));
  panel.m = m;
  const std::size_t ancho = panel.fin - inicio;
  std::fill_n(panel.trabajo.conFactores.begin(), m, 0);
  for (std::size_t s0 = 0; s0 < ancho; s0 += kAnchoFranja)
    for (std::size_t k = 0; k < m; ++k)
      std::copy_n(Ab[k].data() + inicio + s0, anchoFranja(panel, s0),
                  enFranja(panel, s0 / kAnchoFranja, k));
  for (std::size_t s0 = 0; s0 < ancho; s0 += kAnchoFranja)
    if (!eliminaFranja(Ab, usada, panel, s0, std::min(s0 + kAnchoFranja, ancho), m, pendiente))
      return false;
  return true;
}

}  // namespace

double memoriaDePaneles(std::size_t n) {
  const auto nodos = static_cast<double>(n);
  return 2.0 * (8.0 * kAnchoPanel * (5.0 * nodos + kAnchoPaquete) +
                (8.0 + 4.0 * kPivotesPorFila) * nodos + 4.0 * (nodos / kAnchoPaquete + 1.0));
}

TrabajoPanel nuevoTrabajoPanel(std::size_t n) {
  TrabajoPanel trabajo;
  trabajo.copia = reservaFilas(kAnchoPanel, n);
  trabajo.factor = reservaFilas(kAnchoPanel, n);
  trabajo.columnas = reservaVector(n * kAnchoPanel);
  trabajo.empaquetadas = reservaVector(porExceso(n, kAnchoPaquete) * kAnchoPaquete * kAnchoPanel);
  trabajo.filas = nuevoVectorEntero(n);
  trabajo.llenos = nuevoVectorEntero(porExceso(n, kAnchoPaquete));
  trabajo.conFactores = nuevoVectorEntero(n);
  trabajo.factoresTeselas = reservaVector(n * kAnchoPanel);
  trabajo.pivotesTeselas = nuevoVectorEntero(n * kPivotesPorFila);
  return trabajo;
}

void preparaPanel(TrabajoPanel& trabajo, std::size_t m) {
  for (Vector& fila : trabajo.copia) fila.resize(m);
  for (Vector& fila : trabajo.factor) fila.resize(m);
  trabajo.columnas.resize(m * kAnchoPanel);
  trabajo.factoresTeselas.resize(m * kAnchoPanel);
  trabajo.empaquetadas.resize(porExceso(m, kAnchoPaquete) * kAnchoPaquete * kAnchoPanel);
}

Paneles nuevosPaneles(std::array<TrabajoPanel, 2>& trabajo, std::size_t inicio) {
  return Paneles{{Panel{inicio, inicio, 0, nuevoVectorEntero(kAnchoPanel), trabajo[0]},
                  Panel{inicio, inicio, 0, nuevoVectorEntero(kAnchoPanel), trabajo[1]}},
                 0,
                 false,
                 {}};
}

bool eliminaPanel(Matrix& Ab, std::vector<std::int32_t>& usada, Paneles& paneles,
                  std::size_t inicio, std::size_t m) {
  Panel& panel = paneles.panel[1 - paneles.ultimo];
  if (!paneles.adelantado && !decidePanel(Ab, usada, panel, inicio, m, paneles.pendiente))
    return false;
  terminaActualizacion(paneles.pendiente);  // the pivot rows' copies take whole rows
  paneles.ultimo = 1 - paneles.ultimo;
  paneles.adelantado = false;
  if (!completaYRevisa(Ab, panel, panel.fin - panel.inicio, m, true)) return false;
  std::size_t conFactores = 0;  // the rows the update has work for
  for (std::size_t k = 0; k < m; ++k) conFactores += tieneFactores(panel, k, kTodas) ? 1 : 0;
  const unsigned trabajadores =
      conFactores >= filasParaRepartir() ? hilosPara(panel.trabajo.hilos) : 1;
  const std::size_t finSiguiente = finDePanel(panel.fin, m);
  // Without a next panel, a worker to update while it is decided, or a dense
  // panel: the whole update now. Otherwise the next panel's columns first, on
  // every thread; the rest is left to the workers while this thread decides
  // the next panel's pivots on the other storage, and joins them after.
  const bool adelanta = trabajadores > 1 && panel.fin < m && esDenso(conFactores, m);
  const Trechos columnas =
      adelanta ? Trechos{panel.fin, finSiguiente, 0, 0} : Trechos{0, panel.inicio, panel.fin, m};
  repartePorFilas(
      m, kFilasTesela, conFactores,
      [&](std::size_t desde, std::size_t hasta) {
        actualizaFilas(Ab, panel, desde, hasta, columnas, true);
      },
      panel.trabajo.hilos);
  if (!adelanta) return true;
  empiezaActualizacion(paneles.pendiente, Ab, panel, finSiguiente, trabajadores);
  if (!decidePanel(Ab, usada, paneles.panel[1 - paneles.ultimo], panel.fin, m, paneles.pendiente))
    return false;
  paneles.adelantado = true;
  return true;
}
