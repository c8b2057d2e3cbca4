// The CSV tables of the sweep (scenarios, changes of L, groups) read a row
// at a time, and the nodes and scenario names their fields give.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "comun/csv.h"

// A scenario name goes to the first column of sweep.csv: UTF-8, and nothing
// that would break a line or a terminal. What is wrong with it, or null.
const char* faltaEnNombre(const std::string& nombre);

// A CSV file of the sweep's read a row at a time: the header by
// leeCabeceraCsv (columns from the obligatorias-th on may be missing), then
// alFila(fila, error) for each row as wide as the header, which may stop
// the reading by returning false with error set. Messages name the file
// `mostrado`.
bool recorreTablaCsv(const std::string& ruta, const std::string& mostrado,
                     std::span<const char* const> columnas, std::size_t obligatorias,
                     std::vector<std::size_t>& columna,
                     const std::function<bool(FilaCsv&, std::string&)>& alFila, std::string& error);

// The nodes the rows of a table name: a network of n nodes, named by
// `numeros` when conNombres.
struct NodosDeTabla {
  std::int32_t n = 0;
  bool conNombres = false;
  std::unordered_map<std::string, std::int32_t> numeros;
};

// A table of the sweep's whose rows name nodes (CHANGES.csv, GROUPS.csv),
// read a row at a time by recorreTablaCsv with every column required: its
// nodes those of a network of n nodes named `nombres`, if any. alFila's
// errors are prefixed with the row's "FILE:LINE: ".
bool recorreTablaDeNodos(const std::string& ruta, std::span<const char* const> columnas,
                         std::int32_t n, const std::vector<std::string>& nombres,
                         const std::function<bool(const FilaCsv&, const std::vector<std::size_t>&,
                                                  const NodosDeTabla&, std::string&)>& alFila,
                         std::string& error);

// Node names to numbers, for leeNodo.
std::unordered_map<std::string, std::int32_t> porNombre(const std::vector<std::string>& nombres);

// A node of a CSV field, as leeEscenarios reads it; false with error saying why.
bool leeNodo(const std::string& campo, std::int32_t n, bool conNombres,
             const std::unordered_map<std::string, std::int32_t>& numeros, std::int32_t& nodo,
             std::string& error);
