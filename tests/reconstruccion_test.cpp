// The reconstructions' defining properties, in process: maximum entropy's
// product form and sums, the sparse network's link count and sums, the
// gravity model's means against its own expectations, and the totals no
// network can meet.
#include "totales/reconstruccion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "totales/azar.h"

namespace {

using Matriz = std::vector<std::vector<double>>;

Matriz densa(const std::vector<Enlace>& enlaces, std::size_t n) {
  Matriz x(n, std::vector<double>(n, 0.0));
  for (const Enlace& e : enlaces) x[e.deudor][e.acreedor] += e.importe;
  return x;
}

double total(const std::vector<double>& v) {
  double s = 0.0;
  for (double x : v) s += x;
  return s;
}

// Totals some network meets: the sums of a random matrix with a zero
// diagonal, about a third of its cells 0, amounts over six decades.
Totales totalesDe(std::uint64_t semilla, std::size_t n) {
  Azar azar = azarDeRed(semilla, 12345);
  Totales t{std::vector<double>(n, 0.0), std::vector<double>(n, 0.0)};
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      if (i == j || uniforme(azar) < 0.3) continue;
      const double x = std::pow(10.0, 6.0 * uniforme(azar));
      t.pasivo[i] += x;
      t.activo[j] += x;
    }
  }
  igualaTotales(t);
  return t;
}

// Every row and column of x sums to its total within tolerancia·W, the
// diagonal is 0 and no cell is negative.
void compruebaSumas(const Matriz& x, const Totales& t, double tolerancia) {
  const double W = total(t.pasivo);
  for (std::size_t i = 0; i < x.size(); ++i) {
    double fila = 0.0, columna = 0.0;
    for (std::size_t j = 0; j < x.size(); ++j) {
      ASSERT_GE(x[i][j], 0.0);
      fila += x[i][j];
      columna += x[j][i];
    }
    EXPECT_EQ(x[i][i], 0.0) << i;
    EXPECT_NEAR(fila, t.pasivo[i], tolerancia * W) << "row " << i;
    EXPECT_NEAR(columna, t.activo[i], tolerancia * W) << "column " << i;
  }
}

TEST(Reconstruction, MaximumEntropyHasTheProductFormOffTheDiagonalAndBothSums) {
  for (std::uint64_t semilla = 1; semilla <= 6; ++semilla) {
    const std::size_t n = 5 + 3 * semilla;
    const Totales t = totalesDe(semilla, n);
    Entropia r;
    std::string error;
    ASSERT_TRUE(maximaEntropia(t, r, error)) << error;
    EXPECT_LE(r.residuo, kResiduoEntropia);
    const Matriz x = densa(enlacesDeEntropia(r), n);
    compruebaSumas(x, t, 4e-12);
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j)
        for (std::size_t k = 0; k < n; ++k)
          for (std::size_t l = 0; l < n; ++l) {
            if (i == j || i == k || i == l || j == k || j == l || k == l) continue;
            const double a = x[i][j] * x[k][l], b = x[i][l] * x[k][j];
            ASSERT_NEAR(a, b, 1e-14 * std::max(a, b)) << i << j << k << l;
          }
  }
}

TEST(Reconstruction, MaximumEntropyGivesUpOnTotalsWithNoNetworkOfEveryLink) {
  // Node 0 owes and is owed the whole total: only a star around it meets
  // the totals, and 1 and 2 can never be linked, so the fitting never ends.
  Totales t{{3, 1, 1}, {2, 1.5, 1.5}};
  Entropia r;
  std::string error;
  EXPECT_FALSE(maximaEntropia(t, r, error));
  EXPECT_EQ(r.barridos, kMaxBarridos);
  EXPECT_NE(error.find("--sparse meets such totals"), std::string::npos) << error;
}

TEST(Reconstruction, SparseHasAtMostTwoNMinusOneLinksAndBothSums) {
  struct Caso {
    const char* nombre;
    Totales t;
  };
  std::vector<Caso> casos = {
      // Pairing the two largest in full would leave (3, 3) to node 2 alone.
      {"largest pair would strand a third", {{7, 0, 3}, {0, 7, 3}}},
      // Node 2 must deal with both others: the first largest pair cannot be filled.
      {"a node with the whole total", {{5, 0, 5}, {0, 5, 5}}},
      {"star from the start", {{3, 1, 1}, {2, 1.5, 1.5}}},
      {"one link", {{0, 4}, {4, 0}}},
      {"nothing owed", {{0, 0, 0}, {0, 0, 0}}},
  };
  for (std::uint64_t semilla = 1; semilla <= 40; ++semilla)
    casos.push_back({"random", totalesDe(semilla, 2 + semilla % 37)});
  for (const Caso& caso : casos) {
    SCOPED_TRACE(caso.nombre);
    const std::size_t n = caso.t.pasivo.size();
    const std::vector<Enlace> enlaces = minimaDensidad(caso.t);
    EXPECT_LE(enlaces.size(), 2 * n - 1);
    for (std::size_t k = 1; k < enlaces.size(); ++k)
      ASSERT_TRUE(enlaces[k - 1].deudor < enlaces[k].deudor ||
                  (enlaces[k - 1].deudor == enlaces[k].deudor &&
                   enlaces[k - 1].acreedor < enlaces[k].acreedor));
    compruebaSumas(densa(enlaces, n), caso.t, 1e-12);
  }
}

