// clearing-sweep: in a directory holding input.txt and optionally nodes.txt,
// clears the network under many outside-cash scenarios and writes sweep.csv
// and sweep_nodes.csv, or nothing and a message on standard error. Built
// with MPI (clearing-sweep-mpi), the scenarios are shared among the ranks of
// mpirun and rank 0 writes the files.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "barrido/aleatorios.h"
#include "barrido/barrido.h"
#include "barrido/barrido_csv.h"
#include "barrido/conjunto.h"
#include "base/enorden.h"
#include "base/hilos.h"
#include "base/reparto.h"
#include "comun/costes.h"
#include "comun/motivos.h"
#include "comun/nodos.h"
#include "comun/opciones.h"
#include "comun/recursos.h"
#include "comun/texto.h"
#include "escenarios/archivo_escenarios.h"
#include "escenarios/escenarios.h"
#include "escenarios/grupos_csv.h"
#include "escenarios/obligaciones_csv.h"
#include "lectura/lector.h"
#include "sistema/plataforma.h"
#include "sweep/argumentos.h"
#include "sweep/avance.h"

#ifdef CLEARING_MPI
#include "sweep/barrido_mpi.h"
#endif

namespace {

struct Barrida {
  Partida partida;
  std::vector<std::string> nombres;
  Escenarios escenarios;
  Grupos grupos;  // --groups
};

int falla(const std::string& error) {
  (void)std::fprintf(stderr, "%s\n", error.c_str());
  return 1;
}

// The scenarios, once the network and its names are read: the file's rows
// looked up, or a built-in sweep.
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

// What comes after the scenarios: the entries of L they set, and the rows
// of L those need, the rest of L let go.
bool leeObligaciones(const Argumentos& a, Barrida& b, std::string& error) {
  if (a.obligaciones.empty()) return true;
  if (!leeCambiosObligaciones(a.obligaciones, b.partida.n, b.nombres, b.escenarios, error))
    return false;
  conservaFilas(b.partida, deudoresCambiados(b.escenarios));
  return true;
}

// The threads of a sweep: those asked for, or every core, but no more than
// the pipeline takes and the scenarios (when known: `escenarios` is 0 for a
// file not read here).
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

// The threads of an ensemble's sweep: those asked for, or every core, but
// no more than the pipeline takes and the ensemble's scenarios.
unsigned hilosDelConjunto(const Argumentos& a, std::size_t porRed) {
  return static_cast<unsigned>(
      std::max<std::size_t>(1, trabajadoresEnOrden(porRed * a.redes, hilosPara(a.hilos))));
}

// input.txt, what every process reads, with the costs asked for; the sweep's
// threads as hilos(n) says for a network of n nodes.
bool leeRed(const Argumentos& a, const std::function<unsigned(std::int32_t)>& hilos, Barrida& b,
            std::string& error) {
  b.partida.costes = a.costes;
  b.partida.guardaL = !a.obligaciones.empty();
  b.partida.memoriaCache = a.memoriaCache;
  return leePartida("input.txt", hilos, b.partida, error);
}

// The scenario file's rows, when the scenarios come from a file.
bool leeArchivoDe(const Argumentos& a, ArchivoEscenarios& archivo, std::string& error) {
  return a.tipo != Barrido::archivo || a.fuente.empty() ||
         leeArchivoEscenarios(a.fuente == "-" ? "/dev/stdin" : a.fuente, a.fuente, archivo, error);
}

// GROUPS.csv, once the nodes' names are known.
bool leeGruposDe(const Argumentos& a, Barrida& b, std::string& error) {
  return a.grupos.empty() || leeGrupos(a.grupos, b.partida.n, b.nombres, b.grupos, error);
}

// What the whole run reads: the scenario file's rows first (the threads, and
// so the memory, depend on how many scenarios it names), then input.txt,
// nodes.txt, and the file's nodes looked up.
bool leeTodo(const Argumentos& a, Barrida& b, std::string& error) {
  ArchivoEscenarios archivo;
  if (!leeArchivoDe(a, archivo, error)) return false;
  const auto hilosDeRed = [&](std::int32_t n) { return hilosDelBarrido(a, n, archivo.cuantos); };
  return leeRed(a, hilosDeRed, b, error) &&
         leeNombres("nodes.txt", b.partida.n, b.nombres, error) && leeGruposDe(a, b, error) &&
         leeFuente(a, archivo, b, error) && leeObligaciones(a, b, error);
}

std::string sinMemoria(const Barrida& b, std::size_t k) {
  return std::string(kPrograma) + ": " + motivo(Fallo{}) + " (scenario " +
         citado(nombreEscenario(b.escenarios, k)) + "); nothing written";
}

// Writes the rows as the results come, in scenario order (rank 0 of an MPI
// run, or the one process).
struct Escritor {
  const Barrida& b;
  SalidaBarrido salida;
  Avance avance;
  std::vector<Sistemico> sistemicos;  // an each-node sweep's, for systemic.csv

