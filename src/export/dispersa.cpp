// The numbers come through clearing's own reading path (lectura/datos.h,
// clearing/derivadas.h through comun/entrada.h), so the export computes from clearing's very bits.
#include "export/dispersa.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <new>
#include <string_view>

#include "base/fallo.h"
#include "base/memoria.h"
#include "base/plataforma.h"
#include "comun/entrada.h"
#include "clearing/motor.h"
#include "lectura/datos.h"
#include "lectura/lector.h"
#include "report/formato.h"

namespace {

// clearing's format errors in the companions' words; the token is already
// escaped by the reader.
std::string falloDeLectura(const char* ruta, const Fallo& fallo) {
  const std::string_view detalle = fallo.textoDetalle();
  constexpr std::string_view kIncorrecto = "dato incorrecto ";
  constexpr std::string_view kFalta = "falta el dato ";
  std::string error(ruta);
  if (fallo.error == Error::lectura) return error + ": read error";
  if (fallo.error != Error::formato) return error + ": not enough memory to read it";
  if (detalle.starts_with(kFalta))
    return error + ": the file ends before " + std::string(detalle.substr(kFalta.size()));
  const std::size_t en = detalle.rfind(" en ");
  if (detalle.starts_with(kIncorrecto) && en != std::string_view::npos)
    return error + ": bad number " +
           std::string(detalle.substr(kIncorrecto.size(), en - kIncorrecto.size())) + " for " +
           std::string(detalle.substr(en + 4));
  return error + ": " + std::string(detalle);
}

std::string enGiB(double bytes) {
  char texto[32];
  const int largo = std::snprintf(texto, sizeof texto, "%.1f GiB", bytes / (1 << 30));
  return std::string(texto, static_cast<std::size_t>(largo));
}

// The engine's matrices, L and PI among them, as clearing checks them before
// it commits to a dimension.
bool cabeEnMemoria(const char* ruta, std::int32_t n, int matrices, std::string& error) {
  const double necesaria = matrices * 8.0 * n * n + 64.0 * n;
  const double disponible = memoriaDisponibleBajo("/");
  if (n >= 0 && (disponible < 0 || necesaria <= disponible)) return true;
  error = std::string(ruta) + ": " + std::to_string(n) + " nodes need about " + enGiB(necesaria) +
          " of memory to compute the clearing";
  if (disponible >= 0) error += "; the system has " + enGiB(disponible) + " free";
  return false;
}

void leeEstado(Lector& lector, const char* ruta, NetworkState& estado, std::string& error) {
  estado.dim = leeDimension(lector);
  OpcionesClearing opciones;
  if (!cabeEnMemoria(ruta, estado.dim, matricesPrevistas(opciones), error)) return;
  leeRedYDeriva(lector, estado);
}

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
  Lector lector;
  if (!abreLector(lector, ruta)) {
    error = std::string(ruta) + ": cannot open";
    return false;
  }
  try {
    leeEstado(lector, ruta, estado, error);
  } catch (const Fallo& fallo) {
    error = falloDeLectura(ruta, fallo);
  }
  cierraLector(lector);
  if (!error.empty()) return false;
  try {
    guardaDispersa(estado, dispersa);
  } catch (const std::bad_alloc&) {
    error = std::string(ruta) + ": not enough memory to read it";
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
