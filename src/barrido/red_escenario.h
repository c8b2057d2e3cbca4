// The network a scenario clears when it is not the base one: a failed node
// owes only part of its pBarra, and changed entries of L give their debtors
// new rows of PI and a new pBarra. Each worker keeps its own copy of pBarra
// and PI, made when a scenario first needs it, and patches the rows a
// scenario changes and puts them back after it: a scenario costs its rows,
// not the network.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "barrido/barrido.h"
#include "escenarios/escenarios.h"

struct RedPropia {
  Vector pBarra;  // the worker's copy; empty until a scenario needs it
  Matrix PI;
  std::vector<std::int32_t> cambiadas;  // entries of pBarra and rows of PI now patched
  bool conPI = false;                   // rows of PI among them
  std::vector<std::int32_t> caidos;     // the scenario's failed nodes
  std::vector<Cambio> caidas;
  Vector fila;                  // one row of L, as the scenario sets it
  std::vector<Grupo> cerrados;  // the closed groups of a scenario with its own PI
};

// Patches the worker's copy for scenario k and says whether the scenario
// clears it rather than the base network. Throws what an allocation throws.
bool preparaRedPropia(const Partida& partida, const Escenarios& escenarios, std::size_t k,
                      RedPropia& propia);

// Puts back the entries the last scenario patched.
void restauraRedPropia(const Partida& partida, RedPropia& propia);
