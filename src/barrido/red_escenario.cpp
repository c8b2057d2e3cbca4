#include "barrido/red_escenario.h"

#include <algorithm>
#include <span>

#include "clearing/derivadas.h"

namespace {

// The worker's copy of what the scenario changes, made at its first need.
void copiaBase(const Partida& partida, bool conPI, RedPropia& propia) {
  if (propia.pBarra.empty()) propia.pBarra = partida.pBarra;
  if (conPI && propia.PI.empty()) propia.PI = partida.PI;
}

// Row d of L as the scenario sets it, and its pBarra and PI row from it.
void cambiaFila(const Partida& partida, std::span<const CambioObligacion> obligaciones,
                std::int32_t deudor, RedPropia& propia) {
  const auto donde = std::lower_bound(partida.deudores.begin(), partida.deudores.end(), deudor);
  propia.fila = partida.filasL[static_cast<std::size_t>(donde - partida.deudores.begin())];
  for (const CambioObligacion& cambio : obligaciones)
    if (cambio.deudor == deudor) propia.fila[cambio.acreedor] = cambio.importe;
  propia.pBarra[deudor] = sumaFila(propia.fila);
  divideFila(propia.fila, propia.pBarra[deudor], propia.PI[deudor]);
  propia.cambiadas.push_back(deudor);
}

}  // namespace

bool preparaRedPropia(const Partida& partida, const Escenarios& escenarios, std::size_t k,
                      RedPropia& propia) {
  propia.caidos.clear();
  caidasEscenario(escenarios, k, propia.caidas);
  const std::span<const CambioObligacion> obligaciones = obligacionesEscenario(escenarios, k);
  if (propia.caidas.empty() && obligaciones.empty()) return false;
  copiaBase(partida, !obligaciones.empty(), propia);
  propia.conPI = !obligaciones.empty();
  for (const CambioObligacion& cambio : obligaciones)
    if (std::find(propia.cambiadas.begin(), propia.cambiadas.end(), cambio.deudor) ==
        propia.cambiadas.end())
      cambiaFila(partida, obligaciones, cambio.deudor, propia);
  // A failed node owes the fraction of what it owes in this scenario.
  for (const Cambio& caida : propia.caidas) {
    propia.pBarra[caida.nodo] *= caida.caja;
    propia.cambiadas.push_back(caida.nodo);
    propia.caidos.push_back(caida.nodo);
  }
  return true;
}

void restauraRedPropia(const Partida& partida, RedPropia& propia) {
  for (const std::int32_t i : propia.cambiadas) {
    propia.pBarra[i] = partida.pBarra[i];
    if (propia.conPI) std::copy(partida.PI[i].begin(), partida.PI[i].end(), propia.PI[i].begin());
  }
  propia.cambiadas.clear();
  propia.conPI = false;
}
