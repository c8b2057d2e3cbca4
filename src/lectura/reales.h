// A refill's whole numbers converted at once, on every core when the refill is
// large: exactly what siguienteToken and esRealValido would give one token at
// a time, with the same stop before the first token that is not such a number.
#pragma once

#include <cstddef>
#include <span>

#include "lectura/lector.h"

// The values of the next tokens, at most `cuantos`, as long as each is held
// whole in the buffer (a blank follows it, or the input ends with it) and
// converts without a copy (only an out-of-range number that ends the input
// needs one). Empty when
// the next token is not such a one; siguienteToken then reads it as ever
// (refilling, or handing over what a message names). Valid until the next call.
//
// Entered at a token boundary: lector.pos is at the start of the text (its
// first byte, or past a byte-order mark), at a blank, just past one, or at
// the end of the bytes held; never inside a token, whose tail would read as
// a token of its own. siguienteToken and leeReales leave pos only there. While
// the rest of a cut token is still to be skipped (saltaResto), nothing is
// converted and the result is empty.
std::span<const double> leeReales(Lector& lector, std::size_t cuantos);
