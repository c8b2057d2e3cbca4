// The numbers come through clearing's own reading path (comun/entrada.h),
// so the export computes from clearing's very bits.
#include "export/dispersa.h"

#include <algorithm>
#include <bit>
#include <new>

#include "base/fallo.h"
#include "clearing/motor.h"
#include "comun/entrada.h"
#include "comun/motivos.h"
#include "report/formato.h"

namespace {

// L's entries that are not +0, row by row; then L itself is let go.
void guardaDispersa(NetworkState& estado, Dispersa& dispersa) {
  dispersa.n = estado.dim;
  dispersa.inicioFila.reserve(static_cast<std::size_t>(dispersa.n) + 1);
  for (const Vector& fila : estado.L) {
    for (std::size_t j = 0; j < fila.size(); ++j) {
      if (std::bit_cast<std::uint64_t>(fila[j]) == 0) continue;
      dispersa.columna.push_back(static_cast<std::int32_t>(j));
      dispersa.valor.push_back(fila[j]);
    }
    dispersa.inicioFila.push_back(dispersa.columna.size());
  }
  Matrix().swap(estado.L);
  dispersa.e = estado.e;
  dispersa.pBarra = estado.pBarra;
}

}  // namespace

bool leeDispersa(const char* ruta, Dispersa& dispersa, NetworkState& estado, std::string& error) {
  if (!leeEntrada(ruta, matricesPrevistas(OpcionesClearing{}), estado, error)) return false;
  try {
    guardaDispersa(estado, dispersa);
  } catch (const std::bad_alloc&) {
    error = std::string(ruta) + ": " + motivo(Fallo{});
  }
  return error.empty();
}

char* formateaFilaL(const Dispersa& dispersa, std::int32_t i, char* texto) {
  static char cero[kMaxNumero];
  static const std::size_t largoCero =
      static_cast<std::size_t>(formatoReal(cero, 0.0, kFormatoL) - cero);
  std::size_t k = dispersa.inicioFila[i];
  for (std::int32_t j = 0; j < dispersa.n; ++j) {
    if (k < dispersa.inicioFila[i + 1] && dispersa.columna[k] == j) {
      texto = formatoReal(texto, dispersa.valor[k++], kFormatoL);
    } else {
      texto = std::copy_n(cero, largoCero, texto);
    }
  }
  return texto;
}

char* formateaVector(const std::vector<double>& v, char* texto) {
  for (double x : v) texto = formatoReal(texto, x, kFormatoVector);
  return texto;
}
