// clearing-import OBLIGATIONS.csv [CASH.csv]: writes input.txt and nodes.txt
// in the current directory, or nothing and a message on standard error.
#include <cstdio>
#include <string>
#include <vector>

#include "companion/csv.h"
#include "companion/importacion.h"

namespace {

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
  if (argc < 2 || argc > 3) {
    (void)std::fprintf(stderr, "usage: clearing-import OBLIGATIONS.csv [CASH.csv]\n");
    return 2;
  }
  Importacion red;
  std::string error;
  if (!leeArchivo(red, argv[1], false, error)) return falla(error);
  if (argc == 3 && !leeArchivo(red, argv[2], true, error)) return falla(error);
  if (!escribeImportacion(red, error)) return falla(error);
  return 0;
}
