#include "reconstruccion.h"

#include <pybind11/numpy.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "totales/reconstruccion.h"
#include "comun/texto.h"
#include "conversion.h"

namespace {

// L of n×n from its links, every other cell 0.
py::array_t<double> densa(const std::vector<Enlace>& enlaces, std::size_t n) {
  const auto lado = static_cast<py::ssize_t>(n);
  py::array_t<double> L({lado, lado});
  double* x = L.mutable_data();
  std::fill(x, x + n * n, 0.0);
  for (const Enlace& e : enlaces)
    x[static_cast<std::size_t>(e.deudor) * n + e.acreedor] = e.importe;
  return L;
}

// (L, "", -1, info), or (None, why, node at fault or -1, "") for totals no
// network meets. The package checked the arrays (1-D, same length, finite).
py::tuple reconstruct(const Arreglo& l, const Arreglo& a, const std::string& metodo,
                      double densidad, std::uint64_t semilla, std::uint64_t red) {
  Totales t{{l.data(), l.data() + l.size()}, {a.data(), a.data() + a.size()}};
  std::vector<Enlace> enlaces;
  std::string error, info;
  std::int32_t nodo = -1;
  bool bien = false;
  {
    py::gil_scoped_release sinGil;
    if (esViable({}, t, nodo, error)) {
      igualaTotales(t);
      if (metodo == "sparse") {
        enlaces = minimaDensidad(t);
        bien = true;
        info = std::to_string(enlaces.size()) + " links";
      } else if (metodo == "sample") {
        Gravedad g;
        bien = resuelveGravedad(t, densidad, g, error);
        if (bien) enlaces = muestraGravedad(t, g, semilla, red);
        info = "z = " + textoExacto(g.z);
      } else {
        Entropia r;
        bien = maximaEntropia(t, r, error);
        if (bien) enlaces = enlacesDeEntropia(r);
        info = std::to_string(r.barridos) + " sweeps, residual " + textoLegible(r.residuo);
      }
    }
  }
  if (!bien) return py::make_tuple(py::none(), error, nodo, "");
  return py::make_tuple(densa(enlaces, t.pasivo.size()), "", -1, info);
}

}  // namespace

void defineReconstruccion(py::module_& m) {
  m.def("reconstruct", &reconstruct, py::arg("liabilities").noconvert(),
        py::arg("assets").noconvert(), py::arg("method"), py::arg("density"), py::arg("seed"),
        py::arg("network"), "(L, error, node, info) of checked totals.");
}
