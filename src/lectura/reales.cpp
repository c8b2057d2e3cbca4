// The parallel conversion of a refill: its whole tokens split at blanks into
// porciones, each converted by one thread into slots no other porcion writes, then
// moved together in order.
#include "lectura/reales.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <string_view>

#include "base/hilos.h"
#include "base/reparto.h"
#include "lectura/numeros.h"

namespace {

// Below this many bytes a refill's share is converted on fewer threads: a
// thread's share then costs ten times what starting one can (figures in
// docs/performance.md, "Parallel reading").
constexpr std::size_t kBytesPorHilo = std::size_t{1} << 18;
// Threads that share a refill at most (four take a 1 MiB refill already).
constexpr std::size_t kMaxPorciones = 16;

// One thread's share of the refill: the whole tokens in [desde, hasta), their
// values written from reales[base] on.
struct Porcion {
  std::size_t desde = 0;
  std::size_t hasta = 0;
  std::size_t base = 0;
  std::size_t leidos = 0;
  bool parado = false;  // at a token that is not a number, or one left to esRealValido
};

using Porciones = std::array<Porcion, kMaxPorciones>;

// The precondition of leeReales (reales.h).
[[maybe_unused]] bool esFronteraDeToken(const Lector& lector) {
  const char* bytes = lector.bufer.data();
  const std::size_t pos = lector.pos;
  return pos == 0 || pos == lector.fin || esBlanco(bytes[pos]) || esBlanco(bytes[pos - 1]) ||
         (pos == kMarcaDeOrden.size() && std::string_view(bytes, pos) == kMarcaDeOrden);
}

// Past the refill's whole tokens: all of it once the input is exhausted, else
// its last blank (a token touching the end may go on in the next refill).
std::size_t finDeEnteros(const Lector& lector) {
  if (lector.agotado) return lector.fin;
  std::size_t fin = lector.fin;
  while (fin > lector.pos && !esBlanco(lector.bufer[fin - 1])) --fin;
  return fin;
}

// Splits [pos, fin) at blanks into `partes` porciones. A porcion starting at a
// blank c has at most (c − pos + 1) / 2 tokens before it: each takes a byte
// and a blank. That bound is its base, so no two porciones write the same slot.
Porciones cortaPorciones(const Lector& lector, std::size_t fin, std::size_t partes) {
  Porciones porciones{};
  std::size_t desde = lector.pos;
  for (std::size_t p = 0; p < partes; ++p) {
    const std::size_t hasta =
        p + 1 == partes
            ? fin
            : blancoDesde(lector.bufer.data(),
                          std::max(desde, lector.pos + (fin - lector.pos) * (p + 1) / partes), fin);
    porciones[p].desde = desde;
    porciones[p].hasta = hasta;
    porciones[p].base = (desde - lector.pos + 1) / 2;
    desde = hasta;
  }
  return porciones;
}

// Converts a porcion's tokens up to the first that is not a number; an
// underflow at the very end of the input is left to esRealValido, which copies it.
void conviertePorcion(const Lector& lector, Porcion& porcion, double* reales) {
  const char* bytes = lector.bufer.data();
  std::size_t i = porcion.desde;
  for (;;) {
    const std::size_t inicio = noBlancoDesde(bytes, i, porcion.hasta);
    if (inicio == porcion.hasta) return;
    i = blancoDesde(bytes, inicio, porcion.hasta);
    double valor = 0.0;
    Conversion conversion = convierteReal(std::string_view(bytes + inicio, i - inicio), valor);
    // A blank in the refill ends the token for strtod; the input's last byte does not.
    if (conversion == Conversion::fueraDeRango && i < lector.fin)
      conversion =
          convierteFueraDeRango(bytes + inicio, valor) ? Conversion::valida : Conversion::invalida;
    if (conversion != Conversion::valida) {
      porcion.parado = true;
      return;
    }
    reales[porcion.base + porcion.leidos++] = valor;
  }
}

// Past the k-th token from i.
std::size_t pasaTokens(const Lector& lector, std::size_t i, std::size_t k) {
  for (; k > 0; --k) {
    i = noBlancoDesde(lector.bufer.data(), i, lector.fin);
    i = blancoDesde(lector.bufer.data(), i, lector.fin);
  }
  return i;
}

}  // namespace

std::span<const double> leeReales(Lector& lector, std::size_t cuantos) {
  if (lector.saltaResto || cuantos == 0) return {};
  assert(esFronteraDeToken(lector));
  const std::size_t fin = finDeEnteros(lector);
  if (fin == lector.pos) return {};
  // Sized once, for a whole refill: the tokens of [pos, fin) need (fin − pos) / 2 + 1.
  if (lector.reales.size() < lector.bufer.size() / 2 + 1)
    ajustaOLanza(lector.reales, lector.bufer.size() / 2 + 1);
  const std::size_t partes = std::clamp<std::size_t>((fin - lector.pos) / kBytesPorHilo, 1,
                                                     std::min<std::size_t>(hilos(), kMaxPorciones));
  Porciones porciones = cortaPorciones(lector, fin, partes);
  double* reales = lector.reales.data();
  reparteEnPartes(partes, partes, 1, [&](std::size_t desde, std::size_t hasta) {
    for (std::size_t p = desde; p < hasta; ++p) conviertePorcion(lector, porciones[p], reales);
  });
  // The porciones' values, moved together in order (each base is at or past
  // the count before it), up to the first token not taken or `cuantos`.
  std::size_t tomados = 0;
  lector.pos = fin;
  for (std::size_t p = 0; p < partes; ++p) {
    const Porcion& porcion = porciones[p];
    const std::size_t aqui = std::min(porcion.leidos, cuantos - tomados);
    std::memmove(reales + tomados, reales + porcion.base, aqui * sizeof(double));
    tomados += aqui;
    if (porcion.parado || tomados == cuantos) {
      lector.pos = pasaTokens(lector, porcion.desde, aqui);
      break;
    }
  }
  return {reales, tomados};
}
