// The copies of a panel's pivot rows outside its columns (panel/panel.h):
// each pivot row as it was when chosen, with the pivots before it.
#pragma once

#include <cstddef>

#include "base/tipos.h"
#include "panel/panel.h"

// The pivot rows' copies of pivots [0, hasta), completed on every thread,
// each its own stretch of columns, and packed for the update when `paraActualizar`;
// false when one is not finite.
bool completaYRevisa(const Matrix& Ab, Panel& panel, std::size_t hasta, std::size_t m,
                     bool paraActualizar);
