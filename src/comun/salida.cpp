#include "comun/salida.h"

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>

#include "base/pruebas.h"
#include "sistema/plataforma.h"

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
    if (usados[k] != 0) borraDesdeSenal(pendientes[k]);
  }
  (void)std::signal(senal, SIG_DFL);
  (void)std::raise(senal);
}

void vigila(const std::string& temporal) {
  static const bool instalado = [] {
    alTerminarLlama(alTerminar);
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

std::string directorioDe(const std::string& nombre) {
  const std::filesystem::path padre = std::filesystem::path(nombre).parent_path();
  return padre.empty() ? std::string(".") : padre.string();
}

// NAME.XXXXXXXX.part: a temporary of nombre, as abreNuevo names them.
bool esTemporalDe(const std::string& archivo, const std::string& nombre) {
  constexpr std::string_view kFin = ".part";
  if (archivo.size() != nombre.size() + 1 + 8 + kFin.size() || !archivo.starts_with(nombre) ||
      archivo[nombre.size()] != '.' || !archivo.ends_with(kFin))
    return false;
  const std::string_view sufijo = std::string_view(archivo).substr(nombre.size() + 1, 8);
  return sufijo.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// Temporaries of nombre that a run killed outright (SIGKILL, a power cut)
// left behind: removed once they are an hour old and no run holds them, so
// that they do not pile up in the folder.
void borraTemporalesViejos(const std::string& nombre) {
  namespace fs = std::filesystem;
  const fs::path destino(nombre);
  const std::string base = destino.filename().string();
  const auto limite = fs::file_time_type::clock::now() - std::chrono::hours(1);
  std::error_code fallo;
  for (fs::directory_iterator it(directorioDe(nombre), fallo), fin; !fallo && it != fin;
       it.increment(fallo)) {
    const fs::path& ruta = it->path();
    if (!esTemporalDe(ruta.filename().string(), base) || !it->is_regular_file(fallo) ||
        fs::is_symlink(it->symlink_status(fallo)))
      continue;
    const auto cuando = fs::last_write_time(ruta, fallo);
    if (!fallo && cuando < limite && !estaEnUso(ruta.string())) (void)fs::remove(ruta, fallo);
    fallo.clear();
  }
}

// ---- The renames of one run, under the directory's lock ----

// Its data on the disk, so that a crash after the rename cannot leave an
// empty or partial file under the final name.
bool cierraCompleto(std::FILE* archivo) {
  const bool bien = std::fflush(archivo) == 0 && std::ferror(archivo) == 0 && llevaAlDisco(archivo);
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
  borraTemporalesViejos(nombre);
  nuevo.nombre = nombre;
  for (int intento = 0; nuevo.archivo == nullptr && intento < 100; ++intento) {
    const std::string& fijado = controlPruebas().sufijoTemporal;
    nuevo.temporal =
        nombre + "." + (intento == 0 && !fijado.empty() ? fijado : sufijoAleatorio()) + ".part";
    nuevo.archivo = creaArchivoNuevo(nuevo.temporal);
    if (nuevo.archivo == nullptr && errno != EEXIST) break;
  }
  if (nuevo.archivo == nullptr) {
    error = causa(nuevo.temporal, "cannot create");
    nuevo.temporal.clear();  // not ours: nothing to remove
    return false;
  }
  vigila(nuevo.temporal);
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
  // An interrupt between two renames would leave a new input.txt beside an
  // old nodes.txt: it waits until every file is in place.
  const int retenidas = retieneSenalesDeFin();
  for (ArchivoNuevo& nuevo : nuevos) {
    if (!completos) break;
    if (std::rename(nuevo.temporal.c_str(), nuevo.nombre.c_str()) != 0) {
      error = causa(nuevo.nombre, "cannot replace");
      completos = false;
    } else {
      olvida(nuevo.temporal);
      nuevo.temporal.clear();
      if (controlPruebas().trasRenombrar) controlPruebas().trasRenombrar();
    }
  }
  liberaDirectorio(cerrojo);
  if (!completos) descartaNuevos(nuevos);
  liberaSenalesDeFin(retenidas);
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
