// RFC 4180 files through libcsv, with the line each record starts on.
#pragma once

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

// The file as messages name it: "stdin" for "-", other names with their
// bytes outside printable ASCII escaped.
std::string nombreCsv(const std::string& ruta);
