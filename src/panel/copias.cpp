// The pivot rows' copies of a panel (panel/copias.h): completed outside the
// panel once its pivots are decided, checked, and packed for the update.
#include "panel/copias.h"

#include <algorithm>

#include "base/hilos.h"
#include "base/reparto.h"
#include "panel/pivotes.h"
#include "panel/tesela.h"

namespace {

// The copies of pivots [0, hasta) over the block columns [a, b) outside the
// panel: pivot t's row as it was when chosen, with the pivots before it. A
// tile's kFilasTesela copies at a time take the pivots before the first of
// them in register tiles, then those among themselves one copy at a time.
void completaCopias(const Matrix& Ab, Panel& panel, std::size_t hasta, std::size_t a,
                    std::size_t b) {
  const Trechos trechos{a, std::min(b, panel.inicio), std::max(a, panel.fin), b};
  Factores factores{};
  for (std::size_t t0 = 0; t0 < hasta; t0 += kFilasTesela) {
    const std::size_t juntas = std::min(kFilasTesela, hasta - t0);
    Filas filas{};
    Cuales cuales{};
    for (std::size_t i = 0; i < juntas; ++i) {
      const auto r = static_cast<std::size_t>(panel.pivote[t0 + i]);
      double* copia = panel.trabajo.copia[t0 + i].data();
      porTrechos(trechos, [&](std::size_t d, std::size_t h) {
        std::copy(Ab[r].begin() + static_cast<std::ptrdiff_t>(d),
                  Ab[r].begin() + static_cast<std::ptrdiff_t>(h), copia + d);
      });
      filas[i] = copia;
      cuales[i] = r;
    }
    if (juntas == kFilasTesela)
      aplicaPivotes<kFilasTesela>(panel, filas.data(), cuales.data(), 0, t0, 0, trechos, factores);
    else
      for (std::size_t i = 0; i < juntas; ++i)
        aplicaPivotes<1>(panel, &filas[i], &cuales[i], 0, t0, 0, trechos, factores);
    for (std::size_t i = 1; i < juntas; ++i)
      aplicaPivotes<1>(panel, &filas[i], &cuales[i], t0, t0 + i, 0, trechos, factores);
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

// Whether one of the first `ancho` pivot rows of a packed block holds a
// nonzero among its first `cuantas` columns.
bool esLleno(const double* bloque, std::size_t ancho, std::size_t cuantas) {
  for (std::size_t t = 0; t < ancho; ++t)
    for (std::size_t l = 0; l < cuantas; ++l)
      if (bloque[t * kAnchoPaquete + l] != 0.0) return true;
  return false;
}

// The pivot rows over block columns [a, b) outside the panel (a a multiple
// of kAnchoPaquete) into the packets of panel/tesela.h, each marked with
// whether it holds a nonzero: the update skips those that hold none.
void empaqueta(const Panel& panel, std::size_t a, std::size_t b) {
  const std::size_t ancho = panel.fin - panel.inicio;
  double* base = panel.trabajo.empaquetadas.data();
  for (std::size_t c = a; c < b; c += kAnchoPaquete) {
    if (c >= panel.inicio && c < panel.fin) continue;
    const std::size_t cuantas = std::min(kAnchoPaquete, b - c);
    double* bloque = base + (c / kAnchoPaquete) * kAnchoPanel * kAnchoPaquete;
    for (std::size_t t = 0; t < ancho; ++t)
      std::copy_n(panel.trabajo.copia[t].begin() + static_cast<std::ptrdiff_t>(c), cuantas,
                  bloque + t * kAnchoPaquete);
    panel.trabajo.llenos[c / kAnchoPaquete] = esLleno(bloque, ancho, cuantas) ? 1 : 0;
  }
}

}  // namespace

// The pivot rows' copies of pivots [0, hasta), completed on every thread,
// each its own stretch of columns, and packed for the update when `paraActualizar`;
// false when one is not finite.
bool completaYRevisa(const Matrix& Ab, Panel& panel, std::size_t hasta, std::size_t m,
                     bool paraActualizar) {
  // Copying and packing are m values a pivot; each nonzero factor of a pivot
  // row for an earlier pivot is m updates more.
  std::size_t porFila = hasta;
  for (std::size_t t = 0; t < hasta; ++t)
    for (std::size_t antes = 0; antes < t; ++antes)
      porFila += panel.trabajo.factor[antes][static_cast<std::size_t>(panel.pivote[t])] != 0.0;
  reparteEnPartes(hilosParaPaso(panel, static_cast<double>(porFila) * static_cast<double>(m)), m,
                  kColumnasPorTrecho / 8, [&](std::size_t a, std::size_t b) {
                    completaCopias(Ab, panel, hasta, a, b);
                    if (paraActualizar) empaqueta(panel, a, b);
                  });
  return sonFinitasFuera(panel, hasta, m);
}
