// Memory figures for the run; the system's side is in base/plataforma.
#include "run/recursos.h"

#include <string>
#include <utility>

#include "base/plataforma.h"

namespace {

std::string raizSistema = "/";  // test hook: where the system's files are read

}  // namespace

double memoriaNecesaria(std::int32_t dim, int matrices) {
  const double n = dim;
  return matrices * 8.0 * n * n + 64.0 * n;
}

double memoriaDisponible() {
  return memoriaDisponibleBajo(raizSistema);
}

void fijaRaizSistema(std::string raiz) {
  raizSistema = std::move(raiz);
}
