// bench-reconstruccion [N_ENTROPY [N_SPARSE [N_GRAVITY]]]: the three
// reconstructions on totals of a random network with a zero diagonal (half
// its cells 0, amounts over six decades): maximum entropy at n = 1000, the
// sparse method at n = 10^4, and the gravity model's z and one sample at
// n = 1000 by default. Prints the best of three of each, as a Markdown table.
#include "totales/reconstruccion.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "totales/azar.h"
#include "comun/texto.h"

namespace {

constexpr int kPasadas = 3;

// Row and column sums of n·grado random cells off the diagonal.
Totales totalesAlAzar(std::size_t n, std::size_t grado) {
  Azar azar = azarDeRed(2026, n);
  Totales t{std::vector<double>(n, 0.0), std::vector<double>(n, 0.0)};
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t k = 0; k < grado; ++k) {
      const std::size_t j = (i + 1 + siguiente(azar) % (n - 1)) % n;
      const double x = std::pow(10.0, 6.0 * uniforme(azar));
      t.pasivo[i] += x;
      t.activo[j] += x;
    }
  }
  igualaTotales(t);
  return t;
}

double mejorDeTres(const std::function<void()>& trabajo) {
  double mejor = 1e300;
  for (int k = 0; k < kPasadas; ++k) {
    const auto inicio = std::chrono::steady_clock::now();
    trabajo();
    mejor = std::min(
        mejor, std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count());
  }
  return mejor;
}

void fila(const char* metodo, std::size_t n, double segundos, const std::string& detalle) {
  std::printf("| %s | %zu | %.3f | %s |\n", metodo, n, segundos, detalle.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t nEntropia = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000;
  const std::size_t nDispersa = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 10000;
  const std::size_t nGravedad = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1000;
  if (nEntropia < 2 || nDispersa < 2 || nGravedad < 2) return 2;
  std::printf("| Method | n | Seconds (best of %d) | |\n|---|---|---|---|\n", kPasadas);

  const Totales te = totalesAlAzar(nEntropia, nEntropia / 2);
  Entropia r;
  std::string error;
  bool bien = true;
  const double se = mejorDeTres([&] { bien = maximaEntropia(te, r, error); });
  fila("maximum entropy", nEntropia, se,
       bien ? std::to_string(r.barridos) + " sweeps, residual " + textoLegible(r.residuo) : error);

  const Totales td = totalesAlAzar(nDispersa, 8);
  std::size_t enlaces = 0;
  const double sd = mejorDeTres([&] { enlaces = minimaDensidad(td).size(); });
  fila("sparse", nDispersa, sd, std::to_string(enlaces) + " links");

  const Totales tg = totalesAlAzar(nGravedad, 8);
  Gravedad g;
  const double sz = mejorDeTres([&] { bien = resuelveGravedad(tg, 0.01, g, error); });
  fila("gravity: z", nGravedad, sz, bien ? "density 0.01" : error);
  const double sm = mejorDeTres([&] { enlaces = muestraGravedad(tg, g, 1, 0).size(); });
  fila("gravity: one sample", nGravedad, sm, std::to_string(enlaces) + " links");
  return 0;
}
