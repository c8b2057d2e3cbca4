// clearing-sweep's command line: the usage and what the arguments ask for;
// how a refusal or a failure ends the run.
#pragma once

#include <cstdint>
#include <string>

#include "base/estado.h"
#include "escenarios/escenarios.h"

// The program's name in messages, and its usage (clearing-sweep-mpi's when
// built with MPI).
extern const char* const kPrograma;
extern const char* const kUso;

struct Argumentos {
  unsigned hilos = 0;  // 0: every core
  Barrido tipo = Barrido::archivo;
  std::string fuente;       // the file, or FROM:TO:STEP
  Escenarios choque;        // choqueUniforme: FROM:TO:STEP read
  std::string textoCostes;  // --costs ALPHA:BETA as given, or empty
  Costes costes;            // what it says; none: the clearing without costs
  std::string conjunto;     // --ensemble MARGINALS.csv
  std::uint64_t redes = 0, semilla = 0;
  double densidad = 0.0;
  std::string textoSemilla;                 // --seed as given: --random's, or --ensemble's
  std::string grupos;                       // --groups GROUPS.csv
  std::string grupo;                        // --group NAME, of --uniform-shock
  std::string obligaciones;                 // --obligations CHANGES.csv
  std::string cuantos, media, correlacion;  // --random, --loss-mean, --loss-corr
  double memoriaCache = -1.0;               // --cache-mb in bytes; negative: the default
};

// Reads the arguments into a; false when they make no sweep (unknown
// options, a missing value, options that do not go together).
bool leeArgumentos(int argc, char** argv, Argumentos& a);

// Wrong arguments: the usage, with what is wrong when it is known; status 2.
int usoIncorrecto(const std::string& error = "");

// A run that failed: its message alone; status 1.
int falla(const std::string& error);
