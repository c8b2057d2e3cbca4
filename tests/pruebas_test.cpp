// The test-control entry point: a failure counter fails exactly the event it
// names, once, and the defaults steer nothing.
#include "base/pruebas.h"

#include <gtest/gtest.h>

#include <thread>

#include "base/hilos.h"
#include "base/memoria.h"

namespace {

TEST(ControlPruebas, CounterFailsTheKthEventOnly) {
  long quedan = 2;
  EXPECT_FALSE(cuentaHastaFallo(quedan));
  EXPECT_FALSE(cuentaHastaFallo(quedan));
  EXPECT_TRUE(cuentaHastaFallo(quedan));
  for (int k = 0; k < 3; ++k) EXPECT_FALSE(cuentaHastaFallo(quedan));
  EXPECT_LT(quedan, 0);
}

TEST(ControlPruebas, RestoredDefaultsSteerNothing) {
  ControlPruebas& control = controlPruebas();
  control.peticionesHastaFallo = 0;
  control.hilos = 7;
  control.filasParaRepartir = 1;
  control = {};
  EXPECT_NO_THROW(nuevaMatriz(3));
  const unsigned hardware = std::thread::hardware_concurrency();
  EXPECT_EQ(hilos(), hardware > 0 ? hardware : 1);
  EXPECT_GT(filasParaRepartir(), 1U);
  EXPECT_EQ(control.raizSistema, "/");
  EXPECT_EQ(control.instrucciones, 0);
}

}  // namespace
