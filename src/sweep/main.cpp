// clearing-sweep: in a directory holding input.txt and optionally nodes.txt,
// clears the network under many outside-cash scenarios and writes sweep.csv
// and sweep_nodes.csv, or nothing and a message on standard error. Built
// with MPI (clearing-sweep-mpi), the scenarios are shared among the ranks of
// mpirun and rank 0 writes the files.
#include <cstddef>
#include <string>

#include "barrido/aleatorios.h"
#include "comun/costes.h"
#include "comun/opciones.h"
#include "escenarios/escenarios.h"
#include "sistema/plataforma.h"
#include "sweep/argumentos.h"

#ifdef CLEARING_MPI
#include "sweep/ejecucion_mpi.h"
#else
#include "barrido/barrido.h"
#include "barrido/barrido_csv.h"
#include "barrido/conjunto.h"
#include "sweep/barrida.h"
#include "sweep/escritores.h"
#endif

#ifndef CLEARING_MPI
namespace {

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

}  // namespace
#endif

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
  return ejecutaEnRangos(a, argc, argv);
#else
  return ejecuta(a);
#endif
}
