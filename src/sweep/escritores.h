// Where a sweep's results go as they come, in scenario order (rank 0 of an
// MPI run, or the one process): sweep.csv and sweep_nodes.csv, with
// systemic.csv after an each-node sweep, or an ensemble's rows with
// sweep_summary.csv.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "barrido/barrido.h"
#include "barrido/barrido_csv.h"
#include "barrido/conjunto.h"
#include "sweep/argumentos.h"
#include "sweep/avance.h"
#include "sweep/barrida.h"

// One network's sweep.
struct Escritor {
  const Barrida& b;
  SalidaBarrido salida;
  Avance avance;
  std::vector<Sistemico> sistemicos;  // an each-node sweep's, for systemic.csv

  // Scenario k is node k's: its cash lost, or its failure.
  bool porNodo() const;
  // Scenario k's rows written.
  bool toma(std::size_t k, const ResultadoEscenario& resultado);
  // The files into place, systemic.csv beside them after an each-node sweep.
  bool confirma(std::string& error);
};

// An ensemble's: network k's scenarios after network k − 1's, each row
// after its network's number; and sweep_summary.csv at the end.
struct EscritorConjunto {
  const Barrida& b;
  SalidaBarrido salida;
  Avance avance;
  Resumenes resumenes;

  bool toma(std::size_t k, const ResultadoEscenario& resultado);
  bool confirma(std::string& error);
};

// The writer of an ensemble's files, its files opened; false with error.
bool abreConjunto(const Argumentos& a, bool progreso, EscritorConjunto& escritor,
                  std::string& error);

// The message of a sweep that ran out of memory in scenario k.
std::string sinMemoria(const Barrida& b, std::size_t k);
