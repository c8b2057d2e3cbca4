// The run: opens the two files, owns the NetworkState, orders the phases
// and maps every failure to its message and exit status.
#pragma once

// Reads "input.txt" and writes "output.txt" in the working directory.
// Returns 0 after a complete run; every failure exits with status 1 instead.
// literal: take the literal formulas everywhere (the reference build).
int ejecutaPrograma(bool literal);
