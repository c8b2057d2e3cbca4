// The scenarios of a sweep: each one is a name and the outside cash of every
// node, the cash of input.txt with some nodes changed. A scenario file names
// the changes row by row; the built-in sweeps derive them from the network.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/tipos.h"
#include "comun/csv.h"

struct Cambio {
  std::int32_t nodo = 0;
  double caja = 0.0;
};

struct EscenarioLeido {
  std::string nombre;
  std::vector<Cambio> cambios;  // in file order, one per node at most
};

// cajas: the caller's cash vectors, as the Python module hands them over.
enum class Barrido : unsigned char { archivo, cadaNodo, choqueUniforme, cajas };

struct Escenarios {
  Barrido tipo = Barrido::archivo;
  std::vector<EscenarioLeido> leidos;  // archivo: in order of first appearance
  std::int32_t n = 0;                  // cadaNodo: one scenario per node
  std::vector<std::string> nombres;    // cadaNodo: the names of nodes.txt, or none
  double desde = 0.0;                  // choqueUniforme: s_k = desde + k·paso
  double paso = 0.0;
  std::size_t pasos = 0;  // choqueUniforme: how many k
  // cajas: filas cash vectors of n values, row by row, held by the caller
  // for as long as the sweep runs.
  const double* cajas = nullptr;
  std::size_t filas = 0;
};

// SCENARIOS.csv as read, before its nodes are looked up: the rows with the
// header first, where the columns are, and how many scenarios it names.
struct ArchivoEscenarios {
  std::string mostrado;  // how messages name the file ("-" for standard input)
  std::vector<FilaCsv> filas;
  std::vector<std::size_t> columna;  // scenario, node, cash
  std::size_t cuantos = 0;           // distinct scenario names
};

// Reads SCENARIOS.csv (`scenario,node,cash`, columns by name in any order,
// case-insensitive): a header and at least one row, every scenario name
// UTF-8 with no control character. On failure error holds "FILE:LINE: what
// is wrong" or "FILE: what".
bool leeArchivoEscenarios(const std::string& ruta, const std::string& mostrado,
                          ArchivoEscenarios& archivo, std::string& error);

// The scenarios of a file read by leeArchivoEscenarios, for a network of n
// nodes whose names, if any, are `nombres`. With names, a node is a name, or
// #K for node K; without them, K or #K. Cash must not be negative.
bool leeEscenarios(const ArchivoEscenarios& archivo, std::int32_t n,
                   const std::vector<std::string>& nombres, Escenarios& escenarios,
                   std::string& error);

// --each-node: scenario k sets node k's cash to 0.
Escenarios escenariosPorNodo(std::int32_t n, const std::vector<std::string>& nombres);

// --uniform-shock FROM:TO:STEP: scenario k multiplies every node's cash by
// 1 − s_k, s_k = FROM + k·STEP (one product, one sum, in doubles), for every
// k with s_k ≤ TO. TO above 1 is refused: the cash would turn negative.
bool leeChoqueUniforme(std::string_view texto, Escenarios& escenarios, std::string& error);

std::size_t cuantosEscenarios(const Escenarios& escenarios);

// The shock of scenario k of a uniform sweep.
double choque(const Escenarios& escenarios, std::size_t k);

std::string nombreEscenario(const Escenarios& escenarios, std::size_t k);

// The outside cash of scenario k: base with the scenario's changes, in e
// (which has room for base.size() values).
void aplicaEscenario(const Escenarios& escenarios, std::size_t k, const Vector& base, Vector& e);
