// Reading the network data. Numbers are appended as they arrive, so the
// matrix memory is touched only as far as the file goes.
#include "lectura/datos.h"

#include <algorithm>
#include <cstddef>
#include <span>
#include <string>

#include "base/fallo.h"
#include "base/hilos.h"
#include "base/reparto.h"
#include "lectura/reales.h"

namespace {

// From this many nodes (65536 numbers, about half a megabyte of text) the
// input is read in large refills.
constexpr std::size_t kNodosParaRecargaGrande = 256;
// A lote of fewer numbers is appended on one thread: copying 2¹⁴ of them,
// first touch of their pages included, costs ten times what starting a thread
// can (figures in docs/performance.md, "Parallel reading").
constexpr std::size_t kValoresPorHilo = std::size_t{1} << 14;

std::string nombreL(std::size_t i, std::size_t j) {
  return "L[" + std::to_string(i) + "][" + std::to_string(j) + "]";
}

std::string nombreE(std::size_t i) {
  return "e[" + std::to_string(i) + "]";
}

// The next number of the input, named by `nombre` in a failure message.
template <typename Nombre>
double leeReal(Lector& entrada, Nombre nombre) {
  const Token token = siguienteToken(entrada);
  double valor = 0.0;
  if (token.texto.empty()) lanzaFaltaDato(nombre());
  if (!esRealValido(token.texto, valor)) lanzaDatoIncorrecto(token.muestra, nombre());
  return valor;
}

// Row i of the data as read: L's rows, then e as row n.
Vector& filaDeDatos(NetworkState& estado, std::size_t i) {
  return i < estado.L.size() ? estado.L[i] : estado.e;
}

// Appends lote to the rows from fila on (row n is e), each row's part by one
// thread: a large lote's pages are first touched on every core. Returns the
// first row not full after it.
std::size_t anadeLote(NetworkState& estado, std::size_t fila, std::span<const double> lote) {
  const std::size_t n = estado.L.size();
  const auto destino = [&](std::size_t i) -> Vector& { return filaDeDatos(estado, i); };
  const std::size_t primera = std::min(lote.size(), n - destino(fila).size());
  const std::size_t filas = 1 + porExceso(lote.size() - primera, n);
  const std::size_t partes = lote.size() >= kValoresPorHilo ? hilos() : 1;
  reparteEnPartes(partes, filas, 1, [&](std::size_t desde, std::size_t hasta) {
    for (std::size_t k = desde; k < hasta; ++k) {
      const std::size_t inicio = k == 0 ? 0 : primera + (k - 1) * n;
      const std::span<const double> parte =
          lote.subspan(inicio, std::min(lote.size() - inicio, k == 0 ? primera : n));
      Vector& v = destino(fila + k);
      v.insert(v.end(), parte.begin(), parte.end());
    }
  });
  while (fila <= n && destino(fila).size() == n) ++fila;
  return fila;
}

}  // namespace

std::int32_t leeDimension(Lector& entrada) {
  const Token token = siguienteToken(entrada);
  std::int32_t dim = 0;
  if (!token.texto.empty() && !esEnteroValido(token.texto, dim))
    lanzaDatoIncorrecto(token.muestra, "dim");
  return dim;
}

void leerDatos(Lector& entrada, NetworkState& estado) {
  const std::size_t n = estado.L.size();
  if (n >= kNodosParaRecargaGrande) ampliaLector(entrada, kRecargaGrande);
  std::size_t fila = 0;              // L's rows, then e as row n
  std::size_t quedan = (n + 1) * n;  // no overflow: n² doubles were reserved
  while (quedan > 0) {
    std::span<const double> lote = leeReales(entrada, quedan);
    double uno = 0.0;
    if (lote.empty()) {  // the next number as the reader hands it over, or its failure
      const std::size_t i = fila;
      const std::size_t j = filaDeDatos(estado, fila).size();
      uno = leeReal(entrada, [&] { return i < n ? nombreL(i, j) : nombreE(j); });
      lote = {&uno, 1};
    }
    quedan -= lote.size();
    fila = anadeLote(estado, fila, lote);
  }
}

std::size_t memoriaDeLectura(std::size_t n) {
  const std::size_t recarga = n >= kNodosParaRecargaGrande ? kRecargaGrande : kBytesPorRecarga;
  return recarga + (recarga / 2 + 1) * sizeof(double);  // as leeReales sizes its numbers
}
