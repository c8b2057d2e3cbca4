// A run of a panel's pivots applied to rows (panel/panel.h): the pieces
// the panel's own steps (panel.cpp) and the completion of its pivot rows'
// copies (copias.cpp) share. Internal to the block solver.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "base/hilos.h"
#include "base/reparto.h"
#include "panel/panel.h"
#include "panel/tesela.h"

// Columns [desde, hasta) and [luego, fin) of a row; either may be empty.
struct Trechos {
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

// f(a, b) for each side of trechos that holds columns.
template <typename F>
void porTrechos(const Trechos& trechos, const F& f) {
  if (trechos.desde < trechos.hasta) f(trechos.desde, trechos.hasta);
  if (trechos.luego < trechos.fin) f(trechos.luego, trechos.fin);
}

inline bool esFinito(const double* fila, std::size_t desde, std::size_t hasta) {
  for (std::size_t l = desde; l < hasta; ++l)
    if (!std::isfinite(fila[l])) return false;
  return true;
}

// Row k's columns of strip `franja` in the compact copy. A strip holds its
// columns of every row together, so that a pivot's pass over its strip reads
// m·kAnchoFranja values (within the second-level cache) rather than the
// whole panel's.
inline double* enFranja(const Panel& panel, std::size_t franja, std::size_t k) {
  return panel.trabajo.columnas.data() + (franja * panel.m + k) * kAnchoFranja;
}

// The columns of the strip that starts at panel column s0.
inline std::size_t anchoFranja(const Panel& panel, std::size_t s0) {
  return std::min(kAnchoFranja, panel.fin - panel.inicio - s0);
}

// Row k's columns of the panel, from the compact copy into fila (its block
// column inicio at fila[0]).
inline void copiaDeCompacta(const Panel& panel, std::size_t k, double* fila) {
  for (std::size_t s0 = 0; s0 < panel.fin - panel.inicio; s0 += kAnchoFranja)
    std::copy_n(enFranja(panel, s0 / kAnchoFranja, k), anchoFranja(panel, s0), fila + s0);
}

// Whether row k has a nonzero factor for one of the pivots of the strips
// in `franjas` (bit s: strip s); without one, those pivots change none of
// its entries (invariant 1 of linalg/bloque.h), and sparse blocks leave most
// rows so.
inline bool tieneFactores(const Panel& panel, std::size_t k, std::uint32_t franjas) {
  return (static_cast<std::uint32_t>(panel.trabajo.conFactores[k]) & franjas) != 0;
}

// Threads for a step of about `actualizaciones` updates: as many as the
// block may use when the step is at least the update of filasParaRepartir()
// rows for one strip (kAnchoFranja pivots, the work that threshold was
// measured on: docs/performance.md, "Threads"), else the caller alone.
// Sparse blocks, whose steps are mostly skipped zeros, so wake no worker.
inline unsigned hilosParaPaso(const Panel& panel, double actualizaciones) {
  const auto filas = static_cast<double>(filasParaRepartir());
  return actualizaciones >= static_cast<double>(kAnchoFranja) * filas * filas
             ? hilosPara(panel.trabajo.hilos)
             : 1;
}

// The panel's pivots desde … hasta − 1 that have a nonzero factor for one of
// block rows k[0 … R): their numbers in indices, their factors in factores
// (factores[j·R + i] for the j-th of them). A pivot whose factors for all R
// rows are zero changes none of their entries (invariant 1 of
// linalg/bloque.h), so leaving it out leaves the bits of applying it.
template <std::size_t R>
std::size_t reunePivotes(const Panel& panel, const std::size_t* k, std::size_t desde,
                         std::size_t hasta, std::int32_t* indices, double* factores) {
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
// columns of `trechos`, with the panel's pivots desde … hasta − 1 in order,
// their copies read `corre` columns on (the compact copy's column l is block
// column inicio + l).
template <std::size_t R>
void aplicaPivotes(const Panel& panel, double* const* filas, const std::size_t* k,
                   std::size_t desde, std::size_t hasta, std::size_t corre, const Trechos& trechos,
                   Factores& factores) {
  Indices indices{};
  const std::size_t cuantas =
      reunePivotes<R>(panel, k, desde, hasta, indices.data(), factores.data());
  if (cuantas == 0) return;
  Copias copias{};
  for (std::size_t j = 0; j < cuantas; ++j)
    copias[j] = panel.trabajo.copia[static_cast<std::size_t>(indices[j])].data() + corre;
  const Pivotes p{copias.data(), factores.data(), cuantas};
  porTrechos(trechos, [&](std::size_t a, std::size_t b) {
    if constexpr (R == 1)
      restaPivotesFila(filas[0], p, a, b);
    else
      restaPivotesTesela(filas, p, a, b);
  });
}
