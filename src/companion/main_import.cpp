// clearing-import OBLIGATIONS.csv [CASH.csv]: writes input.txt and nodes.txt
// in the current directory, or nothing and a message on standard error.
#include <cstdio>
#include <string>
#include <vector>

#include "base/opciones.h"
#include "companion/csv.h"
#include "companion/importacion.h"

namespace {

constexpr const char* kUso =
    "usage: clearing-import OBLIGATIONS.csv [CASH.csv]\n"
    "Writes input.txt and nodes.txt in the current directory from CSV files with\n"
    "names: OBLIGATIONS.csv (debtor,creditor,amount) and CASH.csv (node,cash).\n"
    "On bad input it writes nothing: FILE:LINE: what is wrong, status 1.\n";

int falla(const std::string& error) {
  (void)std::fprintf(stderr, "%s\n", error.c_str());
  return 1;
}

bool leeArchivo(Importacion& red, const std::string& ruta, bool esCaja, std::string& error) {
  std::vector<FilaCsv> filas;
  if (!leeCsv(ruta, filas, error)) return false;
  return esCaja ? anadeCaja(red, ruta, filas, error) : anadeObligaciones(red, ruta, filas, error);
}

}  // namespace

int main(int argc, char** argv) {
  if (const auto respuesta = respondeOpcion(argc, argv, "clearing-import", kUso)) return *respuesta;
  if (argc < 2 || argc > 3) {
    (void)std::fputs(kUso, stderr);
    return 2;
  }
  Importacion red;
  std::string error;
  if (!leeArchivo(red, argv[1], false, error)) return falla(error);
  if (argc == 3 && !leeArchivo(red, argv[2], true, error)) return falla(error);
  if (!escribeImportacion(red, error)) return falla(error);
  return 0;
}
