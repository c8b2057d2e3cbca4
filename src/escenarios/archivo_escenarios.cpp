#include "escenarios/archivo_escenarios.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <unordered_set>

#include "base/enorden.h"
#include "comun/csv.h"
#include "comun/texto.h"
#include "escenarios/indice_nombres.h"
#include "escenarios/tabla_csv.h"
#include "lectura/lector.h"

namespace {

// scenario and node, then the changes a row may make, at least one of them.
constexpr std::array<const char*, 5> kColumnas = {"scenario", "node", "cash", "shock", "fail"};
constexpr std::size_t kObligatorias = 2;
constexpr std::size_t kFalta = static_cast<std::size_t>(-1);
// Distinct scenario names counted before the network is read: enough to
// size the threads, which never exceed it.
constexpr std::size_t kMaxContados = kMaxHilosEnOrden;

// A node named by a row: group:NAME names each node of the group.
constexpr std::string_view kGrupo = "group:";

}  // namespace

bool leeArchivoEscenarios(const std::string& ruta, const std::string& mostrado,
                          ArchivoEscenarios& archivo, std::string& error) {
  archivo = ArchivoEscenarios{};
  archivo.ruta = ruta;
  archivo.mostrado = mostrado;
  // Standard input cannot be read twice: its rows are kept.
  const bool guarda = mostrado == "-";
  if (guarda) archivo.filas.emplace_back();
  std::unordered_set<std::string> nombres;  // up to kMaxContados
  const auto alFila = [&](FilaCsv& fila, std::string& falta) {
    const std::string& nombre = fila.campos[archivo.columna[0]];
    if (const char* que = faltaEnNombre(nombre)) {
      falta = enLinea(mostrado, fila.linea, que);
      return false;
    }
    if (nombres.size() < kMaxContados) nombres.insert(nombre);
    if (guarda) archivo.filas.push_back(std::move(fila));
    return true;
  };
  if (!recorreTablaCsv(ruta, mostrado, kColumnas, kObligatorias, archivo.columna, alFila, error)) {
    if (error == mostrado + ": no rows after the header")
      error = mostrado + ": no scenarios after the header";
    return false;
  }
  if (std::all_of(archivo.columna.begin() + kObligatorias, archivo.columna.end(),
                  [](std::size_t c) { return c == kFalta; })) {
    error = enLinea(mostrado, 1, "no column cash, shock or fail: a scenario changes something");
    return false;
  }
  archivo.cuantos = nombres.size();
  return true;
}

namespace {

// Where a row's changes are read: the columns it has, the nodes it names.
struct LectorFilas {
  const ArchivoEscenarios& archivo;
  std::int32_t n;
  bool conNombres;
  std::unordered_map<std::string, std::int32_t> nodos;
  const Grupos* grupos;
  std::unordered_map<std::string, std::size_t> indiceGrupo;
};

// The nodes a row's node field names: one node, or a group's.
bool nodosDeFila(const LectorFilas& lector, const std::string& campo,
                 std::vector<std::int32_t>& nodos, std::string& error) {
  nodos.clear();
  if (lector.grupos != nullptr && campo.starts_with(kGrupo)) {
    const auto it = lector.indiceGrupo.find(campo.substr(kGrupo.size()));
    if (it == lector.indiceGrupo.end()) {
      error = "unknown group " + citado(campo.substr(kGrupo.size())) + " (not in the groups file)";
      return false;
    }
    nodos = lector.grupos->miembros[it->second];
    return true;
  }
  std::int32_t nodo = 0;
  if (!leeNodo(campo, lector.n, lector.conNombres, lector.nodos, nodo, error)) return false;
  nodos.push_back(nodo);
  return true;
}

// The changes of a row's cash, shock and fail fields, those not empty.
bool cambiosDeFila(const LectorFilas& lector, const FilaCsv& fila, std::vector<Cambio>& cambios,
                   std::string& error) {
  cambios.clear();
  const std::vector<std::size_t>& pos = lector.archivo.columna;
  constexpr std::array<const char*, 3> kQue = {"cash", "shock", "fail"};
  for (std::size_t c = 0; c < kQue.size(); ++c) {
    const std::size_t columna = pos[kObligatorias + c];
    if (columna == kFalta || fila.campos[columna].empty()) continue;
    const std::string& texto = fila.campos[columna];
    Cambio cambio;
    cambio.clase = static_cast<Clase>(c);
    if (!esRealValido(texto, cambio.caja)) {
      error = std::string("bad ") + kQue[c] + " " + citado(texto);
      return false;
    }
    if (cambio.caja < 0.0) {
      error = c == 0 ? "negative cash " + citado(texto) +
                           " (a node's outside cash in a scenario is at least 0)"
                     : std::string(kQue[c]) + " " + citado(texto) + " is not in [0, 1]";
      return false;
    }
    if (c > 0 && cambio.caja > 1.0) {
      error = std::string(kQue[c]) + " " + citado(texto) + " is not in [0, 1]";
      return false;
    }
    cambios.push_back(cambio);
  }
  if (cambios.empty()) error = "the row changes nothing (cash, shock and fail all empty)";
  if (cambios.size() > 1 && cambios[1].clase == Clase::choque)
    error = "both cash and shock for one node";
  return error.empty();
}

}  // namespace

