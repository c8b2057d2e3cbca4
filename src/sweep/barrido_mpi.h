// The sweep across the ranks of an MPI run: the scenarios in chunks dealt
// round the ranks, each rank running its chunks on its own cores, and rank 0
// taking every result in scenario order, a chunk at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "barrido/barrido.h"
#include "escenarios/escenarios.h"

struct Rangos {
  int rango = 0;
  int cuantos = 1;
  int enMaquina = 1;  // the ranks on this rank's machine, which share its memory
};

// MPI is started with only the calling thread making MPI calls.
Rangos iniciaMpi(int& argc, char**& argv);
void terminaMpi();

// Whether every rank says bien.
bool todosBien(bool bien);

// Rank 0's bytes, on every rank.
void difunde(std::string& bytes);

// Ends every rank's process at once: a rank that ran out of memory cannot
// tell the others where they stand in their exchanges.
[[noreturn]] void abortaMpi();

// The scenarios of a file as bytes and back, for a rank that did not read
// it (standard input reaches rank 0 only); the entries of L they set are
// not among them: each rank reads CHANGES.csv itself.
std::string empaquetaEscenarios(const Escenarios& escenarios);
bool desempaquetaEscenarios(std::string_view bytes, Escenarios& escenarios);

// Runs the sweep on every rank; on rank 0 calls toma(k, resultado) for every
// scenario k in order. The first scenario of a chunk whose rank ran out of
// memory when one did.
std::optional<std::size_t> barreRepartido(const Partida& partida, const Escenarios& escenarios,
                                          unsigned hilos, Rangos rangos, const TomaResultado& toma);

// The same for the `cuantas` networks of an ensemble: its scenario k is
// scenario k % porRed of network k / porRed, and each rank makes the
// networks of its own chunks.
std::optional<std::size_t> barreRedesRepartido(const Redes& redes, const Escenarios& escenarios,
                                               unsigned hilos, std::uint64_t cuantas, Rangos rangos,
                                               const TomaResultado& toma);
