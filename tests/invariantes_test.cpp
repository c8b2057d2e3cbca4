// Properties of the clearing vector on a few hundred seeded networks with
// nonnegative obligations and cash: it is a fixed point of the clearing map,
// bounded by what is owed, consistent with the default steps, and the
// greatest such vector (the one plain iteration from full payment reaches);
// with default costs too.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "base/tipos.h"
#include "clearing/motor.h"
#include "proceso.h"
#include "red.h"
#include "run/mensajes.h"

namespace {

// splitmix64: the same networks on every machine.
struct Generador {
  std::uint64_t estado;
  std::uint64_t siguiente() {
    std::uint64_t z = (estado += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  double uniforme() { return static_cast<double>(siguiente() >> 11) * 0x1.0p-53; }  // [0, 1)
  int entero(int n) { return static_cast<int>(siguiente() % static_cast<std::uint64_t>(n)); }
};

enum class Familia { densa, dispersa, filasVacias, sinCaja, autoDeudas };

// Amounts are full-precision reals, so that no node sits exactly on the edge
// of default by construction and "pays in full" is never a rounding tie.
NetworkState generaRed(Generador& g, Familia familia, int n) {
  Matrix L(n, Vector(n, 0.0));
  Vector e(n, 0.0);
  const double densidad = familia == Familia::dispersa ? std::min(1.0, 3.0 / n) : 0.6;
  const double riqueza[] = {10.0, 60.0, 60.0 * n};  // from most nodes defaulting to few
  const double cajaMaxima = riqueza[g.entero(3)];
  for (int i = 0; i < n; ++i) {
    const bool vacia = familia == Familia::filasVacias && g.entero(3) == 0;
    for (int j = 0; j < n && !vacia; ++j) {
      if (i == j && familia != Familia::autoDeudas) continue;
      if (g.uniforme() < densidad) L[i][j] = 100.0 * g.uniforme();
    }
    const double caja = familia == Familia::sinCaja ? (g.entero(4) == 0 ? 20.0 : 0.0) : cajaMaxima;
    e[i] = caja * g.uniforme();
  }
  return red(L, e);
}

// φ(p) = min(pBarra, PIᵀp + e), straight from the definition.
Vector phi(const NetworkState& s, const Vector& p) {
  const std::size_t n = p.size();
  Vector r(n);
  for (std::size_t i = 0; i < n; ++i) {
    double entrada = s.e[i];
    for (std::size_t k = 0; k < n; ++k) entrada += s.PI[k][i] * p[k];
    r[i] = std::min(s.pBarra[i], entrada);
  }
  return r;
}

struct Resultado {
  bool termino = false;  // false: no clearing vector (indeterminate, no convergence)
  std::string mensaje;
  Vector p;
  std::vector<int> pasos;
};

// The engine's clearing vector and default steps, or the message its error
// maps to.
Resultado resuelve(const NetworkState& red, bool literal) {
  OpcionesClearing opciones;
  opciones.literal = literal;
  opciones.recuerda = true;
  const ResultadoClearing resultado = calculaClearing(red, opciones);
  Resultado r;
  if (resultado.error) {
    r.mensaje = mensajeDe(resultado.error->fallo);
    return r;
  }
  r.termino = true;
  r.p = resultado.clearing.p;
  r.pasos.assign(resultado.clearing.ordenQuiebra.begin(), resultado.clearing.ordenQuiebra.end());
  EXPECT_EQ(r.p.size(), red.pBarra.size());
  return r;
}

// The greatest clearing vector by plain iteration of φ from pBarra, which
// decreases to it; false if it has not settled within the cap.
bool iteracionSimple(const NetworkState& s, double escala, Vector& p) {
  p = s.pBarra;
  for (int k = 0; k < 200000; ++k) {
    const Vector q = phi(s, p);
    double cambio = 0;
    for (std::size_t i = 0; i < p.size(); ++i) cambio = std::max(cambio, std::fabs(q[i] - p[i]));
    p = q;
    if (cambio < 1e-13 * escala) return true;
  }
  return false;
}

struct Cuenta {
  int redes = 0, terminadas = 0, sinMaximo = 0;
  int nodos = 0, enQuiebra = 0;  // so a run shows the defaults were really exercised
};

void compruebaRed(const NetworkState& s, bool literal, Cuenta& cuenta, const std::string& nombre) {
  SCOPED_TRACE(nombre + (literal ? " literal" : " structured"));
  ++cuenta.redes;
  const Resultado r = resuelve(s, literal);
  if (!r.termino) {
    EXPECT_TRUE(r.mensaje == "El sistema es indeterminado\r\n" ||
                r.mensaje == "El algoritmo no converge\r\n")
        << r.mensaje;
    return;
  }
  ++cuenta.terminadas;
  const std::size_t n = r.p.size();
  cuenta.nodos += static_cast<int>(n);
  for (const int paso : r.pasos) cuenta.enQuiebra += paso != 0;
  double escala = 1.0;
  for (std::size_t i = 0; i < n; ++i) escala = std::max({escala, s.pBarra[i], s.e[i]});
  // The run accepts a vector within tol of φ(p); beyond that, rounding only.
  const double margen = std::max(1e-9 * escala, tol);
  const Vector f = phi(s, r.p);
  for (std::size_t i = 0; i < n; ++i) {
    SCOPED_TRACE("node " + std::to_string(i));
    EXPECT_NEAR(r.p[i], f[i], margen) << "not a fixed point of the clearing map";
    EXPECT_GE(r.p[i], -margen);
    EXPECT_LE(r.p[i], s.pBarra[i] + margen);
    const bool pagaTodo = r.p[i] >= s.pBarra[i] - margen;
    EXPECT_EQ(r.pasos[i] == 0, pagaTodo)
        << "default step " << r.pasos[i] << ", p " << r.p[i] << ", pBarra " << s.pBarra[i];
    EXPECT_GE(r.pasos[i], 0);
    double entrada = s.e[i], pagos = 0;
    for (std::size_t k = 0; k < n; ++k) entrada += s.PI[k][i] * r.p[k];
    for (std::size_t j = 0; j < n; ++j) pagos += s.PI[i][j] * r.p[i];
    EXPECT_GE(entrada - r.p[i], -margen) << "negative capital";
    EXPECT_NEAR(pagos, r.p[i], margen) << "payments do not add up to p";
  }
  Vector maximo;
  if (!iteracionSimple(s, escala, maximo)) {
    ++cuenta.sinMaximo;
    return;
  }
  for (std::size_t i = 0; i < n; ++i)
    EXPECT_NEAR(r.p[i], maximo[i], margen) << "not the greatest clearing vector, node " << i;
}

TEST(Invariantes, GeneratedNonnegativeNetworks) {
  const Familia familias[] = {Familia::densa, Familia::dispersa, Familia::filasVacias,
                              Familia::sinCaja, Familia::autoDeudas};
  const char* nombres[] = {"dense", "sparse", "zero rows", "little cash", "self-debts"};
  Generador g{20240611};
  Cuenta cuenta;
  for (int k = 0; k < 300; ++k) {
    const int f = k % 5;
    const int n = 1 + g.entero(40);
    const NetworkState s = generaRed(g, familias[f], n);
    const std::string nombre =
        std::string(nombres[f]) + " #" + std::to_string(k) + " n=" + std::to_string(n);
    compruebaRed(s, false, cuenta, nombre);
    if (k % 3 == 0) compruebaRed(s, true, cuenta, nombre);  // the literal path too, on a third
  }
  std::printf(
      "%d runs, %d ended normally, %d without a settled plain iteration; %d of %d nodes default\n",
      cuenta.redes, cuenta.terminadas, cuenta.sinMaximo, cuenta.enQuiebra, cuenta.nodos);
  EXPECT_GE(cuenta.terminadas, cuenta.redes * 9 / 10);
  EXPECT_GE(cuenta.enQuiebra, cuenta.nodos / 5);
  EXPECT_LE(cuenta.sinMaximo, cuenta.terminadas / 10);
}

// ---- With default costs ----

// The map with costs: in full for a node that can pay, α·e + β·(what it
// receives) for one that cannot.
Vector phiConCostes(const NetworkState& s, const Vector& p, double alfa, double beta) {
  const std::size_t n = p.size();
  Vector r(n);
  for (std::size_t i = 0; i < n; ++i) {
    double recibe = 0.0;
    for (std::size_t k = 0; k < n; ++k) recibe += s.PI[k][i] * p[k];
    r[i] = s.e[i] + recibe >= s.pBarra[i] ? s.pBarra[i] : alfa * s.e[i] + beta * recibe;
  }
  return r;
}

ResultadoClearing conCostes(const NetworkState& s, double alfa, double beta, bool literal) {
  OpcionesClearing opciones;
  opciones.literal = literal;
  opciones.alfa = alfa;
  opciones.beta = beta;
  return calculaClearing(s, opciones);
}

struct ParCostes {
  double alfa, beta;
};

// On every generated network and pair of costs (lowest last): each solvent
// node pays in full and can, each defaulting node pays exactly α·e + β·(what
// it receives) and could not pay in full; the vector is the one plain
// iteration from full payment reaches (the greatest); both paths give the
// same bits; lower costs' parameters never end a default nor raise a
// payment; and with β < 1 no round is indeterminate.
TEST(Invariantes, WithDefaultCosts) {
  const ParCostes pares[] = {{1, 1}, {1, 0.9}, {0.9, 0.9}, {0.5, 0.9}, {0.5, 0.5}};
  const Familia familias[] = {Familia::densa, Familia::dispersa, Familia::filasVacias,
                              Familia::sinCaja, Familia::autoDeudas};
  Generador g{20261209};
  int redes = 0, quiebras = 0, masQuiebras = 0;
  for (int k = 0; k < 150; ++k) {
    const int n = 1 + g.entero(25);
    const NetworkState s = generaRed(g, familias[k % 5], n);
    SCOPED_TRACE("network " + std::to_string(k) + " n=" + std::to_string(n));
    double escala = 1.0;
    for (int i = 0; i < n; ++i) escala = std::max({escala, s.pBarra[i], s.e[i]});
    const double margen = std::max(1e-9 * escala, tol);
    Clearing anterior;
    bool hayAnterior = false;
    for (const ParCostes& c : pares) {
      SCOPED_TRACE("alfa " + std::to_string(c.alfa) + " beta " + std::to_string(c.beta));
      const ResultadoClearing r = conCostes(s, c.alfa, c.beta, false);
      if (c.beta < 1) {
        ASSERT_FALSE(r.error) << "a round with beta < 1 had no clearing";
      }
      if (r.error) {
        hayAnterior = false;
        continue;
      }
      ++redes;
      const Vector& p = r.clearing.p;
      if (k % 3 == 0) {
        const ResultadoClearing literal = conCostes(s, c.alfa, c.beta, true);
        ASSERT_FALSE(literal.error);
        EXPECT_EQ(literal.clearing.p, p);
        EXPECT_EQ(literal.clearing.ordenQuiebra, r.clearing.ordenQuiebra);
      }
      for (int i = 0; i < n; ++i) {
        SCOPED_TRACE("node " + std::to_string(i));
        double recibe = 0.0;
        for (int j = 0; j < n; ++j) recibe += s.PI[j][i] * p[j];
        const bool enQuiebra = r.clearing.ordenQuiebra[i] != 0;
        quiebras += enQuiebra ? 1 : 0;
        if (enQuiebra) {
          EXPECT_LT(s.e[i] + recibe, s.pBarra[i] + margen) << "a default that could pay";
          EXPECT_NEAR(p[i], c.alfa * s.e[i] + c.beta * recibe, margen);
        } else {
          EXPECT_EQ(p[i], s.pBarra[i]);
          EXPECT_GE(s.e[i] + recibe, s.pBarra[i] - margen) << "pays in full without the means";
        }
        if (hayAnterior) {
          EXPECT_LE(p[i], anterior.p[i] + margen) << "lower costs' parameters raised a payment";
          if (anterior.ordenQuiebra[i] != 0) {
            EXPECT_NE(r.clearing.ordenQuiebra[i], 0) << "lower costs' parameters ended a default";
          }
          masQuiebras += enQuiebra && anterior.ordenQuiebra[i] == 0 ? 1 : 0;
        }
      }
      if (c.beta < 1) {  // plain iteration contracts by β on the defaults: it settles
        Vector q = s.pBarra;
        for (int paso = 0; paso < 100000; ++paso) {
          const Vector siguiente = phiConCostes(s, q, c.alfa, c.beta);
          if (siguiente == q) break;
          q = siguiente;
        }
        for (int i = 0; i < n; ++i) EXPECT_NEAR(p[i], q[i], 1e-12 * escala) << "node " << i;
      }
      anterior = r.clearing;
      hayAnterior = true;
    }
  }
  std::printf("%d clearings with costs, %d defaults, %d more from lower parameters\n", redes,
              quiebras, masQuiebras);
  EXPECT_GT(quiebras, redes);  // defaults well exercised
  EXPECT_GT(masQuiebras, 20);  // costs that turn solvent nodes into defaults
}

}  // namespace
