// gen-network FAMILY N SEED: writes a seeded clearing network to stdout in the
// input.txt layout (dim, then L row by row, then e), for benchmarks and soak runs.
// The same arguments give the same bytes on any platform: own PRNG, amounts kept
// as integers of 1/64 (exact sums), and the odd values of "adversarial" summed in
// a fixed order with no products.

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "comun/opciones.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

using Units = std::int64_t;  // money in 1/64 steps: exact as a double
using UMatrix = std::vector<Units>;

struct Rng {
  std::uint64_t state;
};

struct Network {
  int n = 0;
  std::vector<double> L;  // n*n, row = debtor
  std::vector<double> e;
};

// splitmix64: one 64-bit draw.
std::uint64_t draw(Rng& r) {
  std::uint64_t z = (r.state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

// Uniform integer in [lo, hi]; the modulo bias is far below anything we measure.
Units pick(Rng& r, Units lo, Units hi) {
  return lo + static_cast<Units>(draw(r) % static_cast<std::uint64_t>(hi - lo + 1));
}

bool chance(Rng& r, int percent) {
  return pick(r, 0, 99) < percent;
}

// Units to money; exact, since |u| < 2^53.
double to_money(Units u) {
  return static_cast<double>(u) / 64.0;
}

Network from_units(int n, const UMatrix& L, const std::vector<Units>& e) {
  Network net;
  net.n = n;
  net.L.resize(L.size());
  std::transform(L.begin(), L.end(), net.L.begin(), to_money);
  net.e.resize(e.size());
  std::transform(e.begin(), e.end(), net.e.begin(), to_money);
  return net;
}

std::vector<Units> row_sums(const UMatrix& L, int n) {  // pBarra
  std::vector<Units> s(n, 0);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) s[i] += L[std::size_t(i) * n + j];
  return s;
}

std::vector<Units> col_sums(const UMatrix& L, int n) {  // inflow at full payment
  std::vector<Units> s(n, 0);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) s[j] += L[std::size_t(i) * n + j];
  return s;
}

Units& at(UMatrix& L, int n, int i, int j) {
  return L[std::size_t(i) * n + j];
}

// Sets each node's capital at full payment (inflow + e - pBarra) to a target:
// weak nodes aim below zero and default in round 1; the rest get a thin buffer
// of bufLo..bufHi per mille of what they owe, so losses passed on by defaulting
// debtors can tip them over. Nodes 0..sinks-1 owe nothing; a surplus that
// nonnegative cash cannot cancel becomes a debt to one of them.
std::vector<Units> set_capital(Rng& r, UMatrix& L, int n, int sinks,
                               const std::vector<int>& weakPct, int bufLo, int bufHi) {
  std::vector<Units> out = row_sums(L, n), in = col_sums(L, n), e(n, 0);
  for (int i = 0; i < n; ++i) {
    if (i < sinks) {
      e[i] = pick(r, 0, 640);
      continue;
    }
    Units target = chance(r, weakPct[i]) ? -out[i] * pick(r, 20, 60) / 100
                                         : out[i] * pick(r, bufLo, bufHi) / 1000;
    Units net = in[i] - out[i];
    if (net > target) at(L, n, i, i % sinks) += net - target;
    e[i] = std::max<Units>(0, target - net);
  }
  return e;
}

// Random graph, out-degree 5..15 (mean 10), a few sinks that owe nothing.
Network sparse(int n, Rng& r) {
  UMatrix L(std::size_t(n) * n, 0);
  int sinks = std::min(n, std::max(1, n / 50));
  for (int i = sinks; i < n; ++i) {
    int deg = static_cast<int>(pick(r, 5, 15));
    for (int k = 0; k < deg && n > 1; ++k) {
      int j = static_cast<int>(pick(r, 0, n - 2));
      at(L, n, i, j + (j >= i)) += pick(r, 64, 64 * 100);
    }
  }
  std::vector<Units> e = set_capital(r, L, n, sinks, std::vector<int>(n, 2), 1, 20);
  return from_units(n, L, e);
}

