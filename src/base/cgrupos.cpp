// The limits a Linux process lives under, read from the files the kernel
// shows under /proc and /sys/fs/cgroup (below any root, so that the tests
// can lay out a fake one): plain file reading, no system call.
#include "base/cgrupos.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A single number from a file, or −1 (no such file, "max", anything else).
double leeNumero(const std::string& ruta) {
  std::ifstream f(ruta);
  double valor = -1;
  if (!(f >> valor)) return -1;
  return valor;
}

// The value in bytes of the line "clave: N kB" of a meminfo file, or −1.
double leeMeminfo(const std::string& ruta, const std::string& clave) {
  std::ifstream f(ruta);
  std::string nombre;
  double kb = 0;
  std::string unidad;
  while (f >> nombre >> kb >> unidad)
    if (nombre == clave + ":") return kb * 1024.0;
  return -1;
}

// The group of the line of /proc/self/cgroup for a hierarchy: "0::/g" is
// v2's; v1's lines name their controllers ("4:memory:/g", the controller
// asked for). Empty if none.
std::string grupoDe(const std::string& raiz, bool v2, const char* controlador = "memory") {
  std::ifstream f(raiz + "/proc/self/cgroup");
  std::string linea;
  while (std::getline(f, linea)) {
    const std::size_t a = linea.find(':');
    const std::size_t b = linea.find(':', a + 1);
    if (a == std::string::npos || b == std::string::npos) continue;
    bool esSuya = v2 && linea.compare(0, b + 1, "0::") == 0;
    std::istringstream controladores(linea.substr(a + 1, b - a - 1));
    for (std::string c; !v2 && std::getline(controladores, c, ',');) esSuya |= c == controlador;
    if (esSuya) return linea.substr(b + 1);
  }
  return {};
}

// A mountinfo field as written: space, tab, newline and backslash come as
// octal escapes (\040).
std::string sinEscapes(const std::string& campo) {
  const auto octal = [&](std::size_t k) { return campo[k] >= '0' && campo[k] <= '7'; };
  std::string texto;
  for (std::size_t k = 0; k < campo.size(); ++k) {
    if (campo[k] == '\\' && k + 3 < campo.size() && octal(k + 1) && octal(k + 2) && octal(k + 3)) {
      texto += static_cast<char>((campo[k + 1] - '0') * 64 + (campo[k + 2] - '0') * 8 +
                                 (campo[k + 3] - '0'));
      k += 3;
    } else {
      texto += campo[k];
    }
  }
  return texto;
}

// Where a hierarchy's group is seen: the folder of grupo under the mount of
// its file system (cgroup2, or cgroup with the controller among its
// options) whose root holds it, from /proc/self/mountinfo. A container
// without its own cgroup namespace has its group's folder mounted as the
// hierarchy's root while /proc/self/cgroup shows the host's path: the group
// is then the part of the path below the mount's root. Sets base and grupo
// (relative to base) and gives true; false when no mount says.
bool montajeDelGrupo(const std::string& raiz, bool v2, const char* controlador, std::string& base,
                     std::string& grupo) {
  std::ifstream f(raiz + "/proc/self/mountinfo");
  std::string linea;
  while (std::getline(f, linea)) {
    std::istringstream campos(linea);
    std::vector<std::string> c;
    for (std::string campo; campos >> campo;) c.push_back(campo);
    const auto guion = std::find(c.begin(), c.end(), "-");
    if (c.size() < 5 || c.end() - guion < 4) continue;
    const std::string& tipo = *(guion + 1);
    bool esSuyo = v2 && tipo == "cgroup2";
    std::istringstream opciones(*(guion + 3));
    for (std::string o; !v2 && tipo == "cgroup" && std::getline(opciones, o, ',');)
      esSuyo |= o == controlador;
    std::string raizMontaje = sinEscapes(c[3]);
    while (raizMontaje.size() > 1 && raizMontaje.back() == '/') raizMontaje.pop_back();
    if (!esSuyo) continue;
    if (raizMontaje == "/") raizMontaje.clear();
    if (grupo.compare(0, raizMontaje.size(), raizMontaje) != 0 ||
        (grupo.size() > raizMontaje.size() && grupo[raizMontaje.size()] != '/'))
      continue;  // a mount of another part of the hierarchy
    base = raiz + sinEscapes(c[4]);
    grupo.erase(0, raizMontaje.size());
    return true;
  }
  return false;
}

// The folder under which grupo's path is read, and grupo made relative to
// it: the mount that holds it, or else the usual place under raiz.
std::string baseDelGrupo(const std::string& raiz, bool v2, const char* controlador,
                         const char* habitual, std::string& grupo) {
  std::string base;
  return montajeDelGrupo(raiz, v2, controlador, base, grupo) ? base : raiz + habitual;
}

