#include "comun/salida.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>

#ifdef _WIN32
#include <io.h>
#else
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

std::string causa(const std::string& nombre, const char* que, int codigo = errno) {
  return nombre + ": " + que + " (" + std::strerror(codigo) + ")";
}

// ---- Temporaries removed when the process is told to end ----

constexpr int kMaxPendientes = 16;
constexpr std::size_t kMaxRuta = 1024;
char pendientes[kMaxPendientes][kMaxRuta];          // NOLINT: read by a signal handler
volatile std::sig_atomic_t usados[kMaxPendientes];  // NOLINT: 1 where pendientes holds a name

extern "C" void alTerminar(int senal) {
  for (int k = 0; k < kMaxPendientes; ++k) {
#ifdef _WIN32
    if (usados[k] != 0) (void)_unlink(pendientes[k]);
#else
    if (usados[k] != 0) (void)unlink(pendientes[k]);
#endif
  }
  (void)std::signal(senal, SIG_DFL);
  (void)std::raise(senal);
}

void vigila(const std::string& temporal) {
  static const bool instalado = [] {
    for (int senal : {SIGINT, SIGTERM
#ifdef SIGHUP
                      ,
                      SIGHUP
#endif
         }) {
      if (std::signal(senal, alTerminar) == SIG_IGN) (void)std::signal(senal, SIG_IGN);
    }
    return true;
  }();
  (void)instalado;
  if (temporal.size() >= kMaxRuta) return;
  for (int k = 0; k < kMaxPendientes; ++k) {
    if (usados[k] != 0) continue;
    std::memcpy(pendientes[k], temporal.c_str(), temporal.size() + 1);
    usados[k] = 1;
    return;
  }
}

void olvida(const std::string& temporal) {
  for (int k = 0; k < kMaxPendientes; ++k) {
    if (usados[k] != 0 && temporal == pendientes[k]) usados[k] = 0;
  }
}

// ---- Exclusive creation ----

std::string sufijoAleatorio() {
  static std::mt19937_64 azar{std::random_device{}()};
  static constexpr char kHex[] = "0123456789abcdef";
  std::string sufijo(8, '0');
  std::uint64_t x = azar();
  for (char& c : sufijo) {
    c = kHex[x & 15];
    x >>= 4;
  }
  return sufijo;
}

// A new file that did not exist, never reached through a link.
int creaExclusivo(const std::string& ruta) {
#ifdef _WIN32
  return _open(ruta.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
  return open(ruta.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
#endif
}

std::string directorioDe(const std::string& nombre) {
  const std::filesystem::path padre = std::filesystem::path(nombre).parent_path();
  return padre.empty() ? std::string(".") : padre.string();
}

// ---- The renames of one run, under the directory's lock ----

#ifdef _WIN32
int bloqueaDirectorio(const std::string&) {
  return -1;
}
void liberaDirectorio(int) {}
#else
// -1 when the directory cannot be opened: the renames then go unlocked.
int bloqueaDirectorio(const std::string& directorio) {
  const int fd = open(directorio.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  return fd;
}

void liberaDirectorio(int fd) {
  if (fd < 0) return;
  (void)fsync(fd);  // the renames themselves reach the disk
  (void)close(fd);  // and the lock goes with the descriptor
}
#endif

// Its data on the disk, so that a crash after the rename cannot leave an
// empty or partial file under the final name.
bool cierraCompleto(std::FILE* archivo) {
  bool bien = std::fflush(archivo) == 0 && std::ferror(archivo) == 0;
#ifndef _WIN32
  bien = bien && fsync(fileno(archivo)) == 0;
#endif
  return std::fclose(archivo) == 0 && bien;
}

// rename() would fail on a directory after the earlier files were renamed.
bool esReemplazable(const std::string& nombre, std::string& error) {
  struct stat datos {};
  if (stat(nombre.c_str(), &datos) != 0 || !S_ISDIR(datos.st_mode)) return true;
  error = causa(nombre, "cannot replace", EISDIR);
  return false;
}

}  // namespace

bool abreNuevo(ArchivoNuevo& nuevo, const std::string& nombre, std::string& error) {
  nuevo.nombre = nombre;
  int fd = -1;
  for (int intento = 0; fd < 0 && intento < 100; ++intento) {
    nuevo.temporal = nombre + "." + sufijoAleatorio() + ".part";
    fd = creaExclusivo(nuevo.temporal);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error = causa(nuevo.temporal, "cannot create");
    nuevo.temporal.clear();  // not ours: nothing to remove
    return false;
  }
  vigila(nuevo.temporal);
#ifdef _WIN32
  nuevo.archivo = _fdopen(fd, "wb");
#else
  nuevo.archivo = fdopen(fd, "wb");
#endif
  if (nuevo.archivo == nullptr) {
    error = causa(nuevo.temporal, "cannot create");
#ifdef _WIN32
    (void)_close(fd);
#else
    (void)close(fd);
#endif
    return false;
  }
  // Large files (input.txt of thousands of nodes) go out in few system calls.
  (void)std::setvbuf(nuevo.archivo, nullptr, _IOFBF, 1 << 20);
  return true;
}

void escribe(ArchivoNuevo& nuevo, std::string_view texto) {
  (void)std::fwrite(texto.data(), 1, texto.size(), nuevo.archivo);
}

bool confirmaNuevos(std::span<ArchivoNuevo> nuevos, std::string& error) {
  bool completos = true;
  for (ArchivoNuevo& nuevo : nuevos) {
    if (!cierraCompleto(nuevo.archivo) && completos) {
      error = causa(nuevo.nombre, "cannot write");
      completos = false;
    }
    nuevo.archivo = nullptr;
  }
  if (!completos || nuevos.empty()) {
    descartaNuevos(nuevos);
    return completos;
  }
  const int cerrojo = bloqueaDirectorio(directorioDe(nuevos.front().nombre));
  for (const ArchivoNuevo& nuevo : nuevos)
    completos = completos && esReemplazable(nuevo.nombre, error);
  for (ArchivoNuevo& nuevo : nuevos) {
    if (!completos) break;
    if (std::rename(nuevo.temporal.c_str(), nuevo.nombre.c_str()) != 0) {
      error = causa(nuevo.nombre, "cannot replace");
      completos = false;
    } else {
      olvida(nuevo.temporal);
      nuevo.temporal.clear();
    }
  }
  liberaDirectorio(cerrojo);
  if (!completos) descartaNuevos(nuevos);
  return completos;
}

void descartaNuevos(std::span<ArchivoNuevo> nuevos) {
  for (ArchivoNuevo& nuevo : nuevos) {
    if (nuevo.archivo != nullptr) (void)std::fclose(nuevo.archivo);
    nuevo.archivo = nullptr;
    if (nuevo.temporal.empty()) continue;
    (void)std::remove(nuevo.temporal.c_str());
    olvida(nuevo.temporal);
    nuevo.temporal.clear();
  }
}
