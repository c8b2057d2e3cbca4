// The capital, with the inflows computed as the run's table computes them.
#include "clearing/capital.h"

#include "linalg/operaciones.h"

// The capital's last step, the subtraction, is the one allocation after the
// rounds whose failure message has no line end, as the table of messages
// has it (README, "Messages and exit status"); linalg's operations leave the
// choice to their callers.
Vector calculaCapital(const Red& red, const Vector& p, const Calculo& calculo) {
  const Vector entradas = calculo.entradas(red, p);          // PIᵀ·p
  return restaVec(sumaVec(entradas, red.e), p, Salto::sin);  // (PIᵀ·p + e) − p
}
