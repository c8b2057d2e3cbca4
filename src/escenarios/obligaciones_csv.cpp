#include "escenarios/obligaciones_csv.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string_view>

#include "comun/texto.h"
#include "escenarios/indice_nombres.h"
#include "escenarios/tabla_csv.h"
#include "lectura/lector.h"

namespace {

constexpr std::array<const char*, 4> kColumnas = {"scenario", "debtor", "creditor", "amount"};

// A row's entry as read, in file order: 24 bytes a row, where the rows
// themselves are not kept. Its first 12 bytes (scenario, debtor and
// creditor) are its key in the index that finds a second row for an entry.
struct Entrada {
  std::uint32_t escenario = 0;
  std::int32_t deudor = 0;
  std::int32_t acreedor = 0;
  double importe = 0.0;
};
constexpr std::size_t kClave = offsetof(Entrada, acreedor) + sizeof(std::int32_t);
// The index numbers entries in 32 bits, as the runs' offsets do.
constexpr std::size_t kMaxEntradas = std::numeric_limits<std::uint32_t>::max() - 1;

std::string_view claveDeEntrada(const Entrada& entrada) {
  return {reinterpret_cast<const char*>(&entrada), kClave};
}

// One row's entry; false with error saying what is wrong with it.
bool leeCambioDeFila(const FilaCsv& fila, const std::vector<std::size_t>& columna,
                     const NodosDeTabla& nodos, CambioObligacion& cambio, std::string& error) {
  if (const char* falta = faltaEnNombre(fila.campos[columna[0]])) {
    error = falta;
    return false;
  }
  if (!leeNodo(fila.campos[columna[1]], nodos.n, nodos.conNombres, nodos.numeros, cambio.deudor,
               error) ||
      !leeNodo(fila.campos[columna[2]], nodos.n, nodos.conNombres, nodos.numeros, cambio.acreedor,
               error))
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

// The entries become each scenario's run of obligaciones, in file order
// within it (a counting sort: no room beyond the runs themselves).
void ponEnRuns(const std::vector<Entrada>& entradas, EscenariosLeidos& leidos) {
  leidos.inicioObligaciones.assign(cuantosLeidos(leidos) + 1, 0);
  for (const Entrada& e : entradas) ++leidos.inicioObligaciones[e.escenario + 1];
  for (std::size_t k = 0; k < cuantosLeidos(leidos); ++k)
    leidos.inicioObligaciones[k + 1] += leidos.inicioObligaciones[k];
  std::vector<std::uint32_t> siguiente(leidos.inicioObligaciones.begin(),
                                       leidos.inicioObligaciones.end() - 1);
  leidos.obligaciones.assign(entradas.size(), CambioObligacion{});
  for (const Entrada& e : entradas)
    leidos.obligaciones[siguiente[e.escenario]++] = {e.deudor, e.acreedor, e.importe};
}

}  // namespace

bool leeCambiosObligaciones(const std::string& ruta, std::int32_t n,
                            const std::vector<std::string>& nombres, Escenarios& escenarios,
                            std::string& error) {
  EscenariosLeidos& leidos = escenarios.leidos;
  IndiceNombres indice;  // the scenarios by name, those of SCENARIOS.csv first
  const auto nombreDeNumero = [&](std::size_t k) { return nombreLeido(leidos, k); };
  for (std::size_t k = 0; k < cuantosLeidos(leidos); ++k)
    buscaONuevo(indice, nombreLeido(leidos, k), k, nombreDeNumero);
  std::vector<Entrada> entradas;
  IndiceNombres vistas;  // the entries by scenario, debtor and creditor
  const auto claveDeNumero = [&](std::size_t m) { return claveDeEntrada(entradas[m]); };
  const auto alFila = [&](const FilaCsv& fila, const std::vector<std::size_t>& columna,
                          const NodosDeTabla& nodos, std::string& falta) {
    CambioObligacion cambio;
    if (!leeCambioDeFila(fila, columna, nodos, cambio, falta)) return false;
    const std::string& nombre = fila.campos[columna[0]];
    const std::size_t k = buscaONuevo(indice, nombre, cuantosLeidos(leidos), nombreDeNumero);
    if ((k == cuantosLeidos(leidos) && !anadeLeido(leidos, nombre)) ||
        entradas.size() >= kMaxEntradas) {
      falta = "too many scenarios or names";
      return false;
    }
    entradas.push_back(
        {static_cast<std::uint32_t>(k), cambio.deudor, cambio.acreedor, cambio.importe});
    if (buscaONuevo(vistas, claveDeEntrada(entradas.back()), entradas.size() - 1, claveDeNumero) ==
        entradas.size() - 1)
      return true;
    falta = "a second row for " + citado(fila.campos[columna[1]]) + " owing " +
            citado(fila.campos[columna[2]]) + " in scenario " + citado(nombre);
    return false;
  };
  if (!recorreTablaDeNodos(ruta, kColumnas, n, nombres, alFila, error)) return false;
  vistas = IndiceNombres{};
  ponEnRuns(entradas, leidos);
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
