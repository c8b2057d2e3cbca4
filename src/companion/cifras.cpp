#include "companion/cifras.h"

#include <algorithm>

double calculaPagoEntre(const RedLeida& red, const Resultado& resultado, std::int32_t i,
                        std::size_t k) {
  const double obligacion = red.valor[k];
  // A debtor that pays in full pays each obligation as it is: the report's
  // product can land an ulp away from it, and a reconciliation would see a
  // payment above what was owed.
  if (resultado.p[i] == red.pBarra[i]) return obligacion;
  const double relativa = red.pBarra[i] == 0.0 ? 0.0 : obligacion / red.pBarra[i];
  const double pago = relativa * resultado.p[i];
  return obligacion >= 0.0 ? std::min(pago, obligacion) : pago;
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
