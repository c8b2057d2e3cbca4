// sweep.csv and sweep_nodes.csv: one summary row per scenario and one row
// per node per scenario, in scenario order, written all or nothing. Numbers
// are the shortest text that reads back to the same double.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "barrido/barrido.h"
#include "comun/salida.h"

struct SalidaBarrido {
  std::array<ArchivoNuevo, 2> archivos;  // sweep.csv, sweep_nodes.csv
  std::array<std::string, 2> pendiente;  // rows not yet handed to the files
  const Vector* pBarra = nullptr;
  std::vector<std::string> camposNombres;  // nodes.txt's names as CSV fields, or none
  std::string red;                         // an ensemble's "k," before each row: network k's rows
};

// Opens both files under temporary names and writes their headers, which
// begin with a column network for an ensemble (conRed).
bool abreSalidaBarrido(SalidaBarrido& salida, const Vector& pBarra,
                       const std::vector<std::string>& nombres, std::string& error,
                       bool conRed = false);

// The rows of one scenario. For a scenario with no clearing vector the
// summary holds its status and the round it ended in, and its node rows
// hold the scenario, the node and its name only.
void escribeEscenario(SalidaBarrido& salida, const std::string& nombre,
                      const ResultadoEscenario& resultado);

// systemic.csv of an each-node sweep: per node, the defaults and the total
// loss of the scenario in which it fails, ranked by total loss, then
// defaults, both descending, then node; a node whose scenario has no
// clearing vector comes last with both empty.
struct Sistemico {
  std::int32_t nodo = 0;
  bool conVector = false;
  std::int64_t quiebras = 0;
  double perdida = 0.0;
};
Sistemico sistemicoDe(std::size_t nodo, const ResultadoEscenario& resultado, const Vector& pBarra);
// rank,node,name,defaults,total_loss; ranks from 1.
std::string textoSistemicos(std::vector<Sistemico> sistemicos,
                            const std::vector<std::string>& camposNombres);

// Renames both files into place, with otro beside them when there is one
// (an ensemble's summary), or removes them all and says why.
bool confirmaSalidaBarrido(SalidaBarrido& salida, std::string& error, ArchivoNuevo* otro = nullptr);
void descartaSalidaBarrido(SalidaBarrido& salida);
