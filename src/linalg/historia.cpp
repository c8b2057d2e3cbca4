// The last round's elimination carried over to the rows and columns a new
// block adds; when a round may carry over or be recorded is stated in
// linalg/historia.h.
#include "linalg/historia.h"

#include <algorithm>
#include <cmath>

#include "base/memoria.h"
#include "panel/tesela.h"

namespace {

// At most a sixteenth of the block added: carrying over (about 2·m²·d
// updates, one pivot at a time on one thread) then clearly beats eliminating
// afresh (m³ in register tiles on every core, about four times as fast per
// update). Figures in docs/performance.md, "Carried-over elimination".
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

// The added columns c0 … c0 + w − 1 of the k old rows, gathered one column
// after another in col (column j at col + j·k), receive the old pivots in
// order; each pivot row's entry there is recorded as it was when chosen.
bool aplicaAColumnas(Historia& historia, double* col, std::size_t k, std::size_t c0,
                     std::size_t w) {
  for (std::size_t t = 0; t < k; ++t) {
    const auto r = static_cast<std::size_t>(historia.pivote[t]);
    const double* f = historia.factor[t].data();
    for (std::size_t j = 0; j < w; ++j) {
      double* columna = col + j * k;
      const double p = columna[r];
      if (!std::isfinite(p)) return false;
      historia.copia[t][c0 + j] = p;
      restaUno(columna, f, p, 0, k);  // x − f·p: the product's bits are those of p·f
      columna[r] = p;                 // the pivot row itself is not updated
    }
  }
  return true;
}

// The added rows k … m − 1, all their columns, receive the old pivots in
// order, each with its factor from the row as it stands then.
bool aplicaAFilas(Matrix& Ab, Historia& historia, std::size_t k, std::size_t m) {
  for (std::size_t t = 0; t < k; ++t) {
    const double* q = historia.copia[t].data();
    for (std::size_t r = k; r < m; ++r) {
      const double f = Ab[r][t] / q[t];
      if (!std::isfinite(f)) return false;
      historia.factor[t][r] = f;
      restaUno(Ab[r].data(), q, f, 0, m);
    }
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
                    std::vector<std::int32_t>& usada, Vector& columnas, std::size_t kAncho) {
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
    if (!aplicaAColumnas(historia, col, k, c0, w)) return false;
    for (std::size_t r = 0; r < k; ++r)
      for (std::size_t j = 0; j < w; ++j) Ab[r][c0 + j] = col[j * k + r];
  }
  return aplicaAFilas(Ab, historia, k, m);
}

void guardaColumna(Historia& historia, std::size_t c, std::int32_t pivote, const Vector& copia,
                   const Vector& factor, std::size_t m) {
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
  if (!historia.permitida) return;
  historia.creciendo = extiendePoco(historia.indices, indices);
  historia.indices.assign(indices.begin(), indices.end());  // within the room for n
  historia.guardadas = guardada ? indices.size() : 0;
}
