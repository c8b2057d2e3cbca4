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

// Default costs: a node in default realises the fraction alfa of its
// outside cash and beta of what the others pay it. Both in (0, 1]; 1 and 1,
// no costs, leave every value as it is without them.
struct Costes {
  double alfa = 1.0;
  double beta = 1.0;

  bool ninguno() const { return alfa == 1.0 && beta == 1.0; }
};

// What a clearing is computed from: the obligations' derived quantities,
// the outside cash and the default costs. A view: the sweep shares PI and
// pBarra among scenarios that differ in e alone.
struct Red {
  const Matrix& PI;
  const Vector& pBarra;
  const Vector& e;
  Costes costes;

  Red(const Matrix& pi, const Vector& pbarra, const Vector& cash)
      : PI(pi), pBarra(pbarra), e(cash) {}
  // cppcheck-suppress noExplicitConstructor ; a state is a network
  Red(const NetworkState& estado)  // NOLINT(google-explicit-constructor)
      : PI(estado.PI), pBarra(estado.pBarra), e(estado.e) {}
};
