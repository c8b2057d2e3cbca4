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

// Pivots [t0, t1) applied in order to v[0 … largo): pivot t takes its scalar
// from v[t] as it stands then (escalar(t, x), false when it is not finite)
// and subtracts fila(t)·scalar from every element. The scalars are found
// first, here, each from its element with the earlier pivots of the stretch
// applied; then every element receives the stretch in order on one thread:
// the operations, and so the bits, of one pivot at a time. escalares has
// room for kPivotesJuntos values.
template <typename Fila, typename Escalar>
bool aplicaPivotes(double* v, std::size_t largo, std::size_t t0, std::size_t t1, const Fila& fila,
                   const Escalar& escalar, unsigned hilos, double* escalares) {
  for (std::size_t t = t0; t < t1; ++t) {
    double x = v[t];
    for (std::size_t s = t0; s < t; ++s) x = x - fila(s)[t] * escalares[s - t0];
    const double f = escalar(t, x);
    if (!std::isfinite(f)) return false;
    escalares[t - t0] = f;
  }
  repartePorFilas(
      largo, 8, largo,
      [&](std::size_t desde, std::size_t hasta) {
        for (std::size_t t = t0; t < t1; ++t) restaUno(v, fila(t), escalares[t - t0], desde, hasta);
      },
      hilos);
  return true;
}

// The added rows k … m − 1, their old columns, receive the old pivots in
// order, each with its factor from the row as it stands then: the factors
// depend on the old columns alone.
bool aplicaAFilasViejas(Matrix& Ab, Historia& historia, std::size_t k, std::size_t m,
                        unsigned hilos) {
  std::array<double, kPivotesJuntos> escalares{};
  const auto fila = [&](std::size_t t) { return historia.copia[t].data(); };
  for (std::size_t t0 = 0; t0 < k; t0 += kPivotesJuntos)
    for (std::size_t r = k; r < m; ++r) {
      const auto escalar = [&](std::size_t t, double x) {
        const double f = x / historia.copia[t][t];
        historia.factor[t][r] = f;
        return f;
      };
      if (!aplicaPivotes(Ab[r].data(), k, t0, std::min(t0 + kPivotesJuntos, k), fila, escalar,
                         hilos, escalares.data()))
        return false;
    }
  return true;
}

// The added columns c0 … c0 + w − 1 of the old rows, in and out of col
// (column j at col + j·k).
void reuneColumnas(const Matrix& Ab, double* col, std::size_t k, std::size_t c0, std::size_t w) {
  for (std::size_t r = 0; r < k; ++r)
    for (std::size_t j = 0; j < w; ++j) col[j * k + r] = Ab[r][c0 + j];
}

void devuelveColumnas(Matrix& Ab, const double* col, std::size_t k, std::size_t c0, std::size_t w) {
  for (std::size_t r = 0; r < k; ++r)
    for (std::size_t j = 0; j < w; ++j) Ab[r][c0 + j] = col[j * k + r];
}

