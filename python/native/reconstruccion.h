// clearing._native.reconstruct: clearing-reconstruct's networks from each
// node's totals (totales/reconstruccion.h), the same code and bits.
#pragma once

#include <pybind11/pybind11.h>

// Adds reconstruct to the module.
void defineReconstruccion(pybind11::module_& m);
