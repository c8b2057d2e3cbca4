// The block solver against the full solver on systems that are −I outside a
// block: the same bits in x, signed zeros included, for random blocks, with
// each version of the tiles and 1, 2 and 3 threads.
#include "linalg/bloque.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "base/hilos.h"
#include "linalg/solucion.h"
#include "linalg/tesela.h"

namespace {

bool mismosBits(const Vector& a, const Vector& b) {
  // memcmp must not see the null data() of empty vectors, even for 0 bytes (UBSan).
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

// Threads and tile version for one test; back to the defaults at its end.
struct Ejecucion {
  unsigned hilos;
  Instrucciones instrucciones;
};

void fija(const Ejecucion& e) {
  fijaHilos(e.hilos);
  fijaInstrucciones(e.instrucciones);
  // Threads from 8 rows on, so that the small blocks here really split.
  fijaFilasMinimasParaHilos(e.hilos > 1 ? 8 : 0);
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
  TrabajoBloque trabajo = nuevoTrabajoBloque(120);
  int comparados = 0;
  int grandes = 0;  // blocks wider than one panel
  for (int caso = 0; caso < 3000; ++caso) {
    // Mostly tiny systems; every tenth spans several panels of pivots, and
    // with its odd sizes leaves partial tiles and columns past the last tile.
    const std::size_t n = caso % 10 == 0 ? 40 + azar() % 80 : azar() % 9;
    Marcas marcas(n);
    for (auto& marca : marcas) marca = static_cast<std::int32_t>(azar() % 2);
    const Bloque bloque = calculaBloque(marcas);
    const std::size_t m = bloque.indices.size();
    // Every twentieth block is sparse, as a cascade's are: whole rows then
    // have only zero factors in a panel, and tiles skip pivots.
    const bool disperso = caso % 20 == 10;
    Matrix A(n, Vector(n, 0.0));
    preparaBloque(trabajo, m);
    Matrix& Ab = trabajo.Ab;
    for (std::size_t i = 0; i < n; ++i) A[i][i] = -1.0;
    for (std::size_t r = 0; r < m; ++r)
      for (std::size_t c = 0; c < m; ++c) {
        double x = 0.0 + valores[azar() % std::size(valores)];
        if (disperso && azar() % 16 != 0) x = 0.0;
        if (r == c) x -= 1.0;
        Ab[r][c] = x;
        A[static_cast<std::size_t>(bloque.indices[r])]
         [static_cast<std::size_t>(bloque.indices[c])] = x;
      }
    Vector b(n);
    for (double& x : b) x = terminos[azar() % std::size(terminos)];
    Vector bCompleto = b;
    Vector x;
    // An indeterminate system ends the process; such cases are found first
    // by the solver's own pivot test on a scratch elimination, and skipped.
    Matrix copia = A;
    bool singular = false;
    {
      std::vector<char> usada(n, 0);
      for (std::size_t j = 0; j < n && !singular; ++j) {
        std::size_t i = 0;
        while (i < n && (usada[i] || !(std::fabs(copia[i][j]) >= tol))) ++i;
        if (i == n) {
          singular = true;
          break;
        }
        for (std::size_t k = 0; k < n; ++k) {
          if (k == i) continue;
          const double f = copia[k][j] / copia[i][j];
          for (std::size_t l = 0; l < n; ++l) copia[k][l] = copia[k][l] - copia[i][l] * f;
        }
        usada[i] = 1;
      }
    }
    if (singular) continue;
    ASSERT_TRUE(resuelveBloque(trabajo, bloque, b, x));
    const Vector esperado = solucionSistema(A, bCompleto);
    ASSERT_TRUE(mismosBits(x, esperado)) << "case " << caso << " n " << n;
    ++comparados;
    grandes += bloque.indices.size() > 32;
  }
  EXPECT_GT(comparados, 1000);
  EXPECT_GT(grandes, 100);
}

TEST_P(BloqueEjecucion, NonFinitePivotRowInALaterPanelHandsBack) {
  // Row 50 meets row 0's 1e308 through a factor of −1e308: its entry in
  // column 50 overflows in the first panel's sweep, and it is the pivot row
  // of column 50, in the second panel.
  const std::size_t m = 75;
  const Bloque bloque = calculaBloque(Marcas(m, 1));
  TrabajoBloque trabajo = nuevoTrabajoBloque(m);
  preparaBloque(trabajo, m);
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
  preparaBloque(trabajo, 2);
  trabajo.Ab[0] = {1e-8, 1};
  trabajo.Ab[1] = {1e308, -1};
  Vector b{1, 1};
  Vector x;
  EXPECT_FALSE(resuelveBloque(trabajo, bloque, b, x));
}

}  // namespace
