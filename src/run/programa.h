// The run: opens the two files, owns the NetworkState, orders the phases
// and maps every failure to its message and exit status. Its memory checks
// and its report of a network already held are shared with the Python
// module, which writes the same report from arrays.
#pragma once

#include <cstdint>

#include "base/estado.h"
#include "clearing/motor.h"
#include "report/informe.h"
#include "sistema/cgrupos.h"

// Reads "input.txt" and writes "output.txt" in the working directory.
// Returns 0 after a complete run; every failure exits with status 1 instead.
// literal: take the literal formulas everywhere (the reference build).
int ejecutaPrograma(bool literal);

// The run's own buffers for estado.dim nodes, in this order: ordenQuiebra,
// room for e and L (filled as the numbers arrive) and pPrima. A negative dim,
// or one whose run at its peak would not fit, throws Error::sinMemoria (no
// line feed) before anything is allocated: refused here rather than killed
// by the system for touching memory it promised. informe: bytes of the
// report that will be held in memory beside the run, counted too. memoria:
// where the system's figures are read, found once by a caller that clears
// many networks (comun/recursos.h); none: found at each check.
void reservaEstado(NetworkState& estado, const OpcionesClearing& opciones, double informe = 0,
                   const LugaresDeMemoria* memoria = nullptr);

// Once L, e, pBarra and PI are held: the rest of the options as the program
// chooses them (carrying eliminations over where they fit, the check before
// a round takes more matrices). Throws Error::sinMemoria (no line feed) when
// data that are not finite need more matrices than fit. memoria as for
// reservaEstado; it must outlive the rounds, whose check reads it.
void completaOpciones(const NetworkState& estado, OpcionesClearing& opciones,
                      const LugaresDeMemoria* memoria = nullptr);

// The report of the network held in estado, from INPUT to the payments, into
// out, which is closed at the end; L is taken. A failure throws its Fallo
// with the report as far as it got; one of the engine's also sets *ronda,
// where given, to its round. conProgreso: the progress line on a terminal's
// standard error.
void escribeClearing(Informe& out, NetworkState& estado, const OpcionesClearing& opciones,
                     bool conProgreso, int* ronda = nullptr);
