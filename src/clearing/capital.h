// What each node keeps once the payments are made.
#pragma once

#include "base/estado.h"
#include "clearing/calculo.h"

// capital = (PIᵀ·pPrima + e) − pPrima: what each node receives minus what it
// pays. A failed allocation in the last subtraction ends the run with
// "Memoria insuficient" and no line end.
Vector calculaCapital(const NetworkState& estado, const Calculo& calculo);
