#include "totales/azar.h"

namespace {

constexpr std::uint64_t kDorado = 0x9E3779B97F4A7C15u;  // 2^64 / golden ratio

// splitmix64's output function of its state after one step.
std::uint64_t mezcla(std::uint64_t x) {
  std::uint64_t z = x + kDorado;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

std::uint64_t rota(std::uint64_t x, int k) {
  return (x << k) | (x >> (64 - k));
}

}  // namespace

Azar azarDeRed(std::uint64_t semilla, std::uint64_t k) {
  std::uint64_t estado = semilla ^ mezcla(k);
  Azar azar{};
  for (std::uint64_t& palabra : azar.s) {
    palabra = mezcla(estado);  // splitmix64: state += golden, then the output function
    estado += kDorado;
  }
  return azar;
}

std::uint64_t siguiente(Azar& azar) {
  std::uint64_t* s = azar.s;
  const std::uint64_t resultado = rota(s[1] * 5, 7) * 9;
  const std::uint64_t t = s[1] << 17;
  s[2] ^= s[0];
  s[3] ^= s[1];
  s[1] ^= s[2];
  s[0] ^= s[3];
  s[2] ^= t;
  s[3] = rota(s[3], 45);
  return resultado;
}

double uniforme(Azar& azar) {
  return static_cast<double>(siguiente(azar) >> 11) * 0x1.0p-53;
}
