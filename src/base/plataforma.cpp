// One branch per operating system; no other file of src/ has one.
#include "base/plataforma.h"

#include <csignal>
#include <iterator>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <sys/stat.h>
#else
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

bool esTerminalDeError() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

bool esSalidaElTerminalDeError() {
#ifdef _WIN32
  // One console per process: both are it when both are character devices.
  return _isatty(_fileno(stdout)) != 0 && _isatty(_fileno(stderr)) != 0;
#else
  struct stat salida {};
  struct stat error {};
  return isatty(STDOUT_FILENO) != 0 && isatty(STDERR_FILENO) != 0 &&
         fstat(STDOUT_FILENO, &salida) == 0 && fstat(STDERR_FILENO, &error) == 0 &&
         salida.st_rdev == error.st_rdev;
#endif
}

void salidaEstandarBinaria() {
#ifdef _WIN32
  (void)_setmode(_fileno(stdout), _O_BINARY);
#endif
}

// ---- A hostile start: descriptors, signals, file identity, memory ----

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <thread>
#else
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>
#endif

#ifdef _WIN32

// Windows has neither signal; and probing a descriptor that was never
// assigned calls the C runtime's invalid-parameter handler, so the standard
// descriptors are left as the runtime set them up.
void preparaProceso() {}

bool esMismoArchivo(std::FILE* archivo, const char* nombre) {
  const HANDLE salida =
      CreateFileA(nombre, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (salida == INVALID_HANDLE_VALUE) return false;
  const auto entrada = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(archivo)));
  BY_HANDLE_FILE_INFORMATION a{};
  BY_HANDLE_FILE_INFORMATION b{};
  const bool mismo = GetFileType(salida) == FILE_TYPE_DISK &&
                     GetFileInformationByHandle(entrada, &a) != 0 &&
                     GetFileInformationByHandle(salida, &b) != 0 &&
                     a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                     a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
  CloseHandle(salida);
  return mismo;
}

// The run relies on allocation failures alone there.
double memoriaDisponibleBajo(const std::string& /*raiz*/) {
  return -1;
}

unsigned procesadoresDisponiblesBajo(const std::string& /*raiz*/) {
  DWORD_PTR proceso = 0;
  DWORD_PTR sistema = 0;
  unsigned cuantos = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &proceso, &sistema) != 0)
    for (; proceso != 0; proceso &= proceso - 1) ++cuantos;
  if (cuantos == 0) cuantos = std::thread::hardware_concurrency();
  return cuantos > 0 ? cuantos : 1;
}

#else

void preparaProceso() {
  // In ascending order, so that open() returns the very number that was closed.
  for (int fd = 0; fd <= 2; ++fd)
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) (void)open("/dev/null", O_RDWR);
  (void)signal(SIGPIPE, SIG_IGN);
  ignoraLimiteDeArchivo();
}

bool esMismoArchivo(std::FILE* archivo, const char* nombre) {
  struct stat entrada {};
  struct stat salida {};
  if (fstat(fileno(archivo), &entrada) != 0 || stat(nombre, &salida) != 0) return false;
  return S_ISREG(salida.st_mode) && entrada.st_dev == salida.st_dev &&
         entrada.st_ino == salida.st_ino;
}

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

