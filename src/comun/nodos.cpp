#include "comun/nodos.h"

#include <cerrno>
#include <cstring>

#include "comun/lineas.h"
#include "comun/texto.h"

bool leeNombres(const char* ruta, std::int32_t n, std::vector<std::string>& nombres,
                std::string& error) {
  LectorLineas lector;
  if (!abreLineas(lector, ruta)) {
    if (errno == ENOENT) return true;
    error = std::string(ruta) + ": cannot open (" + std::strerror(errno) + ")";
    return false;
  }
  std::string nombre;
  long lineas = 0;
  while (leeLinea(lector, nombre) != Linea::ninguna) {
    if (++lineas <= n) nombres.push_back(nombre);
  }
  const bool fallo = lector.fallo;
  cierraLineas(lector);
  if (fallo) {
    error = std::string(ruta) + ": cannot read";
  } else if (lineas != n) {
    error = std::string(ruta) + " has " + std::to_string(lineas) + " names for the " +
            std::to_string(n) + " nodes of input.txt: it belongs to another network";
  }
  return !fallo && lineas == n;
}

std::string nombreVisible(const std::vector<std::string>& nombres, std::int32_t i) {
  return nombres.empty() ? std::to_string(i) : nombres[i];
}

const char* faltaDeNombre(const std::string& nombre) {
  if (nombre.empty()) return "name is empty";
  if (nombre.find_first_of("\r\n") != std::string::npos) return "name contains a line break";
  if (nombre.find('\0') != std::string::npos) return "name contains a NUL byte";
  if (!esUtf8Valido(nombre)) return "name is not valid UTF-8";
  return nullptr;
}
