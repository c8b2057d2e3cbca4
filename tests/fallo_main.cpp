// Test-only build of the program: CLEARING_FALLA_PETICION=k makes the k-th
// allocation fail, so every out-of-memory path can be run end to end.
#include <cstdlib>

#include "base/memoria.h"
#include "run/programa.h"

int main() {
  if (const char* k = std::getenv("CLEARING_FALLA_PETICION"))
    fallaPeticion(std::strtol(k, nullptr, 10));
  return ejecutaPrograma(false);
}
