// The scenarios of a sweep: each one is a name and the outside cash of every
// node, the cash of input.txt with some nodes changed; some scenarios also
// fail nodes outright or set entries of L. A scenario file names the changes
// row by row; the built-in sweeps derive them from the network.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/tipos.h"
#include "comun/csv.h"

// What a change does to its node: sets its cash, takes the fraction `caja`
// of its cash away (choque), or fails it (caida): the node is in default from
// round 1 and owes only the fraction `caja` of its pBarra, keeping its cash.
enum class Clase : unsigned char { caja, choque, caida };

// The value first: sixteen bytes, not twenty-four, for a million of them.
struct Cambio {
  double caja = 0.0;
  std::int32_t nodo = 0;
  Clase clase = Clase::caja;
};

// L[deudor][acreedor] set to importe in one scenario.
struct CambioObligacion {
  std::int32_t deudor = 0;
  std::int32_t acreedor = 0;
  double importe = 0.0;
};

// The scenarios of a file laid flat, some forty bytes for a scenario of one
// row: every name in one buffer, every change in one array where each
// scenario's are a run (in file order, one cash change and one failure per
// node at most), each located by 32-bit offsets. Scenario k's entries of L,
// when any scenario has some, are likewise a run of `obligaciones`; not
// empty, they make the scenario's PI and pBarra its own, derived on its
// worker: nothing computed from the base network's may stand in for them.
// The most a 32-bit offset of the flat layout can say.
constexpr std::size_t kMaxDesplazamiento = std::numeric_limits<std::uint32_t>::max();

struct EscenariosLeidos {
  std::string nombres;
  std::vector<std::uint32_t> finNombre;  // where scenario k's name ends
  std::vector<Cambio> cambios;
  std::vector<std::uint32_t> inicioCambios;  // k's run, then k+1's start; 0 first
  std::vector<CambioObligacion> obligaciones;
  std::vector<std::uint32_t> inicioObligaciones;  // as inicioCambios, or empty
};

// cajas: the caller's cash vectors, as the Python module hands them over.
// cadaNodoCae: node k fails in scenario k; cadaGrupo: group k's cash set to 0;
// aleatorio: random losses of cash (barrido/aleatorios.h draws them).
enum class Barrido : unsigned char {
  archivo,
  cadaNodo,
  choqueUniforme,
  cajas,
  cadaNodoCae,
  cadaGrupo,
  aleatorio
};

// Named sets of nodes, from GROUPS.csv.
struct Grupos {
  std::vector<std::string> nombres;                 // in order of first appearance
  std::vector<std::vector<std::int32_t>> miembros;  // each group's nodes, ascending
};

struct Escenarios {
  Barrido tipo = Barrido::archivo;
  EscenariosLeidos leidos;           // archivo: in order of first appearance
  std::int32_t n = 0;                // cadaNodo: one scenario per node
  std::vector<std::string> nombres;  // cadaNodo: the names of nodes.txt, or none
  double desde = 0.0;                // choqueUniforme: s_k = desde + k·paso
  double paso = 0.0;
  std::size_t pasos = 0;  // choqueUniforme: how many k
  // cajas: filas cash vectors of n values, row by row, held by the caller
  // for as long as the sweep runs.
  const double* cajas = nullptr;
  std::size_t filas = 0;
  double fraccion = 0.0;  // cadaNodoCae: what a failed node pays, of its pBarra
  Grupos grupos;          // cadaGrupo: one scenario per group
  // choqueUniforme: the nodes shocked (--group); empty: every node.
  std::vector<std::int32_t> chocados;
  // aleatorio: `pasos` scenarios of seed semilla, median loss media and
  // correlation correlacion.
  std::uint64_t semilla = 0;
  double media = 0.0;
  double correlacion = 0.0;
};

// --each-node-fails R: node k fails in scenario k, paying R of its pBarra.
bool escenariosPorCaida(std::int32_t n, const std::vector<std::string>& nombres,
                        std::string_view fraccion, Escenarios& escenarios, std::string& error);

// --each-group: scenario k sets the cash of group k's nodes to 0.
Escenarios escenariosPorGrupo(const Grupos& grupos);

// --each-node: scenario k sets node k's cash to 0.
Escenarios escenariosPorNodo(std::int32_t n, const std::vector<std::string>& nombres);

// --uniform-shock FROM:TO:STEP: scenario k multiplies every node's cash by
// 1 − s_k, s_k = FROM + k·STEP (one product, one sum, in doubles), for every
// k with s_k ≤ TO. TO above 1 is refused: the cash would turn negative.
bool leeChoqueUniforme(std::string_view texto, Escenarios& escenarios, std::string& error);

std::size_t cuantosEscenarios(const Escenarios& escenarios);

// The shock of scenario k of a uniform sweep.
double choque(const Escenarios& escenarios, std::size_t k);

std::string nombreEscenario(const Escenarios& escenarios, std::size_t k);

// The outside cash of scenario k: base with the scenario's changes, in e
// (which has room for base.size() values). A random scenario's cash is
// barrido/aleatorios.h's: here it is base.
void aplicaEscenario(const Escenarios& escenarios, std::size_t k, const Vector& base, Vector& e);

// The nodes scenario k fails, each with the fraction of pBarra it pays
// (Clase::caida changes), in caidas.
void caidasEscenario(const Escenarios& escenarios, std::size_t k, std::vector<Cambio>& caidas);

// The entries of L scenario k sets; none for most scenarios.
std::span<const CambioObligacion> obligacionesEscenario(const Escenarios& escenarios,
                                                        std::size_t k);

std::size_t cuantosLeidos(const EscenariosLeidos& leidos);
std::string_view nombreLeido(const EscenariosLeidos& leidos, std::size_t k);
std::span<const Cambio> cambiosLeidos(const EscenariosLeidos& leidos, std::size_t k);

// A scenario more, named `nombre`, with no changes (its run is appended to
// `cambios` after); false when the 32-bit offsets would overflow.
bool anadeLeido(EscenariosLeidos& leidos, std::string_view nombre);

// A change more for the last scenario; false when the offsets would overflow.
bool anadeCambioLeido(EscenariosLeidos& leidos, const Cambio& cambio);

// Whether scenario k clears a network other than the base one: it fails a
// node (pBarra changes) or sets entries of L (PI and pBarra change).
bool cambiaRed(const Escenarios& escenarios, std::size_t k);
