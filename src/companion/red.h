// input.txt as clearing-export needs it: L by rows keeping only the entries
// that are not +0 (memory follows the obligations, not n²), e, and the row
// sums pBarra.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct RedLeida {
  std::int32_t n = 0;
  std::vector<std::size_t> inicioFila{0};  // row i is [inicioFila[i], inicioFila[i + 1])
  std::vector<std::int32_t> columna;
  std::vector<double> valor;
  std::vector<double> e;
  std::vector<double> pBarra;  // sum of L[i][j] from 0.0 in ascending j, as clearing adds it
};

// Reads with clearing's own reader and grammar.
bool leeRed(const char* ruta, RedLeida& red, std::string& error);

// Row i of L, or e, as the report's INPUT section writes it.
void formateaFilaL(const RedLeida& red, std::int32_t i, std::string& linea);
void formateaCaja(const RedLeida& red, std::string& linea);
void formateaTotales(const RedLeida& red, std::string& linea);
