// The memory the system can give, read from prepared trees of proc/ and
// sys/fs/cgroup/: every place a limit can sit, and what is not a limit.
#include "sistema/plataforma.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "base/memoria.h"
#include "proceso.h"

namespace fs = std::filesystem;

namespace {

struct CasoArbol {
  const char* nombre;
  std::vector<std::pair<std::string, std::string>> archivos;  // under the root
  double esperado;
};

// A fresh root holding the case's files.
fs::path arbolDe(const CasoArbol& c) {
  fs::path raiz = directorioTemporal();
  for (const auto& [ruta, bytes] : c.archivos) {
    fs::create_directories((raiz / ruta).parent_path());
    escribeArchivo(raiz / ruta, bytes);
  }
  return raiz;
}

const std::string kMeminfo =
    "MemTotal: 8388608 kB\nMemAvailable: 4194304 kB\nSwapFree: 1048576 kB\n";
constexpr double kLibre = 5.0 * (1 << 30);  // available memory and free swap: 5 GiB
constexpr double kMB = 1 << 20;

TEST(Plataforma, MemoryAvailableUnderTheTightestLimit) {
  const std::string v2 = "0::/a/b\n";
  const std::string v1 = "5:cpu,cpuacct:/\n4:memory,hugetlb:/a/b\n";
  const std::string g2 = "sys/fs/cgroup/";
  const std::string g1 = "sys/fs/cgroup/memory/";
  const CasoArbol casos[] = {
      {"no meminfo: the system does not say", {}, -1},
      {"meminfo alone", {{"proc/meminfo", kMeminfo}}, kLibre},
      {"v2: the group's own limit",
       {{"proc/self/cgroup", v2},
        {g2 + "a/b/memory.max", "314572800"},
        {g2 + "a/b/memory.current", "104857600"}},
       200 * kMB},
      {"v2: the group's file pages count as free",
       {{"proc/self/cgroup", v2},
        {g2 + "a/b/memory.max", "314572800"},
        {g2 + "a/b/memory.current", "209715200"},
        {g2 + "a/b/memory.stat", "anon 1\nactive_file 26214400\ninactive_file 26214400\n"}},
       150 * kMB},
      {"v2: a parent's limit is tighter",
       {{"proc/self/cgroup", v2},
        {g2 + "a/b/memory.max", "max"},
        {g2 + "a/b/memory.current", "7"},
        {g2 + "a/memory.max", "104857600"},
        {g2 + "a/memory.current", "52428800"}},
       50 * kMB},
      {"v2: usage past the limit leaves nothing",
       {{"proc/self/cgroup", v2}, {g2 + "a/memory.max", "1000"}, {g2 + "a/memory.current", "2000"}},
       0},
      {"v1: the group's own limit",
       {{"proc/self/cgroup", v1},
        {g1 + "a/b/memory.limit_in_bytes", "104857600"},
        {g1 + "a/b/memory.usage_in_bytes", "0"}},
       100 * kMB},
      {"v1: the figure of no limit",
       {{"proc/self/cgroup", v1},
        {g1 + "a/b/memory.limit_in_bytes", "9223372036854771712"},
        {g1 + "a/b/memory.usage_in_bytes", "52428800"}},
       kLibre},
      {"v1: a limit above what is free, used enough to bind",
       {{"proc/self/cgroup", v1},
        {g1 + "a/b/memory.limit_in_bytes", "6442450944"},
        {g1 + "a/b/memory.usage_in_bytes", "2147483648"}},
       4096 * kMB},
      {"v1: a hierarchical parent's limit",
       {{"proc/self/cgroup", v1},
        {g1 + "a/memory.use_hierarchy", "1"},
        {g1 + "a/memory.limit_in_bytes", "104857600"},
        {g1 + "a/memory.usage_in_bytes", "0"}},
       100 * kMB},
      {"v1: a parent without hierarchy does not limit its children",
       {{"proc/self/cgroup", v1},
        {g1 + "a/memory.use_hierarchy", "0"},
        {g1 + "a/memory.limit_in_bytes", "104857600"},
        {g1 + "a/memory.usage_in_bytes", "0"}},
       kLibre},
      {"hybrid: the v1 memory group limits, the v2 one has no files",
       {{"proc/self/cgroup", v1 + v2},
        {g1 + "a/b/memory.limit_in_bytes", "104857600"},
        {g1 + "a/b/memory.usage_in_bytes", "0"}},
       100 * kMB},
      // A group a container does not show: the mount's root is its own group.
      {"a group path the mount does not show",
       {{"proc/self/cgroup", "0::/docker/x\n"},
        {g2 + "memory.max", "104857600"},
        {g2 + "memory.current", "0"}},
       100 * kMB},
      // Docker without a cgroup namespace, Kubernetes on v1 nodes: the group's
      // folder is the mount's root, /proc/self/cgroup shows the host's path.
      {"v1 in a container: the group found through the mount's root",
       {{"proc/self/cgroup", "4:memory:/docker/abc\n"},
        {"proc/self/mountinfo",
         "30 1 0:26 / / rw - overlay overlay rw\n"
         "41 30 0:36 /docker/abc /sys/fs/cgroup/memory ro,nosuid - cgroup cgroup rw,memory\n"},
        {g1 + "memory.limit_in_bytes", "104857600"},
        {g1 + "memory.usage_in_bytes", "0"}},
       100 * kMB},
      {"v1 mounted elsewhere, its mount point escaped",
       {{"proc/self/cgroup", "4:memory:/a\n"},
        {"proc/self/mountinfo", "41 30 0:36 / /cg\\040mem rw - cgroup cgroup rw,memory,hugetlb\n"},
        {"cg mem/a/memory.limit_in_bytes", "104857600"},
        {"cg mem/a/memory.usage_in_bytes", "52428800"}},
       50 * kMB},
      {"a memory line for another controller is no limit",
       {{"proc/self/cgroup", "4:memoryx:/a/b\n"},
        {g1 + "a/b/memory.limit_in_bytes", "1"},
        {g1 + "a/b/memory.usage_in_bytes", "0"}},
       kLibre},
  };
  for (const CasoArbol& c : casos) {
    SCOPED_TRACE(c.nombre);
    const fs::path raiz = arbolDe(c);
    bool conMeminfo = false;
    for (const auto& archivo : c.archivos) conMeminfo |= archivo.first == "proc/meminfo";
    if (!conMeminfo && c.esperado != -1) {
      fs::create_directories(raiz / "proc");
      escribeArchivo(raiz / "proc/meminfo", kMeminfo);
    }
    EXPECT_EQ(memoriaDisponibleBajo(raiz.string()), c.esperado);
    fs::remove_all(raiz);
  }
}

// The same container made for real where the system lets us (root, cgroup
// v1): in a child's own mount namespace, a group with a limit is mounted
// alone on the controller's mount point, as a container without a cgroup
// namespace sees it, with the kernel's own mountinfo (optional fields,
// options) and /proc/self/cgroup still showing the host's path.
TEST(Plataforma, ContainerLayoutInAMountNamespace) {
  const fs::path controlador = "/sys/fs/cgroup/memory";
  std::string grupo;
  std::ifstream lineas("/proc/self/cgroup");
  for (std::string l; std::getline(lineas, l);)
    if (l.find(":memory:") != std::string::npos) grupo = l.substr(l.find(":memory:") + 8);
  const fs::path carpeta =
      controlador.string() + grupo + "/clearing-contenedor-" + std::to_string(getpid());
  std::error_code error;
  if (grupo.empty() || geteuid() != 0 || !fs::create_directory(carpeta, error))
    GTEST_SKIP() << "no v1 memory group can be made here";
  escribeArchivo(carpeta / "memory.limit_in_bytes", "104857600");
  constexpr int kSinEspacioDeMontaje = 77;
  const Salida s = ejecutaEnHijo([&] {
    escribeArchivo(carpeta / "cgroup.procs", "0");
    // The group's folder bound elsewhere, the hierarchy's mount taken away,
    // the folder moved onto its mount point.
    const std::string aparte = directorioTemporal().string();
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
        mount(carpeta.c_str(), aparte.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        umount2(controlador.c_str(), MNT_DETACH) != 0 ||
        mount(aparte.c_str(), controlador.c_str(), nullptr, MS_MOVE, nullptr) != 0)
      _exit(kSinEspacioDeMontaje);
    const double disponible = memoriaDisponibleBajo("/");
    _exit(disponible >= 0 && disponible <= 100 * kMB ? 0 : 3);
  });
  fs::remove(carpeta, error);
  if (s.estado == kSinEspacioDeMontaje) GTEST_SKIP() << "no mount namespace can be made here";
  EXPECT_EQ(s.estado, 0) << "the limit of the group mounted as the root was not found";
}

// The processors of a prepared tree's CPU quota, within the process's
// affinity mask; and a mask of one processor, set in a child, is honoured.
TEST(Plataforma, ProcessorsWithinTheAffinityMaskAndTheQuota) {
  cpu_set_t mascara;
  CPU_ZERO(&mascara);
  ASSERT_EQ(sched_getaffinity(0, sizeof mascara, &mascara), 0);
  const double propios = CPU_COUNT(&mascara);
  const auto dentro = [&](double cuota) { return std::min(propios, cuota); };
  const std::string v2 = "0::/a/b\n";
  const std::string v1 = "4:memory:/\n3:cpu,cpuacct:/a/b\n";
  const std::string g2 = "sys/fs/cgroup/";
  const std::string g1 = "sys/fs/cgroup/cpu/";
  const CasoArbol casos[] = {
      {"no cgroup files: the mask alone", {}, propios},
      {"v2: a quota of 1.5 processors is 2",
       {{"proc/self/cgroup", v2}, {g2 + "a/b/cpu.max", "150000 100000"}},
       dentro(2)},
      {"v2: a parent's quota is tighter",
       {{"proc/self/cgroup", v2},
        {g2 + "a/b/cpu.max", "max 100000"},
        {g2 + "a/cpu.max", "50000 100000"}},
       1},
      {"v2: max sets none",
       {{"proc/self/cgroup", v2}, {g2 + "a/b/cpu.max", "max 100000"}},
       propios},
      {"v1: quota over period",
       {{"proc/self/cgroup", v1},
        {g1 + "a/b/cpu.cfs_quota_us", "100000"},
        {g1 + "a/b/cpu.cfs_period_us", "100000"}},
       1},
      {"v1 in a container: the quota found through the mount's root",
       {{"proc/self/cgroup", "3:cpu,cpuacct:/docker/abc\n"},
        {"proc/self/mountinfo",
         "42 30 0:37 /docker/abc /sys/fs/cgroup/cpu,cpuacct ro - cgroup cgroup rw,cpu,cpuacct\n"},
        {"sys/fs/cgroup/cpu,cpuacct/cpu.cfs_quota_us", "100000"},
        {"sys/fs/cgroup/cpu,cpuacct/cpu.cfs_period_us", "100000"}},
       1},
      {"v1: -1 sets none",
       {{"proc/self/cgroup", v1},
        {g1 + "a/b/cpu.cfs_quota_us", "-1"},
        {g1 + "a/b/cpu.cfs_period_us", "100000"}},
       propios},
  };
  for (const CasoArbol& c : casos) {
    SCOPED_TRACE(c.nombre);
    const fs::path raiz = arbolDe(c);
    EXPECT_EQ(static_cast<double>(procesadoresDisponiblesBajo(raiz.string())), c.esperado);
    fs::remove_all(raiz);
  }
  const Salida hijo = ejecutaEnHijo([] {
    cpu_set_t uno;
    CPU_ZERO(&uno);
    CPU_SET(0, &uno);
    if (sched_setaffinity(0, sizeof uno, &uno) != 0) _exit(2);
    _exit(procesadoresDisponiblesBajo("/") == 1 ? 0 : 3);
  });
  EXPECT_EQ(hijo.estado, 0);
}

// The kB of a "Clave:   N kB" line of a /proc file; -1 when it is not there.
double kbDe(const std::string& ruta, const std::string& clave) {
  std::ifstream archivo(ruta);
  for (std::string linea; std::getline(archivo, linea);)
    if (linea.rfind(clave + ":", 0) == 0) return std::stod(linea.substr(clave.size() + 1));
  return -1;
}

// Rows allocated after the hint lie on huge pages where the system gives
// them on request, the advised pages handed to the caller to write first;
// elsewhere the hint says it was not given.
TEST(Plataforma, RowsAfterTheLargePageHintLieOnLargePages) {
  EXPECT_FALSE(pidePaginasGrandes(kMB));  // too little to be worth it
  const double antes = kbDe("/proc/self/smaps_rollup", "AnonHugePages");
  double escritos = 0;
  const auto toca = [&](char* inicio, std::size_t bytes) {
    tocaPaginas(inicio, bytes, 2);
    escritos = static_cast<double>(bytes);
  };
  if (!pidePaginasGrandes(256 * kMB, toca)) GTEST_SKIP() << "no large pages on request here";
  EXPECT_GE(escritos, 252 * kMB);  // all but the partial large pages at the ends
  std::ifstream modo("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string modos;
  std::getline(modo, modos);
  if (modos.find("[never]") != std::string::npos || antes < 0)
    GTEST_SKIP() << "huge pages off, or not reported";
  const Matrix M = nuevaMatriz(3000);  // 72 MB of zeros, written row by row
  EXPECT_GE(kbDe("/proc/self/smaps_rollup", "AnonHugePages") - antes, 32 * 1024.0);
  EXPECT_EQ(M[2999][2999], 0.0);
}

}  // namespace
