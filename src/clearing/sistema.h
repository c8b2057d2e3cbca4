// The round's linear system by the literal formulas, with Λ = Λ(p), the
// identity I and Πᵀ = traspuesta(PI): four dense products per round. The
// reference build, and any network whose data are not all finite, solve it.
#pragma once

#include "base/estado.h"

// A = Λ·(PIᵀ·Λ) − I.
Matrix matrizSistema(const Red& red, const Vector& p);

// b = −((z + w) + u) with u = (I − Λ)·pBarra, w = Λ·e, z = ((Λ·PIᵀ)·(I − Λ))·pBarra.
Vector terminoIndep(const Red& red, const Vector& p);
