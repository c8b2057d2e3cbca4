// Network data and the clearing map on the chain and on edge cases of the
// default test and the convergence test.
#include "clearing/mapa.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "linalg/operaciones.h"
#include "red.h"

namespace {

std::vector<bool> marcasDe(const Matrix& lambda) {
  std::vector<bool> marcados;
  for (std::size_t i = 0; i < lambda.size(); ++i) marcados.push_back(lambda[i][i] == 1.0);
  return marcados;
}

TEST(Datos, ChainDerivedQuantities) {
  const NetworkState s = cadena();
  EXPECT_EQ(s.pBarra, (Vector{10, 10, 0}));
  EXPECT_EQ(s.PI, (Matrix{{0, 1, 0}, {0, 0, 1}, {0, 0, 0}}));
}

TEST(Datos, RowsSummingToZeroGetZeroShares) {
  const NetworkState s = red({{5, -5}, {0, 0}}, {0, 0});
  EXPECT_EQ(s.pBarra, (Vector{0, 0}));
  EXPECT_EQ(s.PI, (Matrix{{0, 0}, {0, 0}}));
}

TEST(Mapa, ChainRounds) {
  const NetworkState s = cadena();
  struct Caso {
    Vector p, phi;
    std::vector<bool> marcas;
    bool solucion;
  } const casos[] = {
      {{10, 10, 0}, {5, 10, 0}, {true, false, false}, false},
      {{5, 10, 0}, {5, 7, 0}, {true, true, false}, false},
      {{5, 7, 0}, {5, 7, 0}, {true, true, false}, true},
  };
  for (const Caso& c : casos) {
    EXPECT_EQ(phiP(s, c.p), c.phi);
    EXPECT_EQ(marcasDe(diagonalP(s, c.p)), c.marcas);
    EXPECT_EQ(esSolucion(c.p, phiP(s, c.p)), c.solucion);
  }
}

TEST(Mapa, NodeWithoutObligations) {
  // Node 1 owes nothing: with negative inflow it is in default, φ its inflow.
  const NetworkState negativo = red({{0, 0}, {0, 0}}, {0, -1});
  EXPECT_EQ(phiP(negativo, {0, 0}), (Vector{0, -1}));
  EXPECT_EQ(marcasDe(diagonalP(negativo, {0, 0})), (std::vector<bool>{false, true}));
  const NetworkState positivo = red({{0, 0}, {0, 0}}, {0, 3});
  EXPECT_EQ(marcasDe(diagonalP(positivo, {0, 0})), (std::vector<bool>{false, false}));
}

TEST(Mapa, DefaultIsStrictWithoutTolerance) {
  // Owes 1, has 1 − 2⁻⁵²: short by far less than tol, still in default.
  const NetworkState s = red({{0, 1}, {0, 0}}, {std::nextafter(1.0, 0.0), 0});
  EXPECT_EQ(marcasDe(diagonalP(s, s.pBarra)), (std::vector<bool>{true, false}));
  const NetworkState justo = red({{0, 1}, {0, 0}}, {1, 0});
  EXPECT_EQ(marcasDe(diagonalP(justo, justo.pBarra)), (std::vector<bool>{false, false}));
}

TEST(Mapa, ConvergenceTestAtTol) {
  EXPECT_TRUE(esSolucion({0}, {1e-8}));
  EXPECT_TRUE(esSolucion({1e-8}, {0}));
  EXPECT_FALSE(esSolucion({0}, {std::nextafter(1e-8, 1.0)}));
  EXPECT_FALSE(esSolucion({0, 0, 0}, {0, 0, 1}));
  EXPECT_TRUE(esSolucion({std::nan("")}, {0}));
  EXPECT_TRUE(esSolucion({}, {}));
}

TEST(Mapa, NaNInflowLeavesNodeOutOfDefault) {
  // minimo(NaN, pBarra) is pBarra: the node pays in full.
  NetworkState s = red({{0, 1}, {0, 0}}, {std::nan(""), 0});
  EXPECT_EQ(phiP(s, s.pBarra)[0], 1.0);
  EXPECT_EQ(marcasDe(diagonalP(s, s.pBarra)), (std::vector<bool>{false, false}));
}

}  // namespace
