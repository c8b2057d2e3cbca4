#include "conversion.h"

#include <algorithm>
#include <cstddef>

#include "clearing/derivadas.h"
#include "run/programa.h"

std::int32_t nodosDe(const Arreglo& L, const Arreglo& e) {
  const bool cuadrada = L.ndim() == 2 && L.shape(0) == L.shape(1);
  if (!cuadrada || e.ndim() != 1 || e.shape(0) != L.shape(0) || L.shape(0) > INT32_MAX)
    throw py::value_error("L must be n×n and e of length n, n < 2**31");
  return static_cast<std::int32_t>(L.shape(0));
}

void llenaEstado(NetworkState& estado, const double* L, const double* e, std::int32_t n,
                 const OpcionesClearing& opciones, const LugaresDeMemoria* memoria) {
  estado.dim = n;
  reservaEstado(estado, opciones, 0, memoria);
  const auto filas = static_cast<std::size_t>(n);
  for (std::size_t i = 0; i < filas; ++i) estado.L[i].assign(L + i * filas, L + (i + 1) * filas);
  estado.e.assign(e, e + filas);
  estado.pBarra = calculaPBarra(estado);
  estado.PI = calculaPI(estado);
}

py::array_t<double> aNumpy(const Vector& v) {
  py::array_t<double> a(static_cast<py::ssize_t>(v.size()));
  std::copy(v.begin(), v.end(), a.mutable_data());
  return a;
}

py::array_t<std::int32_t> aNumpy(const std::vector<std::int32_t>& v) {
  py::array_t<std::int32_t> a(static_cast<py::ssize_t>(v.size()));
  std::copy(v.begin(), v.end(), a.mutable_data());
  return a;
}