// The file pages charged to a group (its memory.stat; v1 names the
// hierarchy's totals total_*): the report's pages among them, which the
// system writes back and reclaims within the group before it runs out. 0
// when the file does not say.
double paginasDeArchivo(const std::string& carpeta) {
  std::ifstream f(carpeta + "/memory.stat");
  double propias = 0;
  double totales = -1;
  std::string clave;
  double valor = 0;
  while (f >> clave >> valor) {
    if (clave == "active_file" || clave == "inactive_file") propias += valor;
    if (clave == "total_active_file" || clave == "total_inactive_file")
      totales = std::max(totales, 0.0) + valor;
  }
  return totales >= 0 ? totales : propias;
}

// The least limite − uso (plus the group's file pages) of the group's folder under base and of its
// parents up to base: a parent's limit covers its children (in v1 only where the parent's
// use_hierarchy is 1). Large when no folder sets a limit.
double margenDelGrupo(const std::string& base, std::string grupo, const char* limite,
                      const char* uso, bool soloJerarquico) {
  double margen = 1e300;
  while (!grupo.empty() && grupo.back() == '/') grupo.pop_back();  // the root: "/"
  for (;;) {
    const std::string carpeta = base + grupo;
    const double l = leeNumero(carpeta + "/" + limite);
    const double u = leeNumero(carpeta + "/" + uso);
    if (l >= 0 && u >= 0) margen = std::min(margen, l - u + paginasDeArchivo(carpeta));
    const std::size_t barra = grupo.find_last_of('/');
    if (grupo.empty() || barra == std::string::npos) return margen;
    grupo.erase(barra);
    if (soloJerarquico && leeNumero(base + grupo + "/memory.use_hierarchy") != 1) return margen;
  }
}

}  // namespace

double memoriaDeLosArchivos(const std::string& raiz) {
  const double libre = leeMeminfo(raiz + "/proc/meminfo", "MemAvailable");
  if (libre < 0) return -1;
  const double swap = leeMeminfo(raiz + "/proc/meminfo", "SwapFree");
  double disponible = libre + std::max(swap, 0.0);
  std::string v2 = grupoDe(raiz, true);
  if (!v2.empty()) {
    const std::string base = baseDelGrupo(raiz, true, "", "/sys/fs/cgroup", v2);
    disponible =
        std::min(disponible, margenDelGrupo(base, v2, "memory.max", "memory.current", false));
  }
  std::string v1 = grupoDe(raiz, false);
  if (!v1.empty()) {
    const std::string base = baseDelGrupo(raiz, false, "memory", "/sys/fs/cgroup/memory", v1);
    disponible = std::min(disponible, margenDelGrupo(base, v1, "memory.limit_in_bytes",
                                                     "memory.usage_in_bytes", true));
  }
  return std::max(disponible, 0.0);
}

namespace {

// The processors a group's CPU quota gives, rounded up, within those of its
// parents' up to base: a parent's quota covers its children. v2 keeps the
// quota and the period in one file ("max 100000" sets none), v1 in two (−1
// sets none). Large when no folder sets a quota.
double cuotaDelGrupo(const std::string& base, std::string grupo, bool v2) {
  double cuota = 1e300;
  while (!grupo.empty() && grupo.back() == '/') grupo.pop_back();
  for (;;) {
    const std::string carpeta = base + grupo;
    double limite = -1;
    double periodo = -1;
    if (v2) {
      std::ifstream f(carpeta + "/cpu.max");
      if (!(f >> limite >> periodo)) limite = -1;
    } else {
      limite = leeNumero(carpeta + "/cpu.cfs_quota_us");
      periodo = leeNumero(carpeta + "/cpu.cfs_period_us");
    }
    if (limite > 0 && periodo > 0) cuota = std::min(cuota, std::ceil(limite / periodo));
    const std::size_t barra = grupo.find_last_of('/');
    if (grupo.empty() || barra == std::string::npos) return cuota;
    grupo.erase(barra);
  }
}

}  // namespace

double cuotaDeLosArchivos(const std::string& raiz) {
  double cuantos = 1e300;
  std::string v2 = grupoDe(raiz, true);
  if (!v2.empty())
    cuantos = std::min(cuantos,
                       cuotaDelGrupo(baseDelGrupo(raiz, true, "", "/sys/fs/cgroup", v2), v2, true));
  std::string v1 = grupoDe(raiz, false, "cpu");
  if (!v1.empty()) {
    const std::string base = baseDelGrupo(raiz, false, "cpu", "/sys/fs/cgroup/cpu", v1);
    cuantos = std::min(cuantos, cuotaDelGrupo(base, v1, false));
  }
  return cuantos;
}
