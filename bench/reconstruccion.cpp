// bench-reconstruccion [N_ENTROPY [N_SPARSE [N_GRAVITY]]]: the three
// reconstructions on totals of a random network with a zero diagonal (half
// its cells 0, amounts over six decades): maximum entropy at n = 1000, the
// sparse method at n = 10^4, and the gravity model's z and one sample at
// n = 1000 by default. Prints the best of three of each, wall and CPU time
// (the work is one thread's: on a loaded machine its CPU time is the figure
// that holds), as a Markdown table.
#include "totales/reconstruccion.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
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

struct Tiempo {
  double pared = 1e300;
  double cpu = 1e300;
};

Tiempo mejorDeTres(const std::function<void()>& trabajo) {
  Tiempo mejor;
  for (int k = 0; k < kPasadas; ++k) {
    const auto inicio = std::chrono::steady_clock::now();
    const std::clock_t cpu = std::clock();
    trabajo();
    mejor.cpu = std::min(mejor.cpu, static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC);
    mejor.pared = std::min(
        mejor.pared,
        std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count());
  }
  return mejor;
}

void fila(const char* metodo, std::size_t n, Tiempo t, const std::string& detalle) {
  std::printf("| %s | %zu | %.3f | %.3f | %s |\n", metodo, n, t.pared, t.cpu, detalle.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t nEntropia = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000;
  const std::size_t nDispersa = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 10000;
  const std::size_t nGravedad = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1000;
  if (nEntropia < 2 || nDispersa < 2 || nGravedad < 2) return 2;
  std::printf("| Method | n | Wall s (best of %d) | CPU s (best of %d) | |\n|---|---|---|---|---|\n",
              kPasadas, kPasadas);

  const Totales te = totalesAlAzar(nEntropia, nEntropia / 2);
  Entropia r;
  std::string error;
  bool bien = true;
  const Tiempo se = mejorDeTres([&] { bien = maximaEntropia(te, r, error); });
  fila("maximum entropy", nEntropia, se,
       bien ? std::to_string(r.barridos) + " sweeps, residual " + textoLegible(r.residuo) : error);

  const Totales td = totalesAlAzar(nDispersa, 8);
  std::size_t enlaces = 0;
  const Tiempo sd = mejorDeTres([&] { enlaces = minimaDensidad(td).size(); });
  fila("sparse", nDispersa, sd, std::to_string(enlaces) + " links");

  const Totales tg = totalesAlAzar(nGravedad, 8);
  Gravedad g;
  const Tiempo sz = mejorDeTres([&] { bien = resuelveGravedad(tg, 0.01, g, error); });
  fila("gravity: z", nGravedad, sz, bien ? "density 0.01" : error);
  const Tiempo sm = mejorDeTres([&] { enlaces = muestraGravedad(tg, g, 1, 0).size(); });
  fila("gravity: one sample", nGravedad, sm, std::to_string(enlaces) + " links");
  return 0;
}
