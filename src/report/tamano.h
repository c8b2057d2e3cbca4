// The report's size, known before its first byte: where the report's file
// system is held in memory its pages are memory too, which the run's checks
// count (run/programa). L and PI count as their text will be; the rest, by
// the widest text of each format.
#pragma once

#include <cstdint>

#include "base/estado.h"

struct TamanoInforme {
  double antes = 0;    // the input and the preliminary sections, up to the first round
  double paso = 0;     // one round's block, at most
  double despues = 0;  // the results and the payments, at most
};

// The report of the network held in estado (L, e, PI and pBarra).
TamanoInforme tamanoDeInforme(const NetworkState& estado);

// The least any report of n nodes takes, known from n alone: its four n×n
// matrices (L, PI, one round's default matrix, the payments) at the
// narrowest cell.
double tamanoMinimoDeInforme(std::int32_t n);