// The added rows' added columns receive the old pivots in order, with the
// factors aplicaAFilasViejas found and the pivot rows' added entries as
// chosen; each row on one thread, in a plain loop (the added columns are
// few: the kernel's call would cost more than the work).
void aplicaAFilasNuevas(Matrix& Ab, const Historia& historia, std::size_t k, std::size_t m,
                        unsigned hilos) {
  repartePorFilas(
      m - k, 1, m,
      [&](std::size_t desde, std::size_t hasta) {
        for (std::size_t r = k + desde; r < k + hasta; ++r) {
          double* fila = Ab[r].data();
          for (std::size_t t = 0; t < k; ++t) {
            const double* q = historia.copia[t].data();
            const double f = historia.factor[t][r];
            for (std::size_t c = k; c < m; ++c) fila[c] = fila[c] - q[c] * f;
          }
        }
      },
      hilos);
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

bool abreHistoria(Matrix& Ab, Historia& historia, std::size_t k, std::size_t m,
                  std::vector<std::int32_t>& usada, unsigned hilos) {
  for (std::size_t t = 0; t < k; ++t) {
    usada[static_cast<std::size_t>(historia.pivote[t])] = 1;
    historia.copia[t].resize(m);  // within the room reserved for n
    historia.factor[t].resize(m);
  }
  return aplicaAFilasViejas(Ab, historia, k, m, hilos);
}

void reuneAnadidas(const Matrix& Ab, Vector& columnas, std::size_t k, std::size_t m) {
  reuneColumnas(Ab, columnas.data(), k, k, m - k);
}

bool aplicaTramo(Historia& historia, Vector& columnas, std::size_t k, std::size_t c0, std::size_t w,
                 std::size_t t0, std::size_t t1, const Acompanante* otro, unsigned hilos) {
  assert(t0 < t1 && t1 - t0 <= kPivotesJuntos && t1 <= k);
  // Column j's scalars at escalares[j·kPivotesJuntos …], each pivot's from
  // its row as the stretch's earlier pivots leave it; the pivot row's entry
  // is recorded as it was when chosen.
  std::vector<double> escalares(w * kPivotesJuntos);
  for (std::size_t j = 0; j < w; ++j) {
    const double* v = columnas.data() + j * k;
    double* e = escalares.data() + j * kPivotesJuntos;
    for (std::size_t t = t0; t < t1; ++t) {
      const auto i = static_cast<std::size_t>(historia.pivote[t]);
      double x = v[i];
      for (std::size_t s = t0; s < t; ++s) x = x - historia.factor[s][i] * e[s - t0];
      if (!std::isfinite(x)) return false;
      e[t - t0] = x;
      historia.copia[t][c0 + j] = x;
    }
  }
  // Then every row receives the stretch in order on one thread. A pivot row
  // keeps its value: x − f·p, with the product's bits those of p·f, everywhere else.
  const std::size_t largo = otro != nullptr ? otro->largo : k;
  repartePorFilas(
      largo, 8, largo,
      [&](std::size_t desde, std::size_t hasta) {
        const std::size_t viejas = std::min(hasta, k);
        double* x = otro != nullptr ? otro->juntas : nullptr;
        if (x != nullptr)
          for (std::size_t r = desde; r < hasta; ++r)
            x[r] = otro->v[static_cast<std::size_t>(otro->filas[r])];
        for (std::size_t t = t0; t < t1; ++t) {
          const double* factor = historia.factor[t].data();
          const auto i = static_cast<std::size_t>(historia.pivote[t]);
          const bool propia = i >= desde && i < hasta;
          for (std::size_t j = 0; j < w && desde < viejas; ++j) {
            double* v = columnas.data() + j * k;
            const double e = escalares[j * kPivotesJuntos + t - t0];
            restaUno(v, factor, e, desde, viejas);
            if (propia) v[i] = e;
          }
          if (x == nullptr) continue;
          restaUno(x, factor, otro->escalares[t - t0], desde, hasta);
          if (propia) x[i] = otro->escalares[t - t0];
        }
        if (x != nullptr)
          for (std::size_t r = desde; r < hasta; ++r)
            otro->v[static_cast<std::size_t>(otro->filas[r])] = x[r];
      },
      hilos);
  return true;
}

void completaHistoria(Matrix& Ab, const Historia& historia, const Vector& columnas, std::size_t k,
                      std::size_t m, unsigned hilos) {
  devuelveColumnas(Ab, columnas.data(), k, k, m - k);
  aplicaAFilasNuevas(Ab, historia, k, m, hilos);
}

bool aplicaHistoria(Matrix& Ab, Historia& historia, std::size_t k, std::size_t m,
                    std::vector<std::int32_t>& usada, Vector& columnas, std::size_t kAncho,
                    unsigned hilos) {
  if (!abreHistoria(Ab, historia, k, m, usada, hilos)) return false;
  // The added columns kAncho at a time, then the added rows' added columns:
  // each element still receives every pivot in pivot order.
  for (std::size_t c0 = k; c0 < m; c0 += kAncho) {
    const std::size_t w = std::min(kAncho, m - c0);
    reuneColumnas(Ab, columnas.data(), k, c0, w);
    for (std::size_t t0 = 0; t0 < k; t0 += kPivotesJuntos)
      if (!aplicaTramo(historia, columnas, k, c0, w, t0, std::min(t0 + kPivotesJuntos, k), nullptr,
                       hilos))
        return false;
    devuelveColumnas(Ab, columnas.data(), k, c0, w);
  }
  aplicaAFilasNuevas(Ab, historia, k, m, hilos);
  return true;
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
