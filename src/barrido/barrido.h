// Many clearings of one network: PI and pBarra computed once from L, then
// one engine call per scenario on every core, each thread with its own cash
// vector and the engine's per-call storage, and the results handed over in
// scenario order through a bounded window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/estado.h"
#include "clearing/grupos.h"
#include "escenarios/escenarios.h"

// What a sweep keeps of input.txt: L is dropped once PI is computed. Its
// closed groups are found once; each scenario's cash tells whether it is
// regular. Every scenario is cleared with the same default costs.
struct Partida {
  std::int32_t n = 0;
  Matrix PI;
  Vector pBarra;
  Vector e;
  std::vector<Grupo> cerrados;
  Costes costes;
  Vector debido;  // PIᵀ·pBarra: what the others owe each node, as the engine computes inflows
  // Scenarios that set entries of L: the base rows of L of their debtors,
  // deudores ascending and filasL alike; empty otherwise. guardaL asks
  // leePartida to keep the whole L in filasL (and the memory gate to allow
  // for it and each thread's own PI) until conservaFilas picks the rows.
  bool guardaL = false;
  std::vector<std::int32_t> deudores;
  Matrix filasL;
  // Bytes for the blocks a sweep of this network keeps eliminated (barrido/cache.h);
  // negative: the default there, 0: none kept.
  double memoriaCache = -1.0;
  // The processes on this machine that sweep at once (MPI ranks), each
  // with a cache of its own: the default budget is shared among them.
  unsigned procesos = 1;
};

// Keeps of L, held whole in filasL, the rows of `deudores` (ascending).
void conservaFilas(Partida& partida, const std::vector<std::int32_t>& deudores);

// What a Partida derives once its PI, pBarra and e are in place: its closed
// groups and what each node is owed.
void completaPartida(Partida& partida);

// The n×n matrices a sweep on `hilos` threads holds at its peak: PI and
// pBarra, shared, and each thread's engine, its storage for a round's block
// and its own cash vector, as one run of clearing holds beyond L and PI.
int matricesDeBarrido(unsigned hilos);

// What a sweep whose scenarios set entries of L holds beyond: L while its
// rows are picked, and each thread's own PI.
int matricesDeObligaciones(unsigned hilos);

// Reads input.txt with clearing's reader and derives pBarra and PI as
// clearing does, once the memory gate (comun/recursos.h) has found room for
// the sweep on hilosPara(n) threads, n the network's nodes, and its closed
// groups. On failure error says why ("input.txt: …").
bool leePartida(const char* ruta, const std::function<unsigned(std::int32_t)>& hilosPara,
                Partida& partida, std::string& error);

enum class Desenlace : std::int32_t { ok, indeterminado, noConverge };

struct ResultadoEscenario {
  Desenlace desenlace = Desenlace::ok;
  std::int32_t rondas = 0;  // rounds run; for a failure, the round it happened in
  Vector p;                 // meaningful for ok only
  std::vector<std::int32_t> ordenQuiebra;
  bool regular = false;  // every closed group of the network has cash in this scenario
  // Meaningful for ok only: the scenario's cash, the engine's capital
  // (PIᵀ·p + e) − p, and what each node is owed minus what it receives,
  // debido − PIᵀ·p.
  Vector caja;
  Vector capital;
  Vector perdida;
  Vector pBarra;  // the network's: those of an ensemble differ from one network to the next
};

// What sweep.csv says of a scenario with a clearing vector: the nodes that
// default, Σ p[i] and Σ (pBarra[i] − p[i]), those that default in round 1
// (the shock) and later (contagion), Σ capital[i] and Σ perdida[i], each sum
// from 0.0 in ascending i.
struct Resumen {
  std::int64_t quiebras = 0;
  double pagos = 0.0;
  double faltante = 0.0;
  std::int64_t quiebrasChoque = 0;
  std::int64_t quiebrasContagio = 0;
  double capital = 0.0;
  double perdida = 0.0;
};
Resumen resumeEscenario(const ResultadoEscenario& resultado, const Vector& pBarra);

// The scenarios one process runs: its m-th is scenario indice(m).
struct Tanda {
  std::size_t cuantos = 0;
  std::function<std::size_t(std::size_t)> indice;
};

// Takes the m-th result of a tanda; false stops the sweep.
using TomaResultado = std::function<bool(std::size_t, const ResultadoEscenario&)>;

// Runs the tanda on up to `hilos` threads of the run's pool, the calling
// one among them (base/enorden.h), and calls toma(m, resultado) on the
// calling thread for m = 0, 1, … in order; at most 2·hilos results are held
// at once. The sweep stops at the first scenario, in order, whose engine
// call ran out of memory or that toma refused (returned false), and returns
// its m; nothing when every scenario was taken.
std::optional<std::size_t> barre(const Partida& partida, const Escenarios& escenarios,
                                 const Tanda& tanda, unsigned hilos, const TomaResultado& toma);

// A sweep over many networks of n nodes (an ensemble's): scenario k of the
// run is scenario k % porRed of network k / porRed; haz(red, partida) makes
// network `red`, its costs set, and returns false when memory ran out.
struct Redes {
  std::int32_t n = 0;
  std::size_t porRed = 0;
  std::function<bool(std::uint64_t, Partida&)> haz;
};

// The n×n matrices barreRedes holds at its peak on `hilos` threads: each
// thread's engine and network (its PI, and its L while the network is made).
int matricesDeBarridoDeRedes(unsigned hilos);

// barre over the networks, with tanda's indices the run's scenarios. Each
// thread makes the networks its scenarios need into a Partida of its own and
// keeps the last one: networks are made on the pool, in parallel with the
// scenarios, at most one per thread at a time, and each the same bytes
// whichever thread makes it.
std::optional<std::size_t> barreRedes(const Redes& redes, const Escenarios& escenarios,
                                      const Tanda& tanda, unsigned hilos,
                                      const TomaResultado& toma);
