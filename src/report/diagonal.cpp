// The default matrices' text, and their writer on a worker of the pool.
#include "report/diagonal.h"

#include <array>
#include <cstddef>

#include "base/hilos.h"
#include "base/memoria.h"

namespace {

// "0      " over and over: the text of a run of zero cells of a default matrix.
constexpr std::size_t kAnchoCelda = 7;
constexpr std::size_t kCeldasTira = 4096;
using TiraCeros = std::array<char, kAnchoCelda * kCeldasTira>;

constexpr TiraCeros calculaTiraCeros() {
  TiraCeros tira{};
  for (std::size_t i = 0; i < tira.size(); ++i) tira[i] = (i % kAnchoCelda == 0) ? '0' : ' ';
  return tira;
}

constexpr TiraCeros kTiraCeros = calculaTiraCeros();

bool escribeCeros(std::FILE* out, std::size_t celdas) {
  while (celdas > 0) {
    const std::size_t n = celdas < kCeldasTira ? celdas : kCeldasTira;
    if (!escribeTodo(out, kTiraCeros.data(), n * kAnchoCelda)) return false;
    celdas -= n;
  }
  return true;
}

// The default matrix's text; false when a write fails. It never throws, so
// that it can run on a worker of the pool.
bool escribeMarcas(std::FILE* out, const Marcas& marcas) {
  const std::size_t n = marcas.size();
  for (std::size_t i = 0; i < n; ++i) {
    const bool marcado = marcas[i] != 0;
    if (!escribeCeros(out, marcado ? i : n) ||
        (marcado && (!escribeTodo(out, "1      ", kAnchoCelda) || !escribeCeros(out, n - i - 1))) ||
        !escribeTodo(out, "\r\n", 2))
      return false;
  }
  return true;
}

}  // namespace

void escribeMatrizMarcasAparte(Informe& out, const Marcas& marcas) {
  esperaAparte(out);
  MatrizAparte& aparte = out.aparte;
  if (aparte.marcas.capacity() < marcas.size()) aparte.marcas = nuevoVectorEntero(marcas.size());
  aparte.marcas.assign(marcas.begin(), marcas.end());
  aparte.escribe = {&aparte, out.archivo};
  // With no worker to be had the write is done when the report next waits for it.
  aparte.encargo.emplace(0, 1, aparte.escribe);
}

void MatrizAparte::Escribe::operator()(std::size_t /*parte*/) const {
  aparte->fallo = !escribeMarcas(archivo, aparte->marcas);
}
