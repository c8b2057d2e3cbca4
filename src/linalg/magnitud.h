// The searches of a block row for its large entries: the entry of largest
// magnitude (the division's divisor) and whether any exceeds tol (the
// reordering's marks). Both read a whole row every round; where the
// compiler has vector types they read two doubles at a time, with the
// results of the one-at-a-time loops.
#pragma once

#include <cstddef>

// The entry of largest magnitude among fila[desde … m), the first on ties,
// starting from `mayor`, which only a strictly larger magnitude replaces (a
// NaN never does).
double mayorMagnitud(const double* fila, std::size_t desde, std::size_t m, double mayor);

// Whether some |fila[c]| > tol for c in [desde, hasta).
bool hayMayores(const double* fila, std::size_t desde, std::size_t hasta);
