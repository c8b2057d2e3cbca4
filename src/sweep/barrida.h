// What a sweep reads before it runs: the network (input.txt, or an
// ensemble's MARGINALS.csv), the nodes' names, the groups, the scenarios and
// the entries of L they set; and the threads it runs on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "barrido/barrido.h"
#include "barrido/conjunto.h"
#include "escenarios/archivo_escenarios.h"
#include "escenarios/escenarios.h"
#include "sweep/argumentos.h"

struct Barrida {
  Partida partida;
  std::vector<std::string> nombres;
  Escenarios escenarios;
  Grupos grupos;  // --groups
};

// The threads of a sweep: those asked for, or every core, but no more than
// the pipeline takes and the scenarios (when known: `escenarios` is 0 for a
// file not read here).
unsigned hilosDelBarrido(const Argumentos& a, std::int32_t n, std::size_t escenarios);

// The threads of an ensemble's sweep: those asked for, or every core, but
// no more than the pipeline takes and the ensemble's scenarios.
unsigned hilosDelConjunto(const Argumentos& a, std::size_t porRed);

// What the whole run reads: the scenario file's rows first (the threads, and
// so the memory, depend on how many scenarios it names), then input.txt,
// nodes.txt, and the file's nodes looked up.
bool leeTodo(const Argumentos& a, Barrida& b, std::string& error);

// Its steps, for a process that reads the scenarios otherwise:
// input.txt, what every process reads, with the costs asked for; the sweep's
// threads as hilos(n) says for a network of n nodes.
bool leeRed(const Argumentos& a, const std::function<unsigned(std::int32_t)>& hilos, Barrida& b,
            std::string& error);
// GROUPS.csv, once the nodes' names are known.
bool leeGruposDe(const Argumentos& a, Barrida& b, std::string& error);
// The scenarios, once the network and its names are read: the file's rows
// looked up, or a built-in sweep.
bool leeFuente(const Argumentos& a, const ArchivoEscenarios& archivo, Barrida& b,
               std::string& error);
// What comes after the scenarios: the entries of L they set, and the rows
// of L those need, the rest of L let go.
bool leeObligaciones(const Argumentos& a, Barrida& b, std::string& error);

// An ensemble's run: MARGINALS.csv read, and on the process that writes the
// files (raiz) the scenarios; the memory gate passed for the sweep and, on
// raiz, sweep_summary.csv's figures. No network is made here: barreRedes
// makes each on the pool.
bool leeConjuntoYFuente(const Argumentos& a, bool raiz, Conjunto& c, Barrida& b,
                        std::string& error);
