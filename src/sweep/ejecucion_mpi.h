// clearing-sweep-mpi's run: every rank reads what it needs, or learns it
// from rank 0; the scenarios are shared among the ranks; rank 0 writes the
// files and tells what failed.
#pragma once

#include "sweep/argumentos.h"

// Starts MPI, runs the sweep a asks for on every rank and ends MPI; the
// program's exit status.
int ejecutaEnRangos(const Argumentos& a, int& argc, char**& argv);
