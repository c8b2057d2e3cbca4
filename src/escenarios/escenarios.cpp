#include "escenarios/escenarios.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>
#include <unordered_map>
#include <unordered_set>

#include "base/enorden.h"
#include "comun/csv.h"
#include "comun/texto.h"
#include "escenarios/indice_nombres.h"
#include "lectura/lector.h"

namespace {

// A shock step so fine that the sweep would never end is a mistake.
constexpr std::size_t kMaxPasos = 10'000'000;

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

constexpr std::size_t kMaxOffset = std::numeric_limits<std::uint32_t>::max();

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

std::string_view nombreDe(const EscenariosLeidos& leidos, std::size_t k) {
  const std::size_t desde = k == 0 ? 0 : leidos.finNombre[k - 1];
  return std::string_view(leidos.nombres).substr(desde, leidos.finNombre[k] - desde);
}

std::size_t numeroEscenario(Recuento& r, std::string_view nombre) {
  const EscenariosLeidos& leidos = r.escenarios.leidos;
  return buscaONuevo(r.indice, nombre, cuantosLeidos(leidos),
                     [&](std::size_t m) { return nombreDe(leidos, m); });
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
  if (cuenta > kMaxOffset) {
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
    if (total > kMaxOffset) {
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
        error = donde + "a second row for node " +
                citado(nodos.size() > 1 ? "#" + std::to_string(nodo) : nodoTexto) +
                " in scenario " + citado(nombre);
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

Escenarios escenariosPorNodo(std::int32_t n, const std::vector<std::string>& nombres) {
  Escenarios escenarios;
  escenarios.tipo = Barrido::cadaNodo;
  escenarios.n = n;
  escenarios.nombres = nombres;
  return escenarios;
}

bool escenariosPorCaida(std::int32_t n, const std::vector<std::string>& nombres,
                        std::string_view fraccion, Escenarios& escenarios, std::string& error) {
  escenarios = escenariosPorNodo(n, nombres);
  escenarios.tipo = Barrido::cadaNodoCae;
  if (esRealValido(fraccion, escenarios.fraccion) && escenarios.fraccion >= 0.0 &&
      escenarios.fraccion <= 1.0)
    return true;
  error = "--each-node-fails " + std::string(fraccion) + ": R must be a number in [0, 1]";
  return false;
}

Escenarios escenariosPorGrupo(const Grupos& grupos) {
  Escenarios escenarios;
  escenarios.tipo = Barrido::cadaGrupo;
  escenarios.grupos = grupos;
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
    case Barrido::cadaNodoCae:
      return static_cast<std::size_t>(escenarios.n);
    case Barrido::choqueUniforme:
    case Barrido::aleatorio:
      return escenarios.pasos;
    case Barrido::cadaGrupo:
      return escenarios.grupos.nombres.size();
    case Barrido::cajas:
      return escenarios.filas;
    case Barrido::archivo:
      break;
  }
  return cuantosLeidos(escenarios.leidos);
}

double choque(const Escenarios& escenarios, std::size_t k) {
  return escenarios.desde + static_cast<double>(k) * escenarios.paso;
}

std::string nombreEscenario(const Escenarios& escenarios, std::size_t k) {
  switch (escenarios.tipo) {
    case Barrido::cadaNodo:
    case Barrido::cadaNodoCae:
      return escenarios.nombres.empty() ? std::to_string(k) : escenarios.nombres[k];
    case Barrido::cadaGrupo:
      return escenarios.grupos.nombres[k];
    case Barrido::choqueUniforme: {
      std::string nombre;
      anadeExacto(nombre, choque(escenarios, k));
      return nombre;
    }
    case Barrido::cajas:
    case Barrido::aleatorio:
      return std::to_string(k);
    case Barrido::archivo:
      break;
  }
  return std::string(nombreLeido(escenarios.leidos, k));
}

void aplicaEscenario(const Escenarios& escenarios, std::size_t k, const Vector& base, Vector& e) {
  e.assign(base.begin(), base.end());
  switch (escenarios.tipo) {
    case Barrido::cadaNodo:
      e[k] = 0.0;
      return;
    case Barrido::cadaGrupo:
      for (const std::int32_t nodo : escenarios.grupos.miembros[k]) e[nodo] = 0.0;
      return;
    case Barrido::choqueUniforme: {
      const double factor = 1.0 - choque(escenarios, k);
      if (escenarios.chocados.empty())
        for (double& caja : e) caja *= factor;
      for (const std::int32_t nodo : escenarios.chocados) e[nodo] *= factor;
      return;
    }
    case Barrido::cajas:
      std::copy_n(escenarios.cajas + k * base.size(), base.size(), e.begin());
      return;
    case Barrido::cadaNodoCae:
    case Barrido::aleatorio:
      return;
    case Barrido::archivo:
      break;
  }
  for (const Cambio& cambio : cambiosLeidos(escenarios.leidos, k)) {
    if (cambio.clase == Clase::caja) e[cambio.nodo] = cambio.caja;
    if (cambio.clase == Clase::choque) e[cambio.nodo] *= 1.0 - cambio.caja;
  }
}

void caidasEscenario(const Escenarios& escenarios, std::size_t k, std::vector<Cambio>& caidas) {
  caidas.clear();
  if (escenarios.tipo == Barrido::cadaNodoCae)
    caidas.push_back({escenarios.fraccion, static_cast<std::int32_t>(k), Clase::caida});
  if (escenarios.tipo != Barrido::archivo) return;
  for (const Cambio& cambio : cambiosLeidos(escenarios.leidos, k))
    if (cambio.clase == Clase::caida) caidas.push_back(cambio);
}

std::span<const CambioObligacion> obligacionesEscenario(const Escenarios& escenarios,
                                                        std::size_t k) {
  const EscenariosLeidos& leidos = escenarios.leidos;
  if (escenarios.tipo != Barrido::archivo || leidos.inicioObligaciones.empty()) return {};
  return std::span(leidos.obligaciones)
      .subspan(leidos.inicioObligaciones[k],
               leidos.inicioObligaciones[k + 1] - leidos.inicioObligaciones[k]);
}

bool cambiaRed(const Escenarios& escenarios, std::size_t k) {
  if (escenarios.tipo == Barrido::cadaNodoCae) return true;
  if (escenarios.tipo != Barrido::archivo) return false;
  const std::span<const Cambio> cambios = cambiosLeidos(escenarios.leidos, k);
  return !obligacionesEscenario(escenarios, k).empty() ||
         std::any_of(cambios.begin(), cambios.end(),
                     [](const Cambio& c) { return c.clase == Clase::caida; });
}

std::size_t cuantosLeidos(const EscenariosLeidos& leidos) {
  return leidos.finNombre.size();
}

std::string_view nombreLeido(const EscenariosLeidos& leidos, std::size_t k) {
  return nombreDe(leidos, k);
}

std::span<const Cambio> cambiosLeidos(const EscenariosLeidos& leidos, std::size_t k) {
  return std::span(leidos.cambios)
      .subspan(leidos.inicioCambios[k], leidos.inicioCambios[k + 1] - leidos.inicioCambios[k]);
}

bool anadeLeido(EscenariosLeidos& leidos, std::string_view nombre) {
  if (leidos.nombres.size() + nombre.size() > kMaxOffset || leidos.finNombre.size() >= kMaxOffset)
    return false;
  leidos.nombres += nombre;
  leidos.finNombre.push_back(static_cast<std::uint32_t>(leidos.nombres.size()));
  if (leidos.inicioCambios.empty()) leidos.inicioCambios.push_back(0);
  leidos.inicioCambios.push_back(static_cast<std::uint32_t>(leidos.cambios.size()));
  if (!leidos.inicioObligaciones.empty())
    leidos.inicioObligaciones.push_back(leidos.inicioObligaciones.back());
  return true;
}

bool anadeCambioLeido(EscenariosLeidos& leidos, const Cambio& cambio) {
  if (leidos.cambios.size() >= kMaxOffset) return false;
  leidos.cambios.push_back(cambio);
  leidos.inicioCambios.back() = static_cast<std::uint32_t>(leidos.cambios.size());
  return true;
}
