// The program's threads, all started through this header and joined by the
// caller that started them:
//   - the reader's: a block's numbers converted in tramos (lectura/bloques),
//     and the converted numbers appended to L's rows (lectura/datos);
//   - pBarra's and PI's rows (clearing/datos);
//   - the block solver's: the block's set-up (linalg/bloque), its transpose
//     from PI (clearing/estructura) and each panel's sweep (linalg/panel);
//   - the report's matrices, formatted in pieces (report/matrices);
//   - the writer of a round's default matrix, which runs while the round is
//     solved (report/marcas).
// No result depends on how many run: each row or piece is worked by one
// thread only, with its operations in the same order.
#pragma once

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

// How many threads may run: what std::thread::hardware_concurrency() says
// (at least 1) unless a test set a number (ControlPruebas::hilos).
unsigned hilos();

// The rows from which repartePorFilas shares its work among threads: the
// block solver's panel sweeps, the block's set-up and its transpose, and
// pBarra's and PI's rows. Fewer rows run on the calling thread, where
// starting threads would cost more than they save. A test may lower it
// (ControlPruebas::filasParaRepartir) to run threads on small blocks.
std::size_t filasParaRepartir();

// Starts threads 1 … cuantos − 1, thread k running tarea(k), and stops at the
// first that cannot be started (no memory, or the system's limit on threads):
// the caller does the work of those it did not get. tarea must outlive the
// threads, which the caller joins.
template <typename Tarea>
std::vector<std::thread> arrancaHilos(std::size_t cuantos, const Tarea& tarea) {
  std::vector<std::thread> iniciados;
  if (cuantos <= 1) return iniciados;
  try {
    iniciados.reserve(cuantos - 1);
  } catch (const std::bad_alloc&) {
    return iniciados;
  }
  for (std::size_t k = 1; k < cuantos; ++k) {
    try {
      iniciados.emplace_back([&tarea, k] { tarea(k); });
    } catch (const std::system_error&) {
      break;
    } catch (const std::bad_alloc&) {
      break;
    }
  }
  return iniciados;
}

// Starts one thread that runs a copy of tarea; empty when none could be
// started, and the caller then does the work itself.
template <typename Tarea>
std::vector<std::thread> arrancaUno(Tarea tarea) {
  std::vector<std::thread> iniciado;
  try {
    iniciado.reserve(1);
    iniciado.emplace_back(std::move(tarea));
  } catch (const std::system_error&) {
    iniciado.clear();
  } catch (const std::bad_alloc&) {
    iniciado.clear();
  }
  return iniciado;
}

// a / b rounded up: how many pieces of b hold a.
constexpr std::size_t porExceso(std::size_t a, std::size_t b) {
  return (a + b - 1) / b;
}

// tarea(desde, hasta) over [0, n) in `partes` contiguous parts (fewer when n
// is smaller), each a multiple of multiplo rows but the last. The calling
// thread takes the first part, and the parts of threads not started.
template <typename Tarea>
void reparteEnPartes(std::size_t partes, std::size_t n, std::size_t multiplo, const Tarea& tarea) {
  if (partes > n / multiplo) partes = n / multiplo > 0 ? n / multiplo : 1;
  const auto limite = [&](std::size_t p) {
    return p == partes ? n : (n / multiplo * p / partes) * multiplo;
  };
  const auto parte = [&](std::size_t p) { tarea(limite(p), limite(p + 1)); };
  std::vector<std::thread> otros = arrancaHilos(partes, parte);
  for (std::size_t p = otros.size() + 1; p < partes; ++p) parte(p);
  parte(0);
  for (std::thread& hilo : otros) hilo.join();
}

// The threads a caller that asked for `pedidos` gets: that many, or hilos()
// when it asked for none in particular (0).
inline unsigned hilosPara(unsigned pedidos) {
  return pedidos > 0 ? pedidos : hilos();
}

// The same with a part for each of hilosPara(pedidos) threads, or one part
// only when fewer than filasParaRepartir() rows (conTrabajo) have work.
template <typename Tarea>
void repartePorFilas(std::size_t n, std::size_t multiplo, std::size_t conTrabajo,
                     const Tarea& tarea, unsigned pedidos = 0) {
  reparteEnPartes(conTrabajo >= filasParaRepartir() ? hilosPara(pedidos) : 1, n, multiplo, tarea);
}

// At most this many threads make the pieces of enOrden: one thread takes them
// all, and past a few makers it is what bounds the pace.
inline constexpr std::size_t kMaxHilosEnOrden = 16;
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

// Pieces 0 … piezas − 1, each made by hace(pieza, hueco) into slot
// pieza % huecosEnOrden(piezas, trabajadores) on one of up to trabajadores
// threads, the caller among them, and taken by toma(pieza, hueco) on the
// calling thread strictly in order; a slot is made again only once its piece
// is taken. When toma returns false nothing more is made or taken, and
// enOrden returns false once every thread it started has ended: a failure is
// acted on with no thread left running.
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
  const auto haceSiguiente = [&](std::unique_lock<std::mutex>& bloqueo) {
    const std::size_t pieza = siguiente++;
    bloqueo.unlock();
    hace(pieza, pieza % huecos);
    bloqueo.lock();
    hecha[pieza % huecos] = pieza + 1;
    aviso.notify_all();
  };
  const auto trabaja = [&](std::size_t) {
    std::unique_lock bloqueo(cerrojo);
    for (;;) {
      aviso.wait(bloqueo, [&] { return parar || siguiente >= piezas || puedeHacer(); });
      if (!puedeHacer()) return;
      haceSiguiente(bloqueo);
    }
  };
  std::vector<std::thread> otros = arrancaHilos(trabajadores, trabaja);

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
        haceSiguiente(bloqueo);
      } else {
        aviso.wait(bloqueo);
      }
    }
  }
  aviso.notify_all();
  for (std::thread& hilo : otros) hilo.join();
  return bien;
}
