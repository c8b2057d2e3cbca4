// clearing-sweep: in a directory holding input.txt and optionally nodes.txt,
// clears the network under many outside-cash scenarios and writes sweep.csv
// and sweep_nodes.csv, or nothing and a message on standard error. Built
// with MPI (clearing-sweep-mpi), the scenarios are shared among the ranks of
// mpirun and rank 0 writes the files.
#include <charconv>
#include <cstdint>
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
#include "comun/recursos.h"
#include "comun/texto.h"
#include "lectura/lector.h"
#include "sweep/avance.h"
#include "sweep/barrido.h"
#include "sweep/barrido_csv.h"
#include "sweep/conjunto.h"
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
    "every node's cash by 1 - s for s = FROM + k*STEP <= TO.\n"
    "       clearing-sweep [--threads N] --ensemble MARGINALS.csv --sample K\n"
    "                      --density D --seed S SCENARIOS\n"
    "clears the scenarios on each of K networks made from the totals of\n"
    "MARGINALS.csv (as clearing-reconstruct --sample-one k makes network k), in\n"
    "the current directory; adds a network column and writes sweep_summary.csv.\n";

constexpr const char* kPrograma = "clearing-sweep";

struct Argumentos {
  unsigned hilos = 0;  // 0: every core
  Barrido tipo = Barrido::archivo;
  std::string fuente;    // the file, or FROM:TO:STEP
  std::string conjunto;  // --ensemble MARGINALS.csv
  std::uint64_t redes = 0, semilla = 0;
  double densidad = 0.0;
};

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

// Every scenario on network 0, then on network 1, …: each network made when
// its turn comes, its rows after a network column, the summary at the end.
int ejecutaConjunto(const Argumentos& a) {
  Conjunto c;
  Barrida b;
  std::string error;
  if (!leeConjunto(a.conjunto, a.densidad, a.semilla, a.redes, c, error)) return falla(error);
  b.nombres = c.marginales.nombres;
  partidaDeRed(c, 0, b.partida);
  if (!cabeRed(b.partida.n, 2 + 2 * static_cast<int>(hilosPara(a.hilos)), error) ||
      !leeFuente(a, b, error))
    return falla(error);
  const std::size_t cuantos = cuantosEscenarios(b.escenarios);
  Escritor escritor{b, {}, {esTerminalDeError(), cuantos * a.redes}};
  if (!abreSalidaBarrido(escritor.salida, b.partida.pBarra, b.nombres, error, true))
    return falla(error);
  Resumenes resumenes = preparaResumenes(cuantos, b.nombres.size());
  const Tanda tanda{cuantos, [](std::size_t m) { return m; }};
  for (std::uint64_t k = 0; k < a.redes; ++k) {
    if (k > 0) partidaDeRed(c, k, b.partida);
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
