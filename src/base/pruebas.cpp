#include "base/pruebas.h"

ControlPruebas& controlPruebas() {
  static ControlPruebas control;
  return control;
}

bool cuentaHastaFallo(long& quedan) {
  if (quedan < 0) return false;
  return quedan-- == 0;
}
