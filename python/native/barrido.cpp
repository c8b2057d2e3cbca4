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

#include "barrido/aleatorios.h"
#include "barrido/barrido.h"
#include "barrido/conjunto.h"
#include "base/enorden.h"
#include "base/fallo.h"
#include "base/hilos.h"
#include "base/reparto.h"
#include "comun/recursos.h"
#include "conversion.h"
#include "errores.h"
#include "escenarios/escenarios.h"
#include "escenarios/obligaciones_csv.h"

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
// sweep's memory gate let it, pBarra and PI derived, L dropped but for the
// rows of `deudores`, whose entries some scenario sets (and whose threads
// then hold a PI each: the gate allows for both, as clearing-sweep's does).
Partida partidaDe(const Arreglo& L, const Arreglo& e, std::int32_t n, unsigned hilos,
                  const std::vector<std::int32_t>& deudores) {
  std::string error;
  const int obligaciones = deudores.empty() ? 0 : matricesDeObligaciones(hilos);
  if (!cabeRed(n, matricesDeBarrido(hilos) + obligaciones, error)) lanzaFallo(Error::sinMemoria);
  NetworkState estado;
  llenaEstado(estado, L.data(), e.data(), n, OpcionesClearing{});
  Partida partida;
  partida.n = n;
  partida.PI = std::move(estado.PI);
  partida.pBarra = std::move(estado.pBarra);
  partida.e = std::move(estado.e);
  if (!deudores.empty()) {
    partida.filasL = std::move(estado.L);
    conservaFilas(partida, deudores);
  }
  completaPartida(partida);
  return partida;
}

// Runs barrer(toma) without the GIL, toma writing each result into salidas
// and looking for Ctrl-C between scenarios at most every kCadaSenal; raises
// the Python error of a failure, an interruption or memory run out.
template <typename Barrer>
void barreSinGil(const Salidas& salidas, const Barrer& barrer) {
  std::optional<std::size_t> falta;
  bool interrumpido = false;
  try {
    py::gil_scoped_release sinGil;
    auto ultima = std::chrono::steady_clock::now();
    falta = barrer([&](std::size_t m, const ResultadoEscenario& r) {
      salidas.toma(m, r, r.pBarra);
      const auto ahora = std::chrono::steady_clock::now();
      if (ahora - ultima < kCadaSenal) return true;
      ultima = ahora;
      py::gil_scoped_acquire conGil;
      interrumpido = PyErr_CheckSignals() != 0;  // leaves the error set
      return !interrumpido;
    });
  } catch (const Fallo& fallo) {
    lanzaEnPython(fallo);
  } catch (const std::bad_alloc&) {
    lanzaSinMemoria();
  }
  if (interrumpido) throw py::error_already_set();
  if (falta) lanzaSinMemoria();
}

py::list nombresDe(const Escenarios& escenarios, bool conNombres) {
  py::list nombres;
  if (!conNombres) return nombres;
  for (std::size_t m = 0; m < cuantosEscenarios(escenarios); ++m)
    nombres.append(nombreEscenario(escenarios, m));
  return nombres;
}

py::tuple tuplaDe(const py::list& nombres, const Salidas& s, const py::object& pBarra) {
  return py::make_tuple(nombres, s.estado, s.quiebras, s.rondas, s.pagos, s.faltante,
                        s.ordenQuiebra, s.p, pBarra, s.regular, s.choque, s.contagio,
                        s.capitalTotal, s.perdidaTotal, s.caja, s.capital, s.perdida);
}

// cacheMb: MiB of eliminated blocks kept (negative: the default budget).
py::tuple barreEscenarios(const Arreglo& L, const Arreglo& e, std::int32_t n,
                          const Escenarios& escenarios, unsigned hilos, Costes costes,
                          double cacheMb, bool conNombres) {
  const std::size_t k = cuantosEscenarios(escenarios);
  const Salidas salidas(static_cast<py::ssize_t>(k), n);
  const std::vector<std::int32_t> deudores = deudoresCambiados(escenarios);
  Vector pBarra;
  barreSinGil(salidas, [&](const TomaResultado& toma) {
    Partida partida = partidaDe(L, e, n, hilosPara(hilos), deudores);
    partida.costes = costes;
    partida.memoriaCache = cacheMb < 0 ? -1.0 : cacheMb * 1024.0 * 1024.0;
    const Tanda tanda{k, [](std::size_t m) { return m; }};
    const auto falta = barre(partida, escenarios, tanda, hilosPara(hilos), toma);
    pBarra = std::move(partida.pBarra);
    return falta;
  });
  return tuplaDe(nombresDe(escenarios, conNombres), salidas, aNumpy(pBarra));
}

