#include "escenarios/escenarios.h"

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

// A node by its name in nodes.txt, or #K for node K; without nodes.txt, K
// will do as well. A bare number where names exist is refused: 2 typed for
// bank 0002 would otherwise shock whichever bank is node 2.
bool leeNodo(const std::string& campo, std::int32_t n, bool conNombres,
             const std::unordered_map<std::string, std::int32_t>& porNombre, std::int32_t& nodo,
             std::string& error) {
  if (const auto it = porNombre.find(campo); it != porNombre.end()) {
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

// A scenario name goes to the first column of sweep.csv: UTF-8, and nothing
// that would break a line or a terminal.
const char* faltaEnNombre(const std::string& nombre) {
  if (nombre.empty()) return "empty scenario name";
  if (!esUtf8Valido(nombre)) return "scenario name is not UTF-8";
  for (const char c : nombre) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return "scenario name holds a control character";
  }
  return nullptr;
}

}  // namespace

bool leeArchivoEscenarios(const std::string& ruta, const std::string& mostrado,
                          ArchivoEscenarios& archivo, std::string& error) {
  archivo = ArchivoEscenarios{};
  archivo.mostrado = mostrado;
  if (!leeCsv(ruta, archivo.filas, error)) {
    if (error.starts_with(ruta)) error = mostrado + error.substr(ruta.size());
    return false;
  }
  if (!leeCabeceraCsv(mostrado, archivo.filas, kColumnas, archivo.columna, error)) return false;
  if (archivo.filas.size() == 1) {
    error = mostrado + ": no scenarios after the header";
    return false;
  }
  std::unordered_set<std::string> nombres;
  for (std::size_t f = 1; f < archivo.filas.size(); ++f) {
    const FilaCsv& fila = archivo.filas[f];
    if (fila.campos.size() != archivo.filas[0].campos.size()) {
      error = enLinea(mostrado, fila.linea, "") + std::to_string(fila.campos.size()) +
              " fields where the header has " + std::to_string(archivo.filas[0].campos.size());
      return false;
    }
    const std::string& nombre = fila.campos[archivo.columna[0]];
    if (const char* falta = faltaEnNombre(nombre)) {
      error = enLinea(mostrado, fila.linea, falta);
      return false;
    }
    nombres.insert(nombre);
  }
  archivo.cuantos = nombres.size();
  return true;
}

bool leeEscenarios(const ArchivoEscenarios& archivo, std::int32_t n,
                   const std::vector<std::string>& nombres, Escenarios& escenarios,
                   std::string& error) {
  std::unordered_map<std::string, std::int32_t> porNombre;
  for (std::int32_t i = 0; i < static_cast<std::int32_t>(nombres.size()); ++i)
    porNombre.emplace(nombres[i], i);
  std::unordered_map<std::string, std::size_t> indice;
  std::unordered_set<std::uint64_t> vistos;  // scenario << 32 | node
  escenarios = Escenarios{};
  const std::vector<std::size_t>& pos = archivo.columna;
  for (std::size_t f = 1; f < archivo.filas.size(); ++f) {
    const FilaCsv& fila = archivo.filas[f];
    const std::string donde = enLinea(archivo.mostrado, fila.linea, "");
    const std::string& nombre = fila.campos[pos[0]];
    const std::string& nodoTexto = fila.campos[pos[1]];
    const std::string& cajaTexto = fila.campos[pos[2]];
    Cambio cambio;
    if (!leeNodo(nodoTexto, n, !nombres.empty(), porNombre, cambio.nodo, error)) {
      error.insert(0, donde);
      return false;
    }
    if (!esRealValido(cajaTexto, cambio.caja)) {
      error = donde + "bad cash " + citado(cajaTexto);
      return false;
    }
    if (cambio.caja < 0.0) {
      error = donde + "negative cash " + citado(cajaTexto) +
              " (a node's outside cash in a scenario is at least 0)";
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
  if (hasta > 1.0) {
    error = uso + "TO must be at most 1 (a shock above 1 makes the cash negative)";
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
