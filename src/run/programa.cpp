// The order of the run: files, dimension, the state's buffers, the data,
// the report's opening, the rounds, the results, closing. Every failure below
// arrives here as a Fallo and leaves through the one fatal exit.
#include "run/programa.h"

#include <cstddef>
#include <cstdio>
#include <functional>
#include <utility>

#include "base/estado.h"
#include "base/fallo.h"
#include "base/memoria.h"
#include "clearing/calculo.h"
#include "clearing/derivadas.h"
#include "clearing/motor.h"
#include "comun/recursos.h"
#include "lectura/datos.h"
#include "lectura/lector.h"
#include "report/informe.h"
#include "report/preliminares.h"
#include "report/resultado.h"
#include "report/tamano.h"
#include "run/fatal.h"
#include "run/progreso.h"
#include "sistema/plataforma.h"

namespace {

// Fails, with no line feed, when the run's peak would not fit.
void compruebaMemoria(double bytes, const LugaresDeMemoria* memoria) {
  if (!cabe(bytes, memoria)) lanzaFallo(Error::sinMemoria, Salto::sin);
}

// The engine's check before a round falls back to the literal formulas.
// Once a count of matrices was found to fit, the process keeps that room
// (the allocator holds on to what the round frees) and later rounds reuse
// it, so only a larger count is checked again.
std::function<bool(int)> compruebaRondas(std::int32_t dim, const LugaresDeMemoria* memoria) {
  return [dim, memoria, concedidas = 0](int matrices) mutable {
    if (matrices <= concedidas) return true;
    if (!cabe(memoriaAdicional(dim, matrices), memoria)) return false;
    concedidas = matrices;
    return true;
  };
}

// Where the report's file system is held in memory its pages are memory the
// system cannot write back to reclaim: the report's text is then counted in
// the checks, before its first byte and again before each round's block
// after the first, beside what the rounds may still take.
struct ReservaInforme {
  bool enMemoria = false;
  TamanoInforme tamano;
  double rondas = 0;  // what the rounds may take beyond what the run holds
};

ReservaInforme reservaDeInforme(const Informe& out, const NetworkState& estado,
                                OpcionesClearing& opciones) {
  ReservaInforme r;
  r.enMemoria = estaEnMemoria(out.archivo);
  if (!r.enMemoria) return r;
  r.tamano = tamanoDeInforme(estado);
  const int matrices = matricesDeClearing(estado, opciones, true) - kMatricesDeDatos;
  r.rondas = memoriaAdicional(estado.dim, matrices);
  const double informe = r.tamano.antes + r.tamano.paso + r.tamano.despues;
  // The record is left out rather than the run refused: the same bits.
  if (opciones.recuerda &&
      cabe(memoriaAdicional(estado.dim, matrices + kMatricesRecuerdo) + informe))
    r.rondas = memoriaAdicional(estado.dim, matrices + kMatricesRecuerdo);
  else
    opciones.recuerda = false;
  compruebaMemoria(r.rondas + informe, nullptr);
  // A round that falls back checks its matrices beside the report's rest,
  // with its own block in flight; each time, since the report's pages stay.
  const double resto = r.tamano.paso + r.tamano.despues;
  opciones.caben = [dim = estado.dim, resto](int m) {
    return cabe(memoriaAdicional(dim, m) + resto);
  };
  return r;
}

// Before a round's block after the first: the blocks before it written
// (their pages charged), this one and what follows the rounds must fit.
void compruebaPaso(Informe& out, const ReservaInforme& reserva, int k) {
  if (!reserva.enMemoria || k < 2) return;
  esperaAparte(out);
  compruebaMemoria(reserva.rondas + reserva.tamano.paso + reserva.tamano.despues, nullptr);
}

// input.txt read into the state, pBarra and PI derived from it. A report
// in memory is refused at once where even its least size does not fit
// (the whole of it is counted once the network is known).
void leeRed(Lector& entrada, const Informe& out, NetworkState& estado,
            const OpcionesClearing& opciones) {
  estado.dim = leeDimension(entrada);
  reservaEstado(estado, opciones,
                estaEnMemoria(out.archivo) ? tamanoMinimoDeInforme(estado.dim) : 0);
  leerDatos(entrada, estado);
  cierraLector(entrada);  // nothing past the data is read
  estado.pBarra = calculaPBarra(estado);
  estado.PI = calculaPI(estado);
}

// The rounds, each written as its "Paso" block and shown on the progress
// line; the clearing vector and the default steps land in the state.
Clearing resuelve(Informe& out, NetworkState& estado, const OpcionesClearing& opciones,
                  const ReservaInforme& reserva, EspacioClearing& espacio, bool conProgreso,
                  int* ronda) {
  Progreso progreso = nuevoProgreso(stderr, conProgreso && esTerminalDeError());
  const ObservaRonda observa = [&](int k, const Marcas& marcas) {
    compruebaPaso(out, reserva, k);
    escribePaso(out, k, marcas);
    muestraRonda(progreso, k, marcas);
  };
  Clearing clearing;  // in the state's own buffers
  clearing.p = std::move(estado.pPrima);
  clearing.ordenQuiebra = std::move(estado.ordenQuiebra);
  if (const auto error = resuelveRondas(estado, opciones, observa, clearing, espacio)) {
    // A message on a terminal of its own follows the line; anywhere else it
    // would leave the line behind, stale and with no line end.
    if (!esSalidaElTerminalDeError()) borraProgreso(progreso);
    if (ronda != nullptr) *ronda = error->ronda;
    relanza(error->fallo);
  }
  borraProgreso(progreso);
  return clearing;
}

void ejecuta(Informe& out, bool literal) {
  Lector entrada;
  if (!abreLector(entrada, "input.txt")) lanzaFallo(Error::entrada);
  // Truncating output.txt would destroy an input.txt that is the same file.
  if (esMismoArchivo(entrada.archivo, "output.txt")) lanzaFallo(Error::salida);
  if (!abreInforme(out, "output.txt")) lanzaFallo(Error::salida);

  NetworkState estado;
  OpcionesClearing opciones;
  opciones.literal = literal;
  leeRed(entrada, out, estado, opciones);
  completaOpciones(estado, opciones);
  escribeClearing(out, estado, opciones, true);
}

}  // namespace

