// The network laid out by Graphviz's dot and rendered as SVG: nodes grouped
// by the round in which they default (round 1 on top, nodes that never
// default last), coloured by round, sized by total obligations; each
// obligation drawn paid part then unpaid part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "export/cotejo.h"
#include "export/dispersa.h"

// Past these a drawing is a blot: labels overlap and edges fill the page.
// Readability is counted in lines per circle: a node with up to 10
// counterparties (obligations per node on average) still shows where each
// line goes, which covers the networks analysts draw, 40 to 100 banks with 5
// to 10 counterparties each; past 10 per node, or 1000 lines in all (100
// such banks), the lines hide the nodes. A small network may have up to
// kMinObligacionesDibujo lines whatever its size. Measured (lines through
// other banks' circles, per bank) in docs/companions.md.
inline constexpr std::int32_t kMaxNodosDibujo = 200;
inline constexpr std::size_t kMaxObligacionesDibujo = 1000;
inline constexpr std::size_t kObligacionesPorNodo = 10;
inline constexpr std::size_t kMinObligacionesDibujo = 60;

// The most obligations a drawing of n nodes shows.
std::size_t maxObligacionesDibujo(std::int32_t n);

// Why the network is not drawn, or "" when it is.
std::string motivoSinDibujo(const Dispersa& dispersa);

// The <svg> element alone, ready to sit inside a page. SVG ids: nodo-i for
// node i (class "nodo"), deuda-i-j for an obligation (class "deuda"),
// grupo-ronda-k and grupo-sin-impago for the groups.
bool dibujaCascada(const Dispersa& dispersa, const Resultado& resultado,
                   const std::vector<std::string>& nombres, std::string& svg, std::string& error);
