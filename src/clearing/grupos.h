// Closed groups of the obligation graph (node i points at node j when
// PI[i][j] is not zero): sets of nodes that owe one another and owe nothing
// outside the set. Among them the clearing vector is not tied down by the
// outside cash: a closed group without cash can pay round its circle any
// amount up to what it owes, and a round whose defaulting block holds a
// closed group has a singular system.
#pragma once

#include <cstdint>
#include <vector>

#include "base/estado.h"

using Grupo = std::vector<std::int32_t>;  // node numbers, ascending

// The closed groups among the nodes marked in `dentro` (all nodes when it is
// empty): the strongly connected components of the graph on those nodes from
// which no obligation leaves, to a node outside the component or outside
// `dentro`, and that hold an obligation (a lone node that owes nothing is not
// a group). Tarjan's components over the rows of PI: O(n + links) beyond
// reading the dense rows. In order of their least node.
std::vector<Grupo> gruposCerrados(const Red& red, const Marcas& dentro = {});

// The closed groups none of whose nodes has positive outside cash, from the
// network's closed groups. The network is regular (every node reaches, along
// obligations, a node with cash or one that owes nothing) exactly when there
// are none; for nonnegative L and e its clearing vector without costs is then
// unique.
std::vector<Grupo> gruposSinCaja(const std::vector<Grupo>& cerrados, const Vector& e);

// Whether every one of the network's closed groups has a node with cash: the
// same answer as gruposSinCaja(cerrados, e).empty(), allocating nothing.
bool esRegular(const std::vector<Grupo>& cerrados, const Vector& e);

// The nodes of a round's defaulting block that make its system singular:
// the closed groups within the marked nodes, merged and ascending. Empty when
// the block holds none (a system the solver found singular for another
// reason: obligations of both signs, or rounding).
Grupo grupoSingular(const Red& red, const Marcas& marcas);
