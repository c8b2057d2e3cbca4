#include "barrido/barrido.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <new>
#include <utility>

#include "barrido/aleatorios.h"
#include "barrido/cache.h"
#include "barrido/red_escenario.h"
#include "base/enorden.h"
#include "base/estado.h"
#include "base/fallo.h"
#include "base/hilos.h"
#include "base/memoria.h"
#include "clearing/calculo.h"
#include "clearing/motor.h"
#include "comun/entrada.h"

namespace {

// The engine's options for one scenario.
OpcionesClearing opcionesEscenario(const Costes& costes) {
  OpcionesClearing opciones;
  opciones.hilos = 1;  // the scenarios already run on every core
  opciones.alfa = costes.alfa;
  opciones.beta = costes.beta;
  return opciones;
}

// The figures beside the clearing vector: the engine's capital and what
// each node receives, as the engine computes both; false when memory ran out.
bool completaEscenario(const Partida& partida, const Red& red, const OpcionesClearing& opciones,
                       const Vector& caja, Clearing& clearing, ResultadoEscenario& resultado) {
  try {
    if (calculaCapitales(red, opciones, clearing)) return false;
    const Vector recibido = eligeCalculo(red, false).entradas(red, clearing.p, 1);
    const std::size_t n = caja.size();
    resultado.caja.assign(caja.begin(), caja.end());
    resultado.capital = std::move(clearing.capital);
    resultado.perdida.resize(n);
    for (std::size_t i = 0; i < n; ++i) resultado.perdida[i] = partida.debido[i] - recibido[i];
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const Fallo&) {
    return false;
  }
  return true;
}

// One scenario into `resultado`, whose p and ordenQuiebra have room for n
// values, with the network's eliminated blocks in `cache` (none: no cache);
// false when the engine ran out of memory.
bool resuelveEscenario(const Partida& partida, const Escenarios& escenarios, std::size_t k,
                       Vector& caja, EspacioClearing& espacio, CacheEliminaciones* cache,
                       ResultadoEscenario& resultado, RedPropia& propia) {
  cajaDeEscenario(escenarios, k, partida.e, caja);
  OpcionesClearing opciones = opcionesEscenario(partida.costes);
  // A scenario that fails nodes or sets entries of L clears its own network,
  // whose round systems are not the network's: no cache for it.
  const bool suya = preparaRedPropia(partida, escenarios, k, propia);
  const Red red(propia.conPI ? propia.PI : partida.PI, suya ? propia.pBarra : partida.pBarra, caja);
  opciones.caidos = propia.caidos;
  opciones.eliminaciones = suya ? nullptr : cacheDeEscenario(escenarios, k, cache);
  if (propia.conPI) propia.cerrados = gruposCerrados(red);
  resultado.regular = esRegular(propia.conPI ? propia.cerrados : partida.cerrados, caja);
  Clearing clearing;
  clearing.p = std::move(resultado.p);
  clearing.ordenQuiebra = std::move(resultado.ordenQuiebra);
  const auto error = resuelveRondas(red, opciones, {}, clearing, espacio);
  if (!error && !completaEscenario(partida, red, opciones, caja, clearing, resultado)) return false;
  resultado.p = std::move(clearing.p);
  resultado.ordenQuiebra = std::move(clearing.ordenQuiebra);
  resultado.rondas = clearing.rondas;
  resultado.desenlace = Desenlace::ok;
  if (!error) return true;
  resultado.rondas = error->ronda;
  if (error->fallo.error == Error::indeterminado) {
    resultado.desenlace = Desenlace::indeterminado;
  } else if (error->fallo.error == Error::noConverge) {
    resultado.desenlace = Desenlace::noConverge;
  } else {
    return false;
  }
  return true;
}

// resuelveEscenario, with the worker's network put back after it and an
// allocation that failed while patching it as memory run out.
bool resuelveAparte(const Partida& partida, const Escenarios& escenarios, std::size_t k,
                    Vector& caja, EspacioClearing& espacio, CacheEliminaciones* cache,
                    ResultadoEscenario& resultado, RedPropia& propia) {
  bool bien = false;
  try {
    bien = resuelveEscenario(partida, escenarios, k, caja, espacio, cache, resultado, propia);
  } catch (const std::bad_alloc&) {
    bien = false;
  } catch (const Fallo&) {
    bien = false;
  }
  restauraRedPropia(partida, propia);
  return bien;
}

// toma, with memory exhausted on the calling thread as a false.
bool entrega(const TomaResultado& toma, std::size_t m, const ResultadoEscenario& resultado) {
  try {
    return toma(m, resultado);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace

// PI and pBarra, shared, and each thread's engine: its storage for a round's
// block and its own cash vector, as one run of clearing holds beyond L and PI.
int matricesDeBarrido(unsigned hilos) {
  return kMatricesDeDatos + static_cast<int>(std::max(1U, hilos)) *
                                (matricesPrevistas(opcionesEscenario({})) - kMatricesDeDatos);
}

int matricesDeObligaciones(unsigned hilos) {
  return 1 + static_cast<int>(std::max(1U, hilos));
}

void conservaFilas(Partida& partida, const std::vector<std::int32_t>& deudores) {
  Matrix filas;
  filas.reserve(deudores.size());
  for (const std::int32_t d : deudores) filas.push_back(std::move(partida.filasL[d]));
  partida.filasL = std::move(filas);
  partida.deudores = deudores;
}

bool leePartida(const char* ruta, const std::function<unsigned(std::int32_t)>& hilosPara,
                Partida& partida, std::string& error) {
  const auto matrices = [&](std::int32_t n) {
    const unsigned hilos = hilosPara(n);
    return matricesDeBarrido(hilos) + (partida.guardaL ? matricesDeObligaciones(hilos) : 0);
  };
  NetworkState estado;
  if (!leeEntrada(ruta, matrices, estado, error)) return false;
  partida.n = estado.dim;
  partida.PI = std::move(estado.PI);
  partida.pBarra = std::move(estado.pBarra);
  partida.e = std::move(estado.e);
  if (partida.guardaL) partida.filasL = std::move(estado.L);
  completaPartida(partida);
  return true;
}

void completaPartida(Partida& partida) {
  const Red red(partida.PI, partida.pBarra, partida.e);
  partida.cerrados = gruposCerrados(red);
  partida.debido = eligeCalculo(red, false).entradas(red, partida.pBarra, 1);
}

Resumen resumeEscenario(const ResultadoEscenario& resultado, const Vector& pBarra) {
  Resumen r;
  for (std::size_t i = 0; i < pBarra.size(); ++i) {
    r.quiebras += resultado.ordenQuiebra[i] > 0 ? 1 : 0;
    r.pagos += resultado.p[i];
    r.faltante += pBarra[i] - resultado.p[i];
    r.quiebrasChoque += resultado.ordenQuiebra[i] == 1 ? 1 : 0;
    r.quiebrasContagio += resultado.ordenQuiebra[i] > 1 ? 1 : 0;
    r.capital += resultado.capital[i];
    r.perdida += resultado.perdida[i];
  }
  return r;
}

namespace {

// Scenario k of a sweep as one thread clears it: its network and its
// scenario on that network; no network when memory ran out making it.
struct Pieza {
  const Partida* partida = nullptr;
  std::size_t escenario = 0;
};
using PiezaDe = std::function<Pieza(std::size_t k, std::size_t trabajador)>;

// The scenarios are made on the run's pool (base/enorden.h), the calling
// thread among the makers, and taken by it in order: no thread of the
// sweep's own. Each thread keeps its cash vector and its engine's storage
// from one scenario to the next; each slot its result's vectors. The
// threads share one cache of eliminated blocks of `presupuesto` bytes
// (barrido/cache.h; 0: none), for scenarios of one network only.
std::optional<std::size_t> barreCon(std::int32_t nodos, const PiezaDe& piezaDe,
                                    const Escenarios& escenarios, const Tanda& tanda,
                                    unsigned hilos, double presupuesto, const TomaResultado& toma) {
  if (tanda.cuantos == 0) return std::nullopt;
  const std::size_t trabajadores = trabajadoresEnOrden(tanda.cuantos, std::max(1U, hilos));
  const std::size_t huecos = std::min(huecosEnOrden(tanda.cuantos, trabajadores), tanda.cuantos);
  const auto n = static_cast<std::size_t>(nodos);
  std::vector<ResultadoEscenario> resultados;
  std::vector<char> resuelto;  // per slot: the engine had the memory it needed
  std::vector<Vector> cajas;
  std::vector<EspacioClearing> espacios;
  std::vector<RedPropia> propias;  // each worker's network for scenarios that change it
  std::optional<CacheEliminaciones> cache;
  try {
    resultados.resize(huecos);
    resuelto.assign(huecos, 0);
    for (ResultadoEscenario& resultado : resultados) {
      resultado.p = reservaVector(n);
      resultado.ordenQuiebra = nuevoVectorEntero(n);
      resultado.pBarra = reservaVector(n);
    }
    cajas.resize(trabajadores);
    for (Vector& caja : cajas) caja = reservaVector(n);
    espacios.resize(trabajadores);
    propias.resize(trabajadores);
    if (presupuesto > 0) cache.emplace(presupuesto);
  } catch (const std::bad_alloc&) {
    return std::size_t{0};
  } catch (const Fallo&) {
    return std::size_t{0};
  }
  const auto hace = [&](std::size_t m, std::size_t hueco, std::size_t trabajador) {
    const Pieza pieza = piezaDe(tanda.indice(m), trabajador);
    ResultadoEscenario& resultado = resultados[hueco];
    resuelto[hueco] =
        pieza.partida != nullptr &&
                resuelveAparte(*pieza.partida, escenarios, pieza.escenario, cajas[trabajador],
                               espacios[trabajador], cache ? &*cache : nullptr, resultado,
                               propias[trabajador])
            ? 1
            : 0;
    if (resuelto[hueco] != 0) resultado.pBarra = pieza.partida->pBarra;  // within its room
  };
  std::optional<std::size_t> falta;
  const auto tomaEnOrden = [&](std::size_t m, std::size_t hueco) {
    if (resuelto[hueco] != 0 && entrega(toma, m, resultados[hueco])) return true;
    falta = m;
    return false;
  };
  (void)enOrden(tanda.cuantos, trabajadores, hace, tomaEnOrden);
  return falta;
}

}  // namespace

std::optional<std::size_t> barre(const Partida& partida, const Escenarios& escenarios,
                                 const Tanda& tanda, unsigned hilos, const TomaResultado& toma) {
  const auto trabajadores =
      static_cast<unsigned>(trabajadoresEnOrden(tanda.cuantos, std::max(1U, hilos)));
  return barreCon(
      partida.n,
      [&](std::size_t k, std::size_t) {
        return Pieza{&partida, k};
      },
      escenarios, tanda, hilos, presupuestoCache(partida, trabajadores), toma);
}

// Each thread's network and L, beside what a sweep of one network holds.
int matricesDeBarridoDeRedes(unsigned hilos) {
  return matricesDeBarrido(hilos) + 2 * static_cast<int>(std::max(1U, hilos)) - kMatricesDeDatos;
}

std::optional<std::size_t> barreRedes(const Redes& redes, const Escenarios& escenarios,
                                      const Tanda& tanda, unsigned hilos,
                                      const TomaResultado& toma) {
  const std::size_t trabajadores = trabajadoresEnOrden(tanda.cuantos, std::max(1U, hilos));
  std::vector<Partida> propias(trabajadores);
  constexpr std::uint64_t kNinguna = ~std::uint64_t{0};
  std::vector<std::uint64_t> cual(trabajadores, kNinguna);  // the network each one holds
  const auto piezaDe = [&](std::size_t k, std::size_t trabajador) {
    const std::uint64_t red = k / redes.porRed;
    Pieza pieza{&propias[trabajador], k % redes.porRed};
    if (cual[trabajador] == red) return pieza;
    cual[trabajador] = kNinguna;
    bool hecha = false;
    try {
      hecha = redes.haz(red, propias[trabajador]);
    } catch (const std::bad_alloc&) {
    } catch (const Fallo&) {
    }
    if (!hecha) return Pieza{};
    cual[trabajador] = red;
    return pieza;
  };
  // No cache: its blocks are one network's, and each thread's network
  // changes as the sweep goes.
  return barreCon(redes.n, piezaDe, escenarios, tanda, hilos, 0.0, toma);
}
