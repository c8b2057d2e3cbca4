#include "linalg/hilos.h"

namespace {

// Written by the tests between runs, read by the elimination: no thread of
// the elimination is running when they change.
unsigned hilosFijados = 0;
std::size_t filasFijadas = 0;

// Below about 200 rows a panel's sweep (m² × 32 updates) takes less than
// 0.1 ms on one core, and starting and joining a thread costs some 0.02 ms.
constexpr std::size_t kFilasMinimas = 192;

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
