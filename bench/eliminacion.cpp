// bench-eliminacion [M...]: the block solver on a dense m×m block (every node
// in default, as in a round where all default), with 1 thread and with every
// thread the hardware offers. Prints, per size and thread count, the best
// wall time of a few solves and the elimination's updates per second, and
// the same per second of processor time (std::clock: the process's CPU time
// on Linux), which a busy machine disturbs less; first, the in-register peak
// the elimination is held against. Gauss-Jordan gives each of
// the m − 1 other rows m updates per pivot.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <thread>

#include "linalg/bloque.h"
// Built also against older trees, to compare: those set the threads through
// fijaHilos, or have one thread only.
#if __has_include("base/pruebas.h")
#include "base/pruebas.h"
#define CLEARING_CONTROL 1
#elif __has_include("base/hilos.h")
#include "base/hilos.h"
#define CLEARING_HILOS 1
#elif __has_include("linalg/hilos.h")
#include "linalg/hilos.h"
#define CLEARING_HILOS 1
#endif

namespace {

// The shape of the round systems: 0.0 + a share of a row sum, minus 1.0 on
// the diagonal, so every pivot is found where the rounds find it.
void llenaBloque(TrabajoBloque& trabajo, const Bloque& bloque, unsigned semilla) {
  const std::size_t m = bloque.indices.size();
  std::mt19937_64 azar(semilla);
  std::uniform_real_distribution<double> reparto(0.0, 1.0 / static_cast<double>(m));
  preparaBloque(trabajo, bloque);
  for (std::size_t r = 0; r < m; ++r)
    for (std::size_t c = 0; c < m; ++c)
      trabajo.Ab[r][c] = 0.0 + reparto(azar) - (r == c ? 1.0 : 0.0);
}

struct Tiempos {
  double pared = 1e300;
  double cpu = 1e300;
};

Tiempos segundosDeResolver(std::size_t m, unsigned cuantos) {
#if defined(CLEARING_CONTROL)
  controlPruebas().hilos = cuantos;
#elif defined(CLEARING_HILOS)
  fijaHilos(cuantos);
#else
  if (cuantos > 1) return {-1.0, -1.0};
#endif
  const Bloque bloque = calculaBloque(Marcas(m, 1));
  TrabajoBloque trabajo = nuevoTrabajoBloque(m);
  Tiempos mejor;
  const int veces = m <= 1000 ? 5 : 3;
  for (int vez = 0; vez < veces; ++vez) {
    llenaBloque(trabajo, bloque, 7);
    Vector b(m, -1.0);
    Vector x;
    const auto inicio = std::chrono::steady_clock::now();
    const std::clock_t cpu = std::clock();
    if (!resuelveBloque(trabajo, bloque, b, x)) return {-1.0, -1.0};
    const std::chrono::duration<double> tiempo = std::chrono::steady_clock::now() - inicio;
    mejor.cpu = std::min(mejor.cpu, static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC);
    mejor.pared = std::min(mejor.pared, tiempo.count());
  }
  return mejor;
}

#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
// The ceiling the elimination is measured against: x − q·f, a separate
// multiply and subtract, on 8 × 2 AVX-512 registers of running values, one
// pivot's two vectors and eight factors loaded each step from the first-level
// cache, and nothing written to memory. Updates per second on one core, of
// wall time and of processor time (which a busy machine disturbs less).
typedef double Doble8 __attribute__((vector_size(64)));
__attribute__((target("avx512f"), noinline)) Tiempos picoEnRegistros(long pasos) {
  constexpr int kFilas = 8;
  constexpr int kPivotes = 64;
  static double pivotes[kPivotes * 16];
  static double factores[kPivotes * kFilas];
  for (int i = 0; i < kPivotes * 16; ++i) pivotes[i] = 1e-9 * i;
  for (double& f : factores) f = 1e-7;
  Doble8 x[kFilas][2];
  for (int i = 0; i < kFilas; ++i) {
    x[i][0] = Doble8{} + i;
    x[i][1] = x[i][0];
  }
  const auto inicio = std::chrono::steady_clock::now();
  const std::clock_t cpu = std::clock();
  for (long paso = 0; paso < pasos; ++paso) {
    const long t = paso % kPivotes;
    Doble8 q[2];
    std::memcpy(q, pivotes + t * 16, sizeof q);
    for (int i = 0; i < kFilas; ++i)
      for (int j = 0; j < 2; ++j) x[i][j] = x[i][j] - q[j] * factores[t * kFilas + i];
  }
  const std::chrono::duration<double> tiempo = std::chrono::steady_clock::now() - inicio;
  const double segundosCpu = static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
  double suma = 0;  // kept, so that the loop is not optimized away
  for (auto& fila : x) suma += fila[0][0] + fila[1][0];
  (void)std::fprintf(stderr, "(%g)\n", suma);
  const double cambios = static_cast<double>(pasos) * kFilas * 16;
  return {cambios / tiempo.count(), cambios / segundosCpu};
}

void imprimePico() {
  __builtin_cpu_init();
  if (!__builtin_cpu_supports("avx512f")) return;
  Tiempos mejor{0, 0};  // here the best rates, not times
  for (int vez = 0; vez < 3; ++vez) {
    const Tiempos pico = picoEnRegistros(100000000);
    mejor = {std::max(mejor.pared, pico.pared), std::max(mejor.cpu, pico.cpu)};
  }
  (void)std::printf(
      "In-register peak, one core (AVX-512, 8x16 tile): %.1f e9 updates/s (%.1f per CPU s)\n\n",
      mejor.pared / 1e9, mejor.cpu / 1e9);
}
#else
void imprimePico() {}
#endif

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::size_t> tamanos{250, 500, 1000, 2000, 4000};
  if (argc > 1) tamanos.clear();
  for (int i = 1; i < argc; ++i) tamanos.push_back(std::strtoul(argv[i], nullptr, 10));
  const unsigned todos = std::max(1U, std::thread::hardware_concurrency());
  imprimePico();
  std::printf(
      "| m | threads | best wall s | updates/s (1e9) | best CPU s | updates per CPU s (1e9) |\n"
      "|---:|---:|---:|---:|---:|---:|\n");
  for (std::size_t m : tamanos) {
    for (unsigned cuantos : {1U, todos}) {
      const Tiempos s = segundosDeResolver(m, cuantos);
      if (s.pared < 0) continue;  // no threads in this tree
      const double cambios =
          static_cast<double>(m) * static_cast<double>(m - 1) * static_cast<double>(m);
      std::printf("| %zu | %u | %.3f | %.1f | %.3f | %.1f |\n", m, cuantos, s.pared,
                  cambios / s.pared / 1e9, s.cpu, cambios / s.cpu / 1e9);
      (void)std::fflush(stdout);
      if (todos == 1) break;
    }
  }
  return 0;
}
