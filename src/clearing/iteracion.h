// The fictitious-default iteration: from full payment, each round marks the
// nodes in default, lets an observer see them, and solves the system in
// which they pay what they have and every other node pays in full. Inside
// the engine: failures are thrown (base/fallo.h); clearing/motor.h is the
// public call that turns them into values.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "base/estado.h"
#include "clearing/calculo.h"

// Called at the start of round k with that round's marks, before it is solved.
using ObservaRonda = std::function<void(int ronda, const Marcas& marcas)>;

// What the rounds leave: the vector, the default steps, the rounds run.
struct Rondas {
  Vector p;                                // the current vector; at the end, the clearing vector
  std::vector<std::int32_t> ordenQuiebra;  // first round that marks each node; 0 if none
  int rondas = 0;                          // the last round started
  Marcas marcas;                           // the last round's marks
};

// With default costs (red.costes) a marked node pays α·e + β·(what it
// receives) in its round's system, and the vector reproduces itself when it is
// within tol of those payments.
// Runs the rounds from p = pBarra (rondas.p and rondas.ordenQuiebra must
// have room for n values, ordenQuiebra zeroed); leaves the clearing vector
// in p and the default steps in ordenQuiebra. Stops when the vector
// reproduces itself within tol, or when its default set is the one just
// solved for. Throws Error::indeterminado when a round's system has no
// solution, Error::noConverge after max(n, 1) rounds, and whatever the
// observer throws. `trabajo` is the block solver's storage (its `historia`
// and `hilos` set by the caller).
void iteraQuiebras(const Red& red, const Calculo& calculo, TrabajoBloque& trabajo,
                   const ObservaRonda& observa, Rondas& rondas);
