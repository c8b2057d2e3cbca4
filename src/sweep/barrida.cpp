// What a sweep reads, in the order its memory check needs: the scenario
// file's rows before input.txt, the nodes' names before the rows' nodes.
#include "sweep/barrida.h"

#include <algorithm>
#include <cmath>

#include "base/enorden.h"
#include "base/reparto.h"
#include "comun/nodos.h"
#include "comun/recursos.h"
#include "escenarios/grupos_csv.h"
#include "escenarios/obligaciones_csv.h"

namespace {

// The scenario file's rows, when the scenarios come from a file.
bool leeArchivoDe(const Argumentos& a, ArchivoEscenarios& archivo, std::string& error) {
  return a.tipo != Barrido::archivo || a.fuente.empty() ||
         leeArchivoEscenarios(a.fuente == "-" ? "/dev/stdin" : a.fuente, a.fuente, archivo, error);
}

}  // namespace

bool leeFuente(const Argumentos& a, const ArchivoEscenarios& archivo, Barrida& b,
               std::string& error) {
  switch (a.tipo) {
    case Barrido::cadaNodo:
      b.escenarios = escenariosPorNodo(b.partida.n, b.nombres);
      return true;
    case Barrido::cadaNodoCae:
      return escenariosPorCaida(b.partida.n, b.nombres, a.fuente, b.escenarios, error);
    case Barrido::cadaGrupo:
      b.escenarios = escenariosPorGrupo(b.grupos);
      return true;
    case Barrido::choqueUniforme:
    case Barrido::aleatorio: {
      b.escenarios = a.choque;
      std::size_t g = 0;
      if (a.grupo.empty()) return true;
      if (!buscaGrupo(b.grupos, a.grupo, g, error)) return false;
      b.escenarios.chocados = b.grupos.miembros[g];
      return true;
    }
    case Barrido::cajas:  // the Python module's, never an argument
    case Barrido::archivo:
      break;
  }
  if (a.fuente.empty()) {  // the scenarios of --obligations alone
    b.escenarios = Escenarios{};
    return true;
  }
  return leeEscenarios(archivo, b.partida.n, b.nombres, b.escenarios, error,
                       a.grupos.empty() ? nullptr : &b.grupos);
}

bool leeObligaciones(const Argumentos& a, Barrida& b, std::string& error) {
  if (a.obligaciones.empty()) return true;
  if (!leeCambiosObligaciones(a.obligaciones, b.partida.n, b.nombres, b.escenarios, error))
    return false;
  conservaFilas(b.partida, deudoresCambiados(b.escenarios));
  return true;
}

unsigned hilosDelBarrido(const Argumentos& a, std::int32_t n, std::size_t escenarios) {
  std::size_t cuantos = escenarios;
  if (a.tipo == Barrido::cadaNodo || a.tipo == Barrido::cadaNodoCae)
    cuantos = static_cast<std::size_t>(n);
  if (a.tipo == Barrido::choqueUniforme || a.tipo == Barrido::aleatorio)
    cuantos = cuantosEscenarios(a.choque);
  if (!a.obligaciones.empty()) cuantos = 0;  // the changes may add scenarios
  return static_cast<unsigned>(std::max<std::size_t>(
      1, trabajadoresEnOrden(cuantos == 0 ? kMaxHilosEnOrden : cuantos, hilosPara(a.hilos))));
}

unsigned hilosDelConjunto(const Argumentos& a, std::size_t porRed) {
  return static_cast<unsigned>(
      std::max<std::size_t>(1, trabajadoresEnOrden(porRed * a.redes, hilosPara(a.hilos))));
}

bool leeRed(const Argumentos& a, const std::function<unsigned(std::int32_t)>& hilos, Barrida& b,
            std::string& error) {
  b.partida.costes = a.costes;
  b.partida.guardaL = !a.obligaciones.empty();
  b.partida.memoriaCache = a.memoriaCache;
  return leePartida("input.txt", hilos, b.partida, error);
}

bool leeGruposDe(const Argumentos& a, Barrida& b, std::string& error) {
  return a.grupos.empty() || leeGrupos(a.grupos, b.partida.n, b.nombres, b.grupos, error);
}

bool leeTodo(const Argumentos& a, Barrida& b, std::string& error) {
  ArchivoEscenarios archivo;
  if (!leeArchivoDe(a, archivo, error)) return false;
  const auto hilosDeRed = [&](std::int32_t n) { return hilosDelBarrido(a, n, archivo.cuantos); };
  return leeRed(a, hilosDeRed, b, error) &&
         leeNombres("nodes.txt", b.partida.n, b.nombres, error) && leeGruposDe(a, b, error) &&
         leeFuente(a, archivo, b, error) && leeObligaciones(a, b, error);
}

bool leeConjuntoYFuente(const Argumentos& a, bool raiz, Conjunto& c, Barrida& b,
                        std::string& error) {
  ArchivoEscenarios archivo;
  if ((raiz && !leeArchivoDe(a, archivo, error)) ||
      !leeConjunto(a.conjunto, a.densidad, a.semilla, a.redes, c, error))
    return false;
  b.nombres = c.marginales.nombres;
  b.partida.n = static_cast<std::int32_t>(b.nombres.size());
  b.partida.costes = a.costes;
  if (raiz && !leeFuente(a, archivo, b, error)) return false;
  // The other ranks of an MPI run learn the scenarios later (and hold no summary).
  const std::size_t cuantos = raiz ? cuantosEscenarios(b.escenarios) : kMaxHilosEnOrden;
  const auto n = static_cast<double>(b.partida.n);
  const double resumen = raiz ? bytesDeResumenes(cuantos, b.nombres.size(), a.redes) : 0.0;
  // The summary as n×n matrices, a count well within an int even for absurd K.
  const double comoMatrices = std::min(std::ceil(resumen / (n * n * sizeof(double))), 1e9);
  const int matrices =
      matricesDeBarridoDeRedes(hilosDelConjunto(a, cuantos)) + static_cast<int>(comoMatrices);
  if (cabeRed(b.partida.n, matrices, error)) return true;
  error = a.conjunto + error.substr(error.find(':'));  // the gate speaks of input.txt
  return false;
}
