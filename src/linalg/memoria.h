// All storage of vectors and matrices goes through these helpers: each
// request is tested at once, a request for zero elements is no failure, and a
// failed one ends the run with "Memoria insuficient" (line feed as asked).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "linalg/tipos.h"
#include "run/fatal.h"

// n zeros.
Vector nuevoVector(std::size_t n, Salto salto);

// n×n zeros: the row array first, then the rows in ascending order.
Matrix nuevaMatriz(std::size_t n, Salto salto);

// filas×columnas zeros, rows allocated in ascending order.
Matrix nuevasFilas(std::size_t filas, std::size_t columnas, Salto salto);

// Room for n values, none stored yet: the memory is not touched until the
// caller appends to it, so a huge request costs nothing before data arrives.
Vector reservaVector(std::size_t n, Salto salto);

// n×n room: the row array and n empty rows, each with room for n values.
Matrix reservaMatriz(std::size_t n, Salto salto);

// filas empty rows, each with room for columnas values.
Matrix reservaFilas(std::size_t filas, std::size_t columnas, Salto salto);

// n integers set to 0.
std::vector<std::int32_t> nuevoVectorEntero(std::size_t n, Salto salto);

// Test hook: the request numbered k from now on (0 = the next one) fails as
// if the memory were exhausted; a negative k switches the hook off.
void fallaPeticion(long k);
