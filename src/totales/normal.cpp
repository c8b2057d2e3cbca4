#include "totales/normal.h"

#include <cmath>

namespace {

// ln 2 in two parts: k·kLn2Alto is exact for the k an exponent can have.
constexpr double kLn2Alto = 6.93147180369123816490e-01;
constexpr double kLn2Bajo = 1.90821492927058770002e-10;
constexpr double kInvLn2 = 1.44269504088896338700e+00;
constexpr double kInvRaiz2Pi = 0.39894228040143267794;  // 1/√(2π)
constexpr double kRaizMedio = 0.70710678118654752440;   // √½

// Beyond these Φ is 0 or 1 in doubles.
constexpr double kColaBaja = -38.5;
constexpr double kColaAlta = 8.5;
// Below this |x| the series of Φ; above, the continued fraction of its tail.
constexpr double kCorte = 3.0;
constexpr int kTerminosFraccion = 150;
constexpr int kMaxIteraciones = 200;

// e^r for |r| ≤ ln2/2: Taylor to degree 17, below half an ulp.
double exponencialReducida(double r) {
  double suma = 1.0;
  for (int k = 17; k >= 1; --k) suma = 1.0 + r * suma / k;
  return suma;
}

// φ(x) = e^(−x²/2)/√(2π).
double densidad(double x) {
  return exponencial(-0.5 * (x * x)) * kInvRaiz2Pi;
}

// 1 − Φ(t) for t ≥ kCorte: φ(t)/(t + 1/(t + 2/(t + 3/(t + …)))), evaluated
// from a fixed depth back.
double colaNormal(double t) {
  double d = t;
  for (int k = kTerminosFraccion; k >= 1; --k) d = t + k / d;
  return densidad(t) / d;
}

// Φ(x) − ½ = φ(x)·(x + x³/3 + x⁵/(3·5) + …) for |x| < kCorte.
double serieNormal(double x) {
  const double x2 = x * x;
  double termino = x;
  double suma = x;
  for (int k = 1; k < kMaxIteraciones; ++k) {
    termino = termino * x2 / (2 * k + 1);
    const double otra = suma + termino;
    if (otra == suma) break;
    suma = otra;
  }
  return 0.5 + densidad(x) * suma;
}

}  // namespace

double exponencial(double x) {
  if (x < -745.2) return 0.0;
  if (x > 709.7) return HUGE_VAL;
  const double t = x * kInvLn2;
  const int k = static_cast<int>(t < 0.0 ? t - 0.5 : t + 0.5);
  const double r = (x - k * kLn2Alto) - k * kLn2Bajo;
  return std::ldexp(exponencialReducida(r), k);  // a power of two: exact
}

double logaritmo(double x) {
  int e = 0;
  double m = std::frexp(x, &e);  // x = m·2^e, m in [½, 1): exact
  if (m < kRaizMedio) {
    m *= 2.0;
    --e;
  }
  // ln m = 2·atanh(f), f = (m − 1)/(m + 1), |f| ≤ 0.172.
  const double f = (m - 1.0) / (m + 1.0);
  const double f2 = f * f;
  double serie = 0.0;
  for (int k = 12; k >= 1; --k) serie = f2 * (1.0 / (2 * k + 1) + serie);
  return e * kLn2Alto + (e * kLn2Bajo + 2.0 * f * (1.0 + serie));
}

double fiNormal(double x) {
  if (x < kColaBaja) return 0.0;
  if (x > kColaAlta) return 1.0;
  if (x <= -kCorte) return colaNormal(-x);
  if (x >= kCorte) return 1.0 - colaNormal(x);
  return serieNormal(x);
}

// From 0 Newton's steps move monotonically to the root: Φ is convex below
// 0 and concave above.
double inversaFi(double p) {
  double x = 0.0;
  for (int k = 0; k < kMaxIteraciones; ++k) {
    const double paso = (fiNormal(x) - p) / densidad(x);
    const double otro = x - paso;
    if (otro == x || !std::isfinite(otro)) break;
    x = otro;
  }
  return x;
}

double siguienteNormal(Normales& normales) {
  if (normales.hayGuardada) {
    normales.hayGuardada = false;
    return normales.guardada;
  }
  double u = 0.0;
  double v = 0.0;
  double s = 0.0;
  do {
    u = 2.0 * uniforme(normales.azar) - 1.0;
    v = 2.0 * uniforme(normales.azar) - 1.0;
    s = u * u + v * v;
  } while (s >= 1.0 || s == 0.0);
  const double factor = std::sqrt(-2.0 * logaritmo(s) / s);
  normales.guardada = v * factor;
  normales.hayGuardada = true;
  return u * factor;
}
