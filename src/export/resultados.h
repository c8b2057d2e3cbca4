// results.csv (one row per node) and payments.csv (one row per nonzero
// obligation), RFC 4180 with CR LF, for pandas, R or a spreadsheet.
#pragma once

#include <string>
#include <vector>

#include "comun/salida.h"
#include "export/cotejo.h"
#include "export/dispersa.h"

// node,name,total_obligations,outside_cash,payment,recovery_rate,default_round,capital
void escribeResultados(ArchivoNuevo& archivo, const Dispersa& dispersa, const Resultado& resultado,
                       const std::vector<std::string>& nombres);

// debtor,debtor_name,creditor,creditor_name,obligation,payment
void escribePagos(ArchivoNuevo& archivo, const Dispersa& dispersa, const Resultado& resultado,
                  const std::vector<std::string>& nombres);