namespace {

// What the rows of a scenario file have built so far: the scenarios (named
// and counted by a first pass), their names' numbers, where each one's next
// change goes, and which scenario last changed each node (a second row for
// a node within a run of its scenario's rows is found there; a scenario
// whose rows come back after another's is searched).
struct Recuento {
  Escenarios& escenarios;
  IndiceNombres indice;
  std::vector<std::uint32_t> sello;  // per node and kind: 1 + the scenario that set it
  std::vector<std::uint32_t> siguiente;
  std::size_t anterior = static_cast<std::size_t>(-1);
  bool vuelta = false;  // the current run of rows is of a scenario seen before
};

std::size_t numeroEscenario(Recuento& r, std::string_view nombre) {
  const EscenariosLeidos& leidos = r.escenarios.leidos;
  return buscaONuevo(r.indice, nombre, cuantosLeidos(leidos),
                     [&](std::size_t m) { return nombreLeido(leidos, m); });
}

// The changes a row makes, counted without reading its numbers: one per
// field not empty, for each node it names. Exact for a row that is right;
// a wrong one is refused when read.
std::size_t cambiosContados(const LectorFilas& lector, const FilaCsv& fila) {
  std::size_t campos = 0;
  for (std::size_t c = kObligatorias; c < kColumnas.size(); ++c) {
    const std::size_t columna = lector.archivo.columna[c];
    if (columna != kFalta && !fila.campos[columna].empty()) ++campos;
  }
  const std::string& campo = fila.campos[lector.archivo.columna[1]];
  if (lector.grupos == nullptr || !campo.starts_with(kGrupo)) return campos;
  const auto it = lector.indiceGrupo.find(campo.substr(kGrupo.size()));
  return it == lector.indiceGrupo.end() ? 0 : campos * lector.grupos->miembros[it->second].size();
}

// First pass: each scenario named, in order of first appearance, with the
// number of its changes at inicioCambios[k + 1].
bool cuentaFila(const LectorFilas& lector, Recuento& r, const FilaCsv& fila, std::string& error) {
  EscenariosLeidos& leidos = r.escenarios.leidos;
  const std::string& nombre = fila.campos[lector.archivo.columna[0]];
  const std::size_t k = numeroEscenario(r, nombre);
  if (k == cuantosLeidos(leidos) && !anadeLeido(leidos, nombre)) {
    error = enLinea(lector.archivo.mostrado, fila.linea, "too many scenarios or names");
    return false;
  }
  const std::size_t cuenta = leidos.inicioCambios[k + 1] + cambiosContados(lector, fila);
  if (cuenta > kMaxDesplazamiento) {
    error = enLinea(lector.archivo.mostrado, fila.linea, "too many changes in one scenario");
    return false;
  }
  leidos.inicioCambios[k + 1] = static_cast<std::uint32_t>(cuenta);
  return true;
}

// The counts become offsets, and each scenario's run room for its changes.
bool reservaCambios(Recuento& r, const ArchivoEscenarios& archivo, std::string& error) {
  EscenariosLeidos& leidos = r.escenarios.leidos;
  if (leidos.inicioCambios.empty()) leidos.inicioCambios.push_back(0);
  std::size_t total = 0;
  for (std::uint32_t& inicio : leidos.inicioCambios) {
    total += inicio;
    if (total > kMaxDesplazamiento) {
      error = archivo.mostrado + ": too many changes";
      return false;
    }
    inicio = static_cast<std::uint32_t>(total);
  }
  leidos.nombres.shrink_to_fit();
  leidos.finNombre.shrink_to_fit();
  leidos.inicioCambios.shrink_to_fit();
  leidos.cambios.resize(total);
  r.siguiente.assign(leidos.inicioCambios.begin(), leidos.inicioCambios.end() - 1);
  return true;
}

bool repetido(const Recuento& r, std::size_t k, const Cambio& cambio) {
  const std::size_t s =
      2 * static_cast<std::size_t>(cambio.nodo) + (cambio.clase == Clase::caida ? 1 : 0);
  if (r.sello[s] == k + 1) return true;
  if (!r.vuelta) return false;
  const auto mismo = [&](const Cambio& c) {
    return c.nodo == cambio.nodo && (c.clase == Clase::caida) == (cambio.clase == Clase::caida);
  };
  const EscenariosLeidos& leidos = r.escenarios.leidos;
  const auto hechos = leidos.cambios.begin();
  return std::any_of(hechos + leidos.inicioCambios[k], hechos + r.siguiente[k], mismo);
}

// Second pass: the row read and its changes put in its scenario's run.
bool anadeFila(const LectorFilas& lector, Recuento& r, const FilaCsv& fila,
               std::vector<std::int32_t>& nodos, std::vector<Cambio>& cambios, std::string& error) {
  const std::string donde = enLinea(lector.archivo.mostrado, fila.linea, "");
  const std::string& nombre = fila.campos[lector.archivo.columna[0]];
  const std::string& nodoTexto = fila.campos[lector.archivo.columna[1]];
  if (!nodosDeFila(lector, nodoTexto, nodos, error) ||
      !cambiosDeFila(lector, fila, cambios, error)) {
    error.insert(0, donde);
    return false;
  }
  EscenariosLeidos& leidos = r.escenarios.leidos;
  const std::size_t k = numeroEscenario(r, nombre);
  if (k == cuantosLeidos(leidos) ||
      r.siguiente[k] + nodos.size() * cambios.size() > leidos.inicioCambios[k + 1]) {
    error = donde + "the file changed while it was read";
    return false;
  }
  if (k != r.anterior) r.vuelta = r.siguiente[k] != leidos.inicioCambios[k];
  r.anterior = k;
  for (const std::int32_t nodo : nodos) {
    for (Cambio cambio : cambios) {
      cambio.nodo = nodo;
      if (repetido(r, k, cambio)) {
        // A group's node by its number; "#" put in front, not added (g++ 12
        // warns wrongly on "#" + std::to_string under -Werror).
        std::string cual = nodoTexto;
        if (nodos.size() > 1) cual = std::to_string(nodo).insert(0, 1, '#');
        error = donde + "a second row for node " + citado(cual) + " in scenario " + citado(nombre);
        return false;
      }
      r.sello[2 * static_cast<std::size_t>(nodo) + (cambio.clase == Clase::caida ? 1 : 0)] =
          static_cast<std::uint32_t>(k + 1);
      leidos.cambios[r.siguiente[k]++] = cambio;
    }
  }
  return true;
}

// alFila over the rows: standard input's, kept, or the file's, read again.
bool recorreFilas(const ArchivoEscenarios& archivo,
                  const std::function<bool(const FilaCsv&, std::string&)>& alFila,
                  std::string& error) {
  if (archivo.filas.empty()) {
    std::vector<std::size_t> columna;
    return recorreTablaCsv(archivo.ruta, archivo.mostrado, kColumnas, kObligatorias, columna,
                           alFila, error);
  }
  for (std::size_t f = 1; f < archivo.filas.size(); ++f)
    if (!alFila(archivo.filas[f], error)) return false;
  return true;
}

}  // namespace

bool leeEscenarios(const ArchivoEscenarios& archivo, std::int32_t n,
                   const std::vector<std::string>& nombres, Escenarios& escenarios,
                   std::string& error, const Grupos* grupos) {
  LectorFilas lector{archivo, n, !nombres.empty(), porNombre(nombres), grupos, {}};
  if (grupos != nullptr)
    for (std::size_t g = 0; g < grupos->nombres.size(); ++g)
      lector.indiceGrupo.emplace(grupos->nombres[g], g);
  escenarios = Escenarios{};
  Recuento r{escenarios, {}, std::vector<std::uint32_t>(2 * static_cast<std::size_t>(n), 0), {}};
  error.clear();
  // Counted first, so that each scenario's changes go straight to their run.
  if (!recorreFilas(
          archivo,
          [&](const FilaCsv& fila, std::string& falta) {
            return cuentaFila(lector, r, fila, falta);
          },
          error) ||
      !reservaCambios(r, archivo, error))
    return false;
  std::vector<std::int32_t> nodos;
  std::vector<Cambio> cambios;
  return recorreFilas(
      archivo,
      [&](const FilaCsv& fila, std::string& falta) {
        return anadeFila(lector, r, fila, nodos, cambios, falta);
      },
      error);
}
