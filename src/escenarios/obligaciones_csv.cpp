#include "escenarios/obligaciones_csv.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "comun/csv.h"
#include "comun/texto.h"
#include "lectura/lector.h"

namespace {

constexpr std::array<const char*, 4> kColumnas = {"scenario", "debtor", "creditor", "amount"};

// One row's entry; false with error saying what is wrong with it.
bool leeCambioDeFila(const FilaCsv& fila, const std::vector<std::size_t>& columna, std::int32_t n,
                     bool conNombres, const std::unordered_map<std::string, std::int32_t>& numeros,
                     CambioObligacion& cambio, std::string& error) {
  if (const char* falta = faltaEnNombre(fila.campos[columna[0]])) {
    error = falta;
    return false;
  }
  if (!leeNodo(fila.campos[columna[1]], n, conNombres, numeros, cambio.deudor, error) ||
      !leeNodo(fila.campos[columna[2]], n, conNombres, numeros, cambio.acreedor, error))
    return false;
  const std::string& texto = fila.campos[columna[3]];
  if (!esRealValido(texto, cambio.importe) || !std::isfinite(cambio.importe) ||
      cambio.importe < 0.0) {
    error = "bad amount " + citado(texto) + " (a finite number, at least 0)";
    return false;
  }
  if (cambio.deudor == cambio.acreedor) error = "a node does not owe itself";
  return error.empty();
}

}  // namespace

bool leeCambiosObligaciones(const std::string& ruta, std::int32_t n,
                            const std::vector<std::string>& nombres, Escenarios& escenarios,
                            std::string& error) {
  const std::string mostrado = nombreCsv(ruta);
  std::vector<FilaCsv> filas;
  std::vector<std::size_t> columna;
  if (!leeTablaCsv(ruta, mostrado, kColumnas, kColumnas.size(), filas, columna, error))
    return false;
  const auto numeros = porNombre(nombres);
  std::unordered_map<std::string, std::size_t> indice;
  for (std::size_t k = 0; k < escenarios.leidos.size(); ++k)
    indice.emplace(escenarios.leidos[k].nombre, k);
  std::unordered_set<std::string> vistos;  // scenario, debtor and creditor
  error.clear();
  for (std::size_t f = 1; f < filas.size(); ++f) {
    const FilaCsv& fila = filas[f];
    CambioObligacion cambio;
    if (!leeCambioDeFila(fila, columna, n, !nombres.empty(), numeros, cambio, error)) {
      error.insert(0, enLinea(mostrado, fila.linea, ""));
      return false;
    }
    const std::string& nombre = fila.campos[columna[0]];
    const auto [it, nuevo] = indice.emplace(nombre, escenarios.leidos.size());
    if (nuevo) escenarios.leidos.push_back({nombre, {}, {}});
    if (!vistos
             .insert(std::to_string(it->second) + "," + std::to_string(cambio.deudor) + "," +
                     std::to_string(cambio.acreedor))
             .second) {
      error = enLinea(mostrado, fila.linea,
                      "a second row for " + citado(fila.campos[columna[1]]) + " owing " +
                          citado(fila.campos[columna[2]]) + " in scenario " + citado(nombre));
      return false;
    }
    escenarios.leidos[it->second].obligaciones.push_back(cambio);
  }
  return true;
}

std::vector<std::int32_t> deudoresCambiados(const Escenarios& escenarios) {
  std::vector<std::int32_t> deudores;
  for (const EscenarioLeido& leido : escenarios.leidos)
    for (const CambioObligacion& cambio : leido.obligaciones) deudores.push_back(cambio.deudor);
  std::sort(deudores.begin(), deudores.end());
  deudores.erase(std::unique(deudores.begin(), deudores.end()), deudores.end());
  return deudores;
}
