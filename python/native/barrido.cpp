#include "barrido.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/fallo.h"
#include "base/reparto.h"
#include "comun/recursos.h"
#include "conversion.h"
#include "errores.h"
#include "barrido/aleatorios.h"
#include "barrido/barrido.h"
#include "escenarios/escenarios.h"

namespace py = pybind11;

namespace {

// Ctrl-C is looked for at most this often, between scenarios.
constexpr auto kCadaSenal = std::chrono::milliseconds(100);

// The results, one row per scenario, in arrays allocated with the GIL held
// and written through their pointers without it.
struct Salidas {
  py::array_t<std::int8_t> estado;
  py::array_t<std::int32_t> quiebras, rondas;
  py::array_t<double> pagos, faltante;
  py::array_t<std::int32_t> ordenQuiebra;  // k×n
  py::array_t<double> p;                   // k×n
  py::array_t<bool> regular;
  py::array_t<std::int32_t> choque, contagio;
  py::array_t<double> capitalTotal, perdidaTotal;
  py::array_t<double> caja, capital, perdida;  // k×n
  std::int8_t* aEstado;
  std::int32_t *aQuiebras, *aRondas, *aOrden;
  double *aPagos, *aFaltante, *aP;
  bool* aRegular;
  std::int32_t *aChoque, *aContagio;
  double *aCapitalTotal, *aPerdidaTotal, *aCaja, *aCapital, *aPerdida;

  Salidas(py::ssize_t k, py::ssize_t n)
      : estado(k),
        quiebras(k),
        rondas(k),
        pagos(k),
        faltante(k),
        ordenQuiebra({k, n}),
        p({k, n}),
        regular(k),
        choque(k),
        contagio(k),
        capitalTotal(k),
        perdidaTotal(k),
        caja({k, n}),
        capital({k, n}),
        perdida({k, n}),
        aEstado(estado.mutable_data()),
        aQuiebras(quiebras.mutable_data()),
        aRondas(rondas.mutable_data()),
        aOrden(ordenQuiebra.mutable_data()),
        aPagos(pagos.mutable_data()),
        aFaltante(faltante.mutable_data()),
        aP(p.mutable_data()),
        aRegular(regular.mutable_data()),
        aChoque(choque.mutable_data()),
        aContagio(contagio.mutable_data()),
        aCapitalTotal(capitalTotal.mutable_data()),
        aPerdidaTotal(perdidaTotal.mutable_data()),
        aCaja(caja.mutable_data()),
        aCapital(capital.mutable_data()),
        aPerdida(perdida.mutable_data()) {}

