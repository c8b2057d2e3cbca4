// clearing-sweep: in a directory holding input.txt and optionally nodes.txt,
// clears the network under many outside-cash scenarios and writes sweep.csv
// and sweep_nodes.csv, or nothing and a message on standard error. Built
// with MPI (clearing-sweep-mpi), the scenarios are shared among the ranks of
// mpirun and rank 0 writes the files.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/hilos.h"
#include "base/plataforma.h"
#include "base/reparto.h"
#include "comun/motivos.h"
#include "comun/nodos.h"
#include "comun/opciones.h"
#include "comun/texto.h"
#include "lectura/lector.h"
#include "sweep/avance.h"
#include "sweep/barrido.h"
#include "sweep/barrido_csv.h"
#include "sweep/escenarios.h"

#ifdef CLEARING_MPI
#include "sweep/barrido_mpi.h"
#endif

namespace {

constexpr const char* kUso =
    "usage: clearing-sweep [--threads N] SCENARIOS.csv | - | --each-node |\n"
    "                      --uniform-shock FROM:TO:STEP\n"
    "In the directory of input.txt (and optionally nodes.txt), clears the network\n"
    "once per scenario and writes sweep.csv and sweep_nodes.csv beside them.\n"
    "SCENARIOS.csv (- for standard input) has the columns scenario,node,cash;\n"
    "--each-node sets each node's cash to 0 in turn; --uniform-shock multiplies\n"
    "every node's cash by 1 - s for s = FROM + k*STEP <= TO.\n";

constexpr const char* kPrograma = "clearing-sweep";

struct Argumentos {
  unsigned hilos = 0;  // 0: every core
  Barrido tipo = Barrido::archivo;
  std::string fuente;  // the file, or FROM:TO:STEP
};

bool leeArgumentos(int argc, char** argv, Argumentos& a) {
  bool conFuente = false;
  for (int k = 1; k < argc; ++k) {
    const std::string_view arg = argv[k];
    std::int32_t pedidos = 0;
    if (arg == "--threads" && k + 1 < argc) {
      if (!esEnteroValido(argv[++k], pedidos) || pedidos < 1) return false;
      a.hilos = static_cast<unsigned>(pedidos);
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
  return conFuente;
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

// The scenarios, for the process that reads them.
bool leeFuente(const Argumentos& a, Barrida& b, std::string& error) {
  switch (a.tipo) {
    case Barrido::cadaNodo:
      b.escenarios = escenariosPorNodo(b.partida.n, b.nombres);
      return true;
    case Barrido::choqueUniforme:
      return leeChoqueUniforme(a.fuente, b.escenarios, error);
    case Barrido::cajas:  // the Python module's, never an argument
    case Barrido::archivo:
      break;
  }
  const std::string ruta = a.fuente == "-" ? "/dev/stdin" : a.fuente;
  return leeEscenarios(ruta, a.fuente, b.partida.n, b.nombres, b.escenarios, error);
}

// What the whole run reads: input.txt, nodes.txt and the scenarios.
bool leeTodo(const Argumentos& a, Barrida& b, std::string& error) {
  return leePartida("input.txt", hilosPara(a.hilos), b.partida, error) &&
         leeNombres("nodes.txt", b.partida.n, b.nombres, error) && leeFuente(a, b, error);
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

  bool toma(std::size_t k, const ResultadoEscenario& resultado) {
    escribeEscenario(salida, nombreEscenario(b.escenarios, k), resultado);
    avance.muestra(k + 1);
    return true;
  }
};

#ifndef CLEARING_MPI

int ejecuta(const Argumentos& a) {
  Barrida b;
  std::string error;
  if (!leeTodo(a, b, error)) return falla(error);
  Escritor escritor{b, {}, {esTerminalDeError(), cuantosEscenarios(b.escenarios)}};
  if (!abreSalidaBarrido(escritor.salida, b.partida.pBarra, b.nombres, error)) return falla(error);
  const Tanda tanda{cuantosEscenarios(b.escenarios), [](std::size_t m) { return m; }};
  const auto falta =
      barre(b.partida, b.escenarios, tanda, hilosPara(a.hilos),
            [&](std::size_t k, const ResultadoEscenario& r) { return escritor.toma(k, r); });
  if (falta) {
    descartaSalidaBarrido(escritor.salida);
    return falla(sinMemoria(b, *falta));
  }
  if (!confirmaSalidaBarrido(escritor.salida, error)) return falla(error);
  return 0;
}

#else

// Every rank reads input.txt; rank 0 alone reads nodes.txt and the scenarios
// (standard input reaches rank 0 only) and hands the scenarios of a file to
// the others. A failure is told by rank 0, or by the rank that alone failed.
bool preparaRangos(const Argumentos& a, Rangos rangos, Barrida& b) {
  std::string error;
  bool bien = rangos.rango == 0 ? leeTodo(a, b, error)
                                : leePartida("input.txt", hilosPara(a.hilos), b.partida, error);
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
  return leeFuente(a, b, error);  // the same built-in sweep rank 0 made
}

int barreRangos(const Argumentos& a, Rangos rangos) {
  Barrida b;
  if (!preparaRangos(a, rangos, b)) return 1;
  std::string error;
  const bool raiz = rangos.rango == 0;
  Escritor escritor{b, {}, {raiz && esTerminalDeError(), cuantosEscenarios(b.escenarios)}};
  const bool abierto =
      !raiz || abreSalidaBarrido(escritor.salida, b.partida.pBarra, b.nombres, error);
  if (!abierto) (void)falla(error);
  if (!todosBien(abierto)) return 1;
  const auto falta = barreRepartido(
      b.partida, b.escenarios, hilosPara(a.hilos), rangos,
      [&](std::size_t k, const ResultadoEscenario& r) { return escritor.toma(k, r); });
  if (falta && raiz) {
    descartaSalidaBarrido(escritor.salida);
    (void)falla(sinMemoria(b, *falta));
    abortaMpi();  // the other ranks may be waiting on exchanges that will not come
  }
  if (falta) return 1;  // rank 0 ends the run when it reaches this rank's chunk
  if (raiz && !confirmaSalidaBarrido(escritor.salida, error)) return falla(error);
  return 0;
}

int ejecuta(const Argumentos& a, int& argc, char**& argv) {
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
  if (!leeArgumentos(argc, argv, a)) {
    (void)std::fputs(kUso, stderr);
    return 2;
  }
#ifdef CLEARING_MPI
  return ejecuta(a, argc, argv);
#else
  return ejecuta(a);
#endif
}
