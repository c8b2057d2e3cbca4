// clearing._native.sweep: the sweep of clearing-sweep (barrido/barrido.h)
// on arrays, its results written straight into numpy arrays.
#pragma once

#include <pybind11/pybind11.h>

// Adds sweep to the module.
void defineBarrido(pybind11::module_& m);
