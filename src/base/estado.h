// The program-wide state of one run, owned by the run and handed to every
// phase explicitly.
#pragma once

#include <cstdint>
#include <vector>

#include "base/tipos.h"

struct NetworkState {
  std::int32_t dim = 0;  // number of nodes
  Matrix L;              // nominal obligations: row debtor, column creditor
  Vector e;              // outside cash of each node
  Vector pBarra;         // total obligation of each node (row sums of L)
  Matrix PI;             // L divided row by row by pBarra
  Vector pPrima;         // current payment vector; at the end, the clearing vector
  std::vector<std::int32_t> ordenQuiebra;  // first round that marks each node; 0 if none
};
