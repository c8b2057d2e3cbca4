// clearing-import OBLIGATIONS.csv [CASH.csv]: writes input.txt and nodes.txt
// in the current directory, or nothing and a message on standard error.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "comun/csv.h"
#include "comun/opciones.h"
#include "import/importacion.h"
#include "sistema/plataforma.h"

namespace {

constexpr const char* kUso =
    "usage: clearing-import OBLIGATIONS.csv [CASH.csv]\n"
    "Writes input.txt and nodes.txt in the current directory from CSV files with\n"
    "names: OBLIGATIONS.csv (columns debtor, creditor, amount) and CASH.csv\n"
    "(columns node, cash), the columns named in a header line in any order;\n"
    "- reads a file from standard input.\n"
    "On bad input it writes nothing: FILE:LINE: what is wrong, status 1.\n";

int falla(const std::string& error) {
  (void)std::fprintf(stderr, "%s\n", error.c_str());
  return 1;
}

bool leeArchivo(Importacion& importacion, const std::string& ruta, bool esCaja,
                std::string& error) {
  std::vector<FilaCsv> filas;
  if (!leeCsv(ruta, filas, error)) return false;
  return esCaja ? anadeCaja(importacion, ruta, filas, error)
                : anadeObligaciones(importacion, ruta, filas, error);
}

}  // namespace

int main(int argc, char** argv) {
  if (const auto respuesta = respondeOpcion(argc, argv, "clearing-import", kUso)) return *respuesta;
  if (argc < 2 || argc > 3) {
    (void)std::fputs(kUso, stderr);
    return 2;
  }
  ignoraLimiteDeArchivo();  // a file-size limit is a write error, and a message
  if (argc == 3 && std::string_view(argv[1]) == "-" && std::string_view(argv[2]) == "-") {
    (void)std::fputs("clearing-import: standard input can be only one of the files\n", stderr);
    return 2;
  }
  Importacion importacion;
  std::string error;
  if (!leeArchivo(importacion, argv[1], false, error)) return falla(error);
  if (argc == 3 && !leeArchivo(importacion, argv[2], true, error)) return falla(error);
  if (!escribeImportacion(importacion, error)) return falla(error);
  return 0;
}
