// One branch per operating system; no other file of src/ has one.
#include "sistema/plataforma.h"

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
#include <cstdint>
#include <thread>

#include "sistema/cgrupos.h"
#ifdef __linux__
#include <sys/vfs.h>
#endif
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

bool estaEnMemoria(std::FILE* /*archivo*/) {
  return false;
}

LugaresDeMemoria lugaresDeMemoriaBajo(const std::string& /*raiz*/) {
  return {};
}

double memoriaDisponibleEn(const LugaresDeMemoria& /*lugares*/) {
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

double memoriaDisponibleBajo(const std::string& raiz) {
  return memoriaDeLosArchivos(raiz);
}

bool estaEnMemoria(std::FILE* archivo) {
#ifdef __linux__
  constexpr std::uint32_t kTmpfs = 0x01021994;  // the kernel's TMPFS_MAGIC
  constexpr std::uint32_t kRamfs = 0x858458F6;  // RAMFS_MAGIC
  struct statfs sistema {};
  if (archivo == nullptr || fstatfs(fileno(archivo), &sistema) != 0) return false;
  // f_type is a signed word of 32 bits on 32-bit builds: its low 32 bits say.
  const auto tipo = static_cast<std::uint32_t>(sistema.f_type);
  return tipo == kTmpfs || tipo == kRamfs;
#else
  (void)archivo;
  return false;
#endif
}

LugaresDeMemoria lugaresDeMemoriaBajo(const std::string& raiz) {
  return lugaresDeMemoria(raiz);
}

double memoriaDisponibleEn(const LugaresDeMemoria& lugares) {
  return memoriaEn(lugares);
}

unsigned procesadoresDisponiblesBajo(const std::string& raiz) {
  double cuantos = 0;
  cpu_set_t mascara;
  CPU_ZERO(&mascara);
  if (sched_getaffinity(0, sizeof mascara, &mascara) == 0) cuantos = CPU_COUNT(&mascara);
  if (cuantos <= 0) cuantos = std::thread::hardware_concurrency();
  cuantos = std::min(cuantos, cuotaDeLosArchivos(raiz));
  return cuantos >= 1 ? static_cast<unsigned>(cuantos) : 1;
}

#endif

// ---- Large pages ----

#if defined(__linux__) && defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>

#include <climits>
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
