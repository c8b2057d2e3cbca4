// The numbers every subsystem shares: a vector of the run's dimension, a
// square matrix held as separate rows (so rows can be exchanged by content),
// the default marks, and the one tolerance of the system.
#pragma once

#include <cfloat>
#include <cstdint>
#include <vector>

// The report's bytes are those of binary64 arithmetic, each operation rounded
// to double. x87 arithmetic (32-bit x86 without SSE2) keeps intermediates in
// 80 bits and gives other numbers: build such targets with -msse2
// -mfpmath=sse.
static_assert(FLT_EVAL_METHOD == 0,
              "double arithmetic must be plain binary64 (FLT_EVAL_METHOD 0): "
              "on 32-bit x86 build with -msse2 -mfpmath=sse");

using Vector = std::vector<double>;
using Matrix = std::vector<Vector>;  // [i][j]: row i, column j

// One flag per node: 1 for a node in default (Λ[i][i] = 1.0), 0 otherwise.
using Marcas = std::vector<std::int32_t>;

// Accepts pivots, tests convergence and hides tiny capital in the report.
inline constexpr double tol = 1e-8;
