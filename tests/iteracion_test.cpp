// The system of each round on the chain, and the round loop's results.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

#include "clearing/calculo.h"
#include "clearing/estructura.h"
#include "clearing/sistema.h"
#include "red.h"

namespace {

TEST(Iteracion, ChainRoundOneSystem) {
  const NetworkState s = cadena();
  EXPECT_EQ(matrizSistema(s, {10, 10, 0}), (Matrix{{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}}));
  const Vector b = terminoIndep(s, {10, 10, 0});
  EXPECT_EQ(b, (Vector{-5, -10, 0}));
  EXPECT_TRUE(std::signbit(b[2]));  // −(0 + 0 + 0)
}

TEST(Iteracion, ChainRoundTwoSystem) {
  const NetworkState s = cadena();
  EXPECT_EQ(matrizSistema(s, {5, 10, 0}), (Matrix{{-1, 0, 0}, {1, -1, 0}, {0, 0, -1}}));
  EXPECT_EQ(terminoIndep(s, {5, 10, 0}), (Vector{-5, -2, 0}));
}

}  // namespace

namespace {

// The run's choice: the structure-aware table only for finite data outside
// the reference build.
// The block as the round writes it over storage that holds another round's
// values: β·(0.0 + PI[k][j]) off the diagonal, β·PI[j][j] − 1.0 on it, bit
// for bit, both where the block is sparse (a few creditors each: only the
// nonzeros are written over cleared rows) and where it is dense.
TEST(Iteracion, BlockWrittenOverAnotherRoundsValues) {
  const std::size_t n = 150;
  for (const int acreedores : {3, 150}) {
    std::mt19937_64 azar(static_cast<unsigned>(acreedores));
    Matrix L(n, Vector(n, 0.0));
    for (std::size_t i = 0; i < n; ++i)
      for (int t = 0; t < acreedores; ++t) L[i][azar() % n] = 1.0 + static_cast<double>(azar() % 9);
    for (std::size_t i = 0; i < n; ++i) L[i][i] = 0.0;
    const NetworkState estado = red(L, Vector(n, 1.0));
    Red s(estado);
    s.costes.beta = 0.75;
    Marcas marcas(n);
    for (std::size_t i = 0; i < n; ++i) marcas[i] = i % 4 != 0 ? 1 : 0;
    const Bloque bloque = calculaBloque(marcas);
    TrabajoBloque trabajo = nuevoTrabajoBloque(n);
    for (Vector& fila : trabajo.Ab) fila.assign(n, 7.0);
    Vector b;
    construyeSistema(s, bloque, trabajo, b);
    for (std::size_t r = 0; r < bloque.indices.size(); ++r)
      for (std::size_t c = 0; c < bloque.indices.size(); ++c) {
        const auto j = static_cast<std::size_t>(bloque.indices[r]);
        const auto k = static_cast<std::size_t>(bloque.indices[c]);
        const double esperado = r == c ? 0.75 * s.PI[j][j] - 1.0 : 0.75 * (0.0 + s.PI[k][j]);
        ASSERT_EQ(std::bit_cast<std::uint64_t>(trabajo.Ab[r][c]),
                  std::bit_cast<std::uint64_t>(esperado))
            << acreedores << " creditors, row " << r << ", column " << c;
      }
  }
}

TEST(Calculo, ChoosesTheLiteralTableForTheReferenceAndForNonFiniteData) {
  const NetworkState finita = cadena();
  const NetworkState infinita = red({{1e308, 1e308}, {0, 1}}, {0, 0});  // pBarra[0] = inf
  const Calculo& literal = calculoPrevisto(true);
  const Calculo& estructurado = calculoPrevisto(false);
  EXPECT_NE(&literal, &estructurado);
  EXPECT_EQ(&eligeCalculo(finita, false), &estructurado);
  EXPECT_EQ(&eligeCalculo(finita, true), &literal);
  EXPECT_EQ(&eligeCalculo(infinita, false), &literal);
  EXPECT_GT(literal.matricesEnUso, estructurado.matricesEnUso);
}

// Both tables through one round of the chain: the same values.
TEST(Calculo, BothTablesAgreeOnTheChain) {
  for (const bool literal : {true, false}) {
    SCOPED_TRACE(literal ? "literal" : "structured");
    NetworkState s = cadena();
    const Calculo& calculo = calculoPrevisto(literal);
    const Vector phi = calculo.phi(s, s.pPrima, 0);
    EXPECT_EQ(phi, (Vector{5, 10, 0}));
    const Marcas marcas = calculo.marcas(s, s.pPrima, phi);
    EXPECT_EQ(marcas, (Marcas{1, 0, 0}));
    TrabajoBloque trabajo;
    calculo.resuelveRonda(s, s.pPrima, marcas, trabajo);
    EXPECT_EQ(s.pPrima, (Vector{5, 10, 0}));
    EXPECT_EQ(calculo.entradas(s, s.pPrima, 0), (Vector{0, 5, 10}));
  }
}

}  // namespace