py::tuple sweep(const Arreglo& L, const Arreglo& e, const std::optional<Arreglo>& cajas,
                bool cadaNodo, const std::string& choque, const std::vector<std::string>& nombres,
                unsigned hilos, double alfa, double beta, const Estres& estres, double cacheMb) {
  const std::int32_t n = nodosDe(L, e);
  const Escenarios escenarios = escenariosDe(cajas, cadaNodo, choque, nombres, n, estres);
  return barreEscenarios(L, e, n, escenarios, hilos, {alfa, beta}, cacheMb, !cajas);
}

// Scenarios the package laid flat (checked there): scenario k's changes are
// entries finCambios[k - 1] to finCambios[k] of nodos, clases and valores,
// its entries of L likewise of deudores, acreedores and importes. They become
// the structure a scenario file is read into, the program's own.
struct Planos {
  std::vector<std::string> nombres;
  std::vector<std::int32_t> nodos;
  std::vector<std::uint8_t> clases;
  std::vector<double> valores;
  std::vector<std::size_t> finCambios;
  std::vector<std::int32_t> deudores, acreedores;
  std::vector<double> importes;
  std::vector<std::size_t> finObligaciones;
};

Escenarios escenariosPlanos(const Planos& planos, std::int32_t n) {
  const std::size_t k = planos.nombres.size();
  const auto enRed = [n](std::int32_t i) { return i >= 0 && i < n; };
  const auto fin = [k](const std::vector<std::size_t>& fines, std::size_t total) {
    return fines.size() == k && std::is_sorted(fines.begin(), fines.end()) &&
           (k == 0 || fines.back() == total);
  };
  const std::size_t cambios = planos.nodos.size(), obligaciones = planos.deudores.size();
  if (planos.clases.size() != cambios || planos.valores.size() != cambios ||
      planos.acreedores.size() != obligaciones || planos.importes.size() != obligaciones ||
      !fin(planos.finCambios, cambios) || !fin(planos.finObligaciones, obligaciones) ||
      !std::all_of(planos.nodos.begin(), planos.nodos.end(), enRed) ||
      !std::all_of(planos.deudores.begin(), planos.deudores.end(), enRed) ||
      !std::all_of(planos.acreedores.begin(), planos.acreedores.end(), enRed) ||
      std::any_of(planos.clases.begin(), planos.clases.end(), [](auto c) { return c > 2; }))
    throw py::value_error("scenarios: inconsistent flat changes");
  Escenarios escenarios;
  EscenariosLeidos& leidos = escenarios.leidos;
  std::size_t c = 0;
  for (std::size_t m = 0; m < k; ++m) {
    if (!anadeLeido(leidos, planos.nombres[m]))
      throw py::value_error("too many scenarios or names");
    for (; c < planos.finCambios[m]; ++c)
      if (!anadeCambioLeido(
              leidos, {planos.valores[c], planos.nodos[c], static_cast<Clase>(planos.clases[c])}))
        throw py::value_error("too many changes");
  }
  if (obligaciones == 0) return escenarios;
  leidos.inicioObligaciones.assign(1, 0);
  for (const std::size_t f : planos.finObligaciones)
    leidos.inicioObligaciones.push_back(static_cast<std::uint32_t>(f));
  for (std::size_t o = 0; o < obligaciones; ++o)
    leidos.obligaciones.push_back({planos.deudores[o], planos.acreedores[o], planos.importes[o]});
  return escenarios;
}

py::tuple sweepPlano(const Arreglo& L, const Arreglo& e, const Planos& planos, unsigned hilos,
                     double alfa, double beta, double cacheMb) {
  const std::int32_t n = nodosDe(L, e);
  if (planos.nodos.size() > UINT32_MAX || planos.deudores.size() > UINT32_MAX)
    throw py::value_error("too many changes");
  return barreEscenarios(L, e, n, escenariosPlanos(planos, n), hilos, {alfa, beta}, cacheMb, true);
}