// Nearly every pair linked, row totals around 1000 whatever n; a few sinks.
Network dense(int n, Rng& r) {
  UMatrix L(std::size_t(n) * n, 0);
  int sinks = std::min(n, std::max(1, n / 100));
  Units hi = std::max<Units>(2, 128000 / std::max(1, n));
  for (int i = sinks; i < n; ++i)
    for (int j = 0; j < n; ++j)
      if (i != j && chance(r, 90)) at(L, n, i, j) = pick(r, 1, hi);
  std::vector<Units> e = set_capital(r, L, n, sinks, std::vector<int>(n, 3), 1, 20);
  return from_units(n, L, e);
}

// Layered chain of groups: layer k only fails once layer k-1 has failed. Each
// layer sends to the next through the same circulant pattern, so every node
// receives exactly W at full payment and the shortfall shrinks by at most 2 per
// layer (from >= 40): all layers fall, one per round.
Network cascade(int n, Rng& r) {
  const Units W = 64 * 100;
  int layers = static_cast<int>(pick(r, 12, 16));
  int sinks = std::min(n, std::max(1, n / 50));
  layers = std::min(layers, std::max(0, n - sinks));
  int g = layers > 0 ? (n - sinks) / layers : 0;
  sinks = n - layers * g;
  UMatrix L(std::size_t(n) * n, 0);
  std::vector<Units> e(n, 0);
  for (int k = 0; k < layers; ++k) {
    int deg = std::min(g, 6);
    std::vector<int> offs(g);
    for (int t = 0; t < g; ++t) offs[t] = t;
    for (int t = 0; t < deg; ++t) std::swap(offs[t], offs[pick(r, t, g - 1)]);
    std::vector<Units> w(deg);
    Units rest = W;
    for (int t = 0; t + 1 < deg; ++t) rest -= (w[t] = pick(r, W / (2 * deg), W / deg));
    w[deg - 1] = rest;
    for (int t = 0; t < g; ++t) {
      int i = k * g + t;
      e[i] = k == 0 ? W - pick(r, 64 * 40, 64 * 60) : pick(r, 32, 128);
      for (int d = 0; d < deg; ++d) {
        int j = k + 1 < layers ? (k + 1) * g + (t + offs[d]) % g : layers * g + (t + d) % sinks;
        at(L, n, i, j) += w[d];
      }
    }
  }
  return from_units(n, L, e);
}

// A few sinks, a dense core of big banks, and small periphery nodes that
// borrow from and deposit with 1..3 banks.
Network coreperiphery(int n, Rng& r) {
  int sinks = std::min(n, std::max(1, n / 100));
  int core = std::min(n - sinks, std::max(3, n / 20)), first = sinks + core;
  UMatrix L(std::size_t(n) * n, 0);
  auto bank = [&] { return static_cast<int>(pick(r, sinks, first - 1)); };
  for (int i = sinks; i < first; ++i)
    for (int j = sinks; j < first; ++j)
      if (i != j && chance(r, 80)) at(L, n, i, j) = pick(r, 64 * 50, 64 * 500);
  for (int i = first; i < n; ++i) {  // one draw per statement keeps the order fixed
    for (int k = static_cast<int>(pick(r, 1, 3)); k > 0; --k) {
      int b = bank();
      at(L, n, i, b) += pick(r, 64, 64 * 20);  // loan from bank b
    }
    for (int k = static_cast<int>(pick(r, 1, 2)); k > 0; --k) {
      int b = bank();
      at(L, n, b, i) += pick(r, 64, 64 * 20);  // deposit at bank b
    }
    int j = static_cast<int>(pick(r, first, n - 1));
    if (j != i && chance(r, 20)) at(L, n, i, j) += pick(r, 64, 64 * 5);
  }
  std::vector<int> weak(n, 3);
  std::fill(weak.begin() + sinks, weak.begin() + first, 4);
  if (core > 0) weak[sinks] = 100;  // one bank fails outright: every run gets a core shock
  std::vector<Units> e = set_capital(r, L, n, sinks, weak, 2, 40);
  return from_units(n, L, e);
}

