// Structure-aware clearing map and round system. A product of finite x with
// Λ's 0.0 is a signed zero, and a sum that starts at +0.0 is never −0.0, so
// adding such zeros changes nothing; a sum of zeros and one value x is 0.0 + x
// (x itself, or +0.0 when x is a zero). That turns the formulas into:
//   (Λ·(PIᵀ·Λ))[j][k] = 0.0 + PI[k][j] when j, k both default, +0.0 otherwise
//   u[i] = 0.0 + pBarra[i] for a solvent node i, +0.0 for a defaulting one
//   w[i] = 0.0 + e[i] for a defaulting node, +0.0 for a solvent one
//   z[i] = 0.0 + Σ over solvent k, ascending, of PI[k][i]·pBarra[k] for a
//          defaulting node, +0.0 for a solvent one.
// Default costs scale the block and z by β and w by α, as the literal formulas
// do: β·x and α·x of finite x are x itself when the factor is 1.
#include "clearing/estructura.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "base/hilos.h"
#include "base/memoria.h"
#include "base/reparto.h"
#include "linalg/operaciones.h"

namespace {

bool esVectorFinito(const Vector& v) {
  return std::all_of(v.begin(), v.end(), [](double x) { return std::isfinite(x); });
}

// Ab[r][c] = beta·(0.0 + PI[indices[c]][indices[r]]) for r in [r0, r1) and c
// in [ca, cb), one tile, so that both the rows of PI read and the rows of Ab
// written stay in cache. A 64×64 tile of doubles is 32 KiB on each side: one
// tile read and one written fit the second-level cache of any current core,
// while 64 doubles (8 cache lines) per row keep each line fully used before
// it is evicted. Returns the nonzero entries of PI it met.
constexpr std::size_t kTesela = 64;
std::size_t teselaTraspuesta(const Matrix& PI, const std::vector<std::int32_t>& indices,
                             double beta, Matrix& Ab, std::size_t r0, std::size_t r1,
                             std::size_t ca, std::size_t cb) {
  std::size_t distintas = 0;
  for (std::size_t ra = r0; ra < r1; ra += kTesela) {
    const std::size_t rb = std::min(ra + kTesela, r1);
    for (std::size_t c = ca; c < cb; ++c) {
      const Vector& fila = PI[static_cast<std::size_t>(indices[c])];
      for (std::size_t r = ra; r < rb; ++r) {
        const double x = fila[static_cast<std::size_t>(indices[r])];
        distintas += x != 0.0 ? 1 : 0;
        Ab[r][c] = beta * (0.0 + x);
      }
    }
  }
  return distintas;
}

// The same entries of a sparse block, columns [ca, m): Ab's rows cleared to
// +0.0, which is what beta·(0.0 + x) gives for x = ±0.0, then each column's
// row of PI read along and only its nonzeros written. Writing across Ab's
// rows is what costs, and a sparse block needs little of it.
void columnasDispersas(const Matrix& PI, const std::vector<std::int32_t>& indices, double beta,
                       Matrix& Ab, std::size_t r0, std::size_t r1, std::size_t ca) {
  const std::size_t m = indices.size();
  for (std::size_t r = r0; r < r1; ++r)
    std::fill(Ab[r].begin() + static_cast<std::ptrdiff_t>(ca),
              Ab[r].begin() + static_cast<std::ptrdiff_t>(m), 0.0);
  for (std::size_t c = ca; c < m; ++c) {
    const Vector& fila = PI[static_cast<std::size_t>(indices[c])];
    for (std::size_t r = r0; r < r1; ++r) {
      const double x = fila[static_cast<std::size_t>(indices[r])];
      if (x != 0.0) Ab[r][c] = beta * (0.0 + x);
    }
  }
}

// Ab[r][c] = beta·(0.0 + PI[indices[c]][indices[r]]) for r in [r0, r1) and c
// in [c0, m). The first stretch of columns goes in tiles and tells how dense
// the block is: where at most a sixteenth of it is nonzero (a cascade's
// layers pay a few creditors each), the rest goes by columnasDispersas.
void traspuestaBloque(const Matrix& PI, const std::vector<std::int32_t>& indices, double beta,
                      Matrix& Ab, std::size_t r0, std::size_t r1, std::size_t c0) {
  const std::size_t m = indices.size();
  const std::size_t primera = std::min(c0 + kTesela, m);
  const std::size_t distintas = teselaTraspuesta(PI, indices, beta, Ab, r0, r1, c0, primera);
  if (distintas * 16 <= (r1 - r0) * (primera - c0)) {
    columnasDispersas(PI, indices, beta, Ab, r0, r1, primera);
    return;
  }
  for (std::size_t ca = primera; ca < m; ca += kTesela)
    teselaTraspuesta(PI, indices, beta, Ab, r0, r1, ca, std::min(ca + kTesela, m));
}

// suma[lugar(r)] += PI[k][lugar(r)]·pesos[k] for r in [desde, hasta) and each
// k of filas in order. The rows go four at a time, each sum held in a
// register through their four products and sums, the operations of one row
// at a time: a round reads the sums a quarter as often (PI's rows are the
// stream).
template <typename Lugar>
void sumaFilas(const Matrix& PI, const std::vector<std::size_t>& filas, const Vector& pesos,
               double* suma, std::size_t desde, std::size_t hasta, const Lugar& lugar) {
  const std::size_t juntas = filas.size() / 4 * 4;
  for (std::size_t j = 0; j < juntas; j += 4) {
    const double* f0 = PI[filas[j]].data();
    const double* f1 = PI[filas[j + 1]].data();
    const double* f2 = PI[filas[j + 2]].data();
    const double* f3 = PI[filas[j + 3]].data();
    const double p0 = pesos[filas[j]];
    const double p1 = pesos[filas[j + 1]];
    const double p2 = pesos[filas[j + 2]];
    const double p3 = pesos[filas[j + 3]];
    for (std::size_t r = desde; r < hasta; ++r) {
      const std::size_t i = lugar(r);
      double s = suma[i];
      s += f0[i] * p0;
      s += f1[i] * p1;
      s += f2[i] * p2;
      s += f3[i] * p3;
      suma[i] = s;
    }
  }
  for (std::size_t j = juntas; j < filas.size(); ++j) {
    const double* fila = PI[filas[j]].data();
    const double pk = pesos[filas[j]];
    for (std::size_t r = desde; r < hasta; ++r) suma[lugar(r)] += fila[lugar(r)] * pk;
  }
}

// The kept rows' new entries a round writes before a second thread shares them.
constexpr std::size_t kEntradasParaRepartir = std::size_t{1} << 16;

}  // namespace

