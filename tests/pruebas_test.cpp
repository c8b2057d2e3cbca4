// The test-control entry point: a failure counter fails exactly the event it
// names, once, and the defaults steer nothing.
#include "base/pruebas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "base/enorden.h"
#include "base/hilos.h"
#include "base/memoria.h"
#include "base/reparto.h"
#include "sistema/plataforma.h"

namespace {

TEST(ControlPruebas, CounterFailsTheKthEventOnly) {
  long quedan = 2;
  EXPECT_FALSE(cuentaHastaFallo(quedan));
  EXPECT_FALSE(cuentaHastaFallo(quedan));
  EXPECT_TRUE(cuentaHastaFallo(quedan));
  for (int k = 0; k < 3; ++k) EXPECT_FALSE(cuentaHastaFallo(quedan));
  EXPECT_LT(quedan, 0);
}

// Every setting changed, then restored: allocations do not fail, a few rows
// of work stay on the calling thread, and many rows are shared among as
// many threads as the process may use.
TEST(ControlPruebas, RestoredDefaultsSteerNothing) {
  ControlPruebas& control = controlPruebas();
  control.peticionesHastaFallo = 0;
  control.hilos = 7;
  control.filasParaRepartir = 1;
  control.raizSistema = "/nonexistent";
  control = {};
  for (int k = 0; k < 50; ++k) EXPECT_NO_THROW(nuevaMatriz(3));
  std::atomic<unsigned> partes{0};
  const auto cuenta = [&](std::size_t, std::size_t) { ++partes; };
  repartePorFilas(100, 1, 100, cuenta);
  EXPECT_EQ(partes.exchange(0), 1U);
  repartePorFilas(100000, 1, 100000, cuenta);
  EXPECT_EQ(partes.load(), std::max(1U, procesadoresDisponiblesBajo("/")));
}

// The pool: parts that offer parts of their own, and a part that waits for
// the caller while the caller shares other work, end whatever the pool's size.
TEST(Piscina, NestedAndConcurrentWorkEnds) {
  const std::size_t antes = hilosDeLaPiscina();  // other tests of this process may have grown it
  for (const unsigned h : {1U, 2U, 3U}) {
    controlPruebas().hilos = h;
    std::vector<long> suma(9, 0);
    reparteEnPartes(3, 3, 1, [&](std::size_t desde, std::size_t hasta) {
      for (std::size_t p = desde; p < hasta; ++p)
        reparteEnPartes(3, 3, 1, [&](std::size_t a, std::size_t b) {
          for (std::size_t q = a; q < b; ++q) suma[p * 3 + q] += static_cast<long>(p * 3 + q);
        });
    });
    for (std::size_t k = 0; k < 9; ++k) EXPECT_EQ(suma[k], static_cast<long>(k));

    std::atomic<bool> listo{false};
    const auto espera = [&](std::size_t) {
      while (!listo.load()) std::this_thread::yield();
    };
    std::optional<Encargo> largo;
    largo.emplace(0, 1, espera);
    std::vector<int> filas(1000, 0);
    for (int vez = 0; vez < 50; ++vez)
      reparteEnPartes(h, filas.size(), 1, [&](std::size_t a, std::size_t b) {
        for (std::size_t i = a; i < b; ++i) ++filas[i];
      });
    listo = true;
    largo->termina();
    for (const int f : filas) EXPECT_EQ(f, 50);
  }
  controlPruebas() = {};
  EXPECT_LE(hilosDeLaPiscina(), std::max<std::size_t>(antes, 3));
}

// enOrden's makers: each piece is taken in order, and a maker's index is
// its own (the sweep keeps one engine's storage per index, which two threads
// must never share), below trabajadoresEnOrden.
TEST(Piscina, InOrderMakersKeepTheirOwnIndex) {
  for (const std::size_t pedidos : {1U, 3U, 5U}) {
    SCOPED_TRACE(pedidos);
    constexpr std::size_t kPiezas = 300;
    std::mutex cerrojo;
    std::map<std::size_t, std::thread::id> hiloDe;  // maker index → its thread
    bool compartido = false;
    std::vector<std::size_t> hechas(kPiezas, 0);
    std::vector<std::size_t> tomadas;
    const auto hace = [&](std::size_t pieza, std::size_t hueco, std::size_t trabajador) {
      {
        std::lock_guard bloqueo(cerrojo);
        const auto [donde, nuevo] = hiloDe.emplace(trabajador, std::this_thread::get_id());
        if (!nuevo && donde->second != std::this_thread::get_id()) compartido = true;
      }
      hechas[hueco] = pieza + 1;
    };
    const auto toma = [&](std::size_t pieza, std::size_t hueco) {
      EXPECT_EQ(hechas[hueco], pieza + 1);
      tomadas.push_back(pieza);
      return true;
    };
    hechas.resize(huecosEnOrden(kPiezas, pedidos));
    EXPECT_TRUE(enOrden(kPiezas, pedidos, hace, toma));
    EXPECT_FALSE(compartido);
    EXPECT_EQ(hiloDe.begin()->second == std::this_thread::get_id(), hiloDe.begin()->first == 0);
    EXPECT_LT(hiloDe.rbegin()->first, trabajadoresEnOrden(kPiezas, pedidos));
    ASSERT_EQ(tomadas.size(), kPiezas);
    for (std::size_t k = 0; k < kPiezas; ++k) EXPECT_EQ(tomadas[k], k);
  }
}

}  // namespace
