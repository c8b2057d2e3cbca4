// The literal dense operations. Loop orders walk memory row by row, but every
// element keeps the summation order of its definition, so the bits are those
// of the textbook loops.
#include "linalg/operaciones.h"

#include "base/memoria.h"

Vector sumaVec(const Vector& a, const Vector& b) {
  Vector c = nuevoVector(a.size());
  for (std::size_t i = 0; i < a.size(); ++i) c[i] = a[i] + b[i];
  return c;
}

Vector restaVec(const Vector& a, const Vector& b, Salto salto) {
  Vector c = nuevoVector(a.size(), salto);
  for (std::size_t i = 0; i < a.size(); ++i) c[i] = a[i] - b[i];
  return c;
}

Vector prodMatVec(const Matrix& M, const Vector& v) {
  Vector c = nuevoVector(M.size());
  for (std::size_t i = 0; i < M.size(); ++i) {
    double suma = 0.0;
    for (std::size_t j = 0; j < v.size(); ++j) suma += M[i][j] * v[j];
    c[i] = suma;
  }
  return c;
}

Matrix traspuesta(const Matrix& M) {
  Matrix T = nuevaMatriz(M.size());
  for (std::size_t k = 0; k < M.size(); ++k)
    for (std::size_t j = 0; j < M.size(); ++j) T[j][k] = M[k][j];
  return T;
}

// Row j of R accumulates A[j][l]·B[l][·] for l = 0, 1, …: each R[j][k] still
// starts at 0.0 and adds its products in ascending l.
Matrix producteMat(const Matrix& A, const Matrix& B) {
  const std::size_t n = A.size();
  Matrix R = nuevaMatriz(n);
  for (std::size_t j = 0; j < n; ++j) {
    Vector& fila = R[j];
    for (std::size_t l = 0; l < n; ++l) {
      const double a = A[j][l];
      const Vector& b = B[l];
      for (std::size_t k = 0; k < n; ++k) fila[k] += a * b[k];
    }
  }
  return R;
}

Matrix restaMat(const Matrix& A, const Matrix& B) {
  Matrix R = nuevaMatriz(A.size());
  for (std::size_t j = 0; j < A.size(); ++j)
    for (std::size_t k = 0; k < A.size(); ++k) R[j][k] = A[j][k] - B[j][k];
  return R;
}

Matrix I(std::size_t dim) {
  Matrix R = nuevaMatriz(dim);  // every element already 0.0
  for (std::size_t i = 0; i < dim; ++i) R[i][i] = 1.0;
  return R;
}
