// Memory figures from the files Linux publishes; elsewhere those files do
// not exist and the run relies on allocation failures alone.
#include "run/recursos.h"

#include <fstream>
#include <string>

namespace {

// The value in kB of the line "clave: N kB" of /proc/meminfo, or −1.
double leeMeminfo(const std::string& clave) {
  std::ifstream f("/proc/meminfo");
  std::string nombre;
  double kb = 0;
  std::string unidad;
  while (f >> nombre >> kb >> unidad)
    if (nombre == clave + ":") return kb * 1024.0;
  return -1;
}

// A single number from a cgroup file, or −1 ("max" or no such file).
double leeNumero(const char* ruta) {
  std::ifstream f(ruta);
  double valor = -1;
  if (!(f >> valor)) return -1;
  return valor;
}

}  // namespace

double memoriaNecesaria(std::int32_t dim, int matrices) {
  const double n = dim;
  return matrices * 8.0 * n * n + 64.0 * n;
}

double memoriaDisponible() {
  const double libre = leeMeminfo("MemAvailable");
  if (libre < 0) return -1;
  double disponible = libre + (leeMeminfo("SwapFree") > 0 ? leeMeminfo("SwapFree") : 0);
  const double limite = leeNumero("/sys/fs/cgroup/memory.max");
  const double usada = leeNumero("/sys/fs/cgroup/memory.current");
  if (limite >= 0 && usada >= 0 && limite - usada < disponible) disponible = limite - usada;
  return disponible;
}
