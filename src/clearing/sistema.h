// The round's linear system by the literal formulas, with Λ = Λ(p), the
// identity I and Πᵀ = traspuesta(PI): four dense products per round. The
// reference build, and any network whose data are not all finite, solve it.
#pragma once

#include "base/estado.h"

// A = β·(Λ·(PIᵀ·Λ)) − I, with β = red.costes.beta (no product when it is 1).
Matrix matrizSistema(const Red& red, const Vector& p);

// b = −((z + w) + u) with u = (I − Λ)·pBarra, w = α·(Λ·e),
// z = β·(((Λ·PIᵀ)·(I − Λ))·pBarra); α and β from red.costes, no product when 1.
Vector terminoIndep(const Red& red, const Vector& p);
