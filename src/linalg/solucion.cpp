// The literal elimination: every other row is updated for every pivot, also
// where its factor is zero, and rows move with the values when reordering.
#include "linalg/solucion.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "base/fallo.h"
#include "base/memoria.h"

namespace {

// First row not yet used whose entry in column j is ≥ tol in magnitude (a
// NaN never qualifies); n when there is none.
std::size_t buscaPivote(const Matrix& A, const std::vector<std::int32_t>& usada, std::size_t j) {
  for (std::size_t i = 0; i < A.size(); ++i)
    if (!usada[i] && std::fabs(A[i][j]) >= tol) return i;
  return A.size();
}

// Row k −= f·row i, with f = A[k][j]/A[i][j]; b follows.
void eliminaFila(Matrix& A, Vector& b, std::size_t i, std::size_t j, std::size_t k) {
  const double f = A[k][j] / A[i][j];
  const Vector& pivote = A[i];
  Vector& fila = A[k];
  for (std::size_t l = 0; l < A.size(); ++l) fila[l] = fila[l] - pivote[l] * f;
  b[k] = b[k] - b[i] * f;
}

// Column of the largest magnitude in row i; ties keep the lowest column.
std::size_t columnaMayor(const Vector& fila) {
  std::size_t m = 0;
  for (std::size_t l = 1; l < fila.size(); ++l)
    if (std::fabs(fila[l]) > std::fabs(fila[m])) m = l;
  return m;
}

// Highest row whose entry in column j exceeds tol in magnitude; 0 if none.
std::size_t filaMasAlta(const Matrix& A, std::size_t j) {
  std::size_t r = 0;
  for (std::size_t i = 0; i < A.size(); ++i)
    if (std::fabs(A[i][j]) > tol) r = i;
  return r;
}

}  // namespace

Vector solucionSistema(Matrix& A, Vector& b) {
  const std::size_t n = A.size();
  std::vector<std::int32_t> usada = nuevoVectorEntero(n);  // all false
  Vector x = nuevoVector(n);
  for (std::size_t j = 0; j < n; ++j) {
    const std::size_t i = buscaPivote(A, usada, j);
    if (i == n) lanzaFallo(Error::indeterminado);
    for (std::size_t k = 0; k < i; ++k) eliminaFila(A, b, i, j, k);
    for (std::size_t k = i + 1; k < n; ++k) eliminaFila(A, b, i, j, k);
    usada[i] = 1;
  }
  for (std::size_t i = 0; i < n; ++i) x[i] = b[i] / A[i][columnaMayor(A[i])];
  for (std::size_t j = 0; j < n; ++j) {
    const std::size_t r = filaMasAlta(A, j);
    if (r == j) continue;
    std::swap(x[j], x[r]);
    std::swap(A[j], A[r]);  // exchanges the rows' contents: same effect as element by element
  }
  return x;
}