  // Scenario m's row; without a clearing vector, -1 and NaN where the CSV is empty.
  void toma(std::size_t m, const ResultadoEscenario& r, const Vector& pBarra) const {
    const std::size_t n = pBarra.size();
    aEstado[m] = static_cast<std::int8_t>(r.desenlace);
    aRondas[m] = r.rondas;
    aRegular[m] = r.regular;
    if (r.desenlace != Desenlace::ok) {
      aQuiebras[m] = aChoque[m] = aContagio[m] = -1;
      aPagos[m] = aFaltante[m] = aCapitalTotal[m] = aPerdidaTotal[m] = NAN;
      std::fill_n(aOrden + m * n, n, -1);
      for (double* a : {aP, aCaja, aCapital, aPerdida}) std::fill_n(a + m * n, n, NAN);
      return;
    }
    const Resumen resumen = resumeEscenario(r, pBarra);
    aQuiebras[m] = static_cast<std::int32_t>(resumen.quiebras);
    aPagos[m] = resumen.pagos;
    aFaltante[m] = resumen.faltante;
    std::copy_n(r.ordenQuiebra.begin(), n, aOrden + m * n);
    std::copy_n(r.p.begin(), n, aP + m * n);
    aChoque[m] = static_cast<std::int32_t>(resumen.quiebrasChoque);
    aContagio[m] = static_cast<std::int32_t>(resumen.quiebrasContagio);
    aCapitalTotal[m] = resumen.capital;
    aPerdidaTotal[m] = resumen.perdida;
    std::copy_n(r.caja.begin(), n, aCaja + m * n);
    std::copy_n(r.capital.begin(), n, aCapital + m * n);
    std::copy_n(r.perdida.begin(), n, aPerdida + m * n);
  }
};

// The built-in stress sweeps the package passed: each node failing in turn
// (fails: R, NaN for none), each group's cash lost in turn, or K random
// draws; none of them: nothing.
struct Estres {
  double caida = NAN;
  std::vector<std::string> grupos;
  std::vector<std::vector<std::int32_t>> miembros;
  bool cadaGrupo = false;
  std::vector<std::int32_t> chocados;  // a uniform shock's group
  std::uint64_t aleatorios = 0, semilla = 0;
  double media = 0.0, correlacion = 0.0;
};

// The scenarios from what the package passed: cash vectors, each node in
// turn, a uniform shock "FROM:TO:STEP" read by clearing-sweep's own rule, or
// a stress sweep.
Escenarios escenariosDe(const std::optional<Arreglo>& cajas, bool cadaNodo,
                        const std::string& choque, const std::vector<std::string>& nombres,
                        std::int32_t n, const Estres& estres) {
  Escenarios escenarios;
  std::string error;
  if (cajas) {
    if (cajas->ndim() != 2 || (cajas->shape(0) > 0 && cajas->shape(1) != n))
      throw py::value_error("scenarios must be k×n");
    escenarios.tipo = Barrido::cajas;
    escenarios.cajas = cajas->data();
    escenarios.filas = static_cast<std::size_t>(cajas->shape(0));
  } else if (cadaNodo) {
    escenarios = escenariosPorNodo(n, nombres);
  } else if (!std::isnan(estres.caida)) {
    if (!(estres.caida >= 0.0 && estres.caida <= 1.0))
      throw py::value_error("each_node_fails must be in [0, 1]");
    escenarios = escenariosPorNodo(n, nombres);
    escenarios.tipo = Barrido::cadaNodoCae;
    escenarios.fraccion = estres.caida;
  } else if (estres.cadaGrupo) {
    escenarios = escenariosPorGrupo({estres.grupos, estres.miembros});
  } else if (estres.aleatorios > 0) {
    escenarios.tipo = Barrido::aleatorio;
    escenarios.pasos = estres.aleatorios;
    escenarios.semilla = estres.semilla;
    escenarios.media = estres.media;
    escenarios.correlacion = estres.correlacion;
  } else {
    if (!leeChoqueUniforme(choque, escenarios, error))
      throw py::value_error("uniform_shock: " + error);
    escenarios.chocados = estres.chocados;
  }
  return escenarios;
}

// The network as the sweep keeps it: L read into clearing's state once the
// sweep's memory gate let it, pBarra and PI derived, L dropped.
Partida partidaDe(const Arreglo& L, const Arreglo& e, std::int32_t n, unsigned hilos) {
  std::string error;
  if (!cabeRed(n, matricesDeBarrido(hilos), error)) lanzaFallo(Error::sinMemoria);
  NetworkState estado;
  llenaEstado(estado, L.data(), e.data(), n, OpcionesClearing{});
  Partida partida;
  partida.n = n;
  partida.PI = std::move(estado.PI);
  partida.pBarra = std::move(estado.pBarra);
  partida.e = std::move(estado.e);
  completaPartida(partida);
  return partida;
}

py::tuple sweep(const Arreglo& L, const Arreglo& e, const std::optional<Arreglo>& cajas,
                bool cadaNodo, const std::string& choque, const std::vector<std::string>& nombres,
                unsigned hilos, double alfa, double beta, const Estres& estres) {
  const std::int32_t n = nodosDe(L, e);
  const Escenarios escenarios = escenariosDe(cajas, cadaNodo, choque, nombres, n, estres);
  const std::size_t k = cuantosEscenarios(escenarios);
  py::list nombresEscenarios;
  if (!cajas)
    for (std::size_t m = 0; m < k; ++m) nombresEscenarios.append(nombreEscenario(escenarios, m));
  Salidas salidas(static_cast<py::ssize_t>(k), n);
  Vector pBarra;
  std::optional<std::size_t> falta;
  bool interrumpido = false;
  try {
    py::gil_scoped_release sinGil;
    Partida partida = partidaDe(L, e, n, hilosPara(hilos));
    partida.costes = {alfa, beta};
    auto ultima = std::chrono::steady_clock::now();
    const Tanda tanda{k, [](std::size_t m) { return m; }};
    falta = barre(partida, escenarios, tanda, hilosPara(hilos),
                  [&](std::size_t m, const ResultadoEscenario& r) {
                    salidas.toma(m, r, partida.pBarra);
                    const auto ahora = std::chrono::steady_clock::now();
                    if (ahora - ultima < kCadaSenal) return true;
                    ultima = ahora;
                    py::gil_scoped_acquire conGil;
                    interrumpido = PyErr_CheckSignals() != 0;  // leaves the error set
                    return !interrumpido;
                  });
    pBarra = std::move(partida.pBarra);
  } catch (const Fallo& fallo) {
    lanzaEnPython(fallo);
  } catch (const std::bad_alloc&) {
    lanzaSinMemoria();
  }
  if (interrumpido) throw py::error_already_set();
  if (falta) lanzaSinMemoria();
  return py::make_tuple(nombresEscenarios, salidas.estado, salidas.quiebras, salidas.rondas,
                        salidas.pagos, salidas.faltante, salidas.ordenQuiebra, salidas.p,
                        aNumpy(pBarra), salidas.regular, salidas.choque, salidas.contagio,
                        salidas.capitalTotal, salidas.perdidaTotal, salidas.caja, salidas.capital,
                        salidas.perdida);
}

// sweep with the stress sweeps' arguments gathered.
py::tuple sweepConEstres(const Arreglo& L, const Arreglo& e, const std::optional<Arreglo>& cajas,
                         bool cadaNodo, const std::string& choque,
                         const std::vector<std::string>& nombres, unsigned hilos, double alfa,
                         double beta, double caida, const std::vector<std::string>& grupos,
                         const std::vector<std::vector<std::int32_t>>& miembros, bool cadaGrupo,
                         const std::vector<std::int32_t>& chocados, std::uint64_t aleatorios,
                         std::uint64_t semilla, double media, double correlacion) {
  const Estres estres{caida,    grupos,     miembros, cadaGrupo, chocados,
                      aleatorios, semilla, media,    correlacion};
  return sweep(L, e, cajas, cadaNodo, choque, nombres, hilos, alfa, beta, estres);
}

}  // namespace

void defineBarrido(py::module_& m) {
  m.def("sweep", &sweepConEstres, py::arg("L").noconvert(), py::arg("e").noconvert(),
        py::arg("cash").noconvert(), py::arg("each_node"), py::arg("shock"), py::arg("names"),
        py::arg("threads"), py::arg("alpha"), py::arg("beta"), py::arg("each_node_fails"),
        py::arg("groups"), py::arg("members"), py::arg("each_group"), py::arg("shocked"),
        py::arg("random"), py::arg("seed"), py::arg("loss_mean"), py::arg("loss_corr"),
        "(names, status, defaults, rounds, total_payments, total_shortfall, default_round, "
        "payment, total_obligations, regular, shock_defaults, contagion_defaults, total_capital, "
        "total_loss, cash, capital, loss) of the scenarios of a checked network, with "
        "default costs alpha and beta.");
}
