// The clearing of input.txt as the engine computes it, and the check that
// output.txt is, line by line, the report of exactly that computation.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/estado.h"
#include "export/dispersa.h"

struct Resultado {
  std::vector<double> p;            // the clearing vector, the engine's doubles
  std::vector<std::int32_t> ronda;  // round in which each node defaults, 0 if it never does
  std::vector<double> capital;      // (PIᵀ·p + e) − p
  std::int32_t rondas = 0;          // rounds observed: the report's "Paso" blocks
  // Round k's default marks, as the nodes whose mark differs from round k − 1:
  // a cascade marks few nodes per round, so this stays near O(n).
  std::vector<std::vector<std::int32_t>> cambios;
  std::string sinClearing;  // why the engine found no clearing vector; "" when it did
  // The default costs it was computed with (--costs); none: clearing's own
  // computation, the one its report shows.
  std::optional<Costes> costes;
};

// Runs the engine with the options clearing uses, and resultado.costes if
// set. False with a message only
// when memory runs out; a network with no clearing vector fills sinClearing.
bool calculaResultado(const NetworkState& estado, Resultado& resultado, std::string& error);

// False with a message when the report is incomplete (the run ended early),
// is not clearing's report, or differs anywhere from the report of this
// computation (a report of other numbers, or input.txt changed since).
bool compruebaInforme(const char* ruta, const Dispersa& dispersa, const NetworkState& estado,
                      const Resultado& resultado, std::string& error);
