// The program's threads: its own and the pool's workers (below), which do
// the parts of
//   - the reader's: a refill's numbers converted in portions (lectura/reales),
//     and the converted numbers appended to L's rows (lectura/datos);
//   - pBarra's and PI's rows (clearing/derivadas);
//   - the block solver's: the block's set-up and the reordering's marks
//     (linalg/bloque), its transpose from PI and z (clearing/estructura),
//     each panel's update of the other rows (panel/panel,
//     panel/actualizacion), and stretches of pivots applied to the
//     right-hand side and to a carried-over block (linalg/bloque,
//     linalg/historia);
//   - the report's matrices, formatted in pieces (report/matrices);
//   - the writer of a round's default matrix, which runs while the round is
//     solved (report/diagonal).
// No result depends on how many run: each row or piece is worked by one
// thread only, with its operations in the same order. How work is split into
// parts is in base/reparto.h.
#pragma once

#include <cstddef>

// How many threads may run: the processors the process may use (its affinity
// and its control group's quota, sistema/plataforma.h), unless a test set a
// number (ControlPruebas::hilos).
unsigned hilos();

// The rows from which repartePorFilas shares its work among threads: the
// block solver's panel updates, the block's set-up and its transpose, and
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
