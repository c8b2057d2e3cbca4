// bench-texto [N]: the two ends of a run that are text. Reading: an N×N
// network (default 4000) of numbers written as the generator writes them,
// read into L and e with 1 thread and with every thread the hardware offers.
// Formatting: 4 million values in the report's formats for L (binary
// fractions, many of whose digits end in a tie) and for PI (quotients).
// Prints the best of three of each, as a Markdown table.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "base/estado.h"
#include "base/hilos.h"
#include "base/memoria.h"
#include "base/pruebas.h"
#include "lectura/datos.h"
#include "lectura/lector.h"
#include "report/formato.h"

namespace {

constexpr int kPasadas = 3;

double segundosDesde(std::chrono::steady_clock::time_point inicio) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
}

// n, then n×n obligations k/64 and n outside cash values.
std::string escribeRed(const std::filesystem::path& ruta, std::size_t n) {
  std::mt19937_64 azar(1);
  std::FILE* f = std::fopen(ruta.string().c_str(), "wb");
  if (f == nullptr) std::exit(2);
  (void)std::fprintf(f, "%zu\n", n);
  for (std::size_t i = 0; i <= n; ++i) {
    for (std::size_t j = 0; j < n; ++j)
      (void)std::fprintf(f, "%.10g ", static_cast<double>(azar() % 33) / 64.0);
    (void)std::fputc('\n', f);
  }
  (void)std::fclose(f);
  return ruta.string();
}

double leeUnaVez(const std::string& ruta) {
  const auto inicio = std::chrono::steady_clock::now();
  Lector entrada;
  if (!abreLector(entrada, ruta.c_str())) std::exit(2);
  NetworkState estado;
  estado.dim = leeDimension(entrada);
  const auto n = static_cast<std::size_t>(estado.dim);
  estado.e = reservaVector(n);
  estado.L = reservaMatriz(n);
  leerDatos(entrada, estado);
  cierraLector(entrada);
  return segundosDesde(inicio);
}

double formateaUnaVez(const std::vector<double>& valores, FormatoReal f, std::vector<char>& texto) {
  const auto inicio = std::chrono::steady_clock::now();
  char* p = texto.data();
  for (const double v : valores) p = formatoReal(p, v, f);
  return segundosDesde(inicio);
}

template <typename Una>
double mejor(const Una& una) {
  double m = 1e30;
  for (int k = 0; k < kPasadas; ++k) m = std::min(m, una());
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t n = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 4000;
  const auto dir = std::filesystem::temp_directory_path() / "bench-texto";
  std::filesystem::create_directories(dir);
  const std::string ruta = escribeRed(dir / "input.txt", n);
  const double megas = static_cast<double>(std::filesystem::file_size(ruta)) / (1 << 20);
  const double numeros = static_cast<double>(n * n + n);
  std::printf("| what | threads | best s | per second |\n|---|---:|---:|---:|\n");
  const unsigned todos = hilos();
  for (const unsigned h : {1U, todos}) {
    controlPruebas().hilos = h;
    const double s = mejor([&] { return leeUnaVez(ruta); });
    std::printf("| read %zu×%zu (%.0f MiB) | %u | %.3f | %.1f M numbers |\n", n, n, megas, h, s,
                numeros / s / 1e6);
    if (todos == 1) break;
  }
  controlPruebas() = {};
  std::filesystem::remove_all(dir);

  std::mt19937_64 azar(2);
  std::vector<double> deL(std::size_t{1} << 22);
  std::vector<double> dePI(deL.size());
  for (std::size_t i = 0; i < deL.size(); ++i) {
    deL[i] = static_cast<double>(azar() % 33) / 64.0;
    dePI[i] = deL[i] / (7.3 + static_cast<double>(i % 100));
  }
  std::vector<char> texto(deL.size() * kMaxNumero);
  const struct {
    const char* nombre;
    const std::vector<double>& valores;
    FormatoReal f;
  } casos[] = {{"format L (\"%-6.3g \")", deL, kFormatoL},
               {"format PI (\"%-6.2g \")", dePI, kFormatoPI}};
  for (const auto& c : casos) {
    const double s = mejor([&] { return formateaUnaVez(c.valores, c.f, texto); });
    std::printf("| %s, 4M values | 1 | %.3f | %.1f ns a number |\n", c.nombre, s,
                s / static_cast<double>(c.valores.size()) * 1e9);
  }
  return 0;
}
