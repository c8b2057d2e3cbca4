// One obligation of a network held by its links: what a companion that makes
// networks (clearing-import, clearing-reconstruct) hands to the writer of
// input.txt.
#pragma once

#include <cstdint>

struct Enlace {
  std::int32_t deudor = 0;
  std::int32_t acreedor = 0;
  double importe = 0;  // L[deudor][acreedor]
};
