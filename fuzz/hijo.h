// One whole run in a forked child (the program ends its process on every
// failure): its standard output through a pipe, its exit status, and its
// coverage counters handed back so that libFuzzer sees what the child reached.
#pragma once

#include <functional>
#include <string>

struct ResultadoHijo {
  std::string salida;  // everything the child wrote on standard output
  int estado = -1;     // exit status, or 128 + signal
};

// Runs cuerpo in a child whose working directory is dir; the child exits
// with cuerpo's return value, or with whatever status the code inside passes
// to exit. A child still running after limiteSegundos dies by SIGALRM.
ResultadoHijo ejecutaEnDirectorio(const std::string& dir, const std::function<int()>& cuerpo,
                                  unsigned limiteSegundos = 60);
