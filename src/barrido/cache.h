// The sweep's cache of eliminated blocks (linalg/eliminadas.h): one per
// network, shared by the threads that clear its scenarios, so that a round
// whose default set an earlier round had (in any scenario) takes that
// elimination rather than making it again. Any budget, none included, gives
// the same bytes.
#pragma once

#include <cstddef>

#include "barrido/barrido.h"
#include "escenarios/escenarios.h"
#include "linalg/eliminadas.h"

// The budget when none is asked for: a quarter of what the system reports
// free (comun/recursos.h) beyond what the sweep's hilos engines still take;
// 1 GiB where the system does not say.
double presupuestoCache(const Partida& partida, unsigned hilos);

// The cache for scenario k, or none. A scenario whose round systems are not
// the network's (one that changes PI or the costs) must return none here,
// or have a cache of its own.
CacheEliminaciones* cacheDeEscenario(const Escenarios& escenarios, std::size_t k,
                                     CacheEliminaciones* cache);
