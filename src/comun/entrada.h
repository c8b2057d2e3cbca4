// input.txt as the companion programs take it: through clearing's own
// reader and derivations, so that they compute from clearing's very bits,
// and behind the same memory gate as clearing (comun/recursos.h).
#pragma once

#include <string>

#include "base/estado.h"

// dim; the gate for `matrices` n×n matrices of dim nodes, the caller's peak;
// then room for L and e, their numbers, pBarra and PI, in the order of
// clearing's own run. False with error = "RUTA: what is wrong"
// (comun/motivos.h), or the gate's refusal.
bool leeEntrada(const char* ruta, int matrices, NetworkState& estado, std::string& error);
