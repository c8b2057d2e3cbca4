// The solver: pivot choice, thresholds at tol, reordering, indeterminate
// systems, and a random well-conditioned system checked by its residual.
#include "linalg/solucion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "linalg/operaciones.h"
#include "proceso.h"

namespace {

Vector resuelve(Matrix A, Vector b) { return solucionSistema(A, b); }

// Runs the solve in a child; returns what it printed and its status.
Salida resuelveEnHijo(Matrix A, Vector b) {
  return ejecutaEnHijo([&] { solucionSistema(A, b); });
}

const Salida kIndeterminado{"El sistema es indeterminado\r\n", 1};

void esperaIndeterminado(const Matrix& A, const Vector& b) {
  const Salida s = resuelveEnHijo(A, b);
  EXPECT_EQ(s.stdoutTexto, kIndeterminado.stdoutTexto);
  EXPECT_EQ(s.estado, 1);
}

TEST(Solucion, MinusIdentityGivesMinusB) {
  Matrix A = I(3);
  for (auto& fila : A)
    for (double& x : fila) x = -x;
  const Vector x = resuelve(A, {1.0 / 3.0, -7, 0});
  EXPECT_EQ(x, (Vector{-1.0 / 3.0, 7, -0.0}));
}

TEST(Solucion, FirstUsablePivotAndReordering) {
  EXPECT_EQ(resuelve({{0, 2}, {3, 0}}, {4, 9}), (Vector{3, 2}));
  // Column 0 pivots on row 2, column 1 on row 0, column 2 on row 1.
  const Matrix A = {{0, 1, 1}, {0, 0, 2}, {4, 1, 0}};
  const Vector x = resuelve(A, {3, 4, 5});
  EXPECT_NEAR(x[0], 1, 1e-15);
  EXPECT_NEAR(x[1], 1, 1e-15);
  EXPECT_NEAR(x[2], 2, 1e-15);
}

TEST(Solucion, IndeterminateSystems) {
  esperaIndeterminado({{-1, 1}, {1, -1}}, {1, 1});
  esperaIndeterminado({{0.99e-8}}, {1});
  esperaIndeterminado({{0}}, {0});
  esperaIndeterminado({{std::nan("")}}, {1});
}

TEST(Solucion, ToleranceBoundaries) {
  // A pivot of exactly tol is accepted.
  EXPECT_EQ(resuelve({{1e-8}}, {2e-8}), (Vector{2}));
  EXPECT_EQ(resuelve({{-1e-8}}, {1e-8}), (Vector{-1}));
  // The reordering needs an entry strictly above tol: variable 1's only entry
  // is exactly tol, so column 1 falls back to row 0 and the values trade places.
  EXPECT_EQ(resuelve({{1, 0}, {0, 1e-8}}, {3, 1e-8}), (Vector{1, 3}));
  EXPECT_EQ(resuelve({{1, 0}, {0, 2e-8}}, {3, 2e-8}), (Vector{3, 1}));
}

TEST(Solucion, EmptySystem) { EXPECT_TRUE(resuelve({}, {}).empty()); }

TEST(Solucion, RandomWellConditionedSystem) {
  std::mt19937_64 azar(7);
  std::uniform_real_distribution<double> u(-1, 1);
  const std::size_t n = 50;
  Matrix A(n, Vector(n));
  Vector b(n);
  for (std::size_t i = 0; i < n; ++i) {
    for (double& x : A[i]) x = u(azar);
    A[i][i] += n;  // diagonally dominant
    b[i] = u(azar) * 100;
  }
  const Vector x = resuelve(A, b);
  const Vector Ax = prodMatVec(A, x);
  double residuo = 0, escala = 0;
  for (std::size_t i = 0; i < n; ++i) {
    residuo = std::max(residuo, std::fabs(Ax[i] - b[i]));
    escala = std::max(escala, std::fabs(b[i]));
  }
  EXPECT_LT(residuo / escala, 1e-9);
}

TEST(Solucion, RandomPermutedSystem) {
  // Rows in shuffled order force pivots off the diagonal and a real reordering.
  std::mt19937_64 azar(11);
  std::uniform_real_distribution<double> u(-1, 1);
  const std::size_t n = 30;
  Matrix A(n, Vector(n));
  Vector verdad(n);
  for (std::size_t i = 0; i < n; ++i) {
    for (double& x : A[i]) x = u(azar) * 0.1;
    verdad[i] = u(azar);
  }
  std::vector<std::size_t> perm(n);
  for (std::size_t i = 0; i < n; ++i) perm[i] = i;
  std::shuffle(perm.begin(), perm.end(), azar);
  for (std::size_t i = 0; i < n; ++i) A[i][perm[i]] += 10;
  const Vector b = prodMatVec(A, verdad);
  const Vector x = resuelve(A, b);
  for (std::size_t i = 0; i < n; ++i) EXPECT_NEAR(x[i], verdad[i], 1e-12);
}

}  // namespace
