#include "totales/reconstruccion.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

#include "comun/texto.h"
#include "totales/azar.h"

namespace {

double suma(std::span<const double> v) {
  double s = 0.0;
  for (double x : v) s += x;
  return s;
}

std::string quien(std::span<const std::string> nombres, std::size_t i) {
  return nombres.empty() ? "node " + std::to_string(i) : citado(nombres[i]);
}

// A negative or infinite total, as the node's fault.
bool esTotalValido(std::span<const std::string> nombres, std::span<const double> v, const char* que,
                   std::int32_t& nodo, std::string& motivo) {
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (std::isfinite(v[i]) && v[i] >= 0.0) continue;
    nodo = static_cast<std::int32_t>(i);
    motivo = std::string(que) + " of " + quien(nombres, i) + " " +
             (std::isfinite(v[i]) ? "are negative (" : "are not a finite number (") +
             textoExacto(v[i]) + ")";
    return false;
  }
  return true;
}

}  // namespace

bool esViable(std::span<const std::string> nombres, const Totales& t, std::int32_t& nodo,
              std::string& motivo) {
  nodo = -1;
  if (!esTotalValido(nombres, t.pasivo, "the liabilities", nodo, motivo) ||
      !esTotalValido(nombres, t.activo, "the assets", nodo, motivo))
    return false;
  const double L = suma(t.pasivo);
  const double A = suma(t.activo);
  if (std::abs(L - A) > kDiferenciaTotales * std::max(L, A)) {
    motivo = "the liabilities add up to " + textoExacto(L) + " and the assets to " +
             textoExacto(A) + ", a difference of " + textoLegible(L - A) + " (" +
             textoLegible(std::abs(L - A) / std::max(L, A)) +
             " relative, above 1e-9): every amount owed is owed to someone, so no network "
             "meets both; --outside NAME or --balance gives the difference to a node outside "
             "the network";
    return false;
  }
  const double tolerancia = kDiferenciaTotales * std::max(L, A);
  for (std::size_t i = 0; i < t.pasivo.size(); ++i) {
    const double otros = A - t.activo[i];  // what every other node is owed
    if (t.pasivo[i] - otros <= tolerancia) continue;
    nodo = static_cast<std::int32_t>(i);
    motivo = quien(nombres, i) + " owes " + textoExacto(t.pasivo[i]) +
             " but all the other nodes are owed " + textoExacto(otros) +
             " in all: no network in which no node owes itself meets these totals";
    return false;
  }
  return true;
}

void igualaTotales(Totales& t) {
  const double L = suma(t.pasivo);
  const double A = suma(t.activo);
  if (L == A || A == 0.0) return;
  const double factor = L / A;
  for (double& a : t.activo) a *= factor;
}

// ---- Maximum entropy ----

namespace {

// max |p_i·(Q − q_i) − l_i| and |q_j·(P − p_j) − a_j|, over W.
double residuoEntropia(const Totales& t, const Entropia& r, double W) {
  const double P = suma(r.p);
  const double Q = suma(r.q);
  double peor = 0.0;
  for (std::size_t i = 0; i < r.p.size(); ++i) {
    peor = std::max(peor, std::abs(r.p[i] * (Q - r.q[i]) - t.pasivo[i]));
    peor = std::max(peor, std::abs(r.q[i] * (P - r.p[i]) - t.activo[i]));
  }
  return peor / W;
}

// v_i = total_i / (S − u_i), S = Σu: one half-sweep of the fitting.
void escalaFactores(std::span<const double> total, std::span<const double> u,
                    std::vector<double>& v) {
  const double S = suma(u);
  for (std::size_t i = 0; i < total.size(); ++i) {
    const double resto = S - u[i];
    v[i] = total[i] == 0.0 || resto <= 0.0 ? 0.0 : total[i] / resto;
  }
}

}  // namespace

bool maximaEntropia(const Totales& t, Entropia& r, std::string& error) {
  const std::size_t n = t.pasivo.size();
  const double W = suma(t.pasivo);
  r.p.assign(n, 0.0);
  r.q = t.activo;  // the product l_i·a_j / W, up to the first row scaling
  r.barridos = 0;
  r.residuo = 0.0;
  if (W == 0.0) return true;
  do {
    escalaFactores(t.pasivo, r.q, r.p);
    escalaFactores(t.activo, r.p, r.q);
    ++r.barridos;
    r.residuo = residuoEntropia(t, r, W);
  } while (r.residuo > kResiduoEntropia && r.barridos < kMaxBarridos);
  if (r.residuo <= kResiduoEntropia) return true;
  error = "maximum entropy: the sums are still " + textoLegible(r.residuo) +
          " of the total from the totals after " + std::to_string(r.barridos) +
          " sweeps (a node deals with nearly all the others' totals, which leaves no "
          "network with every link); --sparse meets such totals";
  return false;
}

