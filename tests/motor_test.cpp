// The engine's public call in process: its results on the chain, and each
// failure handed back as a value with its round, for both paths.
#include "clearing/motor.h"

#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "base/memoria.h"
#include "base/pruebas.h"
#include "red.h"

namespace {

struct Camino {
  const char* nombre;
  bool literal;
};

const Camino kCaminos[] = {{"structured", false}, {"literal", true}};

ResultadoClearing calcula(const NetworkState& s, bool literal, const ObservaRonda& observa = {}) {
  OpcionesClearing opciones;
  opciones.literal = literal;
  return calculaClearing(s, opciones, observa);
}

TEST(Motor, ChainClearingAndEveryRoundObserved) {
  for (const Camino& camino : kCaminos) {
    SCOPED_TRACE(camino.nombre);
    std::vector<Marcas> vistas;
    const ResultadoClearing r = calcula(cadena(), camino.literal, [&](int k, const Marcas& marcas) {
      EXPECT_EQ(k, static_cast<int>(vistas.size()) + 1);
      vistas.push_back(marcas);
    });
    ASSERT_FALSE(r.error);
    EXPECT_EQ(r.clearing.p, (Vector{5, 7, 0}));
    EXPECT_EQ(r.clearing.ordenQuiebra, (std::vector<std::int32_t>{1, 2, 0}));
    EXPECT_EQ(r.clearing.capital, (Vector{0, 0, 7}));
    EXPECT_EQ(r.clearing.rondas, 2);
    EXPECT_EQ(vistas, (std::vector<Marcas>{{1, 0, 0}, {1, 1, 0}}));
  }
}

// Each row: a network without a clearing vector, the error and its round.
TEST(Motor, FailuresAreValuesWithTheirRound) {
  struct Caso {
    const char* nombre;
    NetworkState red;
    Error error;
    int ronda;
  };
  const Caso casos[] = {
      {"mutual debts, negative cash", red({{0, 1}, {1, 0}}, {-0.5, -0.5}), Error::indeterminado, 1},
      {"a node owing itself, negative cash", red({{4}}, {-1}), Error::indeterminado, 1},
      {"default sets that cycle", red({{2, -2, 1}, {-2, 0, -2}, {3, 1, -1}}, {0.5, 2, 0.5}),
       Error::noConverge, 3},
  };
  for (const Caso& c : casos)
    for (const Camino& camino : kCaminos) {
      SCOPED_TRACE(std::string(c.nombre) + ", " + camino.nombre);
      const ResultadoClearing r = calcula(c.red, camino.literal);
      ASSERT_TRUE(r.error);
      EXPECT_EQ(r.error->fallo.error, c.error);
      EXPECT_EQ(r.error->ronda, c.ronda);
      EXPECT_EQ(r.clearing.rondas, c.ronda);
    }
}

// One work space through networks of one size, in and out of failures: each
// call gives what a fresh space gives (no record of an earlier call is used).
TEST(Motor, AReusedWorkSpaceGivesAFreshSpacesBits) {
  const NetworkState redes[] = {cadena(), red({{0, 1, 0}, {1, 0, 0}, {0, 0, 0}}, {-0.5, -0.5, 0}),
                                red({{0, 10, 5}, {3, 0, 10}, {1, 1, 0}}, {1, 2, 0}), cadena()};
  OpcionesClearing opciones;
  opciones.recuerda = true;
  EspacioClearing espacio;
  for (const NetworkState& s : redes) {
    Clearing reusado;
    Clearing fresco;
    const auto errorReusado = resuelveRondas(s, opciones, {}, reusado, espacio);
    const auto errorFresco = resuelveRondas(s, opciones, {}, fresco);
    EXPECT_EQ(errorReusado.has_value(), errorFresco.has_value());
    EXPECT_EQ(reusado.p, fresco.p);
    EXPECT_EQ(reusado.ordenQuiebra, fresco.ordenQuiebra);
    EXPECT_EQ(reusado.rondas, fresco.rondas);
  }
}

// OpcionesClearing::hilos (clearing-sweep's --threads) once left the rows of
// PIᵀ·p to every worker of the pool. Counted: the workers that take a part
// of a clearing of 1024 nodes that all owe each other 1 (every other one
// short of cash), with work shared from the first row.
TEST(Motor, OneThreadAskedLeavesThePoolIdle) {
  const std::size_t n = 1024;
  Matrix L(n, Vector(n, 1.0));
  Vector e(n, 1e6);
  for (std::size_t i = 0; i < n; i += 2) e[i] = -10.0;
  const NetworkState s = red(L, e);
  std::mutex cerrojo;
  std::set<std::thread::id> trabajaron;
  controlPruebas().hilos = 4;  // a pool with workers to spare
  controlPruebas().filasParaRepartir = 1;
  controlPruebas().alTomarParte = [&] {
    const std::lock_guard bloqueo(cerrojo);
    trabajaron.insert(std::this_thread::get_id());
  };
  OpcionesClearing opciones;
  opciones.hilos = 1;
  const ResultadoClearing r = calculaClearing(s, opciones);
  controlPruebas() = {};
  ASSERT_FALSE(r.error);
  EXPECT_EQ(r.clearing.ordenQuiebra[0], 1);
  EXPECT_EQ(trabajaron.size(), 0U) << "only the calling thread works";
}

// The observer's own failure (a report that cannot be written) ends the
// rounds where it happened and comes back unchanged.
TEST(Motor, ObserverFailureStopsTheRounds) {
  int rondas = 0;
  const ResultadoClearing r = calcula(cadena(), false, [&](int k, const Marcas&) {
    ++rondas;
    if (k == 2) lanzaFallo(Error::escritura);
  });
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->fallo.error, Error::escritura);
  EXPECT_EQ(r.error->ronda, 2);
  EXPECT_EQ(rondas, 2);
}

// Every allocation of a clearing, failed in turn: each gives Error::sinMemoria
// (the capital's last subtraction with no line end), until one run needs no
// more and gives the clearing itself. The block solver's storage is among them.
TEST(Motor, EveryAllocationFailureIsAValue) {
  for (const Camino& camino : kCaminos) {
    SCOPED_TRACE(camino.nombre);
    const NetworkState s = cadena();
    int fallos = 0;
    int sinSalto = 0;
    for (long k = 0;; ++k) {
      controlPruebas().peticionesHastaFallo = k;
      const ResultadoClearing r = calcula(s, camino.literal);
      controlPruebas() = {};
      if (!r.error) {
        EXPECT_EQ(r.clearing.p, (Vector{5, 7, 0}));
        break;
      }
      ASSERT_EQ(r.error->fallo.error, Error::sinMemoria) << k;
      ++fallos;
      sinSalto += r.error->fallo.salto == Salto::sin ? 1 : 0;
    }
    EXPECT_GT(fallos, camino.literal ? 40 : 15);
    EXPECT_EQ(sinSalto, 1);
  }
}

}  // namespace
