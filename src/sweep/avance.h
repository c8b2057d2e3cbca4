// clearing-sweep's progress line on a terminal: "clearing-sweep: k/N
// scenarios", rewritten in place at most five times a second and blanked
// when the last scenario is written. Nothing when standard error is not a
// terminal.
#pragma once

#include <chrono>
#include <cstddef>

struct Avance {
  bool activo = false;    // standard error is a terminal
  std::size_t total = 0;  // scenarios in all
  std::chrono::steady_clock::time_point ultimo{};

  // hechos scenarios are written.
  void muestra(std::size_t hechos);
};
