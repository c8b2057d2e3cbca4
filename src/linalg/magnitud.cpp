// Magnitudes compared lane by lane: a running maximum per lane keeps what
// the one-at-a-time loop keeps (a NaN never replaces, as a > t is false),
// and the maximum of the lanes is the maximum of the row whatever the
// grouping. |x| > tol is x > tol or x < −tol, false for a NaN either way.
#include "linalg/magnitud.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "base/tipos.h"

namespace {

// Whether |x| > tol, one value.
bool esMayor(double x) {
  return std::fabs(x) > tol;
}

// The first c in [desde, m) with |fila[c]| == maximo, which is there.
std::size_t primeroCon(const double* fila, std::size_t desde, double maximo) {
  std::size_t c = desde;
  while (std::fabs(fila[c]) != maximo) ++c;
  return c;
}

}  // namespace

#if defined(__GNUC__) || defined(__clang__)

namespace {

// Two doubles, and their bits as two integers (a cast between the two
// reinterprets the bits); loads go through memcpy, so rows need no alignment.
typedef double Doble2 __attribute__((vector_size(16)));
typedef std::int64_t Entero2 __attribute__((vector_size(16)));

Doble2 carga(const double* p) {
  Doble2 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

Doble2 absoluto(Doble2 v) {
  const Entero2 sinSigno = {INT64_MAX, INT64_MAX};
  return reinterpret_cast<Doble2>(reinterpret_cast<Entero2>(v) & sinSigno);
}

// a > t ? a : t in each lane.
Doble2 mayorDe(Doble2 a, Doble2 t) {
  const Entero2 elige = a > t;
  return reinterpret_cast<Doble2>((reinterpret_cast<Entero2>(a) & elige) |
                                  (reinterpret_cast<Entero2>(t) & ~elige));
}

}  // namespace

double mayorMagnitud(const double* fila, std::size_t desde, std::size_t m, double mayor) {
  const double inicial = std::fabs(mayor);
  if (std::isnan(inicial)) return mayor;  // nothing compares greater than a NaN
  const Doble2 uno = {inicial, inicial};
  Doble2 tope[4] = {uno, uno, uno, uno};
  std::size_t c = desde;
  for (; c + 8 <= m; c += 8)
    for (std::size_t i = 0; i < 4; ++i)
      tope[i] = mayorDe(absoluto(carga(fila + c + 2 * i)), tope[i]);
  double maximo = inicial;
  for (const Doble2& t : tope) maximo = std::max({maximo, t[0], t[1]});
  for (; c < m; ++c) maximo = std::fabs(fila[c]) > maximo ? std::fabs(fila[c]) : maximo;
  if (!(maximo > inicial)) return mayor;
  // The first entry at the maximum: two at a time up to the pair that holds it.
  const Doble2 buscado = {maximo, maximo};
  c = desde;
  while (c + 2 <= m) {
    const Entero2 igual = absoluto(carga(fila + c)) == buscado;
    if ((igual[0] | igual[1]) != 0) break;
    c += 2;
  }
  return fila[primeroCon(fila, c, maximo)];
}

bool hayMayores(const double* fila, std::size_t desde, std::size_t hasta) {
  const Doble2 arriba = {tol, tol};
  const Doble2 abajo = {-tol, -tol};
  Entero2 alguna = {0, 0};
  std::size_t c = desde;
  for (; c + 8 <= hasta; c += 8)
    for (std::size_t i = 0; i < 4; ++i) {
      const Doble2 v = carga(fila + c + 2 * i);
      alguna |= (v > arriba) | (v < abajo);
    }
  if ((alguna[0] | alguna[1]) != 0) return true;
  return std::any_of(fila + c, fila + hasta, esMayor);
}

#else  // compilers without vector types: one value at a time

double mayorMagnitud(const double* fila, std::size_t desde, std::size_t m, double mayor) {
  double maximo = std::fabs(mayor);
  if (std::isnan(maximo)) return mayor;
  const double inicial = maximo;
  for (std::size_t c = desde; c < m; ++c)
    maximo = std::fabs(fila[c]) > maximo ? std::fabs(fila[c]) : maximo;
  if (!(maximo > inicial)) return mayor;
  return fila[primeroCon(fila, desde, maximo)];
}

bool hayMayores(const double* fila, std::size_t desde, std::size_t hasta) {
  return std::any_of(fila + desde, fila + hasta, esMayor);
}

#endif
