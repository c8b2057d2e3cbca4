// The report's n×n matrices (L, PI, the payments), formatted on every core in
// pieces of rows and written in row order by one thread: the bytes are the
// same with any number of threads. A failed write throws Error::escritura,
// once every thread has ended.
#pragma once

#include <cstddef>

#include "base/tipos.h"
#include "report/formato.h"
#include "report/informe.h"

// At most this many threads format the pieces of a matrix (base/enorden.h):
// one thread writes them all, and past a few makers it is what bounds the
// pace.
inline constexpr std::size_t kMaxHilosInforme = 16;

// Row by row: the elements in column order, each in f, then CR LF.
void escribeMatriz(Informe& out, const Matrix& M, FormatoReal f);

// As escribeMatriz, with each element of row i multiplied by factores[i]
// first (one product, rounded to double).
void escribeMatrizEscalada(Informe& out, const Matrix& M, const Vector& factores, FormatoReal f);

// The room escribeMatriz takes at once for an n×n matrix: its pieces' buffers.
std::size_t memoriaDeMatriz(std::size_t n);
