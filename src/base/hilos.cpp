#include "base/hilos.h"

#include "base/pruebas.h"

namespace {

// The rows from which repartePorFilas shares its work. Set by what it costs
// the costliest of its callers, a panel's sweep (about 32·m² updates): below
// 384 rows starting and joining a second thread would eat most of what it
// saves (figures in docs/performance.md, "Threads").
constexpr std::size_t kFilasParaRepartir = 384;

}  // namespace

unsigned hilos() {
  if (const unsigned pedidos = controlPruebas().hilos; pedidos > 0) return pedidos;
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware > 0 ? hardware : 1;
}

std::size_t filasParaRepartir() {
  const std::size_t pedidas = controlPruebas().filasParaRepartir;
  return pedidas > 0 ? pedidas : kFilasParaRepartir;
}
