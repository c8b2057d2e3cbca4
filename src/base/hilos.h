// The program's threads: its own and the pool's workers (below), which do
// the parts of
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
#include <cassert>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>

// How many threads may run: the processors the process may use (its affinity
// and its control group's quota, base/plataforma.h), unless a test set a
// number (ControlPruebas::hilos).
unsigned hilos();

// The rows from which repartePorFilas shares its work among threads: the
// block solver's panel sweeps, the block's set-up and its transpose, and
// pBarra's and PI's rows. Fewer rows run on the calling thread, where
// starting threads would cost more than they save. A test may lower it
// (ControlPruebas::filasParaRepartir) to run threads on small blocks.
std::size_t filasParaRepartir();

// The run's pool of worker threads, started on first need and grown to
// hilos() (or to the parts a caller offers, when a test or a benchmark asks
// for more): rounds start no threads of their own. A caller offers parts of
// its work as an Encargo; idle workers take them one at a time, and the
// caller does the parts no worker took. It only ever waits for parts that a
// worker has started, and no part waits for one not started, so a part may
// itself offer an Encargo, and callers on different threads may offer theirs
// at once (the default matrix's writer while a round is solved), with no
// deadlock whatever the pool's size. A pool that could start no thread (no
// memory, the system's limit on threads) leaves every part to its caller.
// The pool is a function-local static: its threads are joined when the
// program ends, after main has returned or std::exit was called, by which
// time every Encargo, each scoped to its caller, has ended.
class Encargo {
 public:
  // Offers parts primera … fin − 1: tarea(k) for each k. tarea must outlive
  // the Encargo.
  template <typename Tarea>
  Encargo(std::size_t primera, std::size_t fin, const Tarea& tarea)
      : llama_([](const void* t, std::size_t k) { (*static_cast<const Tarea*>(t))(k); }),
        tarea_(&tarea),
        siguiente_(primera),
        fin_(fin) {
    ofrece();
  }
  Encargo(const Encargo&) = delete;
  Encargo& operator=(const Encargo&) = delete;
  // Does here the parts no worker took, then waits for those started.
  void termina();
  // Drops the parts no worker took and waits for those started: what a
  // caller that unwinds, or that needs none of the rest, does.
  void retira();
  ~Encargo() { retira(); }

 private:
  friend class Piscina;
  void ofrece();

  void (*llama_)(const void*, std::size_t);
  const void* tarea_;
  // Guarded by the pool's lock.
  std::size_t siguiente_;  // the next part not taken
  std::size_t fin_;
  std::size_t enCurso_ = 0;  // parts a worker is doing
  Encargo* proximo_ = nullptr;
  bool enCola_ = false;
};

// The threads the pool has started so far (for tests and measurements).
std::size_t hilosDeLaPiscina();

// a / b rounded up: how many pieces of b hold a.
constexpr std::size_t porExceso(std::size_t a, std::size_t b) {
  return (a + b - 1) / b;
}

// tarea(desde, hasta) over [0, n) in `partes` contiguous parts (fewer when n
// is smaller), each a multiple of multiplo rows but the last. The calling
// thread takes the first part, and the parts no worker of the pool took.
template <typename Tarea>
void reparteEnPartes(std::size_t partes, std::size_t n, std::size_t multiplo, const Tarea& tarea) {
  if (partes > n / multiplo) partes = n / multiplo > 0 ? n / multiplo : 1;
  const auto limite = [&](std::size_t p) {
    return p == partes ? n : (n / multiplo * p / partes) * multiplo;
  };
  const auto parte = [&](std::size_t p) { tarea(limite(p), limite(p + 1)); };
  if (partes <= 1) {
    parte(0);
    return;
  }
  Encargo otras(1, partes, parte);
  parte(0);
  otras.termina();
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
static_assert(huecosEnOrden(~std::size_t{0}, ~std::size_t{0}) == kMaxHuecos);

// Pieces 0 … piezas − 1, each made by hace(pieza, hueco) into slot
// pieza % huecosEnOrden(piezas, trabajadores) on one of up to trabajadores
// threads (the caller and the pool's workers), and taken by toma(pieza, hueco) on the
// calling thread strictly in order; a slot is made again only once its piece
// is taken. When toma returns false nothing more is made or taken, and
// enOrden returns false once every part a worker started has ended: a failure is
// acted on with no work of it left running.
template <typename Hace, typename Toma>
bool enOrden(std::size_t piezas, std::size_t trabajadores, const Hace& hace, const Toma& toma) {
  const std::size_t huecos = huecosEnOrden(piezas, trabajadores);
  assert(huecos <= kMaxHuecos);
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
    assert(hecha[pieza % huecos] == 0);  // its slot's last piece was taken
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
  std::optional<Encargo> otros;
  if (trabajadores > 1) otros.emplace(1, trabajadores, trabaja);

  bool bien = true;
  {
    std::unique_lock bloqueo(cerrojo);
    while (tomadas < piezas) {
      const std::size_t hueco = tomadas % huecos;
      assert(hecha[hueco] == 0 || hecha[hueco] == tomadas + 1);
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
  // Every piece is taken, or parar is set: what no worker started has nothing left to do.
  if (otros) otros->retira();
  return bien;
}
