// Memory figures for the run; the system's side is in base/plataforma.
#include "run/recursos.h"

#include "base/plataforma.h"
#include "base/pruebas.h"

double memoriaNecesaria(std::int32_t dim, int matrices) {
  const double n = dim;
  return matrices * 8.0 * n * n + 64.0 * n;
}

double memoriaDisponible() {
  return memoriaDisponibleBajo(controlPruebas().raizSistema);
}
