// The normal distribution in plain arithmetic: +, −, ×, ÷ and the square
// root, which IEEE 754 rounds exactly, and our own exponential and
// logarithm built from them. The standard library's exp, log, erfc and
// normal_distribution differ between libraries and machines; these give the
// same bits wherever doubles are IEEE 754 and products are not fused.
#pragma once

#include "totales/azar.h"

// e^x, to about one unit in the last place; 0 below −745, infinity above 709.
double exponencial(double x);

// ln x for x > 0, to about one unit in the last place.
double logaritmo(double x);

// Φ(x), the standard normal distribution function, to about 1e-16 absolute.
double fiNormal(double x);

// Φ⁻¹(p) for p in (0, 1), by Newton's method on fiNormal.
double inversaFi(double p);

// Standard normal draws from a generator, two at a time (Marsaglia's polar
// method); `guardada` holds the second of a pair until it is asked for.
struct Normales {
  Azar azar;
  double guardada = 0.0;
  bool hayGuardada = false;
};
double siguienteNormal(Normales& normales);
