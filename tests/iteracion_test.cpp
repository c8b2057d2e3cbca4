// The system of each round on the chain, and the round loop's results.
#include <gtest/gtest.h>

#include <cmath>

#include "clearing/calculo.h"
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
