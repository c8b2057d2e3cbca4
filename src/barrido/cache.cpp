// Which scenarios share the network's eliminated blocks, and how many bytes
// of them a sweep keeps.
#include "barrido/cache.h"

#include <algorithm>

#include "clearing/calculo.h"
#include "comun/recursos.h"

namespace {

constexpr double kSinCifras = 1024.0 * 1024 * 1024;

}  // namespace

double presupuestoCache(const Partida& partida, unsigned hilos) {
  if (partida.memoriaCache >= 0) return partida.memoriaCache;
  const double procesos = std::max(1U, partida.procesos);
  const double disponible = memoriaDisponible();
  if (disponible < 0) return kSinCifras / procesos;
  const double motores = memoriaAdicional(partida.n, matricesDeBarrido(hilos) - kMatricesDeDatos);
  return std::max(0.0, (disponible - motores) / 4 / procesos);
}

// Every kind of scenario here changes the outside cash alone; those that
// fail nodes or set entries of L clear a network of their own and are kept
// from the cache by their caller (barrido.cpp). The switch names each kind,
// so that a new one is a warning until it is decided here.
CacheEliminaciones* cacheDeEscenario(const Escenarios& escenarios, std::size_t /*k*/,
                                     CacheEliminaciones* cache) {
  switch (escenarios.tipo) {
    case Barrido::archivo:
    case Barrido::cadaNodo:
    case Barrido::choqueUniforme:
    case Barrido::cajas:
    case Barrido::cadaGrupo:
    case Barrido::aleatorio:
      return cache;
    case Barrido::cadaNodoCae:
      return nullptr;
  }
  return nullptr;
}
