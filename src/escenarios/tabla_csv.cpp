#include "escenarios/tabla_csv.h"

#include <cmath>
#include <limits>
#include <span>
#include <unordered_map>

#include "comun/csv.h"
#include "comun/texto.h"
#include "lectura/lector.h"

const char* faltaEnNombre(const std::string& nombre) {
  if (nombre.empty()) return "empty scenario name";
  if (!esUtf8Valido(nombre)) return "scenario name is not UTF-8";
  for (const char c : nombre) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return "scenario name holds a control character";
  }
  return nullptr;
}

// A node by its name in nodes.txt, or #K for node K; without nodes.txt, K
// will do as well. A bare number where names exist is refused: 2 typed for
// bank 0002 would otherwise shock whichever bank is node 2.
bool leeNodo(const std::string& campo, std::int32_t n, bool conNombres,
             const std::unordered_map<std::string, std::int32_t>& numeros, std::int32_t& nodo,
             std::string& error) {
  if (const auto it = numeros.find(campo); it != numeros.end()) {
    nodo = it->second;
    return true;
  }
  const bool almohadilla = campo.starts_with('#');
  const std::string_view numero = almohadilla ? std::string_view(campo).substr(1) : campo;
  const bool esNumero = esEnteroValido(numero, nodo);
  if (esNumero && nodo >= 0 && nodo < n && (almohadilla || !conNombres)) return true;
  const std::string rango = "#0 to #" + std::to_string(n - 1);
  if (esNumero && !almohadilla && conNombres)
    error = "node " + citado(campo) + " is not a name of nodes.txt (write #" + campo +
            " for the node numbered " + campo + ")";
  else if (conNombres)
    error = "unknown node " + citado(campo) + " (a name of nodes.txt, or " + rango + ")";
  else
    error =
        "unknown node " + citado(campo) + " (0 to " + std::to_string(n - 1) + ", or " + rango + ")";
  return false;
}

std::unordered_map<std::string, std::int32_t> porNombre(const std::vector<std::string>& nombres) {
  std::unordered_map<std::string, std::int32_t> mapa;
  for (std::int32_t i = 0; i < static_cast<std::int32_t>(nombres.size()); ++i)
    mapa.emplace(nombres[i], i);
  return mapa;
}

bool recorreTablaCsv(const std::string& ruta, const std::string& mostrado,
                     std::span<const char* const> columnas, std::size_t obligatorias,
                     std::vector<std::size_t>& columna,
                     const std::function<bool(FilaCsv&, std::string&)>& alFila,
                     std::string& error) {
  std::vector<FilaCsv> cabecera;
  bool conFilas = false;
  std::string falta;
  const std::function<bool(FilaCsv&)> cadaFila = [&](FilaCsv& fila) {
    if (cabecera.empty()) {
      cabecera.push_back(std::move(fila));
      return leeCabeceraCsv(mostrado, cabecera, columnas, columna, falta, obligatorias);
    }
    conFilas = true;
    if (fila.campos.size() != cabecera[0].campos.size()) {
      falta = enLinea(mostrado, fila.linea, "") + std::to_string(fila.campos.size()) +
              " fields where the header has " + std::to_string(cabecera[0].campos.size());
      return false;
    }
    return alFila(fila, falta);
  };
  if (!recorreCsv(ruta, cadaFila, error)) {
    if (!falta.empty()) error = falta;
    if (error.starts_with(ruta)) error = mostrado + error.substr(ruta.size());
    return false;
  }
  if (cabecera.empty())
    return leeCabeceraCsv(mostrado, cabecera, columnas, columna, error, obligatorias);
  if (conFilas) return true;
  error = mostrado + ": no rows after the header";
  return false;
}

bool recorreTablaDeNodos(const std::string& ruta, std::span<const char* const> columnas,
                         std::int32_t n, const std::vector<std::string>& nombres,
                         const std::function<bool(const FilaCsv&, const std::vector<std::size_t>&,
                                                  const NodosDeTabla&, std::string&)>& alFila,
                         std::string& error) {
  const std::string mostrado = nombreCsv(ruta);
  const NodosDeTabla nodos{n, !nombres.empty(), porNombre(nombres)};
  std::vector<std::size_t> columna;
  const auto conLinea = [&](FilaCsv& fila, std::string& falta) {
    if (alFila(fila, columna, nodos, falta)) return true;
    falta.insert(0, enLinea(mostrado, fila.linea, ""));
    return false;
  };
  return recorreTablaCsv(ruta, mostrado, columnas, columnas.size(), columna, conLinea, error);
}