// The ensemble's totals as clearing-sweep --ensemble reads them from a file:
// the node outside, "outside", where there is an external column; z solved.
// False with error when no network meets them.
bool conjuntoDe(const std::vector<std::string>& nombres, const Arreglo& l, const Arreglo& a,
                const Arreglo& caja, const std::optional<Arreglo>& externo, std::uint64_t redes,
                double densidad, std::uint64_t semilla, Conjunto& c, std::string& error) {
  Marginales& m = c.marginales;
  m.nombres = nombres;
  m.lineas.assign(nombres.size(), 0);  // no file: messages name no line
  m.totales = {{l.data(), l.data() + l.size()}, {a.data(), a.data() + a.size()}};
  m.caja.assign(caja.data(), caja.data() + caja.size());
  if (externo) m.externo.assign(externo->data(), externo->data() + externo->size());
  c.semilla = semilla;
  c.redes = redes;
  std::string aviso;
  return anadeExterior("ensemble", "outside", false, m, aviso, error) &&
         resuelveGravedad(m.totales, densidad, c.gravedad, error);
}

// One array per column of sweep_summary.csv: networks per scenario, the
// others per scenario and node (NaN where no network had a clearing vector).
py::tuple resumenDe(const Resumenes& r) {
  const auto s = static_cast<py::ssize_t>(r.conVector.size());
  const auto n = static_cast<py::ssize_t>(r.n);
  py::array_t<std::int64_t> redes(s);
  std::copy(r.conVector.begin(), r.conVector.end(), redes.mutable_data());
  py::list columnas;
  std::vector<py::array_t<double>> cifras;
  std::vector<double*> datos;
  for (int c = 0; c < 5; ++c) {
    cifras.emplace_back(std::vector<py::ssize_t>{s, n});
    datos.push_back(cifras.back().mutable_data());
  }
  for (std::size_t e = 0; e < r.conVector.size(); ++e) {
    for (std::size_t i = 0; i < r.n; ++i) {
      const CifrasResumen c = cifrasResumen(r, e, i);
      const double valores[5] = {c.probabilidad, c.media, c.p5, c.p50, c.p95};
      for (int k = 0; k < 5; ++k) datos[k][e * r.n + i] = c.hay ? valores[k] : NAN;
    }
  }
  return py::make_tuple(redes, cifras[0], cifras[1], cifras[2], cifras[3], cifras[4]);
}

py::tuple sweepEnsemble(const std::vector<std::string>& nombres, const Arreglo& l, const Arreglo& a,
                        const Arreglo& caja, const std::optional<Arreglo>& externo,
                        std::uint64_t redes, double densidad, std::uint64_t semilla,
                        const std::optional<Arreglo>& cajas, bool cadaNodo,
                        const std::string& choque, unsigned hilos, double alfa, double beta) {
  Conjunto c;
  std::string error;
  if (!conjuntoDe(nombres, l, a, caja, externo, redes, densidad, semilla, c, error))
    return py::make_tuple(error);
  const std::vector<std::string>& todos = c.marginales.nombres;
  const auto n = static_cast<std::int32_t>(todos.size());
  const Escenarios escenarios = escenariosDe(cajas, cadaNodo, choque, todos, n, Estres{});
  const std::size_t porRed = cuantosEscenarios(escenarios);
  const Tanda tanda{porRed * redes, [](std::size_t m) { return m; }};
  const auto usados = static_cast<unsigned>(
      std::max<std::size_t>(1, trabajadoresEnOrden(tanda.cuantos, hilosPara(hilos))));
  if (!cabeRed(n, matricesDeBarridoDeRedes(usados), error) ||
      !cabe(bytesDeResumenes(porRed, todos.size(), redes)))
    lanzaFallo(Error::sinMemoria);
  const Salidas salidas(static_cast<py::ssize_t>(tanda.cuantos), n);
  py::array_t<std::int64_t> red(static_cast<py::ssize_t>(tanda.cuantos));
  std::int64_t* aRed = red.mutable_data();
  py::array_t<double> obligaciones({static_cast<py::ssize_t>(tanda.cuantos), py::ssize_t{n}});
  double* aObligaciones = obligaciones.mutable_data();
  Resumenes resumenes = preparaResumenes(porRed, todos.size(), redes);
  barreSinGil(salidas, [&](const TomaResultado& toma) {
    return barreRedes(redesDe(c, {alfa, beta}, porRed), escenarios, tanda, usados,
                      [&](std::size_t k, const ResultadoEscenario& r) {
                        aRed[k] = static_cast<std::int64_t>(k / porRed);
                        std::copy(r.pBarra.begin(), r.pBarra.end(), aObligaciones + k * n);
                        acumula(resumenes, k % porRed, r);
                        return toma(k, r);
                      });
  });
  return py::make_tuple("", tuplaDe(nombresDe(escenarios, !cajas), salidas, obligaciones), red,
                        py::cast(todos), resumenDe(resumenes));
}

