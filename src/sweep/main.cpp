// clearing-sweep: in a directory holding input.txt and optionally nodes.txt,
// clears the network under many outside-cash scenarios and writes sweep.csv
// and sweep_nodes.csv, or nothing and a message on standard error. Built
// with MPI (clearing-sweep-mpi), the scenarios are shared among the ranks of
// mpirun and rank 0 writes the files.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/enorden.h"
#include "base/hilos.h"
#include "base/plataforma.h"
#include "base/reparto.h"
#include "comun/costes.h"
#include "comun/motivos.h"
#include "comun/nodos.h"
#include "comun/opciones.h"
#include "comun/recursos.h"
#include "comun/texto.h"
#include "lectura/lector.h"
#include "sweep/avance.h"
#include "barrido/barrido.h"
#include "barrido/barrido_csv.h"
#include "barrido/conjunto.h"
#include "escenarios/escenarios.h"

#ifdef CLEARING_MPI
#include "sweep/barrido_mpi.h"
#endif

namespace {

#ifdef CLEARING_MPI
// The same sweep across the ranks of mpirun; --ensemble is not among its forms.
constexpr const char* kPrograma = "clearing-sweep-mpi";
constexpr const char* kUso =
    "usage: mpirun -n RANKS clearing-sweep-mpi [--threads N] [--costs ALPHA:BETA]\n"
    "                      [--cache-mb MIB]\n"
    "                      SCENARIOS.csv | - | --each-node | --uniform-shock FROM:TO:STEP\n"
    "In the directory of input.txt (and optionally nodes.txt), on a file system\n"
    "every rank sees, clears the network once per scenario, the scenarios shared\n"
    "among the ranks, each on N threads (default: every core of its machine).\n"
    "Rank 0 writes sweep.csv and sweep_nodes.csv, the same bytes as clearing-sweep\n"
    "with the same arguments; see clearing-sweep --help for the forms. Each rank\n"
    "keeps its own cache of eliminated blocks (--cache-mb MIB each).\n";
#else
constexpr const char* kPrograma = "clearing-sweep";
constexpr const char* kUso =
    "usage: clearing-sweep [--threads N] [--costs ALPHA:BETA] [--cache-mb MIB]\n"
    "                      SCENARIOS.csv | - | --each-node | --uniform-shock FROM:TO:STEP\n"
    "In the directory of input.txt (and optionally nodes.txt), clears the network\n"
    "once per scenario and writes sweep.csv and sweep_nodes.csv beside them.\n"
    "SCENARIOS.csv (- for standard input) has the columns scenario,node,cash;\n"
    "a node is a name of nodes.txt, or #K for node K (K alone without nodes.txt).\n"
    "--each-node sets each node's cash to 0 in turn (and ranks the nodes by the\n"
    "loss of their failure in systemic.csv); --uniform-shock multiplies\n"
    "every node's cash by 1 - s for s = FROM + k*STEP <= TO <= 1. --costs clears\n"
    "with default costs: a defaulting node pays ALPHA of its cash and BETA of what\n"
    "it receives (both in (0, 1]; 1:1, the default, is the clearing without costs).\n"
    "--cache-mb keeps up to MIB MiB of eliminated round systems for scenarios whose\n"
    "round has a default set seen before (0: none; default: a quarter of the free\n"
    "memory); the files are the same bytes whatever it is.\n"
    "       clearing-sweep [--threads N] --ensemble MARGINALS.csv --sample K\n"
    "                      --density D --seed S SCENARIOS\n"
    "clears the scenarios on each of K networks made from the totals of\n"
    "MARGINALS.csv (as clearing-reconstruct --sample-one k makes network k), in\n"
    "the current directory; adds a network column and writes sweep_summary.csv.\n";
#endif

struct Argumentos {
  unsigned hilos = 0;  // 0: every core
  Barrido tipo = Barrido::archivo;
  std::string fuente;       // the file, or FROM:TO:STEP
  Escenarios choque;        // choqueUniforme: FROM:TO:STEP read
  std::string textoCostes;  // --costs ALPHA:BETA as given, or empty
  Costes costes;            // what it says; none: the clearing without costs
  std::string conjunto;     // --ensemble MARGINALS.csv
  std::uint64_t redes = 0, semilla = 0;
  double densidad = 0.0;
  double memoriaCache = -1.0;  // --cache-mb in bytes; negative: the default
};

// Wrong arguments: the usage, with what is wrong when it is known; status 2.
int usoIncorrecto(const std::string& error = "") {
  if (!error.empty()) (void)std::fprintf(stderr, "%s\n", error.c_str());
  (void)std::fputs(kUso, stderr);
  return 2;
}

// --ensemble's options, each with its value; false for anything else.
bool leeOpcionDeConjunto(std::string_view arg, const char* valor, Argumentos& a, int& vistas) {
  if (valor == nullptr) return false;
  const std::string_view texto = valor;
  const char* fin = texto.data() + texto.size();
  if (arg == "--ensemble") {
    a.conjunto = texto;
  } else if (arg == "--density") {
    if (!esRealValido(texto, a.densidad) || !(a.densidad > 0.0 && a.densidad <= 1.0)) return false;
  } else if (arg == "--sample" || arg == "--seed") {
    std::uint64_t& destino = arg == "--sample" ? a.redes : a.semilla;
    const auto [donde, fallo] = std::from_chars(texto.data(), fin, destino);
    if (fallo != std::errc{} || donde != fin) return false;
  } else {
    return false;
  }
  ++vistas;
  return true;
}

bool leeArgumentos(int argc, char** argv, Argumentos& a) {
  bool conFuente = false;
  int deConjunto = 0;
  for (int k = 1; k < argc; ++k) {
    const std::string_view arg = argv[k];
    std::int32_t pedidos = 0;
    if (arg == "--ensemble" || arg == "--sample" || arg == "--density" || arg == "--seed") {
      if (!leeOpcionDeConjunto(arg, k + 1 < argc ? argv[++k] : nullptr, a, deConjunto))
        return false;
      continue;
    }
    if (arg == "--threads" && k + 1 < argc) {
      if (!esEnteroValido(argv[++k], pedidos) || pedidos < 1) return false;
      a.hilos = static_cast<unsigned>(pedidos);
      continue;
    }
    if (arg == "--costs" && k + 1 < argc) {
      a.textoCostes = argv[++k];
      continue;
    }
    if (arg == "--cache-mb" && k + 1 < argc) {
      double mib = 0.0;
      if (!esRealValido(argv[++k], mib) || !(mib >= 0.0)) return false;
      a.memoriaCache = mib * 1024.0 * 1024.0;
      continue;
    }
    if (conFuente) return false;
    conFuente = true;
    if (arg == "--each-node") {
      a.tipo = Barrido::cadaNodo;
    } else if (arg == "--uniform-shock" && k + 1 < argc) {
      a.tipo = Barrido::choqueUniforme;
      a.fuente = argv[++k];
    } else if (arg == "-" || !arg.starts_with("--")) {
      a.fuente = arg;
    } else {
      return false;
    }
  }
  // An ensemble takes all four options once, and at least one network.
  return conFuente && (deConjunto == 0 ||
                       (deConjunto == 4 && !a.conjunto.empty() && a.redes > 0 && a.densidad > 0.0));
}

struct Barrida {
  Partida partida;
  std::vector<std::string> nombres;
  Escenarios escenarios;
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
    case Barrido::choqueUniforme:
      b.escenarios = a.choque;
      return true;
    case Barrido::cajas:  // the Python module's, never an argument
    case Barrido::archivo:
      break;
  }
  return leeEscenarios(archivo, b.partida.n, b.nombres, b.escenarios, error);
}

