// clearing._native: the engine, the reader and the report writer for the
// package clearing (python/clearing/), which checks and converts the
// arguments and builds the result objects. The GIL is released while a
// network is cleared; every failure becomes a Python exception, and nothing
// here ends the process.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "barrido.h"
#include "base/estado.h"
#include "base/fallo.h"
#include "base/pruebas.h"
#include "clearing/grupos.h"
#include "clearing/motor.h"
#include "conversion.h"
#include "errores.h"
#include "lectura/datos.h"
#include "lectura/lector.h"
#include "reconstruccion.h"
#include "report/informe.h"
#include "run/programa.h"
#include "sistema/cgrupos.h"
#include "sistema/plataforma.h"

namespace py = pybind11;

namespace {

// What the module finds once and hands to every call: where the system's
// memory figures are read, rather than each call finding its control group
// again. The tests' hook finds them anew under its root. Replaced and copied
// only while the GIL is held, so a call that released it keeps its own.
struct EstadoModulo {
  std::shared_ptr<const LugaresDeMemoria> memoria;
};

void buscaMemoria(EstadoModulo& modulo) {
  modulo.memoria =
      std::make_shared<const LugaresDeMemoria>(lugaresDeMemoriaBajo(controlPruebas().raizSistema));
}

OpcionesClearing opcionesCon(unsigned hilos, double alfa = 1.0, double beta = 1.0) {
  OpcionesClearing opciones;
  opciones.hilos = hilos;
  opciones.alfa = alfa;
  opciones.beta = beta;
  return opciones;
}

// What a clearing hands to Python: p, default rounds, capital, rounds,
// pBarra and the closed groups without cash.
struct Calculado {
  Clearing clearing;
  Vector pBarra;
  std::vector<Grupo> sinCaja;
};

// The program's computation without its report: the same state, options and
// engine calls, so the same bits. Throws the failure and its round.
Calculado calcula(const double* L, const double* e, std::int32_t n, unsigned hilos, double alfa,
                  double beta, const LugaresDeMemoria& memoria) {
  NetworkState estado;
  OpcionesClearing opciones = opcionesCon(hilos, alfa, beta);
  llenaEstado(estado, L, e, n, opciones, &memoria);
  completaOpciones(estado, opciones, &memoria);
  EspacioClearing espacio;
  espacio.trabajo.sitio = std::move(estado.L);  // as the program does once L is written
  Calculado c;
  c.clearing.p = std::move(estado.pPrima);
  c.clearing.ordenQuiebra = std::move(estado.ordenQuiebra);
  auto error = resuelveRondas(estado, opciones, {}, c.clearing, espacio);
  if (!error) error = calculaCapitales(estado, opciones, c.clearing);
  if (error) throw std::move(*error);
  c.sinCaja = gruposSinCaja(gruposCerrados(estado), estado.e);
  c.pBarra = std::move(estado.pBarra);
  return c;
}

py::list listaDeGrupos(const std::vector<Grupo>& grupos) {
  py::list lista;
  for (const Grupo& g : grupos) lista.append(py::cast(g));
  return lista;
}

// (p, default_round, capital, rounds, pBarra, closed groups without cash);
// the GIL is released meanwhile.
py::tuple clear(const EstadoModulo& modulo, const Arreglo& L, const Arreglo& e, unsigned hilos,
                double alfa, double beta) {
  const std::int32_t n = nodosDe(L, e);
  const auto memoria = modulo.memoria;
  Calculado c;
  try {
    py::gil_scoped_release sinGil;
    c = calcula(L.data(), e.data(), n, hilos, alfa, beta, *memoria);
  } catch (const ErrorClearing& error) {
    lanzaEnPython(error.fallo, error.ronda, error.grupo);
  } catch (const Fallo& fallo) {
    lanzaEnPython(fallo);
  } catch (const std::bad_alloc&) {
    lanzaSinMemoria();
  }
  return py::make_tuple(aNumpy(c.clearing.p), aNumpy(c.clearing.ordenQuiebra),
                        aNumpy(c.clearing.capital), c.clearing.rondas, aNumpy(c.pBarra),
                        listaDeGrupos(c.sinCaja));
}

// input.txt's grammar through the program's reader: (L, e).
py::tuple readInput(const EstadoModulo& modulo, const std::string& ruta) {
  const auto memoria = modulo.memoria;
  Lector entrada;
  NetworkState estado;
  try {
    py::gil_scoped_release sinGil;
    if (!abreLector(entrada, ruta.c_str())) lanzaFallo(Error::entrada);
    estado.dim = leeDimension(entrada);
    reservaEstado(estado, opcionesCon(0), 0, memoria.get());
    leerDatos(entrada, estado);
    cierraLector(entrada);
  } catch (const Fallo& fallo) {
    cierraLector(entrada);
    lanzaEnPython(fallo);
  } catch (const std::bad_alloc&) {
    cierraLector(entrada);
    lanzaSinMemoria();
  }
  const auto n = static_cast<py::ssize_t>(estado.dim);
  py::array_t<double> L({n, n});
  double* destino = L.mutable_data();
  for (const Vector& fila : estado.L) destino = std::copy(fila.begin(), fila.end(), destino);
  return py::make_tuple(std::move(L), aNumpy(estado.e));
}

// The program's report of L and e into `ruta`; a failure is raised once the
// report is closed as far as it got.
void writeReport(const EstadoModulo& modulo, const std::string& ruta, const Arreglo& L,
                 const Arreglo& e, unsigned hilos) {
  const std::int32_t n = nodosDe(L, e);
  const auto memoria = modulo.memoria;
  Informe out;
  int ronda = 0;
  try {
    py::gil_scoped_release sinGil;
    try {
      if (!abreInforme(out, ruta.c_str())) lanzaFallo(Error::salida);
      NetworkState estado;
      OpcionesClearing opciones = opcionesCon(hilos);
      llenaEstado(estado, L.data(), e.data(), n, opciones, memoria.get());
      completaOpciones(estado, opciones, memoria.get());
      escribeClearing(out, estado, opciones, false, &ronda);
    } catch (const std::bad_alloc&) {
      lanzaFallo(Error::sinMemoria);
    }
  } catch (const Fallo& fallo) {
    Fallo queda;
    {
      py::gil_scoped_release sinGil;
      queda = cierraTrasFallo(out, fallo);
    }
    lanzaEnPython(queda, ronda);
  }
}

// The tests' hooks (base/pruebas.h): where the system's memory figures are
// read, and the allocation that fails next (-1: none).
void controlDePruebas(EstadoModulo& modulo, const std::string& raiz, long peticionesHastaFallo) {
  controlPruebas().raizSistema = raiz;
  controlPruebas().peticionesHastaFallo = peticionesHastaFallo;
  buscaMemoria(modulo);
}

}  // namespace

