// Between numpy's arrays and the program's state. The package hands in
// C-contiguous float64 arrays it has checked (L n×n, e of n, all finite);
// here they become the state the program would have read from input.txt.
#pragma once

#include <pybind11/numpy.h>

#include <cstdint>
#include <vector>

#include "base/estado.h"
#include "clearing/motor.h"
#include "sistema/cgrupos.h"

namespace py = pybind11;

using Arreglo = py::array_t<double, py::array::c_style>;

// The number of nodes of L and e, which must be n×n and n; a ValueError otherwise.
std::int32_t nodosDe(const Arreglo& L, const Arreglo& e);

// The state's buffers reserved as the program reserves them (memory checked
// first: Error::sinMemoria before anything is allocated), L and e copied in,
// pBarra and PI derived. Needs no GIL: the caller keeps the arrays alive.
// memoria: where the system's figures are read (run/programa.h).
void llenaEstado(NetworkState& estado, const double* L, const double* e, std::int32_t n,
                 const OpcionesClearing& opciones, const LugaresDeMemoria* memoria = nullptr);

// A fresh numpy array holding v's values.
py::array_t<double> aNumpy(const Vector& v);
py::array_t<std::int32_t> aNumpy(const std::vector<std::int32_t>& v);