// The threads of a sweep: those asked for, or every core, but no more than
// the pipeline takes and the scenarios (when known: `escenarios` is 0 for a
// file not read here).
unsigned hilosDelBarrido(const Argumentos& a, std::int32_t n, std::size_t escenarios) {
  std::size_t cuantos = escenarios;
  if (a.tipo == Barrido::cadaNodo) cuantos = static_cast<std::size_t>(n);
  if (a.tipo == Barrido::choqueUniforme) cuantos = cuantosEscenarios(a.choque);
  return static_cast<unsigned>(std::max<std::size_t>(
      1, trabajadoresEnOrden(cuantos == 0 ? kMaxHilosEnOrden : cuantos, hilosPara(a.hilos))));
}

// input.txt, what every process reads, with the costs asked for; the sweep's
// threads as hilos(n) says for a network of n nodes.
bool leeRed(const Argumentos& a, const std::function<unsigned(std::int32_t)>& hilos, Barrida& b,
            std::string& error) {
  b.partida.costes = a.costes;
  b.partida.memoriaCache = a.memoriaCache;
  return leePartida("input.txt", hilos, b.partida, error);
}

// The scenario file's rows, when the scenarios come from a file.
bool leeArchivoDe(const Argumentos& a, ArchivoEscenarios& archivo, std::string& error) {
  return a.tipo != Barrido::archivo ||
         leeArchivoEscenarios(a.fuente == "-" ? "/dev/stdin" : a.fuente, a.fuente, archivo, error);
}

