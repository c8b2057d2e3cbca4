// How a caller splits its work among the run's threads (base/hilos.h):
// contiguous parts of rows, each worked whole by one thread, so that no
// result depends on how many run.
#pragma once

#include <cstddef>

#include "base/hilos.h"

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
