// Sweeps over an ensemble: the scenarios cleared on each of K networks of
// the gravity model made from each node's totals (totales/reconstruccion.h),
// each network made in memory when its turn comes and never written; and
// sweep_summary.csv, each scenario and node across the networks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "totales/marginales.h"
#include "comun/salida.h"
#include "barrido/barrido.h"
#include "escenarios/escenarios.h"

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

// What sweep_summary.csv needs, gathered network by network in order.
struct Resumenes {
  std::size_t n = 0;
  std::vector<std::int64_t> conVector;  // per scenario: networks with a clearing vector
  std::vector<std::int64_t> quiebras;   // per scenario and node: networks where it defaults
  std::vector<std::vector<double>>
      faltantes;  // per scenario and node: pBarra[i] − p[i], by network
};

Resumenes preparaResumenes(std::size_t escenarios, std::size_t n);

void acumula(Resumenes& r, std::size_t escenario, const ResultadoEscenario& resultado,
             const Vector& pBarra);

// sweep_summary.csv: scenario,node,name,networks,default_probability,
// mean_shortfall,shortfall_p5,shortfall_p50,shortfall_p95.
void escribeResumenes(ArchivoNuevo& archivo, const Resumenes& r, const Escenarios& escenarios,
                      const std::vector<std::string>& nombres);
