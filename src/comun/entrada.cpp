#include "comun/entrada.h"

#include <cstddef>
#include <new>

#include "base/fallo.h"
#include "base/memoria.h"
#include "clearing/derivadas.h"
#include "comun/motivos.h"
#include "comun/recursos.h"
#include "lectura/datos.h"
#include "lectura/lector.h"

namespace {

// False only when the gate refuses; every other failure is thrown.
bool leeYDeriva(Lector& entrada, int matrices, NetworkState& estado, std::string& error) {
  estado.dim = leeDimension(entrada);
  if (estado.dim < 0) lanzaFallo(Error::sinMemoria);
  if (!cabeRed(estado.dim, matrices, error)) return false;
  const auto n = static_cast<std::size_t>(estado.dim);
  estado.e = reservaVector(n);
  estado.L = reservaMatriz(n);
  leerDatos(entrada, estado);
  cierraLector(entrada);  // nothing past the data is read
  estado.pBarra = calculaPBarra(estado);
  estado.PI = calculaPI(estado);
  return true;
}

}  // namespace

bool leeEntrada(const char* ruta, int matrices, NetworkState& estado, std::string& error) {
  Lector entrada;
  if (!abreLector(entrada, ruta)) {
    error = std::string(ruta) + ": " + motivo(Fallo{Error::entrada});
    return false;
  }
  bool bien = false;
  try {
    bien = leeYDeriva(entrada, matrices, estado, error);
  } catch (const Fallo& fallo) {
    error = std::string(ruta) + ": " + motivo(fallo);
  } catch (const std::bad_alloc&) {
    error = std::string(ruta) + ": " + motivo(Fallo{});
  }
  cierraLector(entrada);
  return bien;
}
