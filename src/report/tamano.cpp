// Bytes of the report's sections, from the network and the formats alone.
#include "report/tamano.h"

#include <algorithm>
#include <atomic>
#include <cstddef>

#include "base/reparto.h"
#include "report/formato.h"

namespace {

// Headings, separators and the blank lines between the sections on either
// side of the rounds: a few hundred bytes each, bounded here.
constexpr double kTextos = 1024;
// "\r\nPaso K:\r\n\r\n" with K of ten digits at most.
constexpr double kCabeceraPaso = 22;
// A default matrix's cell: "0      " or "1      ".
constexpr double kCelda = 7;

// The widest text of a number in f, blank included: a sign, the digits, a
// point and "e-308" ("%g" writes at most four zeros after the point instead).
double anchoMaximo(FormatoReal f) {
  return std::max(f.ancho, f.precision + (f.exponente ? 8 : 7)) + 1;
}

// The text of M's rows in f, each with its CR LF, counted on every core. A
// zero is the commonest cell and takes the field's width alone.
double textoDeMatriz(const Matrix& M, FormatoReal f) {
  std::atomic<std::size_t> total{0};
  repartePorFilas(M.size(), 1, M.size(), [&](std::size_t desde, std::size_t hasta) {
    std::size_t bytes = 0;
    char celda[kMaxNumero + 8];
    for (std::size_t i = desde; i < hasta; ++i) {
      bytes += 2;
      for (double v : M[i])
        bytes += v == 0 ? static_cast<std::size_t>(f.ancho) + 1
                        : static_cast<std::size_t>(formatoReal(celda, v, f) - celda);
    }
    total += bytes;
  });
  return static_cast<double>(total.load());
}

// The payments are PI's rows times the clearing vector: where PI is zero so
// is the payment (or a NaN, as short); elsewhere as wide as the format allows.
double pagosMaximos(const Matrix& PI) {
  double bytes = 0;
  for (const Vector& fila : PI) {
    bytes += 2;
    for (double v : fila) bytes += v == 0 ? kFormatoL.ancho + 1 : anchoMaximo(kFormatoL);
  }
  return bytes;
}

}  // namespace

TamanoInforme tamanoDeInforme(const NetworkState& estado) {
  const double n = static_cast<double>(std::max(estado.dim, 0));
  TamanoInforme t;
  t.antes = kTextos + textoDeMatriz(estado.L, kFormatoL) + textoDeMatriz(estado.PI, kFormatoPI) +
            2 * n * anchoMaximo(kFormatoVector);
  t.paso = kCabeceraPaso + n * (kCelda * n + 2);
  const double pasos = static_cast<double>(kAnchoPaso + 6);  // ten digits and a sign
  t.despues = kTextos + n * (2 * anchoMaximo(kFormatoResultado) + pasos) + pagosMaximos(estado.PI);
  return t;
}

double tamanoMinimoDeInforme(std::int32_t n) {
  const double nodos = std::max(n, 0);
  return 4 * nodos * (kCelda * nodos + 2);
}
