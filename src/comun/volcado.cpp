#include "comun/volcado.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "clearing/motor.h"
#include "comun/recursos.h"
#include "comun/salida.h"
#include "comun/texto.h"

namespace {

void escribeNumero(std::string& linea, double v) {
  if (!linea.empty()) linea += ' ';
  linea += textoExacto(v);
}

void escribeEntrada(ArchivoNuevo& archivo, std::span<const Enlace> enlaces,
                    std::span<const double> caja) {
  const auto n = static_cast<std::int32_t>(caja.size());
  escribe(archivo, std::to_string(n) + "\n");
  const Enlace* siguiente = enlaces.data();
  const Enlace* const fin = enlaces.data() + enlaces.size();
  std::string linea;
  for (std::int32_t i = 0; i < n; ++i) {
    linea.clear();
    for (std::int32_t j = 0; j < n; ++j) {
      const bool hay = siguiente != fin && siguiente->deudor == i && siguiente->acreedor == j;
      escribeNumero(linea, hay ? (siguiente++)->importe : 0.0);
    }
    escribe(archivo, linea + "\n");
  }
  if (n == 0) return;
  linea.clear();
  for (double c : caja) escribeNumero(linea, c);
  escribe(archivo, linea + "\n");
}

// What input.txt and nodes.txt will take on disk, and clearing in memory
// (L, PI and the round's system: three n×n matrices of doubles), against
// what the disk and the system have free. Neither is allocated here: a
// network of many names would otherwise end in a full disk or a killed run.
bool cabe(const std::string& directorio, std::span<const std::string> nombres,
          std::span<const Enlace> enlaces, std::span<const double> caja, std::string& error) {
  const double n = static_cast<double>(caja.size());
  double bytes = static_cast<double>(std::to_string(caja.size()).size() + 1) + 2.0 * n * n;
  for (const Enlace& enlace : enlaces)
    bytes += static_cast<double>(textoExacto(enlace.importe).size()) - 1;
  if (n > 0) bytes += 2.0 * n;
  for (double c : caja) bytes += static_cast<double>(textoExacto(c).size()) - 1;
  for (const std::string& nombre : nombres) bytes += static_cast<double>(nombre.size()) + 1;
  std::error_code fallo;
  const std::filesystem::space_info disco =
      std::filesystem::space(directorio.empty() ? "." : directorio, fallo);
  const std::string nodos = std::to_string(caja.size()) + " nodes";
  if (!fallo && bytes > static_cast<double>(disco.available)) {
    error = "input.txt: " + nodos + " make files of " + textoGiB(bytes) + "; the disk has " +
            textoGiB(static_cast<double>(disco.available)) + " free";
    return false;
  }
  return cabeRed(static_cast<std::int32_t>(caja.size()), matricesPrevistas(OpcionesClearing{}),
                 error);
}

}  // namespace

bool escribeRedNombrada(const std::string& directorio, std::span<const std::string> nombres,
                        std::span<const Enlace> enlaces, std::span<const double> caja,
                        std::string& error) {
  if (!cabe(directorio, nombres, enlaces, caja, error)) return false;
  const std::string prefijo = directorio.empty() ? std::string() : directorio + "/";
  std::array<ArchivoNuevo, 2> nuevos;
  if (!abreNuevo(nuevos[0], prefijo + "input.txt", error) ||
      !abreNuevo(nuevos[1], prefijo + "nodes.txt", error)) {
    descartaNuevos(nuevos);
    return false;
  }
  escribeEntrada(nuevos[0], enlaces, caja);
  for (const std::string& nombre : nombres) escribe(nuevos[1], nombre + "\n");
  return confirmaNuevos(nuevos, error);
}
