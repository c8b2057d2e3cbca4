#include "escenarios/obligaciones_csv.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>
#include <unordered_set>
#include <utility>

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
  EscenariosLeidos& leidos = escenarios.leidos;
  std::unordered_map<std::string, std::size_t> indice;
  for (std::size_t k = 0; k < cuantosLeidos(leidos); ++k) indice.emplace(nombreLeido(leidos, k), k);
  std::unordered_set<std::string> vistos;  // scenario, debtor and creditor
  std::vector<std::pair<std::size_t, CambioObligacion>> cambios;
  error.clear();
  for (std::size_t f = 1; f < filas.size(); ++f) {
    const FilaCsv& fila = filas[f];
    CambioObligacion cambio;
    if (!leeCambioDeFila(fila, columna, n, !nombres.empty(), numeros, cambio, error)) {
      error.insert(0, enLinea(mostrado, fila.linea, ""));
      return false;
    }
    const std::string& nombre = fila.campos[columna[0]];
    const auto [it, nuevo] = indice.emplace(nombre, cuantosLeidos(leidos));
    if (nuevo && !anadeLeido(leidos, nombre)) {
      error = enLinea(mostrado, fila.linea, "too many scenarios or names");
      return false;
    }
    if (!vistos
             .insert(std::to_string(it->second) + "," + std::to_string(cambio.deudor) + "," +
                     std::to_string(cambio.acreedor))
             .second) {
      error = enLinea(mostrado, fila.linea,
                      "a second row for " + citado(fila.campos[columna[1]]) + " owing " +
                          citado(fila.campos[columna[2]]) + " in scenario " + citado(nombre));
      return false;
    }
    cambios.emplace_back(it->second, cambio);
  }
  // Each scenario's entries a run, in file order.
  std::stable_sort(cambios.begin(), cambios.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  leidos.obligaciones.clear();
  leidos.inicioObligaciones.assign(cuantosLeidos(leidos) + 1, 0);
  for (const auto& [k, cambio] : cambios) {
    leidos.obligaciones.push_back(cambio);
    ++leidos.inicioObligaciones[k + 1];
  }
  for (std::size_t k = 0; k < cuantosLeidos(leidos); ++k)
    leidos.inicioObligaciones[k + 1] += leidos.inicioObligaciones[k];
  return true;
}

std::vector<std::int32_t> deudoresCambiados(const Escenarios& escenarios) {
  std::vector<std::int32_t> deudores;
  for (const CambioObligacion& cambio : escenarios.leidos.obligaciones)
    deudores.push_back(cambio.deudor);
  std::sort(deudores.begin(), deudores.end());
  deudores.erase(std::unique(deudores.begin(), deudores.end()), deudores.end());
  return deudores;
}