double memoriaDisponibleBajo(const std::string& raiz) {
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

unsigned procesadoresDisponiblesBajo(const std::string& raiz) {
  double cuantos = 0;
  cpu_set_t mascara;
  CPU_ZERO(&mascara);
  if (sched_getaffinity(0, sizeof mascara, &mascara) == 0) cuantos = CPU_COUNT(&mascara);
  if (cuantos <= 0) cuantos = std::thread::hardware_concurrency();
  std::string v2 = grupoDe(raiz, true);
  if (!v2.empty())
    cuantos = std::min(cuantos,
                       cuotaDelGrupo(baseDelGrupo(raiz, true, "", "/sys/fs/cgroup", v2), v2, true));
  std::string v1 = grupoDe(raiz, false, "cpu");
  if (!v1.empty()) {
    const std::string base = baseDelGrupo(raiz, false, "cpu", "/sys/fs/cgroup/cpu", v1);
    cuantos = std::min(cuantos, cuotaDelGrupo(base, v1, false));
  }
  return cuantos >= 1 ? static_cast<unsigned>(cuantos) : 1;
}

#endif

// ---- Large pages ----

#if defined(__linux__) && defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>

#include <climits>
#include <cstdint>
#include <cstdlib>

namespace {

// Below this the faults saved are few. From 16 MiB on a 2000-node run's L
// and PI ask, and take a fifth of the faults at the same peak memory
// (docs/performance.md, "Large pages"); 8 MiB saved no more there.
constexpr double kMinimoPaginas = 16.0 * (1 << 20);
constexpr double kMaximoPaginas = 1 << 30;  // the trim threshold below is an int
constexpr std::uintptr_t kPaginaGrande = std::uintptr_t{2} << 20;
constexpr int kMmapMaxPorDefecto = 65536;  // glibc's own default

}  // namespace

// The heap is grown by the whole region at once (no separate mapping for
// it), the region advised, and freed: glibc keeps it as the heap's free top,
// which the run's rows are then carved from, since the trim threshold no
// longer gives it back. Rows of a matrix are separate allocations, so only
// the heap as a whole can be advised, and only before they touch it.
bool pidePaginasGrandes(double bytes, const std::function<void(char*, std::size_t)>& toca) {
  if (sizeof(void*) < 8 || !(bytes >= kMinimoPaginas)) return false;
  const auto tamano = static_cast<std::size_t>(std::min(bytes, kMaximoPaginas));
  if (mallopt(M_TRIM_THRESHOLD, INT_MAX) != 1 || mallopt(M_MMAP_MAX, 0) != 1) return false;
  void* region = std::malloc(tamano);
  (void)mallopt(M_MMAP_MAX, kMmapMaxPorDefecto);
  if (region == nullptr) return false;
  // The whole large pages inside the region: from the first boundary in it
  // to the last.
  const auto direccion = reinterpret_cast<std::uintptr_t>(region);
  const std::size_t antes = (kPaginaGrande - direccion % kPaginaGrande) % kPaginaGrande;
  const std::size_t despues = (direccion + tamano) % kPaginaGrande;
  const bool aconsejada =
      tamano > antes + despues &&
      madvise(static_cast<char*>(region) + antes, tamano - antes - despues, MADV_HUGEPAGE) == 0;
  if (aconsejada && toca) toca(static_cast<char*>(region) + antes, tamano - antes - despues);
  std::free(region);
  return aconsejada;
}

#else

bool pidePaginasGrandes(double /*bytes*/, const std::function<void(char*, std::size_t)>& /*toca*/) {
  return false;
}

#endif

// ---- Output files that appear whole ----

#ifdef _WIN32

std::FILE* creaArchivoNuevo(const std::string& ruta) {
  const int fd =
      _open(ruta.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  std::FILE* archivo = _fdopen(fd, "wb");
  if (archivo == nullptr) {
    (void)_close(fd);
    (void)_unlink(ruta.c_str());  // created here: nobody else's
  }
  return archivo;
}

bool llevaAlDisco(std::FILE* /*archivo*/) {
  return true;
}

int bloqueaDirectorio(const std::string& /*directorio*/) {
  return -1;
}

void liberaDirectorio(int /*cerrojo*/) {}

void alTerminarLlama(void (*manejador)(int)) {
  for (const int senal : {SIGINT, SIGTERM})
    if (std::signal(senal, manejador) == SIG_IGN) (void)std::signal(senal, SIG_IGN);
}

void borraDesdeSenal(const char* ruta) {
  (void)_unlink(ruta);
}

void ignoraLimiteDeArchivo() {}

bool estaEnUso(const std::string& /*ruta*/) {
  return false;
}

int retieneSenalesDeFin() {
  return SetConsoleCtrlHandler(nullptr, TRUE) != 0 ? 0 : 1;
}

void liberaSenalesDeFin(int yaRetenidas) {
  if (yaRetenidas == 0) (void)SetConsoleCtrlHandler(nullptr, FALSE);
}

void dejaSenalesDeFinAlPrincipal() {}

#else

std::FILE* creaArchivoNuevo(const std::string& ruta) {
  const int fd = open(ruta.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  (void)flock(fd, LOCK_EX | LOCK_NB);  // a new file: nobody else can hold it
  std::FILE* archivo = fdopen(fd, "wb");
  if (archivo == nullptr) {
    const int causa = errno;
    (void)close(fd);
    (void)unlink(ruta.c_str());  // created here: nobody else's
    errno = causa;
  }
  return archivo;
}

bool llevaAlDisco(std::FILE* archivo) {
  return fsync(fileno(archivo)) == 0;
}

int bloqueaDirectorio(const std::string& directorio) {
  const int fd = open(directorio.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  return fd;
}

void liberaDirectorio(int cerrojo) {
  if (cerrojo < 0) return;
  (void)fsync(cerrojo);  // the renames themselves reach the disk
  (void)close(cerrojo);  // and the lock goes with the descriptor
}

void alTerminarLlama(void (*manejador)(int)) {
  for (const int senal : {SIGINT, SIGTERM, SIGHUP})
    if (signal(senal, manejador) == SIG_IGN) (void)signal(senal, SIG_IGN);
}

void borraDesdeSenal(const char* ruta) {
  (void)unlink(ruta);
}

void ignoraLimiteDeArchivo() {
  (void)signal(SIGXFSZ, SIG_IGN);
}

bool estaEnUso(const std::string& ruta) {
  const int fd = open(ruta.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const bool enUso = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  (void)close(fd);
  return enUso;
}

namespace {

constexpr int kSenalesDeFin[] = {SIGINT, SIGTERM, SIGHUP};

sigset_t senalesDeFin() {
  sigset_t senales;
  sigemptyset(&senales);
  for (const int senal : kSenalesDeFin) sigaddset(&senales, senal);
  return senales;
}

}  // namespace

int retieneSenalesDeFin() {
  const sigset_t senales = senalesDeFin();
  sigset_t previas;
  if (pthread_sigmask(SIG_BLOCK, &senales, &previas) != 0) return 0;
  int ya = 0;
  for (std::size_t k = 0; k < std::size(kSenalesDeFin); ++k)
    if (sigismember(&previas, kSenalesDeFin[k]) == 1) ya |= 1 << k;
  return ya;
}

void liberaSenalesDeFin(int yaRetenidas) {
  sigset_t senales;
  sigemptyset(&senales);
  for (std::size_t k = 0; k < std::size(kSenalesDeFin); ++k)
    if ((yaRetenidas & (1 << k)) == 0) sigaddset(&senales, kSenalesDeFin[k]);
  (void)pthread_sigmask(SIG_UNBLOCK, &senales, nullptr);
}

void dejaSenalesDeFinAlPrincipal() {
  const sigset_t senales = senalesDeFin();
  (void)pthread_sigmask(SIG_BLOCK, &senales, nullptr);
}

#endif
