// All storage of vectors and matrices goes through these helpers: each
// request is tested at once, a request for zero elements is no failure, and a
// failed one throws a Fallo of Error::sinMemoria whose message ends in CR LF,
// or has no line end where a caller passes Salto::sin. A test can make the
// k-th request fail (ControlPruebas::peticionesHastaFallo, base/pruebas.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/fallo.h"
#include "base/tipos.h"

// n zeros.
Vector nuevoVector(std::size_t n, Salto salto = Salto::con);

// n×n zeros: the row array first, then the rows in ascending order.
Matrix nuevaMatriz(std::size_t n, Salto salto = Salto::con);

// filas×columnas zeros, rows allocated in ascending order.
Matrix nuevasFilas(std::size_t filas, std::size_t columnas, Salto salto = Salto::con);

// Room for n values, none stored yet: the memory is not touched until the
// caller appends to it, so a huge request costs nothing before data arrives.
Vector reservaVector(std::size_t n, Salto salto = Salto::con);

// n×n room: the row array and n empty rows, each with room for n values.
Matrix reservaMatriz(std::size_t n, Salto salto = Salto::con);

// filas empty rows, each with room for columnas values.
Matrix reservaFilas(std::size_t filas, std::size_t columnas, Salto salto = Salto::con);

// Room for n bytes of text, left untouched until written: a report buffer
// costs memory only as far as it is filled.
std::unique_ptr<char[]> nuevoTexto(std::size_t n, Salto salto = Salto::con);

// Writes a zero into each 4 KiB page of [inicio, inicio + bytes), memory the
// caller holds and has not written, the pages shared among hilosPara(hilos)
// threads: the system's zeroing of fresh pages then runs on every core.
void tocaPaginas(char* inicio, std::size_t bytes, unsigned hilos);

// n integers set to 0.
std::vector<std::int32_t> nuevoVectorEntero(std::size_t n, Salto salto = Salto::con);
