// bench-motor FILE [PASSES]: the engine called from C++ on the network of
// FILE (input.txt's grammar), doing what clearing.clear does for Python: L
// copied into the run's state, pBarra and PI derived, the program's options,
// the rounds, the capital and the closed groups without cash. Prints the best of PASSES (default 3)
// in seconds, of wall time and of the process's processor time (every thread's), for
// bench/python.py to set beside the module's: on a machine shared with other work the second tells
// more.
#include "clearing/motor.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>

#include "base/estado.h"
#include "clearing/derivadas.h"
#include "clearing/grupos.h"
#include "comun/entrada.h"
#include "run/programa.h"

namespace {

// One clearing from the rows of `red`, as the module makes it; false on failure.
bool compensa(const NetworkState& red) {
  NetworkState estado;
  estado.dim = red.dim;
  OpcionesClearing opciones;
  reservaEstado(estado, opciones);
  for (std::size_t i = 0; i < red.L.size(); ++i)
    estado.L[i].assign(red.L[i].begin(), red.L[i].end());
  estado.e.assign(red.e.begin(), red.e.end());
  estado.pBarra = calculaPBarra(estado);
  estado.PI = calculaPI(estado);
  completaOpciones(estado, opciones);
  EspacioClearing espacio;
  espacio.trabajo.sitio = std::move(estado.L);
  Clearing clearing;
  clearing.p = std::move(estado.pPrima);
  clearing.ordenQuiebra = std::move(estado.ordenQuiebra);
  auto error = resuelveRondas(estado, opciones, {}, clearing, espacio);
  if (!error) error = calculaCapitales(estado, opciones, clearing);
  if (error) return false;
  (void)gruposSinCaja(gruposCerrados(estado), estado.e);  // handed to Python beside p
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    (void)std::fputs("usage: bench-motor FILE [PASSES]\n", stderr);
    return 2;
  }
  const int pasadas = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  NetworkState red;
  std::string error;
  if (!leeEntrada(argv[1], 3, red, error)) {
    (void)std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  double mejor = 1e300;
  double mejorCpu = 1e300;
  for (int k = 0; k < pasadas; ++k) {
    const auto inicio = std::chrono::steady_clock::now();
    const std::clock_t inicioCpu = std::clock();
    if (!compensa(red)) return 1;
    mejorCpu = std::min(mejorCpu, static_cast<double>(std::clock() - inicioCpu) / CLOCKS_PER_SEC);
    mejor = std::min(
        mejor, std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count());
  }
  (void)std::printf("%.6f %.6f\n", mejor, mejorCpu);
  return 0;
}
