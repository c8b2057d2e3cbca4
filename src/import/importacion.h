// Named nodes from edge lists: the network that clearing-import builds from
// OBLIGATIONS.csv (debtor,creditor,amount) and CASH.csv (node,cash), and the
// input.txt and nodes.txt it writes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "comun/csv.h"

struct Importacion {
  std::vector<std::string> nombres;  // node k's name, in order of first appearance
  std::unordered_map<std::string, std::int32_t> numero;
  std::map<std::pair<std::int32_t, std::int32_t>, double> obligacion;  // (debtor, creditor): sum
  std::vector<double> caja;     // 0 until a cash row says otherwise
  std::vector<long> lineaCaja;  // line of the node's cash row, 0 if none
};

// Rows of OBLIGATIONS.csv after its header; repeated pairs are summed in file order.
bool anadeObligaciones(Importacion& importacion, const std::string& ruta,
                       const std::vector<FilaCsv>& filas, std::string& error);

// Rows of CASH.csv after its header; a second row for the same node is an error.
bool anadeCaja(Importacion& importacion, const std::string& ruta, const std::vector<FilaCsv>& filas,
               std::string& error);

// input.txt (every number in its shortest exact form) and nodes.txt (one
// name per line, UTF-8), both or neither.
bool escribeImportacion(const Importacion& importacion, std::string& error);
