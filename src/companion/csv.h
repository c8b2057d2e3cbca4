// RFC 4180 files through libcsv, with the line each record starts on.
#pragma once

#include <string>
#include <vector>

struct FilaCsv {
  long linea = 0;  // line on which the record starts, from 1
  std::vector<std::string> campos;
};

// Reads the whole file: quoted fields ("" for a quote inside one), CR LF or
// LF, a UTF-8 byte-order mark skipped, blank lines skipped, blanks around an
// unquoted field trimmed. On failure error holds "ruta: what is wrong" or
// "ruta:LINE: what is wrong".
bool leeCsv(const std::string& ruta, std::vector<FilaCsv>& filas, std::string& error);