// What the whole run reads: the scenario file's rows first (the threads, and
// so the memory, depend on how many scenarios it names), then input.txt,
// nodes.txt, and the file's nodes looked up.
bool leeTodo(const Argumentos& a, Barrida& b, std::string& error) {
  ArchivoEscenarios archivo;
  if (!leeArchivoDe(a, archivo, error)) return false;
  const auto hilosDeRed = [&](std::int32_t n) { return hilosDelBarrido(a, n, archivo.cuantos); };
  return leeRed(a, hilosDeRed, b, error) &&
         leeNombres("nodes.txt", b.partida.n, b.nombres, error) && leeFuente(a, archivo, b, error);
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

  bool toma(std::size_t k, const ResultadoEscenario& resultado) {
    escribeEscenario(salida, nombreEscenario(b.escenarios, k), resultado);
    if (b.escenarios.tipo == Barrido::cadaNodo)
      sistemicos.push_back(sistemicoDe(k, resultado, b.partida.pBarra));
    avance.muestra(k + 1);
    return true;
  }

  // The files into place, systemic.csv beside them after an each-node sweep.
  bool confirma(std::string& error) {
    if (b.escenarios.tipo != Barrido::cadaNodo) return confirmaSalidaBarrido(salida, error);
    ArchivoNuevo sistemico;
    if (!abreNuevo(sistemico, "systemic.csv", error)) {
      descartaSalidaBarrido(salida);
      return false;
    }
    escribe(sistemico, textoSistemicos(std::move(sistemicos), salida.camposNombres));
    return confirmaSalidaBarrido(salida, error, &sistemico);
  }
};

#ifndef CLEARING_MPI

