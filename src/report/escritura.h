// Writing the report: bytes into a stream opened in binary mode, line ends
// written as CR LF by the callers' literals, and any write that fails ends
// the run with "Error en escriure el fitxer de sortida".
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "base/tipos.h"
#include "report/formato.h"

// Opens output.txt (created or truncated); nullptr when it cannot be opened.
std::FILE* abreInforme(const char* nombre);

void escribeTexto(std::FILE* out, std::string_view texto);

// Row by row: the elements in column order, each in f, then CR LF. A large
// matrix is formatted on every core in pieces of rows, written in row order:
// the bytes are the same with any number of threads.
void escribeMatriz(std::FILE* out, const Matrix& M, FormatoReal f);

// As escribeMatriz, with each element of row i multiplied by factores[i]
// first (one product, rounded to double).
void escribeMatrizEscalada(std::FILE* out, const Matrix& M, const Vector& factores, FormatoReal f);

// Test hook: matrices of at least celdas elements are formatted on every
// core, in pieces of at most bytes of room (one row at least); 0 returns
// either to its measured default.
void fijaRepartoMatrices(std::size_t celdas, std::size_t bytes);

// The default matrix of the marked nodes, as escribeMatriz writes it in
// "%-6.2g ": 1 on the diagonal of a marked node, 0 elsewhere. Its text is
// copied from a fixed run of zeros, not formatted value by value.
void escribeMatrizMarcas(std::FILE* out, const Marcas& marcas);

// The same, written on a thread of its own while the caller goes on (a
// round's default matrix is mostly the system copying pages, which solving
// the round need not wait for). Every later write to the report, and every
// fatal exit, waits for it first; a failed write ends the run then.
void escribeMatrizMarcasAparte(std::FILE* out, const Marcas& marcas);

// The elements in index order on one line, each in f; no line end.
void escribeVector(std::FILE* out, const Vector& v, FormatoReal f);

// The integers in index order, each in "%-6d "; no line end.
void escribeEnteros(std::FILE* out, const std::vector<std::int32_t>& v);

// Flushes and closes the report; a failure ends the run.
void cierraInforme(std::FILE* out);
