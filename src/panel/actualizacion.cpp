// The update of a panel's pivots over the block's rows, whole or in pieces
// taken in turn while the next panel is decided (panel/actualizacion.h).
#include "panel/actualizacion.h"

#include <algorithm>

#include "panel/tesela.h"

namespace {

// Rows a piece of the pending update: sixteen tiles, about 2 ms of a 4000-node
// block's update, so the caller finds some left when it has decided.
constexpr std::size_t kFilasPorPieza = 16 * kFilasTesela;

// The tile of the update's list from its g-th row: the pivots that apply to
// its rows and their factors, gathered once for all stretches of columns (the
// factors of a tile lie one pivot's column apart, which a 4000-row block's
// update read anew for each of its eight stretches).
double* factoresDeTesela(const Panel& panel, std::size_t g) {
  return panel.trabajo.factoresTeselas.data() + g * kAnchoPanel;
}

// How many pivots apply, then their numbers.
std::int32_t* pivotesDeTesela(const Panel& panel, std::size_t g) {
  return panel.trabajo.pivotesTeselas.data() + g * kPivotesPorFila;
}

void reuneTesela(const Panel& panel, const std::size_t* k, std::size_t g) {
  std::int32_t* pivotes = pivotesDeTesela(panel, g);
  const std::size_t cuantas = reunePivotes<kFilasTesela>(panel, k, 0, panel.fin - panel.inicio,
                                                         pivotes + 1, factoresDeTesela(panel, g));
  *pivotes = static_cast<std::int32_t>(cuantas);
}

// Columns [a, b) of rows filas (a a multiple of kAnchoPaquete) with the
// packed pivots p, run by run of packed blocks that hold a nonzero: a
// block of zeros changes no entry (x − 0·f is x: the factors are finite
// and the block holds no −0.0, invariant 1 of linalg/bloque.h), and a
// sparse block's pivot rows are mostly such blocks.
void restaLlenos(const Panel& panel, double* const* filas, const Empaquetadas& p, std::size_t a,
                 std::size_t b) {
  const std::int32_t* llenos = panel.trabajo.llenos.data();
  const auto siguiente = [b](std::size_t c) {
    return std::min(b, c - c % kAnchoPaquete + kAnchoPaquete);
  };
  std::size_t c = a;
  while (c < b) {
    while (c < b && llenos[c / kAnchoPaquete] == 0) c = siguiente(c);
    const std::size_t desde = c;
    while (c < b && llenos[c / kAnchoPaquete] != 0) c = siguiente(c);
    if (desde < c) restaEmpaquetadasTesela(filas, p, desde, c);
  }
}

// Rows filas, the tile gathered at g, over the columns of `trechos`, with
// the panel's pivots from their packed rows.
void aplicaEmpaquetadas(const Panel& panel, double* const* filas, std::size_t g,
                        const Trechos& trechos) {
  const std::int32_t* pivotes = pivotesDeTesela(panel, g);
  const auto cuantas = static_cast<std::size_t>(*pivotes);
  if (cuantas == 0) return;
  const Empaquetadas p{panel.trabajo.empaquetadas.data(), kAnchoPanel, pivotes + 1,
                       factoresDeTesela(panel, g), cuantas};
  porTrechos(trechos, [&](std::size_t a, std::size_t b) { restaLlenos(panel, filas, p, a, b); });
}

bool vacio(const Trechos& trechos) {
  return trechos.desde >= trechos.hasta && trechos.luego >= trechos.fin;
}

}  // namespace

void actualizaFilas(Matrix& Ab, const Panel& panel, std::size_t desde, std::size_t hasta,
                    const Trechos& columnas, bool devuelve) {
  const std::size_t ancho = panel.fin - panel.inicio;
  std::int32_t* lista = panel.trabajo.filas.data() + desde;  // this part's own stretch of the list
  std::size_t enLista = 0;
  for (std::size_t k = desde; k < hasta; ++k) {
    if (devuelve) copiaDeCompacta(panel, k, Ab[k].data() + panel.inicio);
    if (tieneFactores(panel, k, kTodas)) lista[enLista++] = static_cast<std::int32_t>(k);
  }
  const std::size_t enTeselas = enLista - enLista % kFilasTesela;
  for (std::size_t g = 0; g < enTeselas; g += kFilasTesela) {
    Cuales cuales{};
    for (std::size_t i = 0; i < kFilasTesela; ++i)
      cuales[i] = static_cast<std::size_t>(lista[g + i]);
    reuneTesela(panel, cuales.data(), desde + g);
  }
  const std::size_t ultima = std::max(columnas.hasta, columnas.fin);
  for (std::size_t a = 0; a < ultima; a += kColumnasPorTrecho) {
    const std::size_t b = a + kColumnasPorTrecho;
    const Trechos trechos{std::max(a, columnas.desde), std::min(b, columnas.hasta),
                          std::max(a, columnas.luego), std::min(b, columnas.fin)};
    if (vacio(trechos)) continue;
    for (std::size_t g = 0; g < enTeselas; g += kFilasTesela) {
      Filas filas{};
      for (std::size_t i = 0; i < kFilasTesela; ++i)
        filas[i] = Ab[static_cast<std::size_t>(lista[g + i])].data();
      aplicaEmpaquetadas(panel, filas.data(), desde + g, trechos);
    }
  }
  Factores factores{};
  for (std::size_t g = enTeselas; g < enLista; ++g) {
    const auto k = static_cast<std::size_t>(lista[g]);
    double* fila = Ab[k].data();
    aplicaPivotes<1>(panel, &fila, &k, 0, ancho, 0, columnas, factores);
  }
}

void ActualizacionPendiente::Parte::operator()(std::size_t /*parte*/) const {
  ActualizacionPendiente& p = *pendiente;
  const std::size_t m = p.panel->m;
  const Trechos columnas{0, p.panel->inicio, p.desde, m};
  for (std::size_t pieza = p.siguiente++; pieza < p.piezas; pieza = p.siguiente++)
    actualizaFilas(*p.Ab, *p.panel, pieza * kFilasPorPieza,
                   std::min(m, (pieza + 1) * kFilasPorPieza), columnas, false);
}

void empiezaActualizacion(ActualizacionPendiente& pendiente, Matrix& Ab, const Panel& panel,
                          std::size_t desde, unsigned hilos) {
  pendiente.Ab = &Ab;
  pendiente.panel = &panel;
  pendiente.desde = desde;
  pendiente.piezas = porExceso(panel.m, kFilasPorPieza);
  pendiente.siguiente = 0;
  pendiente.encargo.emplace(1, hilos, pendiente.parte);
}

void terminaActualizacion(ActualizacionPendiente& pendiente) {
  if (!pendiente.encargo) return;
  pendiente.parte(0);
  pendiente.encargo->termina();
  pendiente.encargo.reset();
}
