// RFC 4180 files through libcsv, with the line each record starts on.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <vector>

struct FilaCsv {
  long linea = 0;  // line on which the record starts, from 1
  std::vector<std::string> campos;
};

// Reads the whole file, standard input when ruta is "-": quoted fields (""
// for a quote inside one), lines ended by LF, CR LF or a CR alone, a UTF-8
// byte-order mark skipped, blank lines skipped, blanks around an unquoted
// field trimmed. On failure error holds "FILE: what is wrong" or
// "FILE:LINE: what is wrong", FILE being nombreCsv(ruta).
bool leeCsv(const std::string& ruta, std::vector<FilaCsv>& filas, std::string& error);

// The same records one at a time, as they are read, without holding the
// file: alFila(fila) for each (it may move the fields away); when it returns
// false the reading stops and recorreCsv returns false, error left to the
// caller to set.
bool recorreCsv(const std::string& ruta, const std::function<bool(FilaCsv&)>& alFila,
                std::string& error);

// The file as messages name it: "stdin" for "-", other names escaped as
// textoSeguro escapes them (printable UTF-8 kept).
std::string nombreCsv(const std::string& ruta);

// The one reader of a header line, filas' first record: the columns by
// name, in any order and any case; posicion[c] is where columnas[c] is. A
// number in it means the header line is missing and the first record is
// data. False with error "FILE: …" or "FILE:LINE: …", FILE being mostrado:
// an empty file, a missing header line, an unknown or repeated column, a
// missing column. Columns from the obligatorias-th on may be missing: their
// posicion is then npos.
bool leeCabeceraCsv(const std::string& mostrado, const std::vector<FilaCsv>& filas,
                    std::span<const char* const> columnas, std::vector<std::size_t>& posicion,
                    std::string& error, std::size_t obligatorias = static_cast<std::size_t>(-1));

// The columns as a header line names them: "debtor,creditor,amount".
std::string listaColumnas(std::span<const char* const> columnas);
