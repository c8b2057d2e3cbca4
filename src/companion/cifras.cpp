#include "companion/cifras.h"

#include <algorithm>

double calculaPagoEntre(const RedLeida& red, const Resultado& resultado, std::int32_t i,
                        std::size_t k) {
  const double relativa = red.pBarra[i] == 0.0 ? 0.0 : red.valor[k] / red.pBarra[i];
  return relativa * resultado.p[i];
}

bool calculaRecuperacion(const RedLeida& red, const Resultado& resultado, std::int32_t i,
                         double& tasa) {
  if (red.pBarra[i] == 0.0) return false;
  tasa = resultado.p[i] / red.pBarra[i];
  return true;
}

double calculaDeficit(const RedLeida& red, const Resultado& resultado, std::int32_t i) {
  return red.pBarra[i] - resultado.p[i];
}

std::int32_t calculaRondasConImpago(const Resultado& resultado) {
  return resultado.ronda.empty()
             ? 0
             : *std::max_element(resultado.ronda.begin(), resultado.ronda.end());
}
