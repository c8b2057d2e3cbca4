// SCENARIOS.csv: its header and scenario names read first, before the
// network, then its rows looked up against the network's nodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "comun/csv.h"
#include "escenarios/escenarios.h"

// SCENARIOS.csv as first read, before its nodes are looked up: where the
// columns are and how many scenarios it names. A file is read again, a row
// at a time, when its nodes are looked up; standard input, which cannot be,
// keeps its rows, the header first.
struct ArchivoEscenarios {
  std::string ruta;
  std::string mostrado;  // how messages name the file ("-" for standard input)
  std::vector<FilaCsv> filas;
  std::vector<std::size_t> columna;  // scenario, node, cash, shock, fail; absent: npos
  std::size_t cuantos = 0;           // distinct scenario names, counted up to 64
};

// Reads SCENARIOS.csv (`scenario,node` and at least one of `cash`, `shock`,
// `fail`, columns by name in any order, case-insensitive; an empty field
// changes nothing): a header and at least one row, every scenario name
// UTF-8 with no control character. On failure error holds "FILE:LINE: what
// is wrong" or "FILE: what".
bool leeArchivoEscenarios(const std::string& ruta, const std::string& mostrado,
                          ArchivoEscenarios& archivo, std::string& error);

// The scenarios of a file read by leeArchivoEscenarios, for a network of n
// nodes whose names, if any, are `nombres`. With names, a node is a name, or
// #K for node K; without them, K or #K; with grupos, group:NAME for each node
// of the group. Cash must not be negative; shock and fail are fractions in
// [0, 1].
bool leeEscenarios(const ArchivoEscenarios& archivo, std::int32_t n,
                   const std::vector<std::string>& nombres, Escenarios& escenarios,
                   std::string& error, const Grupos* grupos = nullptr);
