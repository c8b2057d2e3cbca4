// The program's threads: the block elimination's and the report's. No result
// depends on how many run: each row is worked by one thread only, with its
// operations in the same order.
#pragma once

#include <cstddef>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

// How many threads may run: what std::thread::hardware_concurrency() says
// (at least 1) unless fijaHilos set a number; 0 returns to that default.
void fijaHilos(unsigned cuantos);
unsigned hilos();

// Blocks of the elimination with fewer rows run on one thread: starting
// threads for every panel costs more than it saves there. Settable, so that tests can run threads
// on small blocks; 0 returns to the measured default.
void fijaFilasMinimasParaHilos(std::size_t filas);
std::size_t filasMinimasParaHilos();

// tarea(desde, hasta) over [0, n) in contiguous parts, one per thread, each
// part a multiple of multiplo rows but the last; one part only when fewer
// than filasMinimasParaHilos() rows (conTrabajo) have work. The calling
// thread takes the first part; a thread that cannot be started leaves its
// part to the caller.
template <typename Tarea>
void repartePorFilas(std::size_t n, std::size_t multiplo, std::size_t conTrabajo,
                     const Tarea& tarea) {
  std::size_t partes = conTrabajo >= filasMinimasParaHilos() ? hilos() : 1;
  if (partes > n / multiplo) partes = n / multiplo > 0 ? n / multiplo : 1;
  const auto limite = [&](std::size_t p) {
    return p == partes ? n : (n / multiplo * p / partes) * multiplo;
  };
  std::vector<std::thread> otros;
  if (partes > 1) {
    try {
      otros.reserve(partes - 1);
    } catch (const std::bad_alloc&) {
      partes = 1;
    }
  }
  for (std::size_t p = 1; p < partes; ++p) {
    try {
      otros.emplace_back(
          [&tarea, desde = limite(p), hasta = limite(p + 1)] { tarea(desde, hasta); });
    } catch (const std::system_error&) {
      tarea(limite(p), limite(p + 1));
    }
  }
  tarea(0, limite(1));
  for (std::thread& hilo : otros) hilo.join();
}
