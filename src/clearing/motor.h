// The clearing engine, the public call of the computation. From a network's
// PI, pBarra and outside cash e it finds the clearing vector by the
// fictitious-default iteration, the round in which each node defaults, the
// capital each keeps and the number of rounds; or an error value saying what
// went wrong and in which round. It writes nothing and never ends the
// process: a caller that reports the rounds (the program's "Paso" blocks)
// observes them through a callback.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "base/estado.h"
#include "base/fallo.h"
#include "clearing/iteracion.h"

struct OpcionesClearing {
  bool literal = false;   // every quantity by the literal formulas and the plain solver
  bool recuerda = false;  // rounds may carry their elimination over (linalg/historia.h)
  unsigned hilos = 0;     // threads a round's block is shared among; 0: as many as there are
  // Whether that many more n×n matrices fit beside what the run holds,
  // asked before a round falls back to the literal formulas; a refusal ends
  // the rounds with Error::sinMemoria. None: they always fit. The engine
  // never reads the machine itself.
  std::function<bool(int matrices)> caben;
  // Default costs, both in (0, 1]: a defaulting node pays alfa·e + beta·(what
  // it receives). 1 and 1, the default, is the clearing without costs, to the
  // bit. With beta < 1 every round's system is strictly diagonally dominant
  // by columns, so no round is indeterminate.
  double alfa = 1.0;
  double beta = 1.0;
  // Nodes in default from round 1 whatever they pay: failed from outside.
  // What such a node pays is fixed by the caller's pBarra, which holds what
  // it still owes (it pays less only where it has less). Empty: none.
  std::span<const std::int32_t> caidos;
  // Blocks already eliminated for this network and these costs, shared with
  // other calls (linalg/eliminadas.h); none: each round eliminates its own.
  CacheEliminaciones* eliminaciones = nullptr;
};

struct Clearing {
  Vector p;                                // the clearing vector
  std::vector<std::int32_t> ordenQuiebra;  // first round that marks each node; 0 if none
  Vector capital;                          // (PIᵀ·p + e) − p
  int rondas = 0;                          // rounds run
};

// Why there is no clearing: Error::indeterminado, Error::noConverge,
// Error::sinMemoria, or whatever failure the observer threw (a report's
// Error::escritura); `ronda` is the round it happened in, 0 before the first.
// For Error::indeterminado, `grupo` names the nodes that made the round's
// system singular (clearing/grupos.h: grupoSingular), ascending.
struct ErrorClearing {
  Fallo fallo;
  int ronda = 0;
  std::vector<std::int32_t> grupo;
};

struct ResultadoClearing {
  std::optional<ErrorClearing> error;  // set when there is no clearing
  Clearing clearing;                   // complete without an error, as far as it got with one
};

// The n×n matrices a run holds at its peak, L and PI included: the literal
// formulas hold ten, the structure-aware path three (plus kMatricesRecuerdo
// where it may carry its elimination over). Before the data are known, the
// path the options choose; with them, the one the data choose (data that are
// not finite take the literal formulas). conSitio: for a caller that hands
// the block solver rows of its own (EspacioClearing's trabajo.sitio, as the
// program does with L's once L is written), whose storage is then not taken.
int matricesPrevistas(const OpcionesClearing& opciones, bool conSitio = false);
int matricesDeClearing(const Red& red, const OpcionesClearing& opciones, bool conSitio = false);
inline constexpr int kMatricesRecuerdo = 2;

// The whole computation: rounds, then capital.
ResultadoClearing calculaClearing(const Red& red, const OpcionesClearing& opciones,
                                  const ObservaRonda& observa = {});

// In two steps, for a caller that writes between them. The rounds fill p,
// ordenQuiebra and rondas of `clearing` (p and ordenQuiebra are used as they
// come when they have room for n values, so a caller can hand in storage it
// reserved); the capital then fills capital.
std::optional<ErrorClearing> resuelveRondas(const Red& red, const OpcionesClearing& opciones,
                                            const ObservaRonda& observa, Clearing& clearing);

// The engine's work space: the block solver's storage and its record of the
// last round. A caller that clears many networks of one size (each thread of
// a sweep) keeps one and hands it to every call, so the storage is
// allocated, and its pages faulted in, once rather than once a call. Each
// call starts with the record forgotten: the same bits as a fresh space.
struct EspacioClearing {
  TrabajoBloque trabajo;
};
std::optional<ErrorClearing> resuelveRondas(const Red& red, const OpcionesClearing& opciones,
                                            const ObservaRonda& observa, Clearing& clearing,
                                            EspacioClearing& espacio);
std::optional<ErrorClearing> calculaCapitales(const Red& red, const OpcionesClearing& opciones,
                                              Clearing& clearing);