bool esDatoFinito(const Red& red) {
  for (const Vector& fila : red.PI)
    if (!esVectorFinito(fila)) return false;
  return esVectorFinito(red.pBarra) && esVectorFinito(red.e);
}

// Row k adds PI[k][·]·p[k] to every c[i]: each c[i] still gets its products
// in ascending k. A row adds only zeros when p[k] is a zero, or when the row
// is all 0.0 (pBarra[k] == 0) and p[k] is finite; those rows are skipped.
Vector sumaEntradas(const Red& red, const Vector& p, unsigned hilos) {
  const std::size_t n = p.size();
  Vector c = nuevoVector(n);
  std::vector<std::size_t> suman;
  suman.reserve(n);
  for (std::size_t k = 0; k < n; ++k) {
    const double pk = p[k];
    if (pk == 0.0 || (red.pBarra[k] == 0.0 && std::isfinite(pk))) continue;
    suman.push_back(k);
  }
  // Stretches of whole cache lines of c, so that no two threads write one.
  constexpr std::size_t kSumasPorLinea = 8;
  repartePorFilas(
      n, kSumasPorLinea, n,
      [&](std::size_t desde, std::size_t hasta) {
        sumaFilas(red.PI, suman, p, c.data(), desde, hasta, [](std::size_t r) { return r; });
      },
      hilos);
  return c;
}

