// Dense operations: exact identities, placement, minimo's tie and NaN rules,
// and the allocation-failure message of each operation.
#include "linalg/operaciones.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/memoria.h"
#include "base/pruebas.h"
#include "proceso.h"

namespace {

const double nan = std::numeric_limits<double>::quiet_NaN();

TEST(Operaciones, MinimoTiesAndNaN) {
  EXPECT_EQ(minimo(3.0, 1.0), 1.0);
  EXPECT_EQ(minimo(1.0, 3.0), 1.0);
  EXPECT_TRUE(std::signbit(minimo(-0.0, 0.0)));  // a tie yields the first argument
  EXPECT_FALSE(std::signbit(minimo(0.0, -0.0)));
  EXPECT_EQ(minimo(nan, 1.0), 1.0);
  EXPECT_TRUE(std::isnan(minimo(1.0, nan)));
}

TEST(Operaciones, IdentityProductsReproduceExactly) {
  const Matrix M = {{1.0 / 3.0, -2.5, 1e300}, {-0.0, 7.0, 1e-300}, {0.1, 0.2, 0.3}};
  EXPECT_EQ(producteMat(I(3), M), M);
  EXPECT_EQ(producteMat(M, I(3)), M);
  EXPECT_EQ(I(2), (Matrix{{1, 0}, {0, 1}}));
}

TEST(Operaciones, TransposePlacesElements) {
  Matrix M = nuevaMatriz(4);
  M[1][3] = 5.0;
  const Matrix T = traspuesta(M);
  EXPECT_EQ(T[3][1], 5.0);
  EXPECT_EQ(T[1][3], 0.0);
}

TEST(Operaciones, SumsStartAtZeroInAscendingOrder) {
  // (0 + 1e16) + 1 + 1 loses both ones; another order would not.
  const Matrix M = {{1e16, 1, 1}, {0, 0, 0}, {0, 0, 0}};
  EXPECT_EQ(prodMatVec(M, {1, 1, 1})[0], 1e16);
  EXPECT_EQ(producteMat(M, Matrix{{1, 0, 0}, {1, 0, 0}, {1, 0, 0}})[0][0], 1e16);
  // A sum of negative zeros starting at +0.0 is +0.0.
  EXPECT_FALSE(std::signbit(prodMatVec(Matrix{{-0.0}}, {1.0})[0]));
  EXPECT_EQ(sumaVec({1, 2}, {3, -4}), (Vector{4, -2}));
  EXPECT_EQ(restaVec({1, 2}, {3, -4}), (Vector{-2, 6}));
  EXPECT_EQ(restaMat(Matrix{{1, 2}, {3, 4}}, I(2)), (Matrix{{0, 2}, {3, 3}}));
}

TEST(Operaciones, EmptyDimension) {
  EXPECT_TRUE(sumaVec({}, {}).empty());
  EXPECT_TRUE(producteMat({}, {}).empty());
  EXPECT_TRUE(I(0).empty());
  EXPECT_TRUE(prodMatVec({}, {}).empty());
}

// The message an operation writes when its first allocation fails.
std::string mensajeAlFallar(const std::function<void()>& operacion) {
  const Salida s = ejecutaEnHijo([&] {
    controlPruebas().peticionesHastaFallo = 0;
    operacion();
  });
  EXPECT_EQ(s.estado, 1);
  return s.stdoutTexto;
}

TEST(Operaciones, AllocationFailureMessages) {
  const Vector v = {1, 2};
  const Matrix M = I(2);
  EXPECT_EQ(mensajeAlFallar([&] { sumaVec(v, v); }), "Memoria insuficient\r\n");
  EXPECT_EQ(mensajeAlFallar([&] { restaVec(v, v); }), "Memoria insuficient\r\n");
  EXPECT_EQ(mensajeAlFallar([&] { restaVec(v, v, Salto::sin); }), "Memoria insuficient");
  EXPECT_EQ(mensajeAlFallar([&] { prodMatVec(M, v); }), "Memoria insuficient\r\n");
  EXPECT_EQ(mensajeAlFallar([&] { traspuesta(M); }), "Memoria insuficient\r\n");
  EXPECT_EQ(mensajeAlFallar([&] { producteMat(M, M); }), "Memoria insuficient\r\n");
  EXPECT_EQ(mensajeAlFallar([&] { restaMat(M, M); }), "Memoria insuficient\r\n");
  EXPECT_EQ(mensajeAlFallar([&] { I(2); }), "Memoria insuficient\r\n");
  // A row of a matrix, not only its row array.
  const Salida fila = ejecutaEnHijo([&] {
    controlPruebas().peticionesHastaFallo = 2;
    I(2);
  });
  EXPECT_EQ(fila.stdoutTexto, "Memoria insuficient\r\n");
  EXPECT_EQ(fila.estado, 1);
  // Zero elements is no failure.
  const Salida vacio = ejecutaEnHijo([&] {
    controlPruebas().peticionesHastaFallo = 0;
    I(0);
  });
  EXPECT_EQ(vacio.estado, 0);
}

}  // namespace
