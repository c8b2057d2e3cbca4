// The block solver against the full solver on systems that are −I outside a
// block: the same bits in x, signed zeros included, for random blocks, with
// each version of the tiles and 1, 2 and 3 threads.
#include "linalg/bloque.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/fallo.h"
#include "base/hilos.h"
#include "base/pruebas.h"
#include "linalg/magnitud.h"
#include "linalg/solucion.h"
#include "panel/tesela.h"

namespace {

bool mismosBits(const Vector& a, const Vector& b) {
  // memcmp must not see the null data() of empty vectors, even for 0 bytes (UBSan).
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

// The solver's own pivot test on a scratch elimination: which systems both
// solvers must refuse as indeterminate.
bool esIndeterminado(Matrix copia) {
  const std::size_t n = copia.size();
  std::vector<char> usada(n, 0);
  for (std::size_t j = 0; j < n; ++j) {
    std::size_t i = 0;
    while (i < n && (usada[i] || !(std::fabs(copia[i][j]) >= tol))) ++i;
    if (i == n) return true;
    for (std::size_t k = 0; k < n; ++k) {
      if (k == i) continue;
      const double f = copia[k][j] / copia[i][j];
      for (std::size_t l = 0; l < n; ++l) copia[k][l] = copia[k][l] - copia[i][l] * f;
    }
    usada[i] = 1;
  }
  return false;
}

// The kind of failure cuerpo throws; sinMemoria's opposite, noConverge, when
// it throws none (no solver throws that).
template <typename Cuerpo>
Error errorDe(const Cuerpo& cuerpo) {
  try {
    cuerpo();
  } catch (const Fallo& fallo) {
    return fallo.error;
  }
  return Error::noConverge;
}

// Threads and tile version for one test; back to the defaults at its end.
struct Ejecucion {
  unsigned hilos;
  Instrucciones instrucciones;
};

void fija(const Ejecucion& e) {
  ControlPruebas& control = controlPruebas();
  control.hilos = e.hilos;
  control.instrucciones = static_cast<unsigned char>(e.instrucciones);
  // Threads from 8 rows on, so that the small blocks here really split.
  control.filasParaRepartir = e.hilos > 1 ? 8 : 0;
}

class BloqueEjecucion : public ::testing::TestWithParam<Ejecucion> {
 protected:
  void SetUp() override { fija(GetParam()); }
  void TearDown() override { fija({0, Instrucciones::mejor}); }
};

std::string nombreEjecucion(const ::testing::TestParamInfo<Ejecucion>& info) {
  static const char* const kNombres[] = {"mejores", "portables", "avx2", "avx512"};
  return std::to_string(info.param.hilos) + "hilos_" +
         kNombres[static_cast<int>(info.param.instrucciones)];
}

INSTANTIATE_TEST_SUITE_P(
    HilosEInstrucciones, BloqueEjecucion,
    ::testing::Values(Ejecucion{1, Instrucciones::mejor}, Ejecucion{2, Instrucciones::mejor},
                      Ejecucion{3, Instrucciones::mejor}, Ejecucion{1, Instrucciones::avx2},
                      Ejecucion{3, Instrucciones::avx2}, Ejecucion{1, Instrucciones::portables},
                      Ejecucion{3, Instrucciones::portables}),
    nombreEjecucion);

TEST_P(BloqueEjecucion, SameBitsAsTheFullSolver) {
  std::mt19937_64 azar(2024);
  const double valores[] = {0.0, 0.0, 0.0, 0.5, 1.0 / 3.0, 0.25, 1.0, 2.0 / 3.0, 1e-9, 1e-8};
  const double terminos[] = {0.0, -0.0, 1.0, -2.5, 1e12, -1.0 / 3.0, 1e-9, 1e308, -1e308};
  // One work storage for every case, as the rounds of a run share theirs.
  TrabajoBloque trabajo = nuevoTrabajoBloque(560);
  int comparados = 0;
  int grandes = 0;  // blocks wider than one strip of pivots
  int indeterminados = 0;
  for (int caso = 0; caso < 3000; ++caso) {
    // Mostly tiny systems; every tenth spans several strips of pivots, and
    // with its odd sizes leaves partial tiles and columns past the last tile;
    // every five hundredth spans several panels, and the last two cases
    // several stretches of the sweep.
    const bool ancho = caso % 500 == 250 || caso >= 2998;
    const std::size_t n = caso >= 2998     ? 520 + azar() % 40
                          : ancho          ? 300 + azar() % 100
                          : caso % 10 == 0 ? 40 + azar() % 80
                                           : azar() % 9;
    Marcas marcas(n);
    for (auto& marca : marcas) marca = static_cast<std::int32_t>(ancho || azar() % 2);
    const Bloque bloque = calculaBloque(marcas);
    const std::size_t m = bloque.indices.size();
    // Every twentieth block is sparse, as a cascade's are: whole rows then
    // have only zero factors in a panel, and tiles skip pivots (in the one
    // before last, the same pivots in every stretch).
    const bool disperso = caso % 20 == 10 || caso == 2998;
    Matrix A(n, Vector(n, 0.0));
    preparaBloque(trabajo, bloque);
    Matrix& Ab = trabajo.Ab;
    for (std::size_t i = 0; i < n; ++i) A[i][i] = -1.0;
    for (std::size_t r = 0; r < m; ++r)
      for (std::size_t c = 0; c < m; ++c) {
        double x = 0.0 + valores[azar() % std::size(valores)];
        if (disperso && azar() % 16 != 0) x = 0.0;
        // Wide blocks as the rounds build them, a share of a row sum an
        // entry, so that their solutions stay finite and tell faults apart.
        if (ancho) x = 0.0 + x / static_cast<double>(m);
        if (r == c) x -= 1.0;
        Ab[r][c] = x;
        A[static_cast<std::size_t>(bloque.indices[r])]
         [static_cast<std::size_t>(bloque.indices[c])] = x;
      }
    Vector b(n);
    for (double& x : b) x = terminos[azar() % (ancho ? 7 : std::size(terminos))];
    Vector bCompleto = b;
    Vector x;
    // An indeterminate system is an error value both solvers hand back.
    if (esIndeterminado(A)) {
      EXPECT_EQ(errorDe([&] { (void)resuelveBloque(trabajo, bloque, b, x); }),
                Error::indeterminado);
      EXPECT_EQ(errorDe([&] { (void)solucionSistema(A, bCompleto); }), Error::indeterminado);
      ++indeterminados;
      continue;
    }
    ASSERT_TRUE(resuelveBloque(trabajo, bloque, b, x));
    const Vector esperado = solucionSistema(A, bCompleto);
    ASSERT_TRUE(mismosBits(x, esperado)) << "case " << caso << " n " << n;
    if (ancho) {
      ASSERT_TRUE(std::all_of(x.begin(), x.end(), [](double v) { return std::isfinite(v); }));
    }
    ++comparados;
    grandes += bloque.indices.size() > 32;
  }
  EXPECT_GT(comparados, 1000);
  EXPECT_GT(grandes, 100);
  EXPECT_GT(indeterminados, 100);
}

// One pool for the whole process: runs with 3, 1, 2 and 3 threads one after
// the other, each of many rounds, give the bits of one thread, and the pool
// never grows past the most threads asked for. The 2-thread run's block
// lives in rows a caller gave up, stale values and all.
TEST(Bloque, PoolReusedAcrossRunsAndThreadCounts) {
  std::mt19937_64 azar(5);
  const std::size_t n = 150;
  Matrix V(n, Vector(n));
  for (Vector& fila : V)
    for (double& x : fila) x = static_cast<double>(azar() % 7) / 1000.0;
  for (std::size_t i = 0; i < n; ++i) V[i][i] -= 1.0;
  std::vector<Vector> primeros;
  const std::size_t antes = hilosDeLaPiscina();  // other tests of this process may have grown it
  for (const unsigned h : {3U, 1U, 2U, 3U}) {
    fija({h, Instrucciones::mejor});
    Matrix sitio = h == 2 ? Matrix(n, Vector(n, 7.0)) : Matrix{};
    const double* cedida = sitio.empty() ? nullptr : sitio[0].data();
    TrabajoBloque trabajo = nuevoTrabajoBloque(n, false, 0, 0, std::move(sitio));
    if (cedida != nullptr) {
      EXPECT_EQ(trabajo.Ab[0].data(), cedida);
    }
    for (std::size_t ronda = 0; ronda < 20; ++ronda) {
      Marcas marcas(n);
      for (std::size_t i = 0; i < n; ++i) marcas[i] = (i + ronda) % 5 != 0 ? 1 : 0;
      const Bloque bloque = calculaBloque(marcas);
      preparaBloque(trabajo, bloque);
      const std::size_t m = bloque.indices.size();
      for (std::size_t r = 0; r < m; ++r)
        for (std::size_t c = 0; c < m; ++c)
          trabajo.Ab[r][c] = V[bloque.indices[r]][bloque.indices[c]];
      Vector b(n, 1.0);
      Vector x;
      ASSERT_TRUE(resuelveBloque(trabajo, bloque, b, x));
      if (primeros.size() <= ronda) primeros.push_back(x);
      ASSERT_TRUE(mismosBits(x, primeros[ronda])) << h << " threads, round " << ronda;
    }
  }
  fija({0, Instrucciones::mejor});
  EXPECT_LE(hilosDeLaPiscina(), std::max<std::size_t>(antes, 3));
  EXPECT_GE(hilosDeLaPiscina(), 1U);
}

// A cascade's rounds: each block is the last one with a few higher indices
// added, so the solver carries the last elimination over; now and then the
// next block is not such an extension, and it starts afresh. The entries
// belong to the network (V), not to the round, as in a run.
TEST_P(BloqueEjecucion, CarriedOverRoundsGiveTheFullSolversBits) {
  std::mt19937_64 azar(77);
  const double valores[] = {0.0, 0.0, 0.5, 1.0 / 3.0, 0.25, 1e-9, 0.125, 0.7};
  int conservadas = 0;
  for (int red = 0; red < 12; ++red) {
    const std::size_t n = 20 + azar() % 100;
    Matrix V(n, Vector(n));
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j)
        V[i][j] = 0.0 + valores[azar() % std::size(valores)] / static_cast<double>(n) -
                  (i == j ? 1.0 : 0.0);
    TrabajoBloque trabajo = nuevoTrabajoBloque(n, true);
    // Nodes [0, hasta) default, a few of them late: one that joins an
    // earlier round's block breaks the extension.
    Marcas marcas(n, 0);
    std::size_t antes = 0;
    for (std::size_t hasta = 1 + azar() % 4; hasta <= n; antes = hasta, hasta += 1 + azar() % 3) {
      for (std::size_t i = antes; i < hasta; ++i) marcas[i] = azar() % 29 != 0 ? 1 : 0;
      if (azar() % 10 == 0) marcas[azar() % hasta] = 1;
      const Bloque bloque = calculaBloque(marcas);
      const std::size_t m = bloque.indices.size();
      Matrix A(n, Vector(n, 0.0));
      for (std::size_t i = 0; i < n; ++i) A[i][i] = -1.0;
      for (std::int32_t i : bloque.indices)
        for (std::int32_t j : bloque.indices) A[i][j] = V[i][j];
      const std::size_t k = preparaBloque(trabajo, bloque);
      conservadas += k > 0;
      for (std::size_t r = 0; r < m; ++r)
        for (std::size_t c = r < k ? k : 0; c < m; ++c)
          trabajo.Ab[r][c] = V[bloque.indices[r]][bloque.indices[c]];
      Vector b(n);
      for (double& x : b) x = -0.5 + static_cast<double>(azar() % 7);
      Vector bCompleto = b;
      Vector x;
      if (!esIndeterminado(A)) {
        ASSERT_TRUE(resuelveBloque(trabajo, bloque, b, x));
        ASSERT_TRUE(mismosBits(x, solucionSistema(A, bCompleto))) << "red " << red << " m " << m;
      }
    }
  }
  EXPECT_GT(conservadas, 150);
}

// A carried-over round that adds more than a panel of columns, after kept
// columns that end inside a packed block of the sweep: its first panel then
// ends where a block starts. (It once began a full panel there, and the
// sweep read the next columns from a block it had not packed.) The same
// bits as the block eliminated afresh.
TEST(Bloque, CarriedOverRoundAddingMoreThanAPanel) {
  const std::size_t n = 1384;  // 84 added to 1300: within a sixteenth
  const auto entrada = [](std::size_t r, std::size_t c) {
    return r == c ? -1.0 : 0.3 / static_cast<double>(1 + (r * 7 + c * 13) % 97) / 1400.0;
  };
  const auto resuelve = [&](TrabajoBloque& trabajo, std::size_t m) {
    const Bloque bloque = calculaBloque(Marcas(m, 1));  // nodes 0 … m − 1
    const std::size_t k = preparaBloque(trabajo, bloque);
    for (std::size_t r = 0; r < m; ++r)
      for (std::size_t c = r < k ? k : 0; c < m; ++c) trabajo.Ab[r][c] = entrada(r, c);
    Vector b(m, 1.0);
    Vector x;
    EXPECT_TRUE(resuelveBloque(trabajo, bloque, b, x));
    return std::pair{k, x};
  };
  TrabajoBloque trabajo = nuevoTrabajoBloque(n, true);
  for (const std::size_t m : {1298, 1299, 1300}) resuelve(trabajo, m);
  const auto [conservadas, x] = resuelve(trabajo, n);
  ASSERT_EQ(conservadas, 1300U);
  TrabajoBloque afresh = nuevoTrabajoBloque(n);
  EXPECT_TRUE(mismosBits(x, resuelve(afresh, n).second));
}

// Carried-over rounds of one node each, with nodes outside the block among
// the kept ones, whose b holds −0.0: in the block's rows (the kept columns'
// b side then goes one column at a time beside the added columns' passes),
// or only outside it, where the kept columns' −0.0 products turn them to
// +0.0 (the added nodes' negative values make none: no later column does it
// instead). The full solver's bits, every round.
TEST_P(BloqueEjecucion, CarriedOverRoundsWithSignedZerosInB) {
  const std::size_t n = 110;
  const auto entrada = [](std::size_t r, std::size_t c) {
    return r == c ? -1.0 : 0.3 / static_cast<double>(1 + (r * 7 + c * 13) % 97) / 110.0;
  };
  TrabajoBloque trabajo = nuevoTrabajoBloque(n, true);
  Marcas marcas(n, 0);
  for (std::size_t i = 0; i < 90; ++i) marcas[i] = i % 9 != 4 ? 1 : 0;
  int conservadas = 0;
  for (std::size_t ronda = 0; ronda < 18; ++ronda) {
    marcas[90 + ronda] = 1;
    const Bloque bloque = calculaBloque(marcas);
    const std::size_t m = bloque.indices.size();
    const std::size_t k = preparaBloque(trabajo, bloque);
    conservadas += k > 0;
    Matrix A(n, Vector(n, 0.0));
    for (std::size_t i = 0; i < n; ++i) A[i][i] = -1.0;
    for (std::size_t r = 0; r < m; ++r)
      for (std::size_t c = 0; c < m; ++c) {
        const auto i = static_cast<std::size_t>(bloque.indices[r]);
        const auto j = static_cast<std::size_t>(bloque.indices[c]);
        A[i][j] = entrada(i, j);
        if (r >= k || c >= k) trabajo.Ab[r][c] = A[i][j];
      }
    Vector b(n);
    for (std::size_t i = 0; i < n; ++i) {
      const bool enBloque = marcas[i] != 0;
      const double valor = 1.0 + static_cast<double>(i % 5);
      b[i] = !enBloque ? -0.0 : i < 90 ? valor : -valor;
      if (enBloque && ronda % 3 == 0 && i % 13 == 0) b[i] = -0.0;
    }
    Vector bCompleto = b;
    Vector x;
    ASSERT_TRUE(resuelveBloque(trabajo, bloque, b, x));
    ASSERT_TRUE(mismosBits(x, solucionSistema(A, bCompleto))) << "round " << ronda << " m " << m;
  }
  EXPECT_GT(conservadas, 14);
}

// An added row whose factor overflows hands the round back, and the next
// round, which extends it, must not build on its half-done record.
TEST(Bloque, HandedBackRoundIsNotCarriedOver) {
  const std::size_t n = 24;
  TrabajoBloque trabajo = nuevoTrabajoBloque(n, true);
  const auto ronda = [&](std::size_t m, double esquina) {
    const Bloque bloque = calculaBloque(Marcas(m, 1));  // nodes 0 … m − 1: each round extends
    const std::size_t k = preparaBloque(trabajo, bloque);
    Matrix A(m, Vector(m, 0.0));
    for (std::size_t r = 0; r < m; ++r)
      for (std::size_t c = 0; c < m; ++c) {
        A[r][c] = r == c ? -1.0 : 0.125 / static_cast<double>(1 + r + c);
        if (r == 0 && c == 1) A[r][c] = 100.0;
        if (r == m - 1 && c == 0 && esquina != 0.0) A[r][c] = esquina;
        if (r >= k || c >= k) trabajo.Ab[r][c] = A[r][c];
      }
    Vector b(m, 1.0);
    Vector bCompleto = b;
    Vector x;
    const bool hecha = resuelveBloque(trabajo, bloque, b, x);
    EXPECT_TRUE(!hecha || mismosBits(x, solucionSistema(A, bCompleto))) << m;
    return std::pair{k, hecha};
  };
  EXPECT_EQ(ronda(18, 0.0), std::pair(std::size_t{0}, true));
  EXPECT_EQ(ronda(19, 0.0), std::pair(std::size_t{0}, true));  // the first to extend
  EXPECT_EQ(ronda(20, 0.0), std::pair(std::size_t{0}, true));  // the second: recorded
  EXPECT_EQ(ronda(21, 0.0), std::pair(std::size_t{20}, true));
  // Row 21's factor for pivot 0 is −1e308; its column 1 then overflows, and
  // so does its factor for pivot 1.
  EXPECT_EQ(ronda(22, 1e308), std::pair(std::size_t{21}, false));
  EXPECT_EQ(ronda(23, 0.0).first, std::size_t{0});
}

TEST_P(BloqueEjecucion, NonFinitePivotRowInALaterPanelHandsBack) {
  // Row 50 meets row 0's 1e308 through a factor of −1e308: its entry in
  // column 50 overflows in the first panel's sweep, and it is the pivot row
  // of column 50, in the second panel.
  const std::size_t m = 75;
  const Bloque bloque = calculaBloque(Marcas(m, 1));
  TrabajoBloque trabajo = nuevoTrabajoBloque(m);
  preparaBloque(trabajo, bloque);
  for (std::size_t r = 0; r < m; ++r)
    for (std::size_t c = 0; c < m; ++c) trabajo.Ab[r][c] = r == c ? -1.0 : 0.0;
  trabajo.Ab[0][50] = 1e308;
  trabajo.Ab[50][0] = 1e308;
  Vector b(m, 1.0);
  Vector x;
  EXPECT_FALSE(resuelveBloque(trabajo, bloque, b, x));
}

TEST(Bloque, NonFiniteFactorHandsBackToTheFullSolver) {
  // A huge entry over a pivot of tol overflows the factor.
  const Marcas marcas{1, 1};
  const Bloque bloque = calculaBloque(marcas);
  TrabajoBloque trabajo = nuevoTrabajoBloque(2);
  preparaBloque(trabajo, bloque);
  trabajo.Ab[0] = {1e-8, 1};
  trabajo.Ab[1] = {1e308, -1};
  Vector b{1, 1};
  Vector x;
  EXPECT_FALSE(resuelveBloque(trabajo, bloque, b, x));
}

// The division's and the reordering's row searches, two doubles at a time,
// against the plain loops: ties (the first wins), NaNs (never win), the
// infinities, signed zeros and values at tol, from every start, over rows
// shorter and longer than the searches' unrolled stretch.
TEST(Bloque, RowSearchesAsOneValueAtATime) {
  const double valores[] = {0.0, -0.0,         tol,      -tol,      2e-8, -3.0,
                            3.0, std::nan(""), HUGE_VAL, -HUGE_VAL, 1.0,  -1e-9};
  std::mt19937 azar(7);
  const auto valor = [&] { return valores[azar() % std::size(valores)]; };
  for (int caso = 0; caso < 3000; ++caso) {
    Vector fila(azar() % 40);
    for (double& x : fila) x = valor();
    const std::size_t desde = azar() % (fila.size() + 1);
    const double inicial = valor();
    double mayor = inicial;
    bool hay = false;
    for (std::size_t c = desde; c < fila.size(); ++c) {
      if (std::fabs(fila[c]) > std::fabs(mayor)) mayor = fila[c];
      hay = hay || std::fabs(fila[c]) > tol;
    }
    const double hallado = mayorMagnitud(fila.data(), desde, fila.size(), inicial);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(hallado), std::bit_cast<std::uint64_t>(mayor)) << caso;
    EXPECT_EQ(hayMayores(fila.data(), desde, fila.size()), hay) << caso;
  }
}

}  // namespace
