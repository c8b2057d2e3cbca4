// The numbers every subsystem shares: a vector of the run's dimension, a
// square matrix held as separate rows (so rows can be exchanged by content),
// the default marks, and the one tolerance of the system.
#pragma once

#include <cstdint>
#include <vector>

using Vector = std::vector<double>;
using Matrix = std::vector<Vector>;  // [i][j]: row i, column j

// One flag per node: 1 for a node in default (Λ[i][i] = 1.0), 0 otherwise.
using Marcas = std::vector<std::int32_t>;

// Accepts pivots, tests convergence and hides tiny capital in the report.
inline constexpr double tol = 1e-8;
