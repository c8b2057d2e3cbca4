// Memory figures for the run; the system's side is in sistema/plataforma. Each
// layer states the room its own buffers take; this file adds them up.
#include "comun/recursos.h"

#include <algorithm>
#include <string>
#include <utility>

#include "base/hilos.h"
#include "base/pruebas.h"
#include "comun/texto.h"
#include "lectura/datos.h"
#include "panel/panel.h"
#include "report/diagonal.h"
#include "report/informe.h"
#include "report/matrices.h"
#include "sistema/plataforma.h"

namespace {

// A thread's share: the pages its stack touches (no buffer of more than a
// few KiB lives on a stack) and the first pages of the heap glibc gives a
// thread that allocates, with room to spare.
constexpr double kPorHilo = 256.0 * 1024;
// The program's own pages (its data, the C++ library's, stdio's) and some
// slack for what the system charges late.
constexpr double kMargenFijo = 1024.0 * 1024;
// Page tables: 8 bytes for each 4 KiB page of the matrices.
constexpr double kTablasPorByte = 8.0 / 4096;

}  // namespace

Huella huellaDe(std::int32_t dim, int matrices) {
  const double n = std::max(dim, 0);
  const auto nodos = static_cast<std::size_t>(n);
  Huella h;
  h.matrices = matrices * 8.0 * n * n + 64.0 * n;
  h.lectura = static_cast<double>(memoriaDeLectura(nodos));
  h.escritura =
      static_cast<double>(kBuferInforme + memoriaDeMatriz(nodos) + memoriaDeMarcas(nodos));
  h.paneles = memoriaDePaneles(nodos);
  // The stacks of the block solver's threads (for blocks that are shared
  // out), the report's and the one writing a default matrix while a round
  // is solved: all are the pool's hilos() workers now, so this counts more
  // than they take, and a dimension refused by it was refused before.
  const double bloque = nodos >= filasParaRepartir() ? hilos() : 0;
  const double informe = std::min<double>(hilos(), kMaxHilosInforme);
  h.pilas = kPorHilo * (bloque + informe + 1);
  h.margen = kMargenFijo + kTablasPorByte * h.matrices;
  return h;
}

double memoriaNecesaria(std::int32_t dim, int matrices) {
  const Huella h = huellaDe(dim, matrices);
  const Huella lectura = huellaDe(dim, 1);  // L, filled as the numbers arrive
  return std::max(lectura.matrices + h.lectura, h.matrices + h.escritura + h.paneles + h.pilas) +
         h.margen;
}

double memoriaAdicional(std::int32_t dim, int matrices) {
  const Huella h = huellaDe(dim, matrices);
  return h.matrices + h.escritura + h.paneles + h.pilas + h.margen;
}

double memoriaDisponible(const LugaresDeMemoria* lugares) {
  return lugares != nullptr ? memoriaDisponibleEn(*lugares)
                            : memoriaDisponibleBajo(controlPruebas().raizSistema);
}

bool cabe(double bytes, const LugaresDeMemoria* lugares) {
  const double disponible = memoriaDisponible(lugares);
  return disponible < 0 || bytes <= disponible;
}

bool cabeRed(std::int32_t dim, int matrices, std::string& error) {
  const double necesaria = memoriaNecesaria(dim, matrices);
  if (cabe(necesaria)) return true;
  error = "input.txt: " + std::to_string(dim) + " nodes need about " + textoGiB(necesaria) +
          " of memory to compute the clearing; the system has " + textoGiB(memoriaDisponible()) +
          " free";
  return false;
}
