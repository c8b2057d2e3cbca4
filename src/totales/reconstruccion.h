// Networks from each node's totals alone, for clearing-reconstruct and
// clearing.reconstruct: liabilities l (what node i owes inside the network,
// the row sum of L) and assets a (what node j is owed, the column sum).
// Every network made here has a zero diagonal: no node owes itself.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "comun/enlace.h"

struct Totales {
  std::vector<double> pasivo;  // l, one per node
  std::vector<double> activo;  // a, one per node
};

// The grand totals may differ by this much, relative to the larger, before
// the totals are refused: what rounding in the sums of a balance sheet explains.
inline constexpr double kDiferenciaTotales = 1e-9;

// Whether a network with a zero diagonal meets the totals. False with nodo
// (-1 for the totals as a whole) and motivo saying why: a negative or
// infinite total; grand totals that differ by more than kDiferenciaTotales;
// a node that owes more than all the others are owed (l_i > Σ_{j≠i} a_j,
// the same as a_i > Σ_{j≠i} l_j when the grand totals agree). nombres may
// be empty: nodes are then named by their numbers.
bool esViable(std::span<const std::string> nombres, const Totales& t, std::int32_t& nodo,
              std::string& motivo);

// a scaled by Σl / Σa, so that totals esViable lets through have one grand
// total W = Σl (summed in ascending i) and can match both sums to 1e-12.
void igualaTotales(Totales& t);

// ---- Maximum entropy ----

// The matrix closest in relative entropy to l_i·a_j / W with a zero
// diagonal keeps its product form: x_ij = p_i·q_j for i ≠ j. Iterative
// proportional fitting scales rows, p_i = l_i / Σ_{j≠i} q_j, then columns,
// q_j = a_j / Σ_{i≠j} p_i, one sweep each, until every row and column sum
// is within kResiduoEntropia·W of its total.
struct Entropia {
  std::vector<double> p;
  std::vector<double> q;
  int barridos = 0;
  double residuo = 0;  // max over rows and columns of |sum − total| / W
};

inline constexpr double kResiduoEntropia = 1e-12;
inline constexpr int kMaxBarridos = 100000;

// False with error when kMaxBarridos sweeps leave the residual above
// kResiduoEntropia (a node that deals with nearly every other one's total
// has no interior solution). t as igualaTotales leaves it.
bool maximaEntropia(const Totales& t, Entropia& r, std::string& error);

// The links p_i·q_j of i ≠ j that are not 0, by (debtor, creditor).
std::vector<Enlace> enlacesDeEntropia(const Entropia& r);

// ---- Minimum density ----

// A basic solution of the transportation problem with a zero diagonal: at
// most 2n − 1 links, each row and column summing to its total to rounding.
// Greedy from the largest totals: the largest remaining liability pays the
// largest remaining asset of another node. t must be viable; by (debtor, creditor).
std::vector<Enlace> minimaDensidad(const Totales& t);

// ---- The density-corrected gravity model ----

// Link i→j (i ≠ j) present with probability p_ij = z·w / (1 + z·w), w =
// l_i·a_j, and then of weight w / (W·p_ij), so that E[x_ij] = w / W.
struct Gravedad {
  double z = 0;                 // +inf when every pair with w > 0 is a link
  double W = 0;                 // Σl
  double enlacesEsperados = 0;  // Σ p_ij at z
};

// p_ij for w = l_i·a_j.
double probabilidadDeEnlace(double z, double w);

// z such that the expected number of links Σ_{i≠j} p_ij is densidad·n·(n−1),
// by bisection on a geometric scale (square roots, which every IEEE 754
// machine rounds alike) until z is known to 1e-12 relative. False with
// error when the density asks for more links than pairs with w > 0.
bool resuelveGravedad(const Totales& t, double densidad, Gravedad& g, std::string& error);

// Network k of seed semilla: one uniform draw per pair i ≠ j, i then j
// ascending, from azarDeRed(semilla, k); the link is present when the draw is
// below p_ij. By (debtor, creditor).
std::vector<Enlace> muestraGravedad(const Totales& t, const Gravedad& g, std::uint64_t semilla,
                                    std::uint64_t k);
