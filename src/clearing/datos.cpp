// Reading and deriving the network data. Numbers are appended as they
// arrive, so the matrix memory is touched only as far as the file goes.
#include "clearing/datos.h"

#include <cstddef>
#include <string>

#include "base/fatal.h"
#include "base/hilos.h"
#include "base/memoria.h"

namespace {

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
  if (token.texto.empty()) terminaFaltaDato(nombre());
  if (!esRealValido(token.texto, valor)) terminaDatoIncorrecto(token.muestra, nombre());
  return valor;
}

}  // namespace

std::int32_t leeDimension(Lector& entrada) {
  const Token token = siguienteToken(entrada);
  std::int32_t dim = 0;
  if (!token.texto.empty() && !esEnteroValido(token.texto, dim))
    terminaDatoIncorrecto(token.muestra, "dim");
  return dim;
}

void leerDatos(Lector& entrada, NetworkState& estado) {
  const std::size_t n = estado.L.size();
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j)
      estado.L[i].push_back(leeReal(entrada, [&] { return nombreL(i, j); }));
  for (std::size_t i = 0; i < n; ++i)
    estado.e.push_back(leeReal(entrada, [&] { return nombreE(i); }));
}

// Rows are independent and each is computed whole by one thread, in the
// order of its columns: the bits do not depend on the number of threads.
// The rows' pages are first touched there too, on every core.
Vector calculaPBarra(const NetworkState& estado) {
  const std::size_t n = estado.L.size();
  Vector pBarra = nuevoVector(n);
  repartePorFilas(n, 1, n, [&](std::size_t desde, std::size_t hasta) {
    for (std::size_t i = desde; i < hasta; ++i) {
      double suma = 0.0;
      for (std::size_t j = 0; j < n; ++j) suma += estado.L[i][j];
      pBarra[i] = suma;
    }
  });
  return pBarra;
}

Matrix calculaPI(const NetworkState& estado) {
  const std::size_t n = estado.L.size();
  Matrix PI = reservaMatriz(n);
  repartePorFilas(n, 1, n, [&](std::size_t desde, std::size_t hasta) {
    for (std::size_t i = desde; i < hasta; ++i) {
      PI[i].resize(n);                        // zeros, within the reserved room
      if (estado.pBarra[i] == 0.0) continue;  // exact test: the row stays 0.0
      for (std::size_t j = 0; j < n; ++j) PI[i][j] = estado.L[i][j] / estado.pBarra[i];
    }
  });
  return PI;
}
