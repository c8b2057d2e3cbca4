#include "export/cifras.h"

#include <algorithm>

double calculaPagoEntre(const Dispersa& dispersa, const Resultado& resultado, std::int32_t i,
                        std::size_t k) {
  const double relativa = dispersa.pBarra[i] == 0.0 ? 0.0 : dispersa.valor[k] / dispersa.pBarra[i];
  return relativa * resultado.p[i];
}

bool calculaRecuperacion(const Dispersa& dispersa, const Resultado& resultado, std::int32_t i,
                         double& tasa) {
  if (dispersa.pBarra[i] == 0.0) return false;
  tasa = resultado.p[i] / dispersa.pBarra[i];
  return true;
}

double calculaDeficit(const Dispersa& dispersa, const Resultado& resultado, std::int32_t i) {
  return dispersa.pBarra[i] - resultado.p[i];
}

std::int32_t calculaRondasConImpago(const Resultado& resultado) {
  return resultado.ronda.empty()
             ? 0
             : *std::max_element(resultado.ronda.begin(), resultado.ronda.end());
}
