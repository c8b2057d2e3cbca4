// The sweep's program across the ranks of mpirun: what each rank reads, the
// failures told once, and rank 0's files put in place.
#include "sweep/ejecucion_mpi.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "barrido/conjunto.h"
#include "comun/nodos.h"
#include "sistema/plataforma.h"
#include "sweep/barrida.h"
#include "sweep/barrido_mpi.h"
#include "sweep/escritores.h"

namespace {

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

}  // namespace

int ejecutaEnRangos(const Argumentos& a, int& argc, char**& argv) {
  const Rangos rangos = iniciaMpi(argc, argv);
  const int estado = a.conjunto.empty() ? barreRangos(a, rangos) : barreConjuntoRangos(a, rangos);
  terminaMpi();
  return estado;
}
