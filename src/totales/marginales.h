// MARGINALS.csv, what clearing-reconstruct starts from: one row per node
// with its totals (node,liabilities,assets,cash and optionally external),
// and the network of totals it makes of them, a node outside the network
// included where one is asked for or needed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "comun/csv.h"
#include "comun/enlace.h"
#include "totales/reconstruccion.h"

struct Marginales {
  std::vector<std::string> nombres;  // in the order of the file
  std::vector<long> lineas;          // the row of each node
  Totales totales;                   // liabilities and assets
  std::vector<double> caja;
  std::vector<double> externo;  // what each node owes outside; empty without the column
};

// The rows after the header, columns by name in any order and any case.
// False with error "FILE:LINE: what is wrong" (FILE as nombreCsv shows it):
// a missing or unknown column, a row with the wrong number of fields, a bad
// name or a name given twice, a number that is not one, a negative total.
bool leeMarginales(const std::string& ruta, const std::vector<FilaCsv>& filas, Marginales& m,
                   std::string& error);

// The node outside the network: it is owed the external column, and with
// balancear it takes the difference between the grand totals (it is owed
// Σl − Σa, or owes Σa − Σl). Added as the last node when either is there;
// aviso then says on what (for standard error). False with error naming the
// row at fault ("FILE:LINE: …" or "FILE: …") when no network meets the totals.
bool anadeExterior(const std::string& ruta, const std::string& nombre, bool balancear,
                   Marginales& m, std::string& aviso, std::string& error);

// The external column as links to the last node, merged into enlaces (sorted).
void anadeExternos(const Marginales& m, std::vector<Enlace>& enlaces);
