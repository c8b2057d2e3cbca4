#include "totales/marginales.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <unordered_map>

#include "comun/nodos.h"
#include "comun/texto.h"
#include "lectura/lector.h"

namespace {

constexpr std::array<const char*, 4> kColumnas{"node", "liabilities", "assets", "cash"};
constexpr std::array<const char*, 5> kConExterno{"node", "liabilities", "assets", "cash",
                                                 "external"};

bool tieneExterno(const FilaCsv& cabecera) {
  return std::any_of(cabecera.campos.begin(), cabecera.campos.end(),
                     [](const std::string& campo) { return minusculas(campo) == "external"; });
}

// A number of the row; liabilities, assets and external are amounts owed,
// never below 0 (cash may be: a node can start in debt to the outside).
bool leeNumero(const std::string& mostrado, long linea, const std::string& texto,
               const char* columna, bool esTotal, double& valor, std::string& error) {
  if (!esRealValido(texto, valor)) {
    error = enLinea(mostrado, linea,
                    std::string("bad ") + columna + " " + citado(texto) +
                        ": expected a decimal number such as 12.5 or 1e6");
    return false;
  }
  if (!esTotal || valor >= 0.0) return true;
  error = enLinea(mostrado, linea,
                  std::string("negative ") + columna + " " + citado(texto) +
                      ": a total is an amount owed, 0 or more");
  return false;
}

bool leeFila(const std::string& mostrado, const FilaCsv& fila, std::span<const std::size_t> columna,
             Marginales& m, std::string& error) {
  const std::size_t esperados = columna.size();
  if (fila.campos.size() != esperados) {
    error = enLinea(mostrado, fila.linea,
                    "expected " + std::to_string(esperados) + " fields (" +
                        listaColumnas(std::span(kConExterno).first(esperados)) + "), found " +
                        std::to_string(fila.campos.size()));
    return false;
  }
  const std::string& nombre = fila.campos[columna[0]];
  if (const char* falta = faltaDeNombre(nombre)) {
    error = enLinea(mostrado, fila.linea, std::string("node ") + falta);
    return false;
  }
  double v[5] = {};
  for (std::size_t c = 1; c < esperados; ++c) {
    if (!leeNumero(mostrado, fila.linea, fila.campos[columna[c]], kConExterno[c], c != 3, v[c],
                   error))
      return false;
  }
  m.nombres.push_back(nombre);
  m.lineas.push_back(fila.linea);
  m.totales.pasivo.push_back(v[1]);
  m.totales.activo.push_back(v[2]);
  m.caja.push_back(v[3]);
  if (esperados == 5) m.externo.push_back(v[4]);
  return true;
}

std::string enFila(const std::string& mostrado, const Marginales& m, std::int32_t nodo,
                   const std::string& que) {
  if (nodo < 0 || static_cast<std::size_t>(nodo) >= m.lineas.size() || m.lineas[nodo] == 0)
    return mostrado + ": " + que;
  return enLinea(mostrado, m.lineas[nodo], que);
}

}  // namespace

bool leeMarginales(const std::string& ruta, const std::vector<FilaCsv>& filas, Marginales& m,
                   std::string& error) {
  const std::string mostrado = nombreCsv(ruta);
  const bool externo = !filas.empty() && tieneExterno(filas.front());
  const std::span<const char* const> columnas =
      externo ? std::span<const char* const>(kConExterno) : std::span<const char* const>(kColumnas);
  std::vector<std::size_t> columna;
  if (!leeCabeceraCsv(mostrado, filas, columnas, columna, error)) return false;
  std::unordered_map<std::string, long> vistos;
  for (std::size_t k = 1; k < filas.size(); ++k) {
    if (!leeFila(mostrado, filas[k], columna, m, error)) return false;
    const auto [donde, nuevo] = vistos.try_emplace(m.nombres.back(), filas[k].linea);
    if (nuevo) continue;
    error = enLinea(mostrado, filas[k].linea,
                    "a second row for " + citado(m.nombres.back()) + " (the first is on line " +
                        std::to_string(donde->second) + "): a node has one set of totals");
    return false;
  }
  if (!m.nombres.empty()) return true;
  error = mostrado + ": no nodes after the header";
  return false;
}

bool anadeExterior(const std::string& ruta, const std::string& nombre, bool balancear,
                   Marginales& m, std::string& aviso, std::string& error) {
  const std::string mostrado = nombreCsv(ruta);
  double L = 0.0, A = 0.0;
  for (double l : m.totales.pasivo) L += l;
  for (double a : m.totales.activo) A += a;
  const bool diferencia = balancear && L != A;
  if (!m.externo.empty() || diferencia) {
    const auto ya = std::find(m.nombres.begin(), m.nombres.end(), nombre);
    if (ya != m.nombres.end()) {
      error = enLinea(mostrado, m.lineas[ya - m.nombres.begin()],
                      citado(nombre) +
                          " is a node of the file and the name of the node outside the "
                          "network: give that one another with --outside NAME");
      return false;
    }
    m.nombres.push_back(nombre);
    m.lineas.push_back(0);
    m.totales.pasivo.push_back(diferencia && A > L ? A - L : 0.0);
    m.totales.activo.push_back(diferencia && L > A ? L - A : 0.0);
    m.caja.push_back(0.0);
    if (!m.externo.empty()) m.externo.push_back(0.0);
  }
  if (diferencia) {
    aviso = L > A ? "the liabilities exceed the assets by " + textoExacto(L - A) + ": " +
                        citado(nombre) + " is owed the difference"
                  : "the assets exceed the liabilities by " + textoExacto(A - L) + ": " +
                        citado(nombre) + " owes the difference";
  }
  std::int32_t nodo;
  std::string motivo;
  if (!esViable(m.nombres, m.totales, nodo, motivo)) {
    error = enFila(mostrado, m, nodo, motivo);
    return false;
  }
  igualaTotales(m.totales);
  return true;
}

void anadeExternos(const Marginales& m, std::vector<Enlace>& enlaces) {
  if (m.externo.empty()) return;
  const auto exterior = static_cast<std::int32_t>(m.nombres.size() - 1);
  std::vector<Enlace> todos;
  todos.reserve(enlaces.size() + m.externo.size());
  auto siguiente = enlaces.begin();
  for (std::int32_t i = 0; i <= exterior; ++i) {
    double ya = 0.0;
    for (; siguiente != enlaces.end() && siguiente->deudor == i; ++siguiente) {
      if (siguiente->acreedor == exterior)
        ya = siguiente->importe;
      else
        todos.push_back(*siguiente);
    }
    const double importe = ya + m.externo[i];  // reconstructed share, then what it owes outside
    if (importe != 0.0) todos.push_back({i, exterior, importe});
  }
  enlaces = std::move(todos);
}