std::vector<Enlace> enlacesDeEntropia(const Entropia& r) {
  std::vector<Enlace> enlaces;
  const auto n = static_cast<std::int32_t>(r.p.size());
  for (std::int32_t i = 0; i < n; ++i) {
    for (std::int32_t j = 0; j < n; ++j) {
      const double x = r.p[i] * r.q[j];  // x_ij = p_i·q_j
      if (i != j && x != 0.0) enlaces.push_back({i, j, x});
    }
  }
  return enlaces;
}

// ---- Minimum density ----

namespace {

struct Restos {
  std::vector<double> r;  // what each row still owes
  std::vector<double> c;  // what each column is still owed
};

bool porPosicion(const Enlace& x, const Enlace& y) {
  return x.deudor != y.deudor ? x.deudor < y.deudor : x.acreedor < y.acreedor;
}

// Every remaining amount goes through node k, which owes or is owed as much
// as all the rest together (r_k + c_k = R): each other row pays k, k pays
// each other column. One link per remaining margin but k's.
void cierraEnEstrella(const Restos& resto, std::int32_t k, std::vector<Enlace>& enlaces) {
  const auto n = static_cast<std::int32_t>(resto.r.size());
  for (std::int32_t o = 0; o < n; ++o) {
    if (o == k) continue;
    if (resto.r[o] > 0.0) enlaces.push_back({o, k, resto.r[o]});
    if (resto.c[o] > 0.0) enlaces.push_back({k, o, resto.c[o]});
  }
}

// Node indices by a value, largest first and the first of equals first;
// a node's value changes only while it is out of the set.
struct PorValor {
  const std::vector<double>* valor;
  bool operator()(std::int32_t x, std::int32_t y) const {
    const double vx = (*valor)[x], vy = (*valor)[y];
    return vx != vy ? vx > vy : x < y;
  }
};
using Orden = std::set<std::int32_t, PorValor>;

// The first of orden that is none of fuera, or -1.
std::int32_t primeroSalvo(const Orden& orden, std::int32_t fuera1, std::int32_t fuera2) {
  for (std::int32_t k : orden) {
    if (k != fuera1 && k != fuera2) return k;
  }
  return -1;
}

}  // namespace

// Each step pays x = min(r_i, c_j) from the largest row i to the largest
// other column j, which empties a row or a column; so at most 2n − 1 links.
// No step may leave a node k with r_k + c_k above the remaining total R (it
// could then only be met through its own diagonal): x is cut to R − (r_k +
// c_k) of the largest other k, which makes k take everything, and a node
// that does ends the network as a star around it. Such a k always has both
// margins left, so the star saves the link the cut step spent.
std::vector<Enlace> minimaDensidad(const Totales& t) {
  Restos resto{t.pasivo, t.activo};
  const auto n = static_cast<std::int32_t>(t.pasivo.size());
  std::vector<double> ambos(static_cast<std::size_t>(n));  // r_k + c_k
  Orden filas(PorValor{&resto.r}), columnas(PorValor{&resto.c}), porAmbos(PorValor{&ambos});
  for (std::int32_t k = 0; k < n; ++k) {
    ambos[k] = resto.r[k] + resto.c[k];
    filas.insert(k), columnas.insert(k), porAmbos.insert(k);
  }
  double R = suma(t.pasivo);  // what remains, less each link as it is made
  const double tolerancia = 1e-12 * R;
  std::vector<Enlace> enlaces;
  while (!filas.empty()) {
    const std::int32_t i = *filas.begin();
    if (resto.r[i] <= 0.0 || R <= tolerancia) break;
    const std::int32_t k = *porAmbos.begin();
    if (ambos[k] >= R - tolerancia) {
      cierraEnEstrella(resto, k, enlaces);
      break;
    }
    const std::int32_t j = primeroSalvo(columnas, i, i);
    if (j < 0 || resto.c[j] <= 0.0) break;
    const std::int32_t otro = primeroSalvo(porAmbos, i, j);
    const double tope = otro < 0 ? R : R - ambos[otro];  // R − max_{k≠i,j} (r_k + c_k)
    // The cut counts only beyond rounding: R is a difference of rounded amounts.
    const double lleno = std::min(resto.r[i], resto.c[j]);
    const double x = tope < lleno - tolerancia ? tope : lleno;
    enlaces.push_back({i, j, x});
    // A row and a column equal but for rounding are both done: their
    // difference would otherwise come back as a link of a few ulps.
    const bool iguales = x == lleno && std::abs(resto.r[i] - resto.c[j]) <= tolerancia;
    filas.erase(i), columnas.erase(j), porAmbos.erase(i), porAmbos.erase(j);
    resto.r[i] = resto.r[i] == x || iguales ? 0.0 : resto.r[i] - x;
    resto.c[j] = resto.c[j] == x || iguales ? 0.0 : resto.c[j] - x;
    ambos[i] = resto.r[i] + resto.c[i];
    ambos[j] = resto.r[j] + resto.c[j];
    filas.insert(i), columnas.insert(j), porAmbos.insert(i), porAmbos.insert(j);
    R -= x;
  }
  std::sort(enlaces.begin(), enlaces.end(), porPosicion);
  return enlaces;
}

