// The engine's public call in process: its results on the chain, and each
// failure handed back as a value with its round, for both paths.
#include "clearing/motor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/memoria.h"
#include "base/pruebas.h"
#include "clearing/grupos.h"
#include "linalg/eliminadas.h"
#include "proceso.h"
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

// Each row: a network without a clearing vector, the error and its round,
// and for an indeterminate round the nodes that made its system singular;
// with beta < 1 the round's matrix is strictly diagonally dominant by
// columns, and the same network has a clearing.
TEST(Motor, FailuresAreValuesWithTheirRound) {
  struct Caso {
    const char* nombre;
    NetworkState red;
    Error error;
    int ronda;
    Grupo grupo;
  };
  const Caso casos[] = {
      {"mutual debts, negative cash",
       red({{0, 1}, {1, 0}}, {-0.5, -0.5}),
       Error::indeterminado,
       1,
       {0, 1}},
      {"a node owing itself, negative cash", red({{4}}, {-1}), Error::indeterminado, 1, {0}},
      {"two nodes without a clearing vector",
       red({{0, 10}, {10, 0}}, {-5, 0}),
       Error::indeterminado,
       2,
       {0, 1}},
      // Nodes 0 and 1 default too, but they owe into the circle of 2 and 3.
      {"a circle among defaults",
       red({{0, 10, 0, 0}, {0, 0, 10, 0}, {0, 0, 0, 5}, {0, 0, 5, 0}}, {1, -1, -100, -100}),
       Error::indeterminado,
       1,
       {2, 3}},
      {"default sets that cycle",
       red({{2, -2, 1}, {-2, 0, -2}, {3, 1, -1}}, {0.5, 2, 0.5}),
       Error::noConverge,
       3,
       {}},
  };
  for (const Caso& c : casos)
    for (const Camino& camino : kCaminos) {
      SCOPED_TRACE(std::string(c.nombre) + ", " + camino.nombre);
      const ResultadoClearing r = calcula(c.red, camino.literal);
      ASSERT_TRUE(r.error);
      EXPECT_EQ(r.error->fallo.error, c.error);
      EXPECT_EQ(r.error->ronda, c.ronda);
      EXPECT_EQ(r.clearing.rondas, c.ronda);
      EXPECT_EQ(r.error->grupo, c.grupo);
      if (c.error != Error::indeterminado) continue;
      OpcionesClearing opciones;
      opciones.literal = camino.literal;
      opciones.alfa = 0.9;
      opciones.beta = 0.9;
      EXPECT_FALSE(calculaClearing(c.red, opciones).error);
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

// A generated network (tools/gen_network.cpp), read as the run reads it.
NetworkState redGenerada(const std::string& familia, int n, int semilla) {
  const std::filesystem::path dir = directorioTemporal();
  const Salida salida = ejecutaBinario(CLEARING_GENERADOR, dir, {}, 0,
                                       {familia, std::to_string(n), std::to_string(semilla)});
  std::filesystem::remove_all(dir);
  std::istringstream texto(salida.stdoutTexto);
  std::size_t dim = 0;
  texto >> dim;
  Matrix L(dim, Vector(dim));
  Vector e(dim);
  for (Vector& fila : L)
    for (double& x : fila) texto >> x;
  for (double& x : e) texto >> x;
  return red(L, e);
}

bool vectoresIdenticos(const Vector& a, const Vector& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

// The rounds' set-up and b side shared among 1, 2 and 3 threads from blocks
// of 8 rows on (carried-over eliminations in the dense cascade, signed zeros
// and huge values in the adversarial networks), and taken from a cache of
// eliminated blocks: the literal formulas' bits.
TEST(Motor, RoundsSharedAmongThreadsKeepTheLiteralBits) {
  struct Caso {
    const char* familia;
    int n;
    int semilla;
  };
  const Caso casos[] = {{"densecascade", 90, 1}, {"cascade", 160, 2},    {"alldefault", 70, 3},
                        {"adversarial", 40, 4},  {"adversarial", 40, 5}, {"coreperiphery", 120, 6}};
  for (const Caso& c : casos) {
    const NetworkState s = redGenerada(c.familia, c.n, c.semilla);
    const ResultadoClearing literal = calcula(s, true);
    for (const unsigned cuantos : {1U, 2U, 3U}) {
      SCOPED_TRACE(std::string(c.familia) + " " + std::to_string(c.semilla) + ", " +
                   std::to_string(cuantos) + " threads");
      controlPruebas().hilos = cuantos;
      controlPruebas().filasParaRepartir = 8;
      // Without a cache, then twice with one: the first run records the
      // blocks eliminated a stretch of columns at a time, the second
      // replays them column by column.
      CacheEliminaciones cache(1e9);
      for (CacheEliminaciones* conCache :
           {static_cast<CacheEliminaciones*>(nullptr), &cache, &cache}) {
        OpcionesClearing opciones;
        opciones.recuerda = true;
        opciones.eliminaciones = conCache;
        const ResultadoClearing r = calculaClearing(s, opciones);
        ASSERT_EQ(r.error.has_value(), literal.error.has_value());
        EXPECT_EQ(r.clearing.rondas, literal.clearing.rondas);
        EXPECT_TRUE(vectoresIdenticos(r.clearing.p, literal.clearing.p));
        EXPECT_EQ(r.clearing.ordenQuiebra, literal.clearing.ordenQuiebra);
      }
      controlPruebas() = {};
    }
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

// The chain with costs, by hand: node 0 pays 0.5·5 = 2.5, node 1 then has
// 2 + 2.5 and pays 0.5·2 + 0.8·2.5 = 3.
TEST(Motor, ChainWithCosts) {
  for (const Camino& camino : kCaminos) {
    SCOPED_TRACE(camino.nombre);
    OpcionesClearing opciones;
    opciones.literal = camino.literal;
    opciones.alfa = 0.5;
    opciones.beta = 0.8;
    const ResultadoClearing r = calculaClearing(cadena(), opciones);
    ASSERT_FALSE(r.error);
    ASSERT_EQ(r.clearing.p.size(), 3U);
    EXPECT_EQ(r.clearing.p[0], 2.5);
    EXPECT_NEAR(r.clearing.p[1], 3, 1e-15);
    EXPECT_EQ(r.clearing.p[2], 0);
    EXPECT_EQ(r.clearing.ordenQuiebra, (std::vector<std::int32_t>{1, 2, 0}));
  }
}

// Closed groups against reachability by brute force on small random graphs:
// a node's class is what it reaches and is reached from; a class is closed
// when it reaches nothing else, and a group when it also holds an obligation.
// Regular (no closed group without cash) must mean every node reaches cash
// or a node that owes nothing. Within a round's marks, only obligations
// between marked nodes are followed, but any obligation leaving opens a class.
TEST(Grupos, AgainstBruteForceReachability) {
  std::uint64_t estado = 12345;
  const auto azar = [&](int n) {
    estado = estado * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<int>((estado >> 33) % static_cast<std::uint64_t>(n));
  };
  int irregulares = 0;
  int singulares = 0;
  for (int caso = 0; caso < 400; ++caso) {
    const int n = 1 + azar(7);
    Matrix L(n, Vector(n, 0.0));
    Vector e(n, 0.0);
    Marcas marcas(n, 0);
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < n; ++j)
        if (azar(4) == 0) L[i][j] = 1 + azar(3);
      if (azar(3) == 0) e[i] = 1;
      marcas[i] = azar(3) != 0 ? 1 : 0;
    }
    const NetworkState s = red(L, e);
    SCOPED_TRACE("case " + std::to_string(caso));
    // alcanza[i][j]: j reachable from i (i itself included) within `solo`.
    const auto alcance = [&](const Marcas& solo) {
      std::vector<std::vector<char>> a(n, std::vector<char>(n, 0));
      for (int i = 0; i < n; ++i) {
        a[i][i] = 1;
        for (int paso = 0; paso < n; ++paso)
          for (int k = 0; k < n; ++k)
            for (int j = 0; j < n; ++j)
              if (a[i][k] && L[k][j] != 0 && solo[j] && solo[k]) a[i][j] = 1;
      }
      return a;
    };
    const auto cerradosBruto = [&](const Marcas& solo) {
      const auto a = alcance(solo);
      std::vector<Grupo> grupos;
      for (int i = 0; i < n; ++i) {
        if (!solo[i]) continue;
        Grupo clase;
        bool cerrada = true;
        bool debe = false;
        for (int j = 0; j < n; ++j) {
          if (a[i][j] && a[j][i]) clase.push_back(j);
          if (L[i][j] != 0) debe = true;
        }
        for (const std::int32_t k : clase)
          for (int j = 0; j < n; ++j)
            if (L[k][j] != 0 && !(a[i][j] && a[j][i])) cerrada = false;
        debe = debe || clase.size() > 1;
        if (cerrada && debe && clase.front() == i) grupos.push_back(clase);
      }
      return grupos;
    };
    const std::vector<Grupo> cerrados = gruposCerrados(s);
    EXPECT_EQ(cerrados, cerradosBruto(Marcas(n, 1)));
    const std::vector<Grupo> sinCaja = gruposSinCaja(cerrados, e);
    const auto a = alcance(Marcas(n, 1));
    bool regular = true;
    for (int i = 0; i < n; ++i) {
      bool llega = false;
      for (int j = 0; j < n; ++j) llega = llega || (a[i][j] && (e[j] > 0 || s.pBarra[j] == 0));
      regular = regular && llega;
    }
    EXPECT_EQ(sinCaja.empty(), regular);
    irregulares += regular ? 0 : 1;
    Grupo unidos;
    for (const Grupo& g : cerradosBruto(marcas)) unidos.insert(unidos.end(), g.begin(), g.end());
    std::sort(unidos.begin(), unidos.end());
    EXPECT_EQ(grupoSingular(s, marcas), unidos);
    singulares += unidos.empty() ? 0 : 1;
  }
  EXPECT_GT(irregulares, 40);  // both answers well exercised
  EXPECT_LT(irregulares, 360);
  EXPECT_GT(singulares, 40);
}

}  // namespace
