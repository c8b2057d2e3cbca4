// Test-only build of the program: CLEARING_FALLA_PETICION=k makes the k-th
// allocation fail and CLEARING_FALLA_LECTURA=k the k-th read of input.txt,
// and CLEARING_RAIZ_SISTEMA=dir reads the memory figures from a prepared tree,
// so every out-of-memory and read-error path can be run end to end.
#include <cstdlib>

#include "base/memoria.h"
#include "lectura/lector.h"
#include "run/programa.h"
#include "run/recursos.h"

int main() {
  if (const char* k = std::getenv("CLEARING_FALLA_PETICION"))
    fallaPeticion(std::strtol(k, nullptr, 10));
  if (const char* k = std::getenv("CLEARING_FALLA_LECTURA"))
    fallaLectura(std::strtol(k, nullptr, 10));
  if (const char* raiz = std::getenv("CLEARING_RAIZ_SISTEMA")) fijaRaizSistema(raiz);
  return ejecutaPrograma(false);
}
