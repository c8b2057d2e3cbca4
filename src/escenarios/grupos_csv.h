// GROUPS.csv: named sets of nodes (a country, a sector) that a scenario
// shocks together.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "escenarios/escenarios.h"

// Reads GROUPS.csv (`node,group`, one row per membership: a node may belong
// to several groups) for a network of n nodes named `nombres`, nodes as
// SCENARIOS.csv names them. A group name is a scenario name's kind of text.
bool leeGrupos(const std::string& ruta, std::int32_t n, const std::vector<std::string>& nombres,
               Grupos& grupos, std::string& error);

// The group named `nombre`, or false with error saying so.
bool buscaGrupo(const Grupos& grupos, const std::string& nombre, std::size_t& indice,
                std::string& error);
