#include "base/hilos.h"

namespace {

// Written by the tests between runs, read by the elimination and the report:
// no thread of either is running when they change.
unsigned hilosFijados = 0;
std::size_t filasFijadas = 0;

// A panel's sweep is about 32·m² updates, 0.24 ms on one core at m = 384;
// a second thread saves half of it, and starting and joining one took
// 0.1-0.35 ms on this busy 2-core machine (a few hundredths on a quiet one).
// Below 384 rows the start would eat most of the gain.
constexpr std::size_t kFilasMinimas = 384;

}  // namespace

void fijaHilos(unsigned cuantos) {
  hilosFijados = cuantos;
}

unsigned hilos() {
  if (hilosFijados > 0) return hilosFijados;
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware > 0 ? hardware : 1;
}

void fijaFilasMinimasParaHilos(std::size_t filas) {
  filasFijadas = filas;
}

std::size_t filasMinimasParaHilos() {
  return filasFijadas > 0 ? filasFijadas : kFilasMinimas;
}
