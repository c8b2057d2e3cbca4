// Dense vector and matrix operations of the run's dimension. Each result is
// new and owned by the caller; no argument is ever changed. Sums start at 0.0
// and add in ascending index order, so every result is reproducible to the bit.
// A failed allocation throws Error::sinMemoria with a CR LF message, or with
// none where a caller passes Salto::sin.
#pragma once

#include <cstddef>

#include "base/fallo.h"
#include "base/tipos.h"

Vector sumaVec(const Vector& a, const Vector& b);  // c = a + b
Vector restaVec(const Vector& a, const Vector& b,  // c = a − b
                Salto salto = Salto::con);
Vector prodMatVec(const Matrix& M, const Vector& v);   // c[i] = Σ_j M[i][j]·v[j]
Matrix traspuesta(const Matrix& M);                    // T[j][k] = M[k][j]
Matrix producteMat(const Matrix& A, const Matrix& B);  // R[j][k] = Σ_l A[j][l]·B[l][k]
Matrix restaMat(const Matrix& A, const Matrix& B);     // R = A − B
Matrix I(std::size_t dim);                             // identity of size dim

// a if a ≤ b; b if b < a or if the two are unordered (either is NaN).
inline double minimo(double a, double b) {
  return (a <= b) ? a : b;
}
