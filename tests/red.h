// Test support: small networks built in memory the way the run builds them.
#pragma once

#include "base/estado.h"
#include "clearing/derivadas.h"

// A state with L and e as given and pBarra, PI derived; pPrima = pBarra.
inline NetworkState red(const Matrix& L, const Vector& e) {
  NetworkState s;
  s.dim = static_cast<std::int32_t>(L.size());
  s.L = L;
  s.e = e;
  s.pBarra = calculaPBarra(s);
  s.PI = calculaPI(s);
  s.pPrima = s.pBarra;
  s.ordenQuiebra.assign(L.size(), 0);
  return s;
}

// The chain: node 0 owes 10 to node 1, node 1 owes 10 to node 2; cash 5, 2, 0.
inline NetworkState cadena() {
  return red({{0, 10, 0}, {0, 0, 10}, {0, 0, 0}}, {5, 2, 0});
}
