#include "import/importacion.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <string_view>

#include "comun/nodos.h"
#include "comun/texto.h"
#include "comun/volcado.h"
#include "import/claves.h"
#include "lectura/lector.h"

namespace {

bool compruebaCampos(const std::string& ruta, const FilaCsv& fila,
                     std::span<const char* const> columnas, std::string& error) {
  if (fila.campos.size() == columnas.size()) return true;
  error = enLinea(nombreCsv(ruta), fila.linea,
                  "expected " + std::to_string(columnas.size()) + " fields (" +
                      listaColumnas(columnas) + "), found " + std::to_string(fila.campos.size()));
  return false;
}

bool compruebaNombre(const std::string& ruta, long linea, const std::string& nombre,
                     const char* papel, std::string& error) {
  const char* falta = faltaDeNombre(nombre);
  if (falta == nullptr) return true;
  error = enLinea(nombreCsv(ruta), linea, papel + std::string(" ") + falta);
  return false;
}

bool leeImporte(const std::string& ruta, long linea, const std::string& texto, const char* papel,
                double& valor, std::string& error) {
  if (esRealValido(texto, valor)) return true;
  error = enLinea(nombreCsv(ruta), linea,
                  std::string("bad ") + papel + " " + citado(texto) +
                      ": expected a decimal number such as 12.5, -3 or 1e6");
  return false;
}

// An obligation is what the debtor owes: a negative one is a sign
// convention mixed up, which clearing would read as the creditor owing.
bool leeObligacion(const std::string& ruta, long linea, const std::string& texto, double& valor,
                   std::string& error) {
  if (!leeImporte(ruta, linea, texto, "amount", valor, error)) return false;
  if (!(valor < 0.0)) return true;
  error = enLinea(nombreCsv(ruta), linea,
                  "negative amount " + citado(texto) +
                      ": an amount is what the debtor owes the creditor (swap them for the "
                      "other direction)");
  return false;
}

// Node number of a name of OBLIGATIONS.csv, a new node for a new name. A new
// name that only a typing difference tells from an earlier one is an error
// naming both lines: the two would silently be two banks.
bool numeroDe(Importacion& importacion, const std::string& ruta, long linea,
              const std::string& nombre, std::int32_t& nodo, std::string& error) {
  const auto n = static_cast<std::int32_t>(importacion.nombres.size());
  const auto [donde, nuevo] = importacion.numero.try_emplace(nombre, n);
  nodo = donde->second;
  if (!nuevo) return true;
  const auto [igual, sinIgual] = importacion.porClave.try_emplace(claveDeNombre(nombre), n);
  if (!sinIgual) {
    importacion.numero.erase(donde);
    const std::int32_t otro = igual->second;
    error = enLinea(nombreCsv(ruta), linea,
                    citado(nombre) + " and " + citado(importacion.nombres[otro]) + " (line " +
                        std::to_string(importacion.lineaNombre[otro]) +
                        ") differ only in case, blanks, invisible characters or how accents are "
                        "encoded: spell each name the same way throughout");
    return false;
  }
  importacion.nombres.push_back(nombre);
  importacion.lineaNombre.push_back(linea);
  importacion.caja.push_back(0.0);
  importacion.lineaCaja.push_back(0);
  return true;
}

// A name as people mistype it: claveDeNombre with no blanks at all.
std::string clave(std::string_view nombre) {
  std::string r = claveDeNombre(nombre);
  std::erase(r, ' ');
  return r;
}

// A cash row's node must owe or be owed something: otherwise it is most
// likely a typo, and its cash would silently go to a node of its own.
std::string sinObligaciones(const Importacion& importacion, const std::string& nombre) {
  std::string que = citado(nombre) + " is in no obligation";
  const std::string buscada = clave(nombre);
  for (const std::string& existente : importacion.nombres) {
    if (clave(existente) == buscada) return que + "; did you mean " + citado(existente) + "?";
  }
  return que + ": a node's cash needs a node that owes or is owed";
}

}  // namespace

bool anadeObligaciones(Importacion& importacion, const std::string& ruta,
                       const std::vector<FilaCsv>& filas, std::string& error) {
  static constexpr std::array<const char*, 3> kColumnas{"debtor", "creditor", "amount"};
  std::vector<std::size_t> columna;
  if (!leeCabeceraCsv(nombreCsv(ruta), filas, kColumnas, columna, error)) return false;
  for (std::size_t k = 1; k < filas.size(); ++k) {
    const FilaCsv& fila = filas[k];
    if (!compruebaCampos(ruta, fila, kColumnas, error)) return false;
    const std::string& debtor = fila.campos[columna[0]];
    const std::string& creditor = fila.campos[columna[1]];
    double importe;
    std::int32_t deudor;
    std::int32_t acreedor;
    if (!compruebaNombre(ruta, fila.linea, debtor, "debtor", error) ||
        !compruebaNombre(ruta, fila.linea, creditor, "creditor", error) ||
        !leeObligacion(ruta, fila.linea, fila.campos[columna[2]], importe, error) ||
        !numeroDe(importacion, ruta, fila.linea, debtor, deudor, error) ||
        !numeroDe(importacion, ruta, fila.linea, creditor, acreedor, error))
      return false;
    const auto [donde, nuevo] = importacion.obligacion.try_emplace({deudor, acreedor}, importe);
    if (!nuevo) donde->second += importe;
    if (std::isinf(donde->second)) {
      error = enLinea(nombreCsv(ruta), fila.linea,
                      "the amounts " + citado(debtor) + " owes " + citado(creditor) +
                          " add up past the largest double");
      return false;
    }
  }
  if (filas.size() == 1) {
    error = nombreCsv(ruta) + ": no obligations after the header: the network would be empty";
    return false;
  }
  return true;
}

bool anadeCaja(Importacion& importacion, const std::string& ruta, const std::vector<FilaCsv>& filas,
               std::string& error) {
  static constexpr std::array<const char*, 2> kColumnas{"node", "cash"};
  std::vector<std::size_t> columna;
  if (!leeCabeceraCsv(nombreCsv(ruta), filas, kColumnas, columna, error)) return false;
  for (std::size_t k = 1; k < filas.size(); ++k) {
    const FilaCsv& fila = filas[k];
    if (!compruebaCampos(ruta, fila, kColumnas, error)) return false;
    const std::string& nombre = fila.campos[columna[0]];
    double caja;
    if (!compruebaNombre(ruta, fila.linea, nombre, "node", error) ||
        !leeImporte(ruta, fila.linea, fila.campos[columna[1]], "cash", caja, error))
      return false;
    const auto donde = importacion.numero.find(nombre);
    if (donde == importacion.numero.end()) {
      error = enLinea(nombreCsv(ruta), fila.linea, sinObligaciones(importacion, nombre));
      return false;
    }
    const std::int32_t nodo = donde->second;
    if (importacion.lineaCaja[nodo] != 0) {
      error = enLinea(nombreCsv(ruta), fila.linea,
                      "a second cash row for " + citado(nombre) + " (the first is on line " +
                          std::to_string(importacion.lineaCaja[nodo]) + ")");
      return false;
    }
    importacion.caja[nodo] = caja;
    importacion.lineaCaja[nodo] = fila.linea;
  }
  return true;
}

bool escribeImportacion(const Importacion& importacion, std::string& error) {
  std::vector<Enlace> enlaces;
  enlaces.reserve(importacion.obligacion.size());
  for (const auto& [par, importe] : importacion.obligacion)
    enlaces.push_back({par.first, par.second, importe});
  return escribeRedNombrada("", importacion.nombres, enlaces, importacion.caja, error);
}
