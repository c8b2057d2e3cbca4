// The last round's elimination carried over to the rows and columns a new
// block adds; when a round may carry over or be recorded is stated in
// linalg/historia.h.
#include "linalg/historia.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>

#include "base/memoria.h"
#include "base/reparto.h"
#include "panel/tesela.h"

namespace {

// At most a sixteenth of the block added: carrying over (about 2·m²·d
// updates, one pivot at a time, each shared among the threads) then clearly
// beats eliminating afresh (m³ in register tiles on every core, about four
// times as fast per update). Figures in docs/performance.md, "Carried-over
// elimination".
constexpr std::size_t kAnadidasPorConservada = 16;

// Whether ahora is antes with a few higher indices added.
bool extiendePoco(const std::vector<std::int32_t>& antes, const std::vector<std::int32_t>& ahora) {
  return antes.size() <= ahora.size() && std::equal(antes.begin(), antes.end(), ahora.begin()) &&
         (ahora.size() - antes.size()) * kAnadidasPorConservada <= ahora.size();
}

// fila[c] −= q[c]·f over [desde, hasta): one pivot, through the tiles' row loop.
void restaUno(double* fila, const double* q, double f, std::size_t desde, std::size_t hasta) {
  restaPivotesFila(fila, Pivotes{&q, &f, 1}, desde, hasta);
}

// Pivots applied together, at most: found one after another on this
// thread, then applied with each thread over its own stretch of the vector.
constexpr std::size_t kPivotesJuntos = 64;

// Pivots [t0, t1) applied in order to v[0 … largo): pivot t takes its scalar
// from v[lugar(t)] as it stands then (escalar(t, x), false when it is not
// finite), subtracts fila(t)·scalar from every element and, when vuelve,
// puts v[lugar(t)] back to the scalar. The scalars are found first, here,
// each from its element with the earlier pivots of the stretch applied;
// then every element receives the stretch in order on one thread: the
// operations, and so the bits, of one pivot at a time. escalares has room
// for kPivotesJuntos values.
template <typename Lugar, typename Fila, typename Escalar>
bool aplicaPivotes(double* v, std::size_t largo, std::size_t t0, std::size_t t1, const Lugar& lugar,
                   const Fila& fila, const Escalar& escalar, bool vuelve, unsigned hilos,
                   double* escalares) {
  for (std::size_t t = t0; t < t1; ++t) {
    const std::size_t i = lugar(t);
    double x = v[i];
    for (std::size_t s = t0; s < t; ++s) x = x - fila(s)[i] * escalares[s - t0];
    const double f = escalar(t, x);
    if (!std::isfinite(f)) return false;
    escalares[t - t0] = f;
  }
  repartePorFilas(
      largo, 8, largo,
      [&](std::size_t desde, std::size_t hasta) {
        for (std::size_t t = t0; t < t1; ++t) {
          restaUno(v, fila(t), escalares[t - t0], desde, hasta);
          const std::size_t i = lugar(t);
          if (vuelve && i >= desde && i < hasta) v[i] = escalares[t - t0];
        }
      },
      hilos);
  return true;
}

// The added columns c0 … c0 + w − 1 of the k old rows, gathered one column
// after another in col (column j at col + j·k), receive the old pivots in
// order; each pivot row's entry there is recorded as it was when chosen.
// The pivot row itself is not updated: x − f·p, with the product's bits
// those of p·f, everywhere else.
bool aplicaAColumnas(Historia& historia, double* col, std::size_t k, std::size_t c0, std::size_t w,
                     unsigned hilos) {
  std::array<double, kPivotesJuntos> escalares{};
  const auto lugar = [&](std::size_t t) { return static_cast<std::size_t>(historia.pivote[t]); };
  const auto fila = [&](std::size_t t) { return historia.factor[t].data(); };
  for (std::size_t t0 = 0; t0 < k; t0 += kPivotesJuntos)
    for (std::size_t j = 0; j < w; ++j) {
      const auto escalar = [&](std::size_t t, double p) {
        historia.copia[t][c0 + j] = p;
        return p;
      };
      if (!aplicaPivotes(col + j * k, k, t0, std::min(t0 + kPivotesJuntos, k), lugar, fila, escalar,
                         true, hilos, escalares.data()))
        return false;
    }
  return true;
}

// The added rows k … m − 1, all their columns, receive the old pivots in
// order, each with its factor from the row as it stands then.
bool aplicaAFilas(Matrix& Ab, Historia& historia, std::size_t k, std::size_t m, unsigned hilos) {
  std::array<double, kPivotesJuntos> escalares{};
  const auto lugar = [](std::size_t t) { return t; };
  const auto fila = [&](std::size_t t) { return historia.copia[t].data(); };
  for (std::size_t t0 = 0; t0 < k; t0 += kPivotesJuntos)
    for (std::size_t r = k; r < m; ++r) {
      const auto escalar = [&](std::size_t t, double x) {
        const double f = x / historia.copia[t][t];
        historia.factor[t][r] = f;
        return f;
      };
      if (!aplicaPivotes(Ab[r].data(), m, t0, std::min(t0 + kPivotesJuntos, k), lugar, fila,
                         escalar, false, hilos, escalares.data()))
        return false;
    }
  return true;
}

}  // namespace