  // Scenario k is node k's: its cash lost, or its failure.
  bool porNodo() const {
    return b.escenarios.tipo == Barrido::cadaNodo || b.escenarios.tipo == Barrido::cadaNodoCae;
  }

  bool toma(std::size_t k, const ResultadoEscenario& resultado) {
    escribeEscenario(salida, nombreEscenario(b.escenarios, k), resultado);
    if (porNodo()) sistemicos.push_back(sistemicoDe(k, resultado, b.partida.pBarra));
    avance.muestra(k + 1);
    return true;
  }

  // The files into place, systemic.csv beside them after an each-node sweep.
  bool confirma(std::string& error) {
    if (!porNodo()) return confirmaSalidaBarrido(salida, error);
    ArchivoNuevo sistemico;
    if (!abreNuevo(sistemico, "systemic.csv", error)) {
      descartaSalidaBarrido(salida);
      return false;
    }
    escribe(sistemico, textoSistemicos(std::move(sistemicos), salida.camposNombres));
    return confirmaSalidaBarrido(salida, error, &sistemico);
  }
};

// An ensemble's run: MARGINALS.csv read, and on the process that writes the
// files (raiz) the scenarios; the memory gate passed for the sweep and, on
// raiz, sweep_summary.csv's figures. No network is made here: barreRedes
// makes each on the pool.
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

// Writes an ensemble's rows as the results come, in order: network k's
// scenarios after network k − 1's, each row after its network's number;
// and sweep_summary.csv at the end.
struct EscritorConjunto {
  const Barrida& b;
  SalidaBarrido salida;
  Avance avance;
  Resumenes resumenes;

  bool toma(std::size_t k, const ResultadoEscenario& resultado) {
    const std::size_t porRed = resumenes.conVector.size();
    salida.red = std::to_string(k / porRed) + ",";
    salida.pBarra = &resultado.pBarra;
    acumula(resumenes, k % porRed, resultado);
    escribeEscenario(salida, nombreEscenario(b.escenarios, k % porRed), resultado);
    avance.muestra(k + 1);
    return true;
  }

