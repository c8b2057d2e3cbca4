// What the machine can give the run. Memory handed out by an overcommitting
// system is only really found when touched, when it is too late to say
// "Memoria insuficient"; so the run compares what it will hold with what the
// system reports free before it commits to a dimension, and again before it
// takes more matrices during the rounds.
#pragma once

#include <cstdint>
#include <string>

#include "sistema/cgrupos.h"

// What the run holds for dim nodes, by kind: the one description every
// memory check of the run is made from.
struct Huella {
  double matrices = 0;   // the n×n matrices of doubles, and the run's vectors
  double lectura = 0;    // the reader's buffer and converted numbers, only while reading
  double escritura = 0;  // the report's stream buffer and one matrix's pieces of rows
  double paneles = 0;    // the block solver's panels: pivot rows, factors, compact columns
  double pilas = 0;      // the threads' stacks and first pages of their own heaps
  double margen = 0;     // page tables and the program's own pages
};

// The run's holdings when `matrices` dim×dim matrices of doubles are alive at once.
Huella huellaDe(std::int32_t dim, int matrices);

// Bytes the run holds at its peak for dim nodes with `matrices` n×n matrices
// alive at once (L and PI among them): while reading, L and the reader's
// buffers; in the rounds, every matrix, the report's buffers and the
// threads. The two phases never overlap: the reader is closed before PI.
double memoriaNecesaria(std::int32_t dim, int matrices);

// Bytes the run still takes, once its data are read and held, to keep
// `matrices` more n×n matrices alive beside them (with the report's buffers
// and the threads, which may be taken at the same time).
double memoriaAdicional(std::int32_t dim, int matrices);

// Bytes the system reports it can still provide (free and reclaimable memory
// plus free swap, within the memory limits of the process's control group
// and its parents); a negative value when the system does not say (then
// nothing is refused in advance). lugares: where the figures are read, found
// once by a caller that asks often (sistema/plataforma.h:
// lugaresDeMemoriaBajo); none: found again, under the tests' root.
double memoriaDisponible(const LugaresDeMemoria* lugares = nullptr);

// The one gate every program passes before it allocates for a network:
// whether `bytes` (memoriaNecesaria, memoriaAdicional) fit in what the
// system reports free. They do when the system does not say.
bool cabe(double bytes, const LugaresDeMemoria* lugares = nullptr);

// The gate for a companion program that will hold `matrices` n×n matrices
// of dim nodes at its peak, in its words: false with error = "input.txt: N
// nodes need about X GiB of memory to compute the clearing; the system has
// Y GiB free".
bool cabeRed(std::int32_t dim, int matrices, std::string& error);
