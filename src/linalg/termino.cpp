// b's updates of the block solver: the block's rows in full, the zero
// factors only where they change a bit.
#include "linalg/termino.h"

#include <cmath>

namespace {

std::size_t cuantosNegativos(const Vector& b, const std::vector<std::int32_t>& filas) {
  std::size_t n = 0;
  for (std::int32_t k : filas) n += b[k] == 0.0 && std::signbit(b[k]);
  return n;
}

// b[k] −= b[i]·cero for the rows k ≠ i, where cero is a signed zero: the loop
// runs only when the product is NaN, or −0.0 with a −0.0 to turn (3).
void restaCero(Vector& b, CerosNegativos& ceros, std::size_t i, double cero) {
  const double p = b[i] * cero;
  if (!std::isnan(p) && (!std::signbit(p) || ceros.cuantos == 0)) return;
  for (std::int32_t k : ceros.filas)
    if (static_cast<std::size_t>(k) != i) b[k] = b[k] - p;
  ceros.cuantos = cuantosNegativos(b, ceros.filas);
}

}  // namespace

CerosNegativos cuentaCerosNegativos(const Vector& b, const std::vector<std::int32_t>& filas) {
  return CerosNegativos{filas, cuantosNegativos(b, filas)};
}

void eliminaTerminoFuera(std::size_t j, Vector& b, CerosNegativos& enBloque,
                         CerosNegativos& fuera) {
  restaCero(b, enBloque, j, kFactorFuera);
  restaCero(b, fuera, j, kFactorFuera);
}

void eliminaTermino(std::size_t r, const double* factor, double pivote, Vector& b,
                    CerosNegativos& enBloque, CerosNegativos& fuera) {
  const std::size_t i = static_cast<std::size_t>(enBloque.filas[r]);
  const double bi = b[i];
  for (std::size_t k = 0; k < enBloque.filas.size(); ++k) {
    if (k == r) continue;
    double& bk = b[static_cast<std::size_t>(enBloque.filas[k])];
    bk = bk - bi * factor[k];
  }
  restaCero(b, fuera, i, 0.0 / pivote);
}