// Everyone short in round 1. Each node also owes a sink (a node that owes
// nothing); sinks get outside cash below minus their inflow so they default too,
// and the leak into them keeps the all-default system determinate.
Network alldefault(int n, Rng& r) {
  int sinks = std::min(n, std::max(1, n / 100));
  int m = n - sinks;
  UMatrix L(std::size_t(n) * n, 0);
  Units hi = std::max<Units>(2, 128000 / std::max(1, m));
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < m; ++j)
      if (i != j && chance(r, 95)) at(L, n, i, j) = pick(r, 1, hi);
  std::vector<Units> out = row_sums(L, n), in = col_sums(L, n), e(n, 0);
  for (int i = 0; i < m; ++i) {
    Units leak = out[i] / 10 + pick(r, 64, 64 * 20);
    at(L, n, i, m + i % sinks) += std::max<Units>(0, in[i] - out[i]) + leak;
    e[i] = pick(r, 0, leak - 1);  // inflow + e < pBarra by at least 1/64
  }
  in = col_sums(L, n);
  for (int s = m; s < n; ++s) e[s] = -in[s] - pick(r, 64, 64 * 10);
  return from_units(n, L, e);
}

// One new default per round over a dense block: node i owes 10 to node i + 1
// and 1e-6 to every other node. Node 0's cash of 5 leaves it short; each
// defaulting node then pays its successor about 5, so the successor falls
// next round. Every other node keeps 0.002 above the most it could lose from
// the 1e-6 debts of the nodes before it (i·1e-6), so only the chain topples
// it. Amounts are whole millionths, each a single correctly rounded division.
// The chain reaches the last node up to about n = 1700; the seed is unused.
Network densecascade(int n, Rng& /*r*/) {
  Network net;
  net.n = n;
  net.L.assign(std::size_t(n) * n, 1.0 / 1e6);
  net.e.assign(n, 0.0);
  for (int i = 0; i < n; ++i) {
    net.L[std::size_t(i) * n + i] = 0.0;
    if (i + 1 < n) net.L[std::size_t(i) * n + i + 1] = 10.0;
    net.e[i] = i == 0 ? 5.0 : static_cast<double>(2000 + i) / 1e6;
  }
  return net;
}

// Values chosen to catch shortcuts: signed zeros, negatives, thirds, the edges
// of the 1e-8 tolerance, tiny and huge amounts.
double odd_value(Rng& r) {
  static const double table[] = {0.0,
                                 -0.0,
                                 1.0,
                                 -1.0,
                                 2.0,
                                 3.0,
                                 10.0,
                                 -5.0,
                                 0.5,
                                 0.1,
                                 1e-9,
                                 -1e-9,
                                 1e12,
                                 -1e12,
                                 1e-8,
                                 -1e-8,
                                 5e-9,
                                 2e-8,
                                 1.0 / 3.0,
                                 2.0 / 3.0,
                                 -1.0 / 3.0,
                                 4.0 / 3.0,
                                 std::nextafter(1e-8, 0.0),
                                 std::nextafter(1e-8, 1.0),
                                 1.0 + 1e-8,
                                 1.0 - 1e-9,
                                 6e307,  // sums of a few overflow: inf, then NaN
                                 1e308,
                                 -1e308};
  return table[pick(r, 0, sizeof table / sizeof table[0] - 1)];
}

double zero_either_sign(Rng& r) {
  return chance(r, 30) ? -0.0 : 0.0;
}