TEST(Reconstruction, GravityModelMeansAreTheModelsExpectationsWithinThreeStandardErrors) {
  const Totales t = totalesDe(7, 6);
  const std::size_t n = 6;
  const double W = total(t.pasivo);
  Gravedad g;
  std::string error;
  ASSERT_TRUE(resuelveGravedad(t, 0.4, g, error)) << error;
  EXPECT_NEAR(g.enlacesEsperados, 0.4 * 30, 1e-9);

  // The model's own moments: links Σp, var Σp(1−p); x_ij = w/(W p) with
  // probability p, so E = w/W and var = (w/W)²(1−p)/p.
  double varEnlaces = 0.0;
  std::vector<double> filaE(n), filaV(n), colE(n), colV(n);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) {
      const double w = t.pasivo[i] * t.activo[j];
      const double p = probabilidadDeEnlace(g.z, w);
      if (i == j || p == 0.0) continue;
      varEnlaces += p * (1 - p);
      const double e = w / W, v = e * e * (1 - p) / p;
      filaE[i] += e, filaV[i] += v, colE[j] += e, colV[j] += v;
    }

  constexpr int kRedes = 4000;
  double enlaces = 0.0;
  std::vector<double> fila(n), columna(n);
  for (int k = 0; k < kRedes; ++k) {
    for (const Enlace& e : muestraGravedad(t, g, 99, k)) {
      enlaces += 1;
      fila[e.deudor] += e.importe;
      columna[e.acreedor] += e.importe;
      ASSERT_NE(e.deudor, e.acreedor);
    }
  }
  EXPECT_NEAR(enlaces / kRedes, g.enlacesEsperados, 3 * std::sqrt(varEnlaces / kRedes));
  for (std::size_t i = 0; i < n; ++i) {
    EXPECT_NEAR(fila[i] / kRedes, filaE[i], 3 * std::sqrt(filaV[i] / kRedes)) << "row " << i;
    EXPECT_NEAR(columna[i] / kRedes, colE[i], 3 * std::sqrt(colV[i] / kRedes)) << "col " << i;
    // What the diagonal would have carried is missing from the means.
    EXPECT_NEAR(filaE[i], t.pasivo[i] * (W - t.activo[i]) / W, 1e-14 * W);
  }
}

TEST(Reconstruction, GravityModelNetworkKDependsOnlyOnTheSeedAndK) {
  const Totales t = totalesDe(3, 9);
  Gravedad g;
  std::string error;
  ASSERT_TRUE(resuelveGravedad(t, 0.3, g, error));
  auto mismo = [](const std::vector<Enlace>& x, const std::vector<Enlace>& y) {
    if (x.size() != y.size()) return false;
    for (std::size_t k = 0; k < x.size(); ++k)
      if (x[k].deudor != y[k].deudor || x[k].acreedor != y[k].acreedor ||
          x[k].importe != y[k].importe)
        return false;
    return true;
  };
  const auto cinco = muestraGravedad(t, g, 42, 5);
  (void)muestraGravedad(t, g, 42, 4);  // no state carried from one network to the next
  EXPECT_TRUE(mismo(cinco, muestraGravedad(t, g, 42, 5)));
  EXPECT_FALSE(mismo(cinco, muestraGravedad(t, g, 42, 6)));
  EXPECT_FALSE(mismo(cinco, muestraGravedad(t, g, 43, 5)));
}

TEST(Reconstruction, GravityModelRefusesMoreLinksThanPairsThatCanBeLinked) {
  Totales t{{1, 1, 0}, {1, 1, 0}};  // only 0→1 and 1→0 can be links
  Gravedad g;
  std::string error;
  EXPECT_FALSE(resuelveGravedad(t, 0.5, g, error));
  EXPECT_EQ(error,
            "a density of 0.5 asks for 3 links, but only 2 pairs have a debtor that owes "
            "and another node that is owed");
  ASSERT_TRUE(resuelveGravedad(t, 1.0 / 3.0, g, error));
  EXPECT_TRUE(std::isinf(g.z));
  EXPECT_EQ(muestraGravedad(t, g, 1, 0).size(), 2u);
}

TEST(Reconstruction, TotalsNoNetworkMeetsAreRefusedWithTheNodeAndTheReason) {
  struct Caso {
    Totales t;
    std::int32_t nodo;
    std::string motivo;
  };
  const std::vector<std::string> nombres{"A", "B", "C"};
  const Caso casos[] = {
      {{{1, -2, 1}, {1, 1, 1}}, 1, "the liabilities of \"B\" are negative (-2)"},
      {{{1, 1, 1}, {1, 1, NAN}}, 2, "the assets of \"C\" are not a finite number (nan)"},
      {{{10, 5, 5}, {5, 5, 9}},
       -1,
       "the liabilities add up to 20 and the assets to 19, a difference of 1 (0.05 relative, "
       "above 1e-9): every amount owed is owed to someone, so no network meets both; "
       "--outside NAME or --balance gives the difference to a node outside the network"},
      {{{12, 4, 4}, {9, 6, 5}},
       0,
       "\"A\" owes 12 but all the other nodes are owed 11 in all: no network in which no node "
       "owes itself meets these totals"},
  };
  for (const Caso& caso : casos) {
    std::int32_t nodo = 99;
    std::string motivo;
    EXPECT_FALSE(esViable(nombres, caso.t, nodo, motivo));
    EXPECT_EQ(nodo, caso.nodo);
    EXPECT_EQ(motivo, caso.motivo);
  }
  // Within 1e-9 the totals pass, and are made one.
  Totales casi{{1, 1 + 1e-10}, {1, 1}};
  std::int32_t nodo;
  std::string motivo;
  EXPECT_TRUE(esViable({}, casi, nodo, motivo)) << motivo;
  igualaTotales(casi);
  EXPECT_NEAR(total(casi.activo), total(casi.pasivo), 1e-15);
}

}  // namespace
