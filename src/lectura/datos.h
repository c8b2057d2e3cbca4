// The network as input.txt gives it: dim, then L row by row, then e.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/estado.h"
#include "lectura/lector.h"

// dim from the first token; 0 for an empty input. A token that is not a
// 32-bit integer throws a format error.
std::int32_t leeDimension(Lector& entrada);

// L row by row, then e, appended to the room the run reserved (numbers held
// whole in a refill are converted on every core). A missing or malformed
// number throws a format error naming the element.
void leerDatos(Lector& entrada, NetworkState& estado);

// The reader's room while the data of n nodes are read: its buffer and the
// numbers converted from one refill of it.
std::size_t memoriaDeLectura(std::size_t n);
