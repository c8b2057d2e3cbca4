// The limits a Linux process lives under, read from the files the kernel
// shows under /proc and /sys/fs/cgroup (below any root, so that the tests
// can lay out a fake one): plain file reading, no system call.
#include "sistema/cgrupos.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

// A single number from a file, or −1 (no such file, "max", anything else).
double leeNumero(const std::string& ruta) {
  std::ifstream f(ruta);
  double valor = -1;
  if (!(f >> valor)) return -1;
  return valor;
}

// The figures of a meminfo file in bytes, each −1 where it does not say.
struct Meminfo {
  double total = -1;
  double disponible = -1;
  double swapTotal = -1;
  double swapLibre = -1;
};

// Its lines are "Clave: N kB"; reading stops once the four are known.
Meminfo leeMeminfo(const std::string& ruta) {
  std::ifstream f(ruta);
  Meminfo m;
  const std::pair<const char*, double*> claves[] = {{"MemTotal:", &m.total},
                                                    {"MemAvailable:", &m.disponible},
                                                    {"SwapTotal:", &m.swapTotal},
                                                    {"SwapFree:", &m.swapLibre}};
  int faltan = std::size(claves);
  std::string linea;
  while (faltan > 0 && std::getline(f, linea)) {
    std::istringstream campos(linea);
    std::string nombre;
    double kb = 0;
    if (!(campos >> nombre >> kb)) continue;
    for (const auto& [clave, valor] : claves)
      if (nombre == clave && *valor < 0) {
        *valor = kb * 1024.0;
        --faltan;
      }
  }
  return m;
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
double paginasDeArchivo(const std::string& estadistica) {
  std::ifstream f(estadistica);
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

// The group's folder under base and its parents up to base, nearest first,
// with their files named limite and uso: a parent's limit covers its
// children (in v1 only where the parent's use_hierarchy is 1).
void carpetasDelGrupo(const std::string& base, std::string grupo, const char* limite,
                      const char* uso, bool soloJerarquico,
                      std::vector<CarpetaDeLimite>& carpetas) {
  while (!grupo.empty() && grupo.back() == '/') grupo.pop_back();  // the root: "/"
  for (;;) {
    const std::string carpeta = base + grupo + "/";
    carpetas.push_back({carpeta + limite, carpeta + uso, carpeta + "memory.stat"});
    const std::size_t barra = grupo.find_last_of('/');
    if (grupo.empty() || barra == std::string::npos) return;
    grupo.erase(barra);
    if (soloJerarquico && leeNumero(base + grupo + "/memory.use_hierarchy") != 1) return;
  }
}

}  // namespace

LugaresDeMemoria lugaresDeMemoria(const std::string& raiz) {
  LugaresDeMemoria lugares{raiz + "/proc/meminfo", {}};
  std::string v2 = grupoDe(raiz, true);
  if (!v2.empty()) {
    const std::string base = baseDelGrupo(raiz, true, "", "/sys/fs/cgroup", v2);
    carpetasDelGrupo(base, v2, "memory.max", "memory.current", false, lugares.carpetas);
  }
  std::string v1 = grupoDe(raiz, false);
  if (!v1.empty()) {
    const std::string base = baseDelGrupo(raiz, false, "memory", "/sys/fs/cgroup/memory", v1);
    carpetasDelGrupo(base, v1, "memory.limit_in_bytes", "memory.usage_in_bytes", true,
                     lugares.carpetas);
  }
  return lugares;
}

// A folder's margin is limite − uso plus its file pages. What a group uses is
// in the machine's memory, so a limit past all of it and what is free leaves
// the figure as it is, and so does a margin past the figure before its file
// pages are added: those files are not read.
double memoriaEn(const LugaresDeMemoria& lugares) {
  const Meminfo m = leeMeminfo(lugares.meminfo);
  if (m.disponible < 0) return -1;
  double disponible = m.disponible + std::max(m.swapLibre, 0.0);
  const double maquina = m.total < 0 ? 1e300 : m.total + std::max(m.swapTotal, 0.0);
  for (const CarpetaDeLimite& c : lugares.carpetas) {
    const double l = leeNumero(c.limite);
    if (l < 0 || l - maquina >= disponible) continue;
    const double u = leeNumero(c.uso);
    if (u < 0 || l - u >= disponible) continue;
    disponible = std::min(disponible, l - u + paginasDeArchivo(c.estadistica));
  }
  return std::max(disponible, 0.0);
}

double memoriaDeLosArchivos(const std::string& raiz) {
  return memoriaEn(lugaresDeMemoria(raiz));
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
