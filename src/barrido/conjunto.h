// Sweeps over an ensemble: the scenarios cleared on each of K networks of
// the gravity model made from each node's totals (totales/reconstruccion.h),
// each network made in memory when its turn comes and never written; and
// sweep_summary.csv, each scenario and node across the networks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "barrido/barrido.h"
#include "comun/salida.h"
#include "escenarios/escenarios.h"
#include "totales/marginales.h"

struct Conjunto {
  Marginales marginales;  // with the node outside, "outside", when there is an external column
  Gravedad gravedad;
  std::uint64_t semilla = 0;
  std::uint64_t redes = 0;
};

// MARGINALS.csv read and checked as clearing-reconstruct does, and z solved
// for the density. False with error "FILE:LINE: …" or "FILE: …".
bool leeConjunto(const std::string& ruta, double densidad, std::uint64_t semilla,
                 std::uint64_t redes, Conjunto& conjunto, std::string& error);

// Network k as a sweep's start: L from the model's links and the external
// column, e the file's cash, pBarra and PI derived as clearing derives them
// (the doubles clearing reads from clearing-reconstruct --sample-one k).
void partidaDeRed(const Conjunto& conjunto, std::uint64_t k, Partida& partida);

// The ensemble's networks for barreRedes, each cleared with `costes`, with
// `escenarios` scenarios per network.
Redes redesDe(const Conjunto& conjunto, const Costes& costes, std::size_t escenarios);

// What sweep_summary.csv needs, gathered as the results come, network by
// network in order: for each scenario and node the shortfalls of the
// networks with a clearing vector, side by side, held in one block.
struct Resumenes {
  std::size_t n = 0;
  std::size_t redes = 0;
  std::vector<std::int64_t> conVector;  // per scenario: networks with a clearing vector
  std::vector<std::int64_t> quiebras;   // per scenario and node: networks where it defaults
  std::vector<double> faltantes;        // per scenario, node and network: pBarra[i] − p[i]
};

// The bytes a Resumenes holds for an ensemble, for the memory gate.
double bytesDeResumenes(std::size_t escenarios, std::size_t n, std::uint64_t redes);

Resumenes preparaResumenes(std::size_t escenarios, std::size_t n, std::uint64_t redes);

// The result of scenario `escenario` of the next network in order.
void acumula(Resumenes& r, std::size_t escenario, const ResultadoEscenario& resultado);

// One row of sweep_summary.csv in numbers; hay is false when no network had
// a clearing vector (the row's figures are then empty).
struct CifrasResumen {
  bool hay = false;
  double probabilidad = 0.0;  // networks where the node defaults, over those with a vector
  double media = 0.0;         // the mean shortfall, summed in network order
  double p5 = 0.0, p50 = 0.0, p95 = 0.0;
};
CifrasResumen cifrasResumen(const Resumenes& r, std::size_t escenario, std::size_t nodo);

// sweep_summary.csv: scenario,node,name,networks,default_probability,
// mean_shortfall,shortfall_p5,shortfall_p50,shortfall_p95.
void escribeResumenes(ArchivoNuevo& archivo, const Resumenes& r, const Escenarios& escenarios,
                      const std::vector<std::string>& nombres);