// sweep with the stress sweeps' arguments gathered.
py::tuple sweepConEstres(const Arreglo& L, const Arreglo& e, const std::optional<Arreglo>& cajas,
                         bool cadaNodo, const std::string& choque,
                         const std::vector<std::string>& nombres, unsigned hilos, double alfa,
                         double beta, double caida, const std::vector<std::string>& grupos,
                         const std::vector<std::vector<std::int32_t>>& miembros, bool cadaGrupo,
                         const std::vector<std::int32_t>& chocados, std::uint64_t aleatorios,
                         std::uint64_t semilla, double media, double correlacion, double cacheMb) {
  const Estres estres{caida,      grupos,  miembros, cadaGrupo,  chocados,
                      aleatorios, semilla, media,    correlacion};
  return sweep(L, e, cajas, cadaNodo, choque, nombres, hilos, alfa, beta, estres, cacheMb);
}

}  // namespace

void defineBarrido(py::module_& m) {
  m.def("sweep_ensemble", &sweepEnsemble, py::arg("names"), py::arg("liabilities").noconvert(),
        py::arg("assets").noconvert(), py::arg("cash").noconvert(), py::arg("external"),
        py::arg("samples"), py::arg("density"), py::arg("seed"), py::arg("scenarios"),
        py::arg("each_node"), py::arg("shock"), py::arg("threads"), py::arg("alpha"),
        py::arg("beta"),
        "('', the sweep's tuple with total_obligations per row, network per row, the node "
        "names, (networks, default_probability, mean_shortfall, shortfall_p5, shortfall_p50, "
        "shortfall_p95)) of an ensemble of checked totals, or (why,) when no network meets "
        "them.");
  m.def(
      "sweep_scenarios",
      [](const Arreglo& L, const Arreglo& e, unsigned hilos, double alfa, double beta,
         std::vector<std::string> nombres, std::vector<std::int32_t> nodos,
         std::vector<std::uint8_t> clases, std::vector<double> valores,
         std::vector<std::size_t> finCambios, std::vector<std::int32_t> deudores,
         std::vector<std::int32_t> acreedores, std::vector<double> importes,
         std::vector<std::size_t> finObligaciones, double cacheMb) {
        const Planos planos{
            std::move(nombres),    std::move(nodos),      std::move(clases),
            std::move(valores),    std::move(finCambios), std::move(deudores),
            std::move(acreedores), std::move(importes),   std::move(finObligaciones)};
        return sweepPlano(L, e, planos, hilos, alfa, beta, cacheMb);
      },
      py::arg("L").noconvert(), py::arg("e").noconvert(), py::arg("threads"), py::arg("alpha"),
      py::arg("beta"), py::arg("names"), py::arg("nodes"), py::arg("kinds"), py::arg("values"),
      py::arg("change_ends"), py::arg("debtors"), py::arg("creditors"), py::arg("amounts"),
      py::arg("obligation_ends"), py::arg("cache_mb"),
      "sweep's tuple for scenarios laid flat: scenario k's changes (node, kind 0 cash, 1 shock, "
      "2 fail, value) end at change_ends[k], its entries of L (debtor, creditor, amount) at "
      "obligation_ends[k].");
  m.def("sweep", &sweepConEstres, py::arg("L").noconvert(), py::arg("e").noconvert(),
        py::arg("cash").noconvert(), py::arg("each_node"), py::arg("shock"), py::arg("names"),
        py::arg("threads"), py::arg("alpha"), py::arg("beta"), py::arg("each_node_fails"),
        py::arg("groups"), py::arg("members"), py::arg("each_group"), py::arg("shocked"),
        py::arg("random"), py::arg("seed"), py::arg("loss_mean"), py::arg("loss_corr"),
        py::arg("cache_mb"),
        "(names, status, defaults, rounds, total_payments, total_shortfall, default_round, "
        "payment, total_obligations, regular, shock_defaults, contagion_defaults, total_capital, "
        "total_loss, cash, capital, loss) of the scenarios of a checked network, with "
        "default costs alpha and beta; cache_mb MiB of eliminated blocks kept (negative: the "
        "default).");
}
