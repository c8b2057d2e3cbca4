// bench-suelo CELDAS: the floor under a run, what no clearing program can
// beat on this machine: input.txt read and converted with std::from_chars,
// and output.txt written with CELDAS cells of std::to_chars text ("%-6.3g "
// wide, rows as long as the network's, CR LF ends), on two threads, with
// no arithmetic between. bench/suelo.sh sets CELDAS to the report's count.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/enorden.h"
#include "base/hilos.h"
#include "base/reparto.h"

namespace {

constexpr std::size_t kHilos = 2;
constexpr std::size_t kAncho = 7;                          // a cell: 6 characters and a blank
constexpr std::size_t kBytesPieza = std::size_t{1} << 20;  // formatted, then written in order

bool esBlanco(char c) {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// The numbers of [desde, hasta), appended to valores.
void convierte(const char* desde, const char* hasta, std::vector<double>& valores) {
  for (;;) {
    while (desde < hasta && esBlanco(*desde)) ++desde;
    if (desde == hasta) return;
    double x = 0;
    const auto [fin, error] = std::from_chars(desde, hasta, x);
    if (error != std::errc{}) std::exit(2);
    valores.push_back(x);
    desde = fin;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    (void)std::fputs("usage: bench-suelo CELDAS (in the folder of input.txt)\n", stderr);
    return 2;
  }
  const std::size_t celdas = std::strtoull(argv[1], nullptr, 10);
  std::FILE* entrada = std::fopen("input.txt", "rb");
  if (entrada == nullptr) return 2;
  std::string texto;
  std::array<char, 1 << 16> trozo{};
  for (std::size_t leidos; (leidos = std::fread(trozo.data(), 1, trozo.size(), entrada)) > 0;)
    texto.append(trozo.data(), leidos);
  (void)std::fclose(entrada);

  // Two halves cut at a blank, one a thread.
  const char* inicio = texto.data();
  const char* final = inicio + texto.size();
  const char* mitad = inicio + texto.size() / 2;
  while (mitad < final && !esBlanco(*mitad)) ++mitad;
  std::array<std::vector<double>, kHilos> mitades;
  reparteEnPartes(kHilos, kHilos, 1, [&](std::size_t desde, std::size_t hasta) {
    for (std::size_t p = desde; p < hasta; ++p)
      convierte(p == 0 ? inicio : mitad, p == 0 ? mitad : final, mitades[p]);
  });
  std::vector<double> valores = std::move(mitades[0]);
  valores.insert(valores.end(), mitades[1].begin(), mitades[1].end());
  if (valores.size() < 2) return 2;
  const auto columnas = std::max<std::size_t>(1, static_cast<std::size_t>(valores[0]));

  std::FILE* salida = std::fopen("output.txt", "wb");
  if (salida == nullptr) return 2;
  const std::size_t porFila = columnas * kAncho + 2;
  const std::size_t filas = (celdas + columnas - 1) / columnas;
  const std::size_t filasPorPieza = std::max<std::size_t>(1, kBytesPieza / porFila);
  const std::size_t piezas = (filas + filasPorPieza - 1) / filasPorPieza;
  std::array<std::unique_ptr<char[]>, kMaxHuecos> buferes;
  std::array<std::size_t, kMaxHuecos> usados{};
  for (auto& b : buferes) b = std::make_unique<char[]>(filasPorPieza * porFila);
  const auto hace = [&](std::size_t pieza, std::size_t hueco, std::size_t /*trabajador*/) {
    char* p = buferes[hueco].get();
    const std::size_t hasta = std::min(filas, (pieza + 1) * filasPorPieza);
    for (std::size_t fila = pieza * filasPorPieza; fila < hasta; ++fila) {
      for (std::size_t c = 0; c < columnas && fila * columnas + c < celdas; ++c) {
        const double x = valores[1 + (fila * columnas + c) % (valores.size() - 1)];
        char* fin = std::to_chars(p, p + kAncho, x, std::chars_format::general, 3).ptr;
        std::fill(fin, p + kAncho, ' ');
        p += kAncho;
      }
      *p++ = '\r';
      *p++ = '\n';
    }
    usados[hueco] = static_cast<std::size_t>(p - buferes[hueco].get());
  };
  const auto toma = [&](std::size_t, std::size_t hueco) {
    return std::fwrite(buferes[hueco].get(), 1, usados[hueco], salida) == usados[hueco];
  };
  const bool bien = enOrden(piezas, kHilos, hace, toma);
  return std::fclose(salida) == 0 && bien ? 0 : 1;
}