// Every scenario on network 0, then on network 1, …: each network made when
// its turn comes, its rows after a network column, the summary at the end.
int ejecutaConjunto(const Argumentos& a) {
  Conjunto c;
  Barrida b;
  std::string error;
  ArchivoEscenarios archivo;
  if (!leeArchivoDe(a, archivo, error) ||
      !leeConjunto(a.conjunto, a.densidad, a.semilla, a.redes, c, error))
    return falla(error);
  b.nombres = c.marginales.nombres;
  // What a sweep holds, and each network's L while it is made.
  const auto n = static_cast<std::int32_t>(b.nombres.size());
  if (!cabeRed(n, matricesDeBarrido(hilosPara(a.hilos)) + 1, error)) return falla(error);
  partidaDeRed(c, 0, b.partida);
  b.partida.costes = a.costes;
  b.partida.memoriaCache = a.memoriaCache;  // a cache of its own for each network
  if (!leeFuente(a, archivo, b, error)) return falla(error);
  const std::size_t cuantos = cuantosEscenarios(b.escenarios);
  Escritor escritor{b, {}, {esTerminalDeError(), cuantos * a.redes}, {}};
  if (!abreSalidaBarrido(escritor.salida, b.partida.pBarra, b.nombres, error, true))
    return falla(error);
  Resumenes resumenes = preparaResumenes(cuantos, b.nombres.size());
  const Tanda tanda{cuantos, [](std::size_t m) { return m; }};
  for (std::uint64_t k = 0; k < a.redes; ++k) {
    if (k > 0) partidaDeRed(c, k, b.partida);  // the costs and the cache's budget stay
    escritor.salida.red = std::to_string(k) + ",";
    const auto falta =
        barre(b.partida, b.escenarios, tanda, hilosPara(a.hilos),
              [&](std::size_t m, const ResultadoEscenario& r) {
                acumula(resumenes, m, r, b.partida.pBarra);
                escribeEscenario(escritor.salida, nombreEscenario(b.escenarios, m), r);
                escritor.avance.muestra(k * cuantos + m + 1);
                return true;
              });
    if (falta) {
      descartaSalidaBarrido(escritor.salida);
      return falla(sinMemoria(b, *falta));
    }
  }
  ArchivoNuevo resumen;
  if (!abreNuevo(resumen, "sweep_summary.csv", error)) {
    descartaSalidaBarrido(escritor.salida);
    return falla(error);
  }
  escribeResumenes(resumen, resumenes, b.escenarios, b.nombres);
  if (!confirmaSalidaBarrido(escritor.salida, error, &resumen)) return falla(error);
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

// Every rank reads input.txt; rank 0 alone reads nodes.txt and the scenarios
// (standard input reaches rank 0 only) and hands the scenarios of a file to
// the others. A failure is told by rank 0, or by the rank that alone failed.
bool preparaRangos(const Argumentos& a, Rangos rangos, Barrida& b) {
  std::string error;
  const auto hilosDeRed = [&](std::int32_t n) { return hilosDelBarrido(a, n, 0); };
  bool bien = rangos.rango == 0 ? leeTodo(a, b, error) : leeRed(a, hilosDeRed, b, error);
  std::string bien0 = bien ? "1" : "0";
  difunde(bien0);
  if (!bien && (rangos.rango == 0 || bien0 == "1"))
    (void)falla(rangos.rango == 0 ? error : "rank " + std::to_string(rangos.rango) + ": " + error);
  if (!todosBien(bien)) return false;
  std::string bytes;
  if (a.tipo == Barrido::archivo && rangos.rango == 0) bytes = empaquetaEscenarios(b.escenarios);
  if (a.tipo == Barrido::archivo) difunde(bytes);
  if (rangos.rango == 0) return true;
  if (a.tipo == Barrido::archivo) return desempaquetaEscenarios(bytes, b.escenarios);
  return leeFuente(a, ArchivoEscenarios{}, b, error);  // the same built-in sweep rank 0 made
}

int barreRangos(const Argumentos& a, Rangos rangos) {
  Barrida b;
  if (!preparaRangos(a, rangos, b)) return 1;
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
  if (falta && raiz) {
    descartaSalidaBarrido(escritor.salida);
    (void)falla(sinMemoria(b, *falta));
    abortaMpi();  // the other ranks may be waiting on exchanges that will not come
  }
  if (falta) return 1;  // rank 0 ends the run when it reaches this rank's chunk
  if (raiz && !escritor.confirma(error)) return falla(error);
  return 0;
}

int ejecuta(const Argumentos& a, int& argc, char**& argv) {
  if (!a.conjunto.empty()) {
    (void)std::fputs("clearing-sweep-mpi: --ensemble runs in clearing-sweep only\n", stderr);
    return 2;
  }
  const Rangos rangos = iniciaMpi(argc, argv);
  const int estado = barreRangos(a, rangos);
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
  if (!a.textoCostes.empty() && !leeCostes(a.textoCostes, a.costes, error))
    return usoIncorrecto(error);
  ignoraLimiteDeArchivo();  // a file-size limit is a write error, and a message
#ifdef CLEARING_MPI
  return ejecuta(a, argc, argv);
#else
  return ejecuta(a);
#endif
}
