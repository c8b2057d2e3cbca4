// The order of the run: files, dimension, the state's buffers, the data,
// the report's opening, the iteration, the results, closing.
#include "run/programa.h"

#include <cstddef>

#include "base/estado.h"
#include "base/fatal.h"
#include "base/memoria.h"
#include "clearing/calculo.h"
#include "clearing/capital.h"
#include "clearing/datos.h"
#include "clearing/iteracion.h"
#include "clearing/lector.h"
#include "report/escritura.h"
#include "report/preliminares.h"
#include "report/resultado.h"
#include "run/recursos.h"

namespace {

// The run's own buffers, in this order; a failure writes the message with no
// line feed. L and e get room only: they are filled as the numbers arrive. A
// dimension whose matrices the system cannot hold is refused here, before
// the system would kill the process for touching memory it promised.
void reservaEstado(NetworkState& estado, const Calculo& previsto) {
  if (estado.dim < 0) terminaConError(kSinMemoria, Salto::sin);
  const double disponible = memoriaDisponible();
  if (disponible >= 0 && memoriaNecesaria(estado.dim, previsto.matricesEnUso) > disponible)
    terminaConError(kSinMemoria, Salto::sin);
  const auto n = static_cast<std::size_t>(estado.dim);
  estado.ordenQuiebra = nuevoVectorEntero(n, Salto::sin);
  estado.e = reservaVector(n, Salto::sin);
  estado.L = reservaMatriz(n, Salto::sin);
  estado.pPrima = reservaVector(n, Salto::sin);
}

}  // namespace

int ejecutaPrograma(bool literal) {
  Lector entrada;
  if (!abreLector(entrada, "input.txt")) terminaConError(kErrorEntrada);
  std::FILE* out = abreInforme("output.txt");
  if (out == nullptr) terminaConError(kErrorSalida);

  NetworkState estado;
  estado.dim = leeDimension(entrada);
  reservaEstado(estado, calculoPrevisto(literal));
  leerDatos(entrada, estado);
  estado.pBarra = calculaPBarra(estado);
  estado.PI = calculaPI(estado);
  const Calculo& calculo = eligeCalculo(estado, literal);

  escribeInput(out, estado);
  escribeSeparadores(out);
  escribeSistema(out, estado);
  escribeSeparadores(out);
  escribeCabeceraDiagonales(out);
  iteraQuiebras(out, estado, calculo);
  escribeSeparadores(out);
  const Vector capital = calculaCapital(estado, calculo);
  escribeResultado(out, estado, capital);
  escribeMatPagos(out, estado);

  cierraLector(entrada);
  cierraInforme(out);
  return 0;  // the state's buffers are released with it
}