// Tiny networks (n <= 12) of odd values; some are meant to end as
// "indeterminado" or without converging.
Network adversarial(int hint, Rng& r) {
  Network net;
  net.n = hint <= 12 ? hint : static_cast<int>(pick(r, 0, 12));
  int n = net.n;
  int density = static_cast<int>(pick(r, 15, 90));
  net.L.assign(std::size_t(n) * n, 0.0);
  for (int i = 0; i < n; ++i) {
    int shape = static_cast<int>(pick(r, 0, 9));
    if (shape == 2 && n >= 2) {  // entries that cancel: pBarra 0, so a PI row of 0
      int j = static_cast<int>(pick(r, 0, n - 1));
      net.L[std::size_t(i) * n + j] = 5.0;
      net.L[std::size_t(i) * n + (j + 1) % n] = -5.0;
      continue;
    }
    for (int j = 0; j < n; ++j) {
      bool link = i == j ? chance(r, 25) : chance(r, density);            // self-loops too
      net.L[std::size_t(i) * n + j] = shape <= 2   ? zero_either_sign(r)  // empty row
                                      : shape == 3 ? (link ? 1.0 / 3.0 : 0.0)
                                      : link       ? odd_value(r)
                                                   : zero_either_sign(r);
    }
  }
  net.e.assign(n, 0.0);
  for (int i = 0; i < n; ++i) {
    double owed = 0.0, in = 0.0;  // pBarra and inflow at full payment
    for (int j = 0; j < n; ++j) owed += net.L[std::size_t(i) * n + j];
    for (int k = 0; k < n; ++k) in += net.L[std::size_t(k) * n + i];
    int how = static_cast<int>(pick(r, 0, 3));
    net.e[i] = how == 0   ? owed - in  // right at the edge of default
               : how == 1 ? zero_either_sign(r)
                          : odd_value(r);
    if (!std::isfinite(net.e[i]))
      net.e[i] = 0.0;  // owed − in of overflowed sums: not a number the input can hold
  }
  return net;
}

// dim, then L one row per line, then e on one line; %.17g reads back exactly.
void write_network(const Network& net) {
  int n = net.n;
  std::printf("%d\n", n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      std::printf(j + 1 < n ? "%.17g " : "%.17g\n", net.L[std::size_t(i) * n + j]);
  for (int i = 0; i < n; ++i) std::printf(i + 1 < n ? "%.17g " : "%.17g\n", net.e[i]);
}

// A plain decimal integer <= max, nothing else (no sign, no blanks, no suffix).
bool parse_u64(const char* s, unsigned long long max, unsigned long long& v) {
  if (*s < '0' || *s > '9') return false;
  char* end = nullptr;
  errno = 0;
  v = std::strtoull(s, &end, 10);
  return errno == 0 && *end == '\0' && v <= max;
}

constexpr const char* kUsage =
    "usage: gen-network sparse|dense|cascade|coreperiphery|alldefault|densecascade|adversarial N "
    "SEED\n"
    "Writes a seeded network of N nodes (at most 100000) to standard output in\n"
    "the layout of input.txt; the same arguments give the same bytes anywhere.\n";

[[noreturn]] void usage() {
  (void)std::fputs(kUsage, stderr);
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // The networks end their lines with LF alone; a text-mode stdout would add CR.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  if (const auto answer = respondeOpcion(argc, argv, "gen-network", kUsage)) return *answer;
  unsigned long long n = 0, seed = 0;
  if (argc != 4 || !parse_u64(argv[2], 100000, n) || !parse_u64(argv[3], ~0ULL, seed)) usage();
  using Family = Network (*)(int, Rng&);
  static const struct {
    const char* name;
    Family make;
  } families[] = {{"sparse", sparse},          {"dense", dense},
                  {"cascade", cascade},        {"coreperiphery", coreperiphery},
                  {"alldefault", alldefault},  {"densecascade", densecascade},
                  {"adversarial", adversarial}};
  for (const auto& f : families) {
    if (std::strcmp(argv[1], f.name) != 0) continue;
    Rng rng{seed ^ (0xC1EA41A6ULL * (std::uint64_t(n) + 1))};  // sizes get unrelated streams
    write_network(f.make(static_cast<int>(n), rng));
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  usage();
}
