#include "companion/salida.h"

#include <cerrno>
#include <cstring>

namespace {

std::string causa(const std::string& nombre, const char* que) {
  return nombre + ": " + que + " (" + std::strerror(errno) + ")";
}

}  // namespace

bool abreNuevo(ArchivoNuevo& nuevo, const std::string& nombre, std::string& error) {
  nuevo.nombre = nombre;
  nuevo.temporal = nombre + ".part";
  nuevo.archivo = std::fopen(nuevo.temporal.c_str(), "wb");
  if (nuevo.archivo == nullptr) {
    error = causa(nuevo.temporal, "cannot create");
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
    const bool fallo = std::ferror(nuevo.archivo) != 0;
    if (std::fclose(nuevo.archivo) != 0 || fallo) {
      if (completos) error = causa(nuevo.nombre, "cannot write");
      completos = false;
    }
    nuevo.archivo = nullptr;
  }
  for (ArchivoNuevo& nuevo : nuevos) {
    if (completos && std::rename(nuevo.temporal.c_str(), nuevo.nombre.c_str()) != 0) {
      error = causa(nuevo.nombre, "cannot replace");
      completos = false;
    }
  }
  if (!completos) descartaNuevos(nuevos);
  return completos;
}

void descartaNuevos(std::span<ArchivoNuevo> nuevos) {
  for (ArchivoNuevo& nuevo : nuevos) {
    if (nuevo.archivo != nullptr) (void)std::fclose(nuevo.archivo);
    nuevo.archivo = nullptr;
    if (!nuevo.temporal.empty()) (void)std::remove(nuevo.temporal.c_str());
  }
}
