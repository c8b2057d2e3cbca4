// Pieces made on the run's threads and taken strictly in order on the
// calling one: the report's large matrices, formatted on every core and
// written in order (report/matrices.cpp), and the scenarios of a sweep,
// each cleared on one thread and written in order (sweep/barrido.cpp).
#pragma once

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>

#include "base/hilos.h"

// At most this many threads make the pieces of enOrden, so that its slots'
// marks stay a small array on the caller's stack. A caller whose taking is
// what bounds the pace (the report) asks for fewer.
inline constexpr std::size_t kMaxHilosEnOrden = 64;
inline constexpr std::size_t kMaxHuecos = 2 * kMaxHilosEnOrden;

// How many threads enOrden runs for piezas pieces when trabajadores may.
constexpr std::size_t trabajadoresEnOrden(std::size_t piezas, std::size_t trabajadores) {
  return std::min({trabajadores, kMaxHilosEnOrden, piezas});
}

// The slots enOrden uses: two for each thread, so that every thread can make a
// piece while those before it wait to be taken; one for a single thread.
constexpr std::size_t huecosEnOrden(std::size_t piezas, std::size_t trabajadores) {
  const std::size_t t = trabajadoresEnOrden(piezas, trabajadores);
  return t <= 1 ? 1 : 2 * t;
}

// Pieces 0 … piezas − 1, each made by hace(pieza, hueco, trabajador) into
// slot pieza % huecosEnOrden(piezas, trabajadores) on one of up to
// trabajadoresEnOrden(piezas, trabajadores) threads (the caller, trabajador
// 0, and the pool's workers, 1 on: what a thread keeps from piece to piece
// is indexed by it), and taken by toma(pieza, hueco) on the calling thread
// strictly in order; a slot is made again only once its piece
// is taken. When toma returns false nothing more is made or taken, and
// enOrden returns false once every part a worker started has ended: a failure is
// acted on with no work of it left running.
template <typename Hace, typename Toma>
bool enOrden(std::size_t piezas, std::size_t trabajadores, const Hace& hace, const Toma& toma) {
  const std::size_t huecos = huecosEnOrden(piezas, trabajadores);
  trabajadores = trabajadoresEnOrden(piezas, trabajadores);
  std::mutex cerrojo;
  std::condition_variable aviso;
  // Guarded by cerrojo. Per slot: 1 + the piece made there and not yet taken, or 0.
  std::array<std::size_t, kMaxHuecos> hecha{};
  std::size_t siguiente = 0;  // the next piece to make
  std::size_t tomadas = 0;    // pieces taken, in order
  bool parar = false;

  const auto puedeHacer = [&] {
    return !parar && siguiente < piezas && siguiente < tomadas + huecos;
  };
  // Makes the next piece with the lock released; bloqueo holds it again after.
  const auto haceSiguiente = [&](std::unique_lock<std::mutex>& bloqueo, std::size_t trabajador) {
    const std::size_t pieza = siguiente++;
    bloqueo.unlock();
    hace(pieza, pieza % huecos, trabajador);
    bloqueo.lock();
    hecha[pieza % huecos] = pieza + 1;
    aviso.notify_all();
  };
  const auto trabaja = [&](std::size_t trabajador) {
    std::unique_lock bloqueo(cerrojo);
    for (;;) {
      aviso.wait(bloqueo, [&] { return parar || siguiente >= piezas || puedeHacer(); });
      if (!puedeHacer()) return;
      haceSiguiente(bloqueo, trabajador);
    }
  };
  std::optional<Encargo> otros;
  if (trabajadores > 1) otros.emplace(1, trabajadores, trabaja);

  bool bien = true;
  {
    std::unique_lock bloqueo(cerrojo);
    while (tomadas < piezas) {
      const std::size_t hueco = tomadas % huecos;
      if (hecha[hueco] == tomadas + 1) {
        hecha[hueco] = 0;
        bloqueo.unlock();
        bien = toma(tomadas, hueco);
        bloqueo.lock();
        if (!bien) {
          parar = true;
          break;
        }
        ++tomadas;
        aviso.notify_all();
      } else if (puedeHacer()) {
        haceSiguiente(bloqueo, 0);
      } else {
        aviso.wait(bloqueo);
      }
    }
  }
  aviso.notify_all();
  // Every piece is taken, or parar is set: what no worker started has nothing left to do.
  if (otros) otros->retira();
  return bien;
}