PYBIND11_MODULE(_native, m) {
  m.doc() = "The clearing engine, reader and report writer behind the package clearing.";
  const auto modulo = std::make_shared<EstadoModulo>();
  buscaMemoria(*modulo);
  m.def(
      "clear",
      [modulo](const Arreglo& L, const Arreglo& e, unsigned hilos, double alfa, double beta) {
        return clear(*modulo, L, e, hilos, alfa, beta);
      },
      py::arg("L").noconvert(), py::arg("e").noconvert(), py::arg("threads"), py::arg("alpha"),
      py::arg("beta"),
      "(p, default_round, capital, rounds, total_obligations, cashless_groups) of a checked "
      "network, with default costs alpha and beta.");
  m.def(
      "read_input", [modulo](const std::string& ruta) { return readInput(*modulo, ruta); },
      py::arg("path"), "(L, e) of an input.txt file.");
  m.def(
      "write_report",
      [modulo](const std::string& ruta, const Arreglo& L, const Arreglo& e, unsigned hilos) {
        writeReport(*modulo, ruta, L, e, hilos);
      },
      py::arg("path"), py::arg("L").noconvert(), py::arg("e").noconvert(), py::arg("threads"),
      "The program's report of a checked network.");
  defineReconstruccion(m);
#ifdef CLEARING_BARRIDO
  defineBarrido(m);
#endif
  m.def(
      "_test_control",
      [modulo](const std::string& raiz, long peticionesHastaFallo) {
        controlDePruebas(*modulo, raiz, peticionesHastaFallo);
      },
      py::arg("system_root") = "/", py::arg("failing_allocation") = -1,
      "Tests only: the engine's failure hooks.");
}
