// input.txt as clearing-export needs it, read as clearing reads it: the state
// the engine computes from (PI, pBarra, e), and beside it L by rows keeping
// only the entries that are not +0 (for the CSV files and the drawing, whose
// size follows the obligations).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/estado.h"

struct Dispersa {
  std::int32_t n = 0;
  std::vector<std::size_t> inicioFila{0};  // row i is [inicioFila[i], inicioFila[i + 1])
  std::vector<std::int32_t> columna;
  std::vector<double> valor;
  std::vector<double> e;
  std::vector<double> pBarra;  // clearing's row sums of L
};

// Reads with clearing's reader into estado (its L given back once PI is
// computed) and dispersa. False with a message when the file cannot be read, is
// malformed, or its matrices would not fit in the memory the system has free.
bool leeDispersa(const char* ruta, Dispersa& dispersa, NetworkState& estado, std::string& error);

// Row i of L, or e, or pBarra, as the report writes it, from texto on;
// returns the end. texto has room for n·kMaxNumero bytes.
char* formateaFilaL(const Dispersa& dispersa, std::int32_t i, char* texto);
char* formateaVector(const std::vector<double>& v, char* texto);
