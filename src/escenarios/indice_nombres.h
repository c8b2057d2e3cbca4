// Scenario names to their numbers, for files of a million scenarios: an
// open-addressing table of numbers that keeps no copy of the names (they
// stay where the scenarios keep them), some eight bytes a scenario. A name
// may be any bytes: the tables of CHANGES.csv and GROUPS.csv find a second
// row for one entry by its key's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

struct IndiceNombres {
  std::vector<std::uint32_t> huecos;  // 1 + a scenario's number, or 0; a power of two of them
  std::size_t usados = 0;
};

// The number of the scenario named `nombre`, nombreDe(k) being scenario k's
// name; `nuevo` (the next number) when it has none yet, which is then
// entered as nuevo's.
std::size_t buscaONuevo(IndiceNombres& indice, std::string_view nombre, std::size_t nuevo,
                        const std::function<std::string_view(std::size_t)>& nombreDe);