// ---- The density-corrected gravity model ----

double probabilidadDeEnlace(double z, double w) {
  if (w <= 0.0) return 0.0;
  if (std::isinf(z)) return 1.0;
  const double zw = z * w;
  return std::isinf(zw) ? 1.0 : zw / (1.0 + zw);
}

namespace {

// Σ_{i≠j} p_ij, i then j ascending.
double enlacesEsperados(const Totales& t, double z) {
  const std::size_t n = t.pasivo.size();
  double s = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      if (i != j) s += probabilidadDeEnlace(z, t.pasivo[i] * t.activo[j]);
    }
  }
  return s;
}

}  // namespace

bool resuelveGravedad(const Totales& t, double densidad, Gravedad& g, std::string& error) {
  const std::size_t n = t.pasivo.size();
  const double pares = static_cast<double>(n) * static_cast<double>(n > 0 ? n - 1 : 0);
  const double objetivo = densidad * pares;
  g.W = suma(t.pasivo);
  double posibles = 0.0, pesos = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      const double w = t.pasivo[i] * t.activo[j];
      if (i != j && w > 0.0) {
        posibles += 1.0;
        pesos += w;
      }
    }
  }
  if (objetivo > posibles * (1 + 1e-12)) {
    error = "a density of " + textoExacto(densidad) + " asks for " + textoLegible(objetivo) +
            " links, but only " + textoExacto(posibles) +
            " pairs have a debtor that owes and another node that is owed";
    return false;
  }
  if (objetivo >= posibles) {  // every possible link, each of weight w / W
    g.z = std::numeric_limits<double>::infinity();
    g.enlacesEsperados = posibles;
    return true;
  }
  // A first z from f(z) ≈ z·Σw for small z, made a power of two; then
  // doublings and halvings to a bracket, and bisection between its ends.
  double lo = std::ldexp(1.0, std::ilogb(objetivo / pesos));
  double hi = lo;
  while (enlacesEsperados(t, hi) < objetivo && std::isfinite(hi)) hi *= 2.0;
  while (enlacesEsperados(t, lo) > objetivo && lo > 0.0) lo /= 2.0;
  if (lo == hi) lo /= 2.0;
  while (hi > lo * (1.0 + 1e-12)) {
    const double medio = std::sqrt(lo) * std::sqrt(hi);
    if (medio <= lo || medio >= hi) break;
    (enlacesEsperados(t, medio) < objetivo ? lo : hi) = medio;
  }
  g.z = std::sqrt(lo) * std::sqrt(hi);
  g.enlacesEsperados = enlacesEsperados(t, g.z);
  return true;
}

std::vector<Enlace> muestraGravedad(const Totales& t, const Gravedad& g, std::uint64_t semilla,
                                    std::uint64_t k) {
  Azar azar = azarDeRed(semilla, k);
  const auto n = static_cast<std::int32_t>(t.pasivo.size());
  std::vector<Enlace> enlaces;
  for (std::int32_t i = 0; i < n; ++i) {
    for (std::int32_t j = 0; j < n; ++j) {
      if (i == j) continue;
      const double u = uniforme(azar);
      const double w = t.pasivo[i] * t.activo[j];
      const double p = probabilidadDeEnlace(g.z, w);
      if (u < p) enlaces.push_back({i, j, w / (g.W * p)});  // x_ij = l_i·a_j / (W·p_ij)
    }
  }
  return enlaces;
}
