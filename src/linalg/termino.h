// The right-hand side of the block solver's elimination (linalg/bloque.h):
// b's updates for one column, with its signed zeros and NaNs as the full
// elimination leaves them. Shared by an elimination made now and one
// repeated from its record (linalg/eliminadas.h). The numbers in comments
// cite the invariants of linalg/bloque.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/tipos.h"

// Row k outside the block meets a column j outside: its factor +0/−1 (2).
inline constexpr double kFactorFuera = 0.0 / -1.0;

// The −0.0 among b[filas]: while there are none, a zero factor changes nothing.
// No update creates a −0.0 (x − y is −0.0 only for x = −0.0), so a count made
// earlier is an upper bound that stays safe until it is made again.
struct CerosNegativos {
  const std::vector<std::int32_t>& filas;
  std::size_t cuantos;
};

CerosNegativos cuentaCerosNegativos(const Vector& b, const std::vector<std::int32_t>& filas);

// The b side of column j outside the block: every other row's factor is
// +0/−1 (2).
void eliminaTerminoFuera(std::size_t j, Vector& b, CerosNegativos& enBloque, CerosNegativos& fuera);

// The b side of a block column: its pivot in block row r, the block's rows
// with their factors, the rows outside with +0/pivot (3).
void eliminaTermino(std::size_t r, const double* factor, double pivote, Vector& b,
                    CerosNegativos& enBloque, CerosNegativos& fuera);
