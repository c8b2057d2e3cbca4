// CHANGES.csv: entries of L that a scenario sets, the exposures it writes
// down (or up).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "escenarios/escenarios.h"

// Reads CHANGES.csv (`scenario,debtor,creditor,amount`) into the scenarios
// of a file (Barrido::archivo): each row sets L[debtor][creditor] to amount
// in its scenario; a scenario the file of cash changes did not name is
// added after the others. Nodes as SCENARIOS.csv names them; an amount is
// finite and at least 0; a node does not owe itself; one row per entry and
// scenario.
bool leeCambiosObligaciones(const std::string& ruta, std::int32_t n,
                            const std::vector<std::string>& nombres, Escenarios& escenarios,
                            std::string& error);

// The debtors whose rows of L any scenario changes, ascending.
std::vector<std::int32_t> deudoresCambiados(const Escenarios& escenarios);
