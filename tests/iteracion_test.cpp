// The system of each round on the chain, and the round loop's results.
#include "clearing/iteracion.h"

#include <gtest/gtest.h>

#include <cmath>

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
