#include "sweep/escenarios.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "comun/csv.h"
#include "comun/texto.h"
#include "lectura/lector.h"

namespace {

// A shock step so fine that the sweep would never end is a mistake.
constexpr std::size_t kMaxPasos = 10'000'000;

constexpr std::array<const char*, 3> kColumnas = {"scenario", "node", "cash"};

// A node by its name in nodes.txt first, then by its number.
bool leeNodo(const std::string& campo, std::int32_t n,
             const std::unordered_map<std::string, std::int32_t>& porNombre, std::int32_t& nodo) {
  if (const auto it = porNombre.find(campo); it != porNombre.end()) {
    nodo = it->second;
    return true;
  }
  return esEnteroValido(campo, nodo) && nodo >= 0 && nodo < n;
}

}  // namespace

bool leeEscenarios(const std::string& ruta, const std::string& mostrado, std::int32_t n,
                   const std::vector<std::string>& nombres, Escenarios& escenarios,
                   std::string& error) {
  std::vector<FilaCsv> filas;
  if (!leeCsv(ruta, filas, error)) {
    if (error.starts_with(ruta)) error = mostrado + error.substr(ruta.size());
    return false;
  }
  std::vector<std::size_t> pos;
  if (!leeCabeceraCsv(mostrado, filas, kColumnas, pos, error)) return false;

  std::unordered_map<std::string, std::int32_t> porNombre;
  for (std::int32_t i = 0; i < static_cast<std::int32_t>(nombres.size()); ++i)
    porNombre.emplace(nombres[i], i);
  std::unordered_map<std::string, std::size_t> indice;
  std::unordered_set<std::uint64_t> vistos;  // scenario << 32 | node
  escenarios = Escenarios{};
  for (std::size_t f = 1; f < filas.size(); ++f) {
    const FilaCsv& fila = filas[f];
    const std::string donde = enLinea(mostrado, fila.linea, "");
    if (fila.campos.size() != filas[0].campos.size()) {
      error = donde + std::to_string(fila.campos.size()) + " fields where the header has " +
              std::to_string(filas[0].campos.size());
      return false;
    }
    const std::string& nombre = fila.campos[pos[0]];
    const std::string& nodoTexto = fila.campos[pos[1]];
    const std::string& cajaTexto = fila.campos[pos[2]];
    if (nombre.empty()) {
      error = donde + "empty scenario name";
      return false;
    }
    Cambio cambio;
    if (!leeNodo(nodoTexto, n, porNombre, cambio.nodo)) {
      error = donde + "unknown node " + citado(nodoTexto) + " (a name of nodes.txt or 0 to " +
              std::to_string(n - 1) + ")";
      return false;
    }
    if (!esRealValido(cajaTexto, cambio.caja)) {
      error = donde + "bad cash " + citado(cajaTexto);
      return false;
    }
    const auto [it, nuevo] = indice.emplace(nombre, escenarios.leidos.size());
    if (nuevo) escenarios.leidos.push_back({nombre, {}});
    const std::uint64_t clave =
        (std::uint64_t{it->second} << 32) | static_cast<std::uint32_t>(cambio.nodo);
    if (!vistos.insert(clave).second) {
      error =
          donde + "a second row for node " + citado(nodoTexto) + " in scenario " + citado(nombre);
      return false;
    }
    escenarios.leidos[it->second].cambios.push_back(cambio);
  }
  return true;
}

Escenarios escenariosPorNodo(std::int32_t n, const std::vector<std::string>& nombres) {
  Escenarios escenarios;
  escenarios.tipo = Barrido::cadaNodo;
  escenarios.n = n;
  escenarios.nombres = nombres;
  return escenarios;
}

bool leeChoqueUniforme(std::string_view texto, Escenarios& escenarios, std::string& error) {
  const std::string uso = "--uniform-shock " + std::string(texto) + ": ";
  std::array<double, 3> v{};
  std::string_view resto = texto;
  for (std::size_t k = 0; k < v.size(); ++k) {
    const std::size_t dos = k + 1 < v.size() ? resto.find(':') : std::string_view::npos;
    const std::string_view parte = resto.substr(0, dos);
    if ((k + 1 < v.size() && dos == std::string_view::npos) ||
        (k + 1 == v.size() && parte.find(':') != std::string_view::npos) ||
        !esRealValido(parte, v[k])) {
      error = uso + "expected FROM:TO:STEP, three numbers";
      return false;
    }
    resto.remove_prefix(dos == std::string_view::npos ? resto.size() : dos + 1);
  }
  const auto [desde, hasta, paso] = v;
  if (!(paso > 0.0) || desde > hasta) {
    error = uso + "STEP must be positive and FROM at most TO";
    return false;
  }
  if (desde + paso == desde) {
    error = uso + "STEP is too small to change FROM";
    return false;
  }
  escenarios = Escenarios{};
  escenarios.tipo = Barrido::choqueUniforme;
  escenarios.desde = desde;
  escenarios.paso = paso;
  // s_k grows with k (a product and a sum of positive steps round monotonically).
  while (escenarios.pasos <= kMaxPasos && choque(escenarios, escenarios.pasos) <= hasta)
    ++escenarios.pasos;
  if (escenarios.pasos > kMaxPasos) {
    error = uso + "more than " + std::to_string(kMaxPasos) + " scenarios";
    return false;
  }
  return true;
}

std::size_t cuantosEscenarios(const Escenarios& escenarios) {
  switch (escenarios.tipo) {
    case Barrido::cadaNodo:
      return static_cast<std::size_t>(escenarios.n);
    case Barrido::choqueUniforme:
      return escenarios.pasos;
    case Barrido::cajas:
      return escenarios.filas;
    case Barrido::archivo:
      break;
  }
  return escenarios.leidos.size();
}

double choque(const Escenarios& escenarios, std::size_t k) {
  return escenarios.desde + static_cast<double>(k) * escenarios.paso;
}

std::string nombreEscenario(const Escenarios& escenarios, std::size_t k) {
  switch (escenarios.tipo) {
    case Barrido::cadaNodo:
      return escenarios.nombres.empty() ? std::to_string(k) : escenarios.nombres[k];
    case Barrido::choqueUniforme: {
      std::string nombre;
      anadeExacto(nombre, choque(escenarios, k));
      return nombre;
    }
    case Barrido::cajas:
      return std::to_string(k);
    case Barrido::archivo:
      break;
  }
  return escenarios.leidos[k].nombre;
}

void aplicaEscenario(const Escenarios& escenarios, std::size_t k, const Vector& base, Vector& e) {
  e.assign(base.begin(), base.end());
  switch (escenarios.tipo) {
    case Barrido::cadaNodo:
      e[k] = 0.0;
      return;
    case Barrido::choqueUniforme: {
      const double factor = 1.0 - choque(escenarios, k);
      for (double& caja : e) caja *= factor;
      return;
    }
    case Barrido::cajas:
      std::copy_n(escenarios.cajas + k * base.size(), base.size(), e.begin());
      return;
    case Barrido::archivo:
      break;
  }
  for (const Cambio& cambio : escenarios.leidos[k].cambios) e[cambio.nodo] = cambio.caja;
}