  bool confirma(std::string& error) {
    ArchivoNuevo resumen;
    if (!abreNuevo(resumen, "sweep_summary.csv", error)) {
      descartaSalidaBarrido(salida);
      return false;
    }
    escribeResumenes(resumen, resumenes, b.escenarios, b.nombres);
    return confirmaSalidaBarrido(salida, error, &resumen);
  }
};

// The writer of an ensemble's files, its files opened; false with error.
bool abreConjunto(const Argumentos& a, bool progreso, EscritorConjunto& escritor,
                  std::string& error) {
  const std::size_t cuantos = cuantosEscenarios(escritor.b.escenarios);
  escritor.avance = {progreso, cuantos * a.redes};
  escritor.resumenes = preparaResumenes(cuantos, escritor.b.nombres.size(), a.redes);
  return abreSalidaBarrido(escritor.salida, escritor.b.partida.pBarra, escritor.b.nombres, error,
                           true);
}

#ifndef CLEARING_MPI

// Every scenario on network 0, then on network 1, …: the networks made on
// the pool as their scenarios come, the summary at the end.
int ejecutaConjunto(const Argumentos& a) {
  Conjunto c;
  Barrida b;
  std::string error;
  if (!leeConjuntoYFuente(a, true, c, b, error)) return falla(error);
  EscritorConjunto escritor{b, {}, {}, {}};
  if (!abreConjunto(a, esTerminalDeError(), escritor, error)) return falla(error);
  const std::size_t cuantos = cuantosEscenarios(b.escenarios);
  const Tanda tanda{cuantos * a.redes, [](std::size_t m) { return m; }};
  const auto falta =
      barreRedes(redesDe(c, a.costes, cuantos), b.escenarios, tanda, hilosDelConjunto(a, cuantos),
                 [&](std::size_t k, const ResultadoEscenario& r) { return escritor.toma(k, r); });
  if (falta) {
    descartaSalidaBarrido(escritor.salida);
    return falla(sinMemoria(b, *falta % cuantos));
  }
  if (!escritor.confirma(error)) return falla(error);
  return 0;
}

int ejecuta(const Argumentos& a) {
  if (!a.conjunto.empty()) return ejecutaConjunto(a);
  Barrida b;
  std::string error;
  if (!leeTodo(a, b, error)) return falla(error);
  Escritor escritor{b, {}, {esTerminalDeError(), cuantosEscenarios(b.escenarios)}, {}};
  if (!abreSalidaBarrido(escritor.salida, b.partida.pBarra, b.nombres, error)) return falla(error);
  const Tanda tanda{cuantosEscenarios(b.escenarios), [](std::size_t m) { return m; }};
  const auto falta =
      barre(b.partida, b.escenarios, tanda, hilosDelBarrido(a, b.partida.n, tanda.cuantos),
            [&](std::size_t k, const ResultadoEscenario& r) { return escritor.toma(k, r); });
  if (falta) {
    descartaSalidaBarrido(escritor.salida);
    return falla(sinMemoria(b, *falta));
  }
  if (!escritor.confirma(error)) return falla(error);
  return 0;
}

#else

// Whether every rank read what it needs. A failure is told by rank 0, or by
// the rank that alone failed.
bool leidoEnRangos(Rangos rangos, bool bien, const std::string& error) {
  std::string bien0 = bien ? "1" : "0";
  difunde(bien0);
  if (!bien && (rangos.rango == 0 || bien0 == "1"))
    (void)falla(rangos.rango == 0 ? error : "rank " + std::to_string(rangos.rango) + ": " + error);
  return todosBien(bien);
}

// The scenarios on the other ranks where rank 0 alone read them (standard
// input reaches rank 0 only; an ensemble's file), handed over with the
// entries of L they set; a built-in sweep made again as rank 0 made it.
bool escenariosEnRangos(const Argumentos& a, Rangos rangos, Barrida& b) {
  std::string bytes;
  if (a.tipo == Barrido::archivo && rangos.rango == 0) bytes = empaquetaEscenarios(b.escenarios);
  if (a.tipo == Barrido::archivo) difunde(bytes);
  if (rangos.rango == 0) return true;
  std::string error;
  if (a.tipo == Barrido::archivo)
    return desempaquetaEscenarios(bytes, b.escenarios) && leeObligaciones(a, b, error);
  return leeFuente(a, ArchivoEscenarios{}, b, error);
}

// Every rank reads what the run reads itself, the scenario file too;
// standard input reaches rank 0 only, which then hands its scenarios over.
bool preparaRangos(const Argumentos& a, Rangos rangos, Barrida& b) {
  std::string error;
  const bool deEntrada = a.tipo == Barrido::archivo && a.fuente == "-";
  const auto hilosDeRed = [&](std::int32_t n) { return hilosDelBarrido(a, n, 0); };
  const bool bien = rangos.rango == 0 || !deEntrada
                        ? leeTodo(a, b, error)
                        : leeRed(a, hilosDeRed, b, error) &&
                              leeNombres("nodes.txt", b.partida.n, b.nombres, error) &&
                              leeGruposDe(a, b, error);
  return leidoEnRangos(rangos, bien, error) && (!deEntrada || escenariosEnRangos(a, rangos, b));
}

// A rank's end: a rank out of memory ends every rank's run (rank 0 says so
// when it reaches that rank's chunk), and rank 0 puts the files in place.
template <typename EscritorDeRango>
int concluyeRango(std::optional<std::size_t> falta, bool raiz, EscritorDeRango& escritor,
                  const Barrida& b) {
  if (falta && raiz) {
    descartaSalidaBarrido(escritor.salida);
    (void)falla(sinMemoria(b, *falta % cuantosEscenarios(b.escenarios)));
    abortaMpi();  // the other ranks may be waiting on exchanges that will not come
  }
  if (falta) return 1;
  std::string error;
  if (raiz && !escritor.confirma(error)) return falla(error);
  return 0;
}

int barreRangos(const Argumentos& a, Rangos rangos) {
  Barrida b;
  if (!preparaRangos(a, rangos, b)) return 1;
  b.partida.procesos = static_cast<unsigned>(rangos.enMaquina);
  std::string error;
  const bool raiz = rangos.rango == 0;
  Escritor escritor{b, {}, {raiz && esTerminalDeError(), cuantosEscenarios(b.escenarios)}, {}};
  const bool abierto =
      !raiz || abreSalidaBarrido(escritor.salida, b.partida.pBarra, b.nombres, error);
  if (!abierto) (void)falla(error);
  if (!todosBien(abierto)) return 1;
  const auto falta = barreRepartido(
      b.partida, b.escenarios, hilosDelBarrido(a, b.partida.n, cuantosEscenarios(b.escenarios)),
      rangos, [&](std::size_t k, const ResultadoEscenario& r) { return escritor.toma(k, r); });
  return concluyeRango(falta, raiz, escritor, b);
}

// An ensemble across the ranks: every rank reads MARGINALS.csv and makes the
// networks of its chunks; rank 0 reads the scenarios and writes the files.
int barreConjuntoRangos(const Argumentos& a, Rangos rangos) {
  Conjunto c;
  Barrida b;
  std::string error;
  const bool raiz = rangos.rango == 0;
  const bool bien = leeConjuntoYFuente(a, raiz, c, b, error);
  if (!leidoEnRangos(rangos, bien, error) || !escenariosEnRangos(a, rangos, b)) return 1;
  EscritorConjunto escritor{b, {}, {}, {}};
  const bool abierto = !raiz || abreConjunto(a, esTerminalDeError(), escritor, error);
  if (!abierto) (void)falla(error);
  if (!todosBien(abierto)) return 1;
  const std::size_t cuantos = cuantosEscenarios(b.escenarios);
  const auto falta = barreRedesRepartido(
      redesDe(c, a.costes, cuantos), b.escenarios, hilosDelConjunto(a, cuantos), a.redes, rangos,
      [&](std::size_t k, const ResultadoEscenario& r) { return escritor.toma(k, r); });
  return concluyeRango(falta, raiz, escritor, b);
}

int ejecuta(const Argumentos& a, int& argc, char**& argv) {
  const Rangos rangos = iniciaMpi(argc, argv);
  const int estado = a.conjunto.empty() ? barreRangos(a, rangos) : barreConjuntoRangos(a, rangos);
  terminaMpi();
  return estado;
}

#endif

}  // namespace

int main(int argc, char** argv) {
  if (const auto respuesta = respondeOpcion(argc, argv, kPrograma, kUso)) return *respuesta;
  Argumentos a;
  if (!leeArgumentos(argc, argv, a)) return usoIncorrecto();
  std::string error;
  if (a.tipo == Barrido::choqueUniforme && !leeChoqueUniforme(a.fuente, a.choque, error))
    return usoIncorrecto(error);
  if (a.tipo == Barrido::aleatorio &&
      !leeAleatorios(a.cuantos, a.textoSemilla, a.media, a.correlacion, a.choque, error))
    return usoIncorrecto(error);
  if (a.tipo == Barrido::cadaNodoCae && !escenariosPorCaida(0, {}, a.fuente, a.choque, error))
    return usoIncorrecto(error);
  if (!a.textoCostes.empty() && !leeCostes(a.textoCostes, a.costes, error))
    return usoIncorrecto(error);
  ignoraLimiteDeArchivo();  // a file-size limit is a write error, and a message
#ifdef CLEARING_MPI
  return ejecuta(a, argc, argv);
#else
  return ejecuta(a);
#endif
}
