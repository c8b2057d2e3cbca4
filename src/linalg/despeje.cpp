// x from the block solver's eliminated block (linalg/bloque.h): each row's
// value divided by its entry of largest magnitude, then the rows moved with
// the values, as the full solver does. The numbers in comments cite the
// invariants of linalg/bloque.h.
#include "linalg/despeje.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <utility>

#include "base/memoria.h"
#include "base/reparto.h"
#include "linalg/eliminadas.h"
#include "linalg/magnitud.h"

namespace {

// The diagonal outside the block.
volatile const double kMenosUno = -1.0;

// The block columns the reordering marks at a time: 1024 columns, 8 KiB of
// each row read in one stretch, 128 bytes of bits a row. (32 at a time read
// 256 bytes of every row per pass, and the passes over rows 32 KiB apart
// missed the caches on every row.)
constexpr std::size_t kColumnasSenaladas = 1024;
constexpr std::size_t kPalabrasSenaladas = kColumnasSenaladas / 32;

// The entries above tol of a window of block columns: per column of the
// window, the block rows that hold one.
struct Mayores {
  std::vector<std::int32_t> bits;    // per row, kPalabrasSenaladas words of bits
  std::vector<std::int32_t> cuenta;  // per row, 1 when it has bits set
  std::vector<std::int32_t> inicio;  // per column, where its rows start in filas
  std::vector<std::int32_t> filas;
};

// Row k's entries above tol among block columns [desde, hasta), a window:
// bit b of its word w says |fila[desde + 32·w + b]| > tol. Most rows have
// one such entry or none (an eliminated block keeps one large entry a row),
// so each word's columns are first tested as a whole.
void senalaFila(const double* fila, std::size_t k, std::size_t desde, std::size_t hasta,
                Mayores& mayores) {
  mayores.cuenta[k] = 0;
  std::int32_t* palabras = mayores.bits.data() + k * kPalabrasSenaladas;
  for (std::size_t w = 0; w < kPalabrasSenaladas; ++w) {
    const std::size_t inicio = desde + 32 * w;
    const std::size_t fin = std::min(inicio + 32, hasta);
    std::uint32_t bits = 0;
    if (inicio < fin && hayMayores(fila, inicio, fin))
      for (std::size_t c = inicio; c < fin; ++c)
        bits |= static_cast<std::uint32_t>(std::fabs(fila[c]) > tol) << (c - inicio);
    palabras[w] = static_cast<std::int32_t>(bits);
    mayores.cuenta[k] |= static_cast<std::int32_t>(bits != 0);
  }
}

// Division: each row's value over its entry of largest magnitude, the first
// such column on ties (4). Rows are shared among `hilos` threads (0: hilos()).
// Each divisor is recorded in `divisores` when there is a record. While a
// block row is at hand, its bits for the reordering's first window are
// taken too (senalaFila): one pass over the block instead of two.
void divide(const Matrix& Ab, const Bloque& bloque, const Vector& b, Vector& x, unsigned hilos,
            Eliminacion* registro, Mayores& mayores) {
  double* divisores = registro != nullptr ? registro->divisores.data() : nullptr;
  // Read at run time: the compiler may turn a division by the literal −1.0
  // into a negation, which flips the sign of a NaN where the division keeps it.
  const double menosUno = kMenosUno;
  if (b.empty()) return;
  const std::int32_t c0 = bloque.posicion[0];
  // Column 0 (0.0 when node 0 is outside) is where the search starts.
  const std::size_t inicio = c0 == kFuera ? 0 : 1;
  const std::size_t m = bloque.indices.size();
  const std::size_t ventana = std::min(kColumnasSenaladas, m);
  const auto filas = [&](std::size_t desde, std::size_t hasta) {
    for (std::size_t i = desde; i < hasta; ++i) {
      const std::int32_t r = bloque.posicion[i];
      double divisor = menosUno;
      if (r != kFuera) {
        const Vector& fila = Ab[static_cast<std::size_t>(r)];
        const double inicial = c0 == kFuera ? 0.0 : fila[static_cast<std::size_t>(c0)];
        divisor = mayorMagnitud(fila.data(), inicio, m, inicial);
        senalaFila(fila.data(), static_cast<std::size_t>(r), 0, ventana, mayores);
      }
      x[i] = b[i] / divisor;
      if (divisores != nullptr) divisores[i] = divisor;
    }
  };
  repartePorFilas(b.size(), 1, m, filas, hilos);
}

// Every row of the m×m block over the window from desde, read along the
// rows, each thread over its own rows.
void senalaVentana(const Matrix& Ab, std::size_t desde, std::size_t m, unsigned hilos,
                   Mayores& mayores) {
  const std::size_t hasta = std::min(desde + kColumnasSenaladas, m);
  repartePorFilas(
      m, 1, m,
      [&](std::size_t primera, std::size_t fin) {
        for (std::size_t k = primera; k < fin; ++k)
          senalaFila(Ab[k].data(), k, desde, hasta, mayores);
      },
      hilos);
}

// From the window's bits, on this thread: each column's rows, so that the
// columns' lists are about a row each.
void listaMayores(std::size_t m, Mayores& mayores) {
  std::fill(mayores.inicio.begin(), mayores.inicio.end(), 0);
  const auto cadaBit = [&](const auto& haz) {
    for (std::size_t k = 0; k < m; ++k) {
      if (mayores.cuenta[k] == 0) continue;
      const std::int32_t* palabras = mayores.bits.data() + k * kPalabrasSenaladas;
      for (std::size_t w = 0; w < kPalabrasSenaladas; ++w)
        for (auto bits = static_cast<std::uint32_t>(palabras[w]); bits != 0; bits &= bits - 1)
          haz(k, 32 * w + static_cast<std::size_t>(std::countr_zero(bits)));
    }
  };
  cadaBit([&](std::size_t, std::size_t c) { ++mayores.inicio[c + 1]; });
  for (std::size_t c = 0; c < kColumnasSenaladas; ++c) mayores.inicio[c + 1] += mayores.inicio[c];
  mayores.filas.resize(static_cast<std::size_t>(mayores.inicio[kColumnasSenaladas]));
  std::vector<std::int32_t> lleno(mayores.inicio.begin(), mayores.inicio.end() - 1);
  cadaBit([&](std::size_t k, std::size_t c) {
    mayores.filas[static_cast<std::size_t>(lleno[c]++)] = static_cast<std::int32_t>(k);
  });
}

// Reordering: rows move with the values (5). en[p] is the original row at
// place p, lugar[o] the place of original row o. A block column's entries
// above tol come from the bits of senalaFila, not from a walk down the
// column, which would touch a cache line per row; `mayores` comes with the
// first window's bits (divide). The exchanges are recorded when there is a
// record.
void reordena(const Matrix& Ab, const Bloque& bloque, Vector& x, unsigned hilos,
              Eliminacion* registro, Mayores& mayores) {
  const std::size_t n = x.size();
  const std::size_t m = bloque.indices.size();
  std::vector<std::int32_t> en = nuevoVectorEntero(n);
  std::vector<std::int32_t> lugar = nuevoVectorEntero(n);
  std::size_t leidasDesde = m;  // the block columns mayores holds, from there on
  for (std::size_t i = 0; i < n; ++i) en[i] = lugar[i] = static_cast<std::int32_t>(i);
  for (std::size_t j = 0; j < n; ++j) {
    const std::int32_t c = bloque.posicion[j];
    std::int32_t r = 0;
    if (c == kFuera) {
      r = lugar[j];  // original row j's −1 (5)
    } else {
      const auto columna = static_cast<std::size_t>(c);
      if (leidasDesde == m || columna >= leidasDesde + kColumnasSenaladas) {  // ascending: the next
        leidasDesde = columna - columna % kColumnasSenaladas;
        if (leidasDesde > 0) senalaVentana(Ab, leidasDesde, m, hilos, mayores);
        listaMayores(m, mayores);
      }
      const std::size_t enVentana = columna - leidasDesde;
      for (auto k = static_cast<std::size_t>(mayores.inicio[enVentana]);
           k < static_cast<std::size_t>(mayores.inicio[enVentana + 1]); ++k) {
        const auto fila = static_cast<std::size_t>(mayores.filas[k]);
        r = std::max(r, lugar[static_cast<std::size_t>(bloque.indices[fila])]);
      }
    }
    if (static_cast<std::size_t>(r) == j) continue;
    if (registro != nullptr)
      registro->cambios.insert(registro->cambios.end(), {static_cast<std::int32_t>(j), r});
    std::swap(x[j], x[static_cast<std::size_t>(r)]);
    std::swap(en[j], en[static_cast<std::size_t>(r)]);
    lugar[static_cast<std::size_t>(en[j])] = static_cast<std::int32_t>(j);
    lugar[static_cast<std::size_t>(en[static_cast<std::size_t>(r)])] = r;
  }
}

}  // namespace

void despejaBloque(const Matrix& Ab, const Bloque& bloque, const Vector& b, Vector& x,
                   unsigned hilos, Eliminacion* registro) {
  const std::size_t m = bloque.indices.size();
  Mayores mayores{nuevoVectorEntero(m * kPalabrasSenaladas),
                  nuevoVectorEntero(m),
                  nuevoVectorEntero(kColumnasSenaladas + 1),
                  {}};
  divide(Ab, bloque, b, x, hilos, registro, mayores);
  reordena(Ab, bloque, x, hilos, registro, mayores);
}