void reservaEstado(NetworkState& estado, const OpcionesClearing& opciones, double informe,
                   const LugaresDeMemoria* memoria) {
  if (estado.dim < 0) lanzaFallo(Error::sinMemoria, Salto::sin);
  compruebaMemoria(memoriaNecesaria(estado.dim, matricesPrevistas(opciones, true)) + informe,
                   memoria);
  // L and PI only: every page of theirs is written. The block solver's
  // storage has room for n×n and often uses a corner of it, which large
  // pages would make resident whole.
  (void)pidePaginasGrandes(huellaDe(estado.dim, kMatricesDeDatos).matrices,
                           [](char* inicio, std::size_t bytes) { tocaPaginas(inicio, bytes, 0); });
  const auto n = static_cast<std::size_t>(estado.dim);
  estado.ordenQuiebra = nuevoVectorEntero(n, Salto::sin);
  estado.e = reservaVector(n, Salto::sin);
  estado.L = reservaMatriz(n, Salto::sin);
  estado.pPrima = reservaVector(n, Salto::sin);
}

void completaOpciones(const NetworkState& estado, OpcionesClearing& opciones,
                      const LugaresDeMemoria* memoria) {
  // Data that are not finite take the literal formulas, which hold more
  // matrices than the check at the start allowed for.
  const int matrices = matricesDeClearing(estado, opciones, true);
  if (matrices > matricesPrevistas(opciones, true))
    compruebaMemoria(memoriaAdicional(estado.dim, matrices - kMatricesDeDatos), memoria);
  opciones.recuerda =
      cabe(memoriaAdicional(estado.dim, matrices - kMatricesDeDatos + kMatricesRecuerdo), memoria);
  opciones.caben = compruebaRondas(estado.dim, memoria);
}

void escribeClearing(Informe& out, NetworkState& estado, const OpcionesClearing& opciones,
                     bool conProgreso, int* ronda) {
  OpcionesClearing elegidas = opciones;  // the report's room may change them
  const ReservaInforme reserva = reservaDeInforme(out, estado, elegidas);
  escribeInput(out, estado);
  // L is in the report, and nothing reads it again: the block solver takes
  // its rows, already faulted in, rather than the system clearing n² fresh
  // doubles for it.
  EspacioClearing espacio;
  espacio.trabajo.sitio = std::move(estado.L);
  escribeSeparadores(out);
  escribeSistema(out, estado);
  escribeSeparadores(out);
  escribeCabeceraDiagonales(out);
  Clearing clearing = resuelve(out, estado, elegidas, reserva, espacio, conProgreso, ronda);
  escribeSeparadores(out);
  if (const auto error = calculaCapitales(estado, elegidas, clearing)) {
    if (ronda != nullptr) *ronda = error->ronda;
    relanza(error->fallo);
  }
  estado.pPrima = std::move(clearing.p);
  estado.ordenQuiebra = std::move(clearing.ordenQuiebra);
  escribeResultado(out, estado, clearing.capital);
  escribeMatPagos(out, estado);
  cierraInforme(out);
}

int ejecutaPrograma(bool literal) {
  preparaProceso();
  Informe out;  // what was written stays in output.txt, whatever happens
  try {
    ejecuta(out, literal);
  } catch (const Fallo& fallo) {
    terminaConError(cierraTrasFallo(out, fallo));
  }
  return 0;  // the state's buffers are released with it
}
