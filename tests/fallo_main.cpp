// Test-only build of the program: CLEARING_FALLA_PETICION=k makes the k-th
// allocation fail and CLEARING_FALLA_LECTURA=k the k-th read of input.txt,
// and CLEARING_RAIZ_SISTEMA=dir reads the memory figures from a prepared tree,
// so every out-of-memory and read-error path can be run end to end.
#include <cstdlib>

#include "base/pruebas.h"
#include "run/programa.h"

int main() {
  ControlPruebas& control = controlPruebas();
  if (const char* k = std::getenv("CLEARING_FALLA_PETICION"))
    control.peticionesHastaFallo = std::strtol(k, nullptr, 10);
  if (const char* k = std::getenv("CLEARING_FALLA_LECTURA"))
    control.lecturasHastaFallo = std::strtol(k, nullptr, 10);
  if (const char* raiz = std::getenv("CLEARING_RAIZ_SISTEMA")) control.raizSistema = raiz;
  control.progresoSinEspera = std::getenv("CLEARING_PROGRESO_SIN_ESPERA") != nullptr;
  return ejecutaPrograma(false);
}
