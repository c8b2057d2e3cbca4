// The graph handed to Graphviz: one cluster per group of nodes that
// default in the same round, in rows of a few nodes; each node sized by
// what it owes, coloured by its round, with its name and a summary; each
// obligation coloured by the share paid, with its amounts.
#pragma once

#include <gvc.h>

#include <cstddef>
#include <string>
#include <vector>

#include "export/cotejo.h"
#include "export/dispersa.h"

// A graph being built: its nodes by number, its clusters in group order,
// and the rows dot stacks.
struct Dibujo {
  Agraph_t* grafo = nullptr;
  std::vector<Agnode_t*> nodos;
  std::vector<Agraph_t*> grupos;
  std::vector<std::vector<Agnode_t*>> filas;
  std::vector<std::size_t> filaDe;  // node i's row
};

// A new graph with its style, its groups and their nodes; no obligations
// yet. The caller closes it (agclose).
Dibujo abreDibujo(const Dispersa& dispersa, const Resultado& r,
                  const std::vector<std::string>& nombres);

// Each row hangs from the row above it, group after group, by invisible
// edges that make dot stack them.
void apilaFilas(Agraph_t* g, const std::vector<std::vector<Agnode_t*>>& filas);

// An edge for each nonzero obligation among nodos.
void dibujaObligaciones(Agraph_t* g, const Dispersa& dispersa, const Resultado& r,
                        const std::vector<std::string>& nombres,
                        const std::vector<Agnode_t*>& nodos);
