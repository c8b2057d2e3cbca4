// Random numbers that are the same bits on every machine and compiler, for
// sampled networks whose bytes must not depend on the build (the standard
// library's distributions differ between implementations).
//
// The generator is xoshiro256** (Blackman and Vigna, 2018); its four state
// words are the first four outputs of splitmix64 started at the state
// semilla XOR mezcla(k), where mezcla(k) is splitmix64's first output from
// the state k. Network k of a seed therefore depends on (semilla, k) alone,
// and any network of an ensemble can be made without the others.
#pragma once

#include <cstdint>

struct Azar {
  std::uint64_t s[4];
};

// The generator of network k of seed semilla.
Azar azarDeRed(std::uint64_t semilla, std::uint64_t k);

// The next 64 bits of xoshiro256**.
std::uint64_t siguiente(Azar& azar);

// u in [0, 1): the top 53 bits of the next output times 2^-53, exact.
double uniforme(Azar& azar);
