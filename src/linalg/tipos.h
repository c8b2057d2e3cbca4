// The numbers every subsystem shares: a vector of the run's dimension, a
// square matrix held as separate rows (so rows can be exchanged by content),
// and the one tolerance of the system.
#pragma once

#include <vector>

using Vector = std::vector<double>;
using Matrix = std::vector<Vector>;  // [i][j]: row i, column j

// Accepts pivots, tests convergence and hides tiny capital in the report.
inline constexpr double tol = 1e-8;
