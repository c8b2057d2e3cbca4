#include "sweep/barrido.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

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

// One scenario into `resultado`, whose p and ordenQuiebra have room for n
// values; false when the engine ran out of memory.
bool resuelveEscenario(const Partida& partida, const Escenarios& escenarios, std::size_t k,
                       Vector& caja, EspacioClearing& espacio, ResultadoEscenario& resultado) {
  aplicaEscenario(escenarios, k, partida.e, caja);
  const OpcionesClearing opciones = opcionesEscenario(partida.costes);
  resultado.regular = esRegular(partida.cerrados, caja);
  Clearing clearing;
  clearing.p = std::move(resultado.p);
  clearing.ordenQuiebra = std::move(resultado.ordenQuiebra);
  const auto error =
      resuelveRondas(Red(partida.PI, partida.pBarra, caja), opciones, {}, clearing, espacio);
  resultado.p = std::move(clearing.p);
  resultado.ordenQuiebra = std::move(clearing.ordenQuiebra);
  resultado.rondas = clearing.rondas;
  resultado.estado = Estado::ok;
  if (!error) return true;
  resultado.rondas = error->ronda;
  if (error->fallo.error == Error::indeterminado) {
    resultado.estado = Estado::indeterminado;
  } else if (error->fallo.error == Error::noConverge) {
    resultado.estado = Estado::noConverge;
  } else {
    return false;
  }
  return true;
}

// The window shared by the workers and the caller that takes the results.
struct Ventana {
  std::mutex cerrojo;
  std::condition_variable aviso;
  std::vector<ResultadoEscenario> huecos;  // result m in huecos[m % size]
  std::vector<std::size_t> hecha;          // per slot: 1 + the result made there, or 0
  std::size_t siguiente = 0;               // the next scenario to take up
  std::size_t tomadas = 0;                 // results handed over, in order
  std::optional<std::size_t> sinMemoria;   // stops everything
};

// A worker: takes the next scenario while the window has room for it.
void trabaja(const Partida& partida, const Escenarios& escenarios, const Tanda& tanda, Ventana& v) {
  Vector caja;
  EspacioClearing espacio;  // this thread's, kept from one scenario to the next
  try {
    caja = reservaVector(partida.e.size());
  } catch (const Fallo&) {
    caja.clear();
  }
  std::unique_lock bloqueo(v.cerrojo);
  if (caja.capacity() < partida.e.size()) {
    if (!v.sinMemoria) v.sinMemoria = v.siguiente;
    v.aviso.notify_all();
    return;
  }
  for (;;) {
    v.aviso.wait(bloqueo, [&] {
      return v.sinMemoria || v.siguiente >= tanda.cuantos ||
             v.siguiente < v.tomadas + v.huecos.size();
    });
    if (v.sinMemoria || v.siguiente >= tanda.cuantos) return;
    const std::size_t m = v.siguiente++;
    ResultadoEscenario& hueco = v.huecos[m % v.huecos.size()];
    bloqueo.unlock();
    const bool bien = resuelveEscenario(partida, escenarios, tanda.indice(m), caja, espacio, hueco);
    bloqueo.lock();
    if (!bien && (!v.sinMemoria || *v.sinMemoria > m)) v.sinMemoria = m;
    v.hecha[m % v.huecos.size()] = m + 1;
    v.aviso.notify_all();
  }
}

// The sweep's workers, each taking scenarios until the sweep ends: threads of
// their own, since the calling thread only takes results (the run's pool is
// for work split within one computation, which a scenario does on one
// thread). As many as could be started; none leaves the work to enSerie.
template <typename Tarea>
std::vector<std::thread> arrancaTrabajadores(unsigned cuantos, const Tarea& tarea) {
  std::vector<std::thread> iniciados;
  try {
    iniciados.reserve(cuantos);
    for (unsigned k = 0; k < cuantos; ++k) iniciados.emplace_back(tarea);
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
  }
  return iniciados;
}

// toma, with memory exhausted on the calling thread as a false: the workers
// must be stopped and joined before the sweep ends.
bool entrega(const TomaResultado& toma, std::size_t m, const ResultadoEscenario& resultado) {
  try {
    return toma(m, resultado);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// No thread could be started: the calling thread makes and takes each result.
std::optional<std::size_t> enSerie(const Partida& partida, const Escenarios& escenarios,
                                   const Tanda& tanda, Ventana& v, const TomaResultado& toma) {
  Vector caja;
  EspacioClearing espacio;
  try {
    caja = reservaVector(partida.e.size());
  } catch (const Fallo&) {
    return std::size_t{0};
  }
  for (std::size_t m = 0; m < tanda.cuantos; ++m) {
    if (!resuelveEscenario(partida, escenarios, tanda.indice(m), caja, espacio, v.huecos[0]) ||
        !entrega(toma, m, v.huecos[0]))
      return m;
  }
  return std::nullopt;
}

}  // namespace

bool leePartida(const char* ruta, unsigned hilos, Partida& partida, std::string& error) {
  // PI and pBarra, shared, and each thread's engine: its storage for a
  // round's block and its own cash vector, as one run of clearing holds
  // beyond L and PI.
  const int matrices =
      kMatricesDeDatos + static_cast<int>(std::max(1U, hilos)) *
                             (matricesPrevistas(opcionesEscenario({})) - kMatricesDeDatos);
  NetworkState estado;
  if (!leeEntrada(ruta, matrices, estado, error)) return false;
  partida.n = estado.dim;
  partida.PI = std::move(estado.PI);
  partida.pBarra = std::move(estado.pBarra);
  partida.e = std::move(estado.e);
  partida.cerrados = gruposCerrados(Red(partida.PI, partida.pBarra, partida.e));
  return true;
}

std::optional<std::size_t> barre(const Partida& partida, const Escenarios& escenarios,
                                 const Tanda& tanda, unsigned hilos, const TomaResultado& toma) {
  if (tanda.cuantos == 0) return std::nullopt;
  hilos = std::max(1U, hilos);
  Ventana v;
  const auto n = static_cast<std::size_t>(partida.n);
  try {
    v.huecos.resize(std::min<std::size_t>(2 * std::size_t{hilos}, tanda.cuantos));
    v.hecha.assign(v.huecos.size(), 0);
    for (ResultadoEscenario& hueco : v.huecos) {
      hueco.p = reservaVector(n);
      hueco.ordenQuiebra = nuevoVectorEntero(n);
    }
  } catch (const std::bad_alloc&) {
    return std::size_t{0};
  } catch (const Fallo&) {
    return std::size_t{0};
  }
  std::vector<std::thread> otros =
      arrancaTrabajadores(hilos, [&] { trabaja(partida, escenarios, tanda, v); });
  // cppcheck-suppress knownConditionTrueFalse ; the system may give no thread
  if (otros.empty()) return enSerie(partida, escenarios, tanda, v, toma);

  std::unique_lock bloqueo(v.cerrojo);
  while (v.tomadas < tanda.cuantos) {
    const std::size_t hueco = v.tomadas % v.huecos.size();
    v.aviso.wait(bloqueo, [&] { return v.sinMemoria || v.hecha[hueco] == v.tomadas + 1; });
    if (v.sinMemoria) break;
    bloqueo.unlock();
    const bool tomado = entrega(toma, v.tomadas, v.huecos[hueco]);
    bloqueo.lock();
    if (!tomado) {
      v.sinMemoria = v.tomadas;
      break;
    }
    v.hecha[hueco] = 0;
    ++v.tomadas;
    v.aviso.notify_all();
  }
  bloqueo.unlock();
  for (std::thread& hilo : otros) hilo.join();
  return v.sinMemoria;
}
