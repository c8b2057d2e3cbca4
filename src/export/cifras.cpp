#include "export/cifras.h"

#include <algorithm>

double calculaPagoEntre(const Dispersa& dispersa, const Resultado& resultado, std::int32_t i,
                        std::size_t k) {
  const double obligacion = dispersa.valor[k];
  // A debtor that pays in full pays each obligation as it is: the report's
  // product can land an ulp away from it, and a reconciliation would see a
  // payment above what was owed. A debtor whose obligations sum to zero has
  // no shares to pay by (its PI row is zero), whatever its entries.
  if (dispersa.pBarra[i] != 0.0 && resultado.p[i] == dispersa.pBarra[i]) return obligacion;
  const double relativa = dispersa.pBarra[i] == 0.0 ? 0.0 : obligacion / dispersa.pBarra[i];
  const double pago = relativa * resultado.p[i];
  return obligacion >= 0.0 ? std::min(pago, obligacion) : pago;
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