Vector phiEstructurado(const Red& red, const Vector& p, unsigned hilos) {
  Vector phi = sumaEntradas(red, p, hilos);
  for (std::size_t i = 0; i < phi.size(); ++i)
    phi[i] = minimo(phi[i] + red.e[i], red.pBarra[i]);  // φ = min(PIᵀ·p + e, pBarra)
  return phi;
}

Marcas marcasDePhi(const Red& red, const Vector& phi) {
  Marcas marcas = nuevoVectorEntero(phi.size());
  for (std::size_t i = 0; i < phi.size(); ++i) marcas[i] = red.pBarra[i] > phi[i] ? 1 : 0;
  return marcas;
}

void construyeSistema(const Red& red, const Bloque& bloque, TrabajoBloque& trabajo, Vector& b) {
  const std::size_t m = bloque.indices.size();
  // The first rows and columns' own entries hold the last round's
  // elimination of them (linalg/historia.h); the rest is written afresh.
  const std::size_t conservadas = preparaBloque(trabajo, bloque);
  Matrix& Ab = trabajo.Ab;
  const Costes& costes = red.costes;
  // Each thread writes its own rows of Ab: the kept rows' new columns (when
  // there are enough of them to pay for a second thread), then the new rows.
  repartePorFilas(
      conservadas, 64, (m - conservadas) * conservadas >= kEntradasParaRepartir ? conservadas : 0,
      [&](std::size_t desde, std::size_t hasta) {
        traspuestaBloque(red.PI, bloque.indices, costes.beta, Ab, desde, hasta, conservadas);
      },
      trabajo.hilos);
  repartePorFilas(
      m - conservadas, 64, m - conservadas,
      [&](std::size_t desde, std::size_t hasta) {
        traspuestaBloque(red.PI, bloque.indices, costes.beta, Ab, conservadas + desde,
                         conservadas + hasta, 0);
      },
      trabajo.hilos);
  for (std::size_t r = conservadas; r < m; ++r) {
    const auto j = static_cast<std::size_t>(bloque.indices[r]);
    // β·(0.0 + x) − 1.0 = β·x − 1.0 for any finite x
    Ab[r][r] = costes.beta * red.PI[j][j] - 1.0;
  }
  construyeTermino(red, bloque, pagosDeSolventes(red, bloque, trabajo.hilos), b);
}

Vector pagosDeSolventes(const Red& red, const Bloque& bloque, unsigned hilos) {
  const std::size_t n = red.pBarra.size();
  Vector z = nuevoVector(n);
  const std::size_t m = bloque.indices.size();
  std::vector<std::size_t> pagan;  // the solvent k with something to add
  pagan.reserve(bloque.fuera.size());
  for (const std::int32_t k : bloque.fuera)
    if (red.pBarra[static_cast<std::size_t>(k)] != 0.0)
      pagan.push_back(static_cast<std::size_t>(k));
  // Each thread sums over every such k, ascending, for its own stretch of the block.
  repartePorFilas(
      m, 8, m,
      [&](std::size_t desde, std::size_t hasta) {
        sumaFilas(red.PI, pagan, red.pBarra, z.data(), desde, hasta,
                  [&](std::size_t r) { return static_cast<std::size_t>(bloque.indices[r]); });
      },
      hilos);
  return z;
}

void construyeTermino(const Red& red, const Bloque& bloque, const Vector& z, Vector& b) {
  const std::size_t n = red.pBarra.size();
  const Costes& costes = red.costes;
  b = nuevoVector(n);
  for (std::size_t i = 0; i < n; ++i) {
    const bool enQuiebra = bloque.posicion[i] >= 0;
    const double u = enQuiebra ? 0.0 : 0.0 + red.pBarra[i];
    // z may have overflowed: without costs it is taken as it is.
    const double w = enQuiebra ? costes.alfa * (0.0 + red.e[i]) : 0.0;
    const double zb = costes.beta == 1.0 ? z[i] : costes.beta * z[i];
    b[i] = -((zb + w) + u);
  }
}
