#include "companion/importacion.h"

#include <array>
#include <cmath>

#include "companion/salida.h"
#include "companion/texto.h"
#include "lectura/lector.h"

namespace {

std::string enLinea(const std::string& ruta, long linea, const std::string& que) {
  return ruta + ":" + std::to_string(linea) + ": " + que;
}

// A header's last field names the amount column; a number there means the
// header line is missing and the first record is data.
bool compruebaCabecera(const std::string& ruta, const std::vector<FilaCsv>& filas,
                       const char* cabecera, std::size_t campos, std::string& error) {
  double valor;
  if (filas.empty()) {
    error = ruta + ": empty file: expected the header line " + cabecera;
    return false;
  }
  const FilaCsv& primera = filas.front();
  if (primera.campos.size() == campos && esRealValido(primera.campos.back(), valor)) {
    error = enLinea(ruta, primera.linea, std::string("missing header line ") + cabecera);
    return false;
  }
  if (primera.campos.size() != campos) {
    error = enLinea(ruta, primera.linea,
                    "the header has " + std::to_string(primera.campos.size()) +
                        " fields, expected " + std::to_string(campos) + " (" + cabecera + ")");
    return false;
  }
  return true;
}

bool compruebaCampos(const std::string& ruta, const FilaCsv& fila, std::size_t campos,
                     const char* cabecera, std::string& error) {
  if (fila.campos.size() == campos) return true;
  error = enLinea(ruta, fila.linea,
                  "expected " + std::to_string(campos) + " fields (" + cabecera + "), found " +
                      std::to_string(fila.campos.size()));
  return false;
}

// nodes.txt holds one name per line, in UTF-8.
bool compruebaNombre(const std::string& ruta, long linea, const std::string& nombre,
                     const char* papel, std::string& error) {
  const char* falta = nullptr;
  if (nombre.empty())
    falta = " name is empty";
  else if (nombre.find_first_of("\r\n") != std::string::npos)
    falta = " name contains a line break";
  else if (!esUtf8Valido(nombre))
    falta = " name is not valid UTF-8";
  if (falta == nullptr) return true;
  error = enLinea(ruta, linea, papel + std::string(falta));
  return false;
}

bool leeImporte(const std::string& ruta, long linea, const std::string& texto, const char* papel,
                double& valor, std::string& error) {
  if (esRealValido(texto, valor)) return true;
  error = enLinea(ruta, linea,
                  std::string("bad ") + papel + " " + citado(texto) +
                      ": expected a decimal number such as 12.5, -3 or 1e6");
  return false;
}

std::int32_t numeroDe(Importacion& red, const std::string& nombre) {
  const auto [donde, nuevo] =
      red.numero.try_emplace(nombre, static_cast<std::int32_t>(red.nombres.size()));
  if (nuevo) {
    red.nombres.push_back(nombre);
    red.caja.push_back(0.0);
    red.lineaCaja.push_back(0);
  }
  return donde->second;
}

void escribeNumero(std::string& linea, double v) {
  if (!linea.empty()) linea += ' ';
  linea += textoExacto(v);
}

void escribeEntrada(ArchivoNuevo& archivo, const Importacion& red) {
  const auto n = static_cast<std::int32_t>(red.nombres.size());
  escribe(archivo, std::to_string(n) + "\n");
  auto siguiente = red.obligacion.begin();
  std::string linea;
  for (std::int32_t i = 0; i < n; ++i) {
    linea.clear();
    for (std::int32_t j = 0; j < n; ++j) {
      const bool hay = siguiente != red.obligacion.end() && siguiente->first == std::pair(i, j);
      escribeNumero(linea, hay ? (siguiente++)->second : 0.0);
    }
    escribe(archivo, linea + "\n");
  }
  if (n == 0) return;
  linea.clear();
  for (double c : red.caja) escribeNumero(linea, c);
  escribe(archivo, linea + "\n");
}

}  // namespace

bool anadeObligaciones(Importacion& red, const std::string& ruta, const std::vector<FilaCsv>& filas,
                       std::string& error) {
  static constexpr const char* kCabecera = "debtor,creditor,amount";
  if (!compruebaCabecera(ruta, filas, kCabecera, 3, error)) return false;
  for (std::size_t k = 1; k < filas.size(); ++k) {
    const FilaCsv& fila = filas[k];
    double importe;
    if (!compruebaCampos(ruta, fila, 3, kCabecera, error) ||
        !compruebaNombre(ruta, fila.linea, fila.campos[0], "debtor", error) ||
        !compruebaNombre(ruta, fila.linea, fila.campos[1], "creditor", error) ||
        !leeImporte(ruta, fila.linea, fila.campos[2], "amount", importe, error))
      return false;
    const std::int32_t deudor = numeroDe(red, fila.campos[0]);
    const std::int32_t acreedor = numeroDe(red, fila.campos[1]);
    const auto [donde, nuevo] = red.obligacion.try_emplace({deudor, acreedor}, importe);
    if (!nuevo) donde->second += importe;
    if (std::isinf(donde->second)) {
      error = enLinea(ruta, fila.linea,
                      "the amounts " + citado(fila.campos[0]) + " owes " + citado(fila.campos[1]) +
                          " add up past the largest double");
      return false;
    }
  }
  return true;
}

bool anadeCaja(Importacion& red, const std::string& ruta, const std::vector<FilaCsv>& filas,
               std::string& error) {
  static constexpr const char* kCabecera = "node,cash";
  if (!compruebaCabecera(ruta, filas, kCabecera, 2, error)) return false;
  for (std::size_t k = 1; k < filas.size(); ++k) {
    const FilaCsv& fila = filas[k];
    double caja;
    if (!compruebaCampos(ruta, fila, 2, kCabecera, error) ||
        !compruebaNombre(ruta, fila.linea, fila.campos[0], "node", error) ||
        !leeImporte(ruta, fila.linea, fila.campos[1], "cash", caja, error))
      return false;
    const std::int32_t nodo = numeroDe(red, fila.campos[0]);
    if (red.lineaCaja[nodo] != 0) {
      error = enLinea(ruta, fila.linea,
                      "a second cash row for " + citado(fila.campos[0]) +
                          " (the first is on line " + std::to_string(red.lineaCaja[nodo]) + ")");
      return false;
    }
    red.caja[nodo] = caja;
    red.lineaCaja[nodo] = fila.linea;
  }
  return true;
}

bool escribeImportacion(const Importacion& red, std::string& error) {
  std::array<ArchivoNuevo, 2> nuevos;
  if (!abreNuevo(nuevos[0], "input.txt", error) || !abreNuevo(nuevos[1], "nodes.txt", error)) {
    descartaNuevos(nuevos);
    return false;
  }
  escribeEntrada(nuevos[0], red);
  for (const std::string& nombre : red.nombres) escribe(nuevos[1], nombre + "\n");
  return confirmaNuevos(nuevos, error);
}
