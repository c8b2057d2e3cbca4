// A complete output.txt read as a stream and checked against input.txt: the
// INPUT section and pBarra must be the report of these numbers, the rounds'
// blocks are passed over line by line, and the results are kept as written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "companion/red.h"

struct Resultado {
  std::int32_t rondas = 0;                // "Paso" blocks
  std::vector<std::string> pagoTexto;     // p as the report writes it
  std::vector<double> p;                  // and its value
  std::vector<std::int32_t> ronda;        // round in which each node defaults, 0 if it never does
  std::vector<std::string> capitalTexto;  // as written, "0" for the zero
  std::vector<double> capital;
};

// False with a message when the report is incomplete (the run ended early),
// belongs to other numbers, or is not clearing's report at all.
bool leeInforme(const char* ruta, const RedLeida& red, Resultado& resultado, std::string& error);
