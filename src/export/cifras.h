// What the outputs derive from input.txt's exact numbers and the report's p.
#pragma once

#include <cstddef>
#include <cstdint>

#include "export/cotejo.h"
#include "export/dispersa.h"

// PI[i][j]·p[i] for the k-th kept entry of L, in row i: PI from the exact
// L[i][j] / pBarra[i] (0 when pBarra[i] is exactly 0) as clearing computes it,
// p the engine's.
double calculaPagoEntre(const Dispersa& dispersa, const Resultado& resultado, std::int32_t i,
                        std::size_t k);

// p[i] / pBarra[i]; false when node i owes nothing (pBarra[i] == 0).
bool calculaRecuperacion(const Dispersa& dispersa, const Resultado& resultado, std::int32_t i,
                         double& tasa);

// What node i leaves unpaid: pBarra[i] - p[i].
double calculaDeficit(const Dispersa& dispersa, const Resultado& resultado, std::int32_t i);

// The last round in which a node defaults; 0 when none does.
std::int32_t calculaRondasConImpago(const Resultado& resultado);
