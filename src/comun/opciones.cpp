#include "comun/opciones.h"

#include <cstdio>
#include <cstring>

// CMake passes the one version of the project (project(... VERSION ...)).
#ifndef CLEARING_VERSION
#error "CLEARING_VERSION is set by CMakeLists.txt"
#endif

std::optional<int> respondeOpcion(int argc, const char* const* argv, const char* programa,
                                  const char* uso) {
  if (argc != 2) return std::nullopt;
  int escrito = 0;
  if (std::strcmp(argv[1], "--version") == 0)
    escrito = std::printf("%s %s\n", programa, CLEARING_VERSION);
  else if (std::strcmp(argv[1], "--help") == 0)
    escrito = std::fputs(uso, stdout);
  else
    return std::nullopt;
  // A full disk or a closed pipe must not pass for an answer.
  return escrito >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
}