Historia nuevaHistoria(std::size_t n, bool permitida) {
  Historia historia;
  historia.permitida = permitida;
  historia.dimension = n;
  if (permitida) historia.indices = nuevoVectorEntero(n);
  historia.indices.clear();  // room for n, none yet
  return historia;
}

void olvidaHistoria(Historia& historia, bool permitida) {
  historia.permitida = permitida;
  historia.indices.clear();  // its room stays
  historia.creciendo = false;
  historia.guardadas = 0;
}

std::size_t columnasConservadas(const Historia& historia,
                                const std::vector<std::int32_t>& indices) {
  return historia.guardadas > 0 && extiendePoco(historia.indices, indices) ? historia.guardadas : 0;
}

bool convieneGuardar(const Historia& historia, const std::vector<std::int32_t>& indices,
                     std::size_t n) {
  return historia.permitida && indices.size() < n && historia.creciendo &&
         extiendePoco(historia.indices, indices);
}

bool aplicaHistoria(Matrix& Ab, Historia& historia, std::size_t k, std::size_t m,
                    std::vector<std::int32_t>& usada, Vector& columnas, std::size_t kAncho,
                    unsigned hilos) {
  for (std::size_t t = 0; t < k; ++t) {
    usada[static_cast<std::size_t>(historia.pivote[t])] = 1;
    historia.copia[t].resize(m);  // within the room reserved for n
    historia.factor[t].resize(m);
  }
  for (std::size_t c0 = k; c0 < m; c0 += kAncho) {
    const std::size_t w = std::min(kAncho, m - c0);
    double* col = columnas.data();
    for (std::size_t r = 0; r < k; ++r)
      for (std::size_t j = 0; j < w; ++j) col[j * k + r] = Ab[r][c0 + j];
    if (!aplicaAColumnas(historia, col, k, c0, w, hilos)) return false;
    for (std::size_t r = 0; r < k; ++r)
      for (std::size_t j = 0; j < w; ++j) Ab[r][c0 + j] = col[j * k + r];
  }
  return aplicaAFilas(Ab, historia, k, m, hilos);
}

void guardaColumna(Historia& historia, std::size_t c, std::int32_t pivote, const Vector& copia,
                   const Vector& factor, std::size_t m) {
  assert(historia.permitida && c < m && m < historia.dimension);  // conditions 3 and 4
  if (historia.copia.empty()) {  // the first round recorded: room for the whole dimension
    const std::size_t n = historia.dimension;
    historia.pivote = nuevoVectorEntero(n);
    historia.copia = reservaFilas(n, n);
    historia.factor = reservaFilas(n, n);
  }
  historia.pivote[c] = pivote;
  historia.copia[c].assign(copia.begin(), copia.begin() + static_cast<std::ptrdiff_t>(m));
  historia.factor[c].assign(factor.begin(), factor.begin() + static_cast<std::ptrdiff_t>(m));
}

void cierraHistoria(Historia& historia, const std::vector<std::int32_t>& indices, bool guardada) {
  if (!historia.permitida) {
    assert(!guardada);  // condition 4
    return;
  }
  historia.creciendo = extiendePoco(historia.indices, indices);
  historia.indices.assign(indices.begin(), indices.end());  // within the room for n
  historia.guardadas = guardada ? indices.size() : 0;
}
