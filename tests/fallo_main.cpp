// Test-only build of the program: CLEARING_FALLA_PETICION=k makes the k-th
// allocation fail and CLEARING_FALLA_LECTURA=k the k-th read of input.txt,
// so every out-of-memory and read-error path can be run end to end.
#include <cstdlib>

#include "base/memoria.h"
#include "clearing/lector.h"
#include "run/programa.h"

int main() {
  if (const char* k = std::getenv("CLEARING_FALLA_PETICION"))
    fallaPeticion(std::strtol(k, nullptr, 10));
  if (const char* k = std::getenv("CLEARING_FALLA_LECTURA"))
    fallaLectura(std::strtol(k, nullptr, 10));
  return ejecutaPrograma(false);
}
