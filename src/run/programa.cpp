// The order of the run: files, dimension, the state's buffers, the data,
// the report's opening, the iteration, the results, closing.
#include "run/programa.h"

#include <cstddef>

#include "base/estado.h"
#include "base/fatal.h"
#include "base/memoria.h"
#include "base/plataforma.h"
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

// L and PI: the matrices the run already holds when it chooses its table.
constexpr int kMatricesDeDatos = 2;

// Whether `matrices` more n×n matrices fit in what the system reports free
// (they do when it does not say).
bool cabenMatrices(std::int32_t dim, int matrices) {
  const double disponible = memoriaDisponible();
  return disponible < 0 || memoriaNecesaria(dim, matrices) <= disponible;
}

// Ends the run, with no line feed, when `matrices` more n×n matrices would
// not fit.
void compruebaMemoria(std::int32_t dim, int matrices) {
  if (!cabenMatrices(dim, matrices)) terminaConError(kSinMemoria, Salto::sin);
}

// The run's own buffers, in this order; a failure writes the message with no
// line feed. L and e get room only: they are filled as the numbers arrive. A
// dimension whose matrices the system cannot hold is refused here, before
// the system would kill the process for touching memory it promised.
void reservaEstado(NetworkState& estado, const Calculo& previsto) {
  if (estado.dim < 0) terminaConError(kSinMemoria, Salto::sin);
  compruebaMemoria(estado.dim, previsto.matricesEnUso);
  // L and PI only: every page of theirs is written. The block solver's
  // storage has room for n×n and often uses a corner of it, which large
  // pages would make resident whole.
  (void)pidePaginasGrandes(memoriaNecesaria(estado.dim, kMatricesDeDatos));
  const auto n = static_cast<std::size_t>(estado.dim);
  estado.ordenQuiebra = nuevoVectorEntero(n, Salto::sin);
  estado.e = reservaVector(n, Salto::sin);
  estado.L = reservaMatriz(n, Salto::sin);
  estado.pPrima = reservaVector(n, Salto::sin);
}

}  // namespace

int ejecutaPrograma(bool literal) {
  preparaProceso();
  Lector entrada;
  if (!abreLector(entrada, "input.txt")) terminaConError(kErrorEntrada);
  // Truncating output.txt would destroy an input.txt that is the same file.
  if (esMismoArchivo(entrada.archivo, "output.txt")) terminaConError(kErrorSalida);
  std::FILE* out = abreInforme("output.txt");
  if (out == nullptr) terminaConError(kErrorSalida);

  NetworkState estado;
  estado.dim = leeDimension(entrada);
  const Calculo& previsto = calculoPrevisto(literal);
  reservaEstado(estado, previsto);
  leerDatos(entrada, estado);
  cierraLector(entrada);  // nothing past the data is read
  estado.pBarra = calculaPBarra(estado);
  estado.PI = calculaPI(estado);
  const Calculo& calculo = eligeCalculo(estado, literal);
  // Data that are not finite take the literal table, which holds more
  // matrices than the check at the start allowed for.
  if (calculo.matricesEnUso > previsto.matricesEnUso)
    compruebaMemoria(estado.dim, calculo.matricesEnUso - kMatricesDeDatos);

  escribeInput(out, estado);
  escribeSeparadores(out);
  escribeSistema(out, estado);
  escribeSeparadores(out);
  escribeCabeceraDiagonales(out);
  iteraQuiebras(out, estado, calculo,
                cabenMatrices(estado.dim, calculo.matricesEnUso - kMatricesDeDatos + 2));
  escribeSeparadores(out);
  const Vector capital = calculaCapital(estado, calculo);
  escribeResultado(out, estado, capital);
  escribeMatPagos(out, estado);

  cierraInforme(out);
  return 0;  // the state's buffers are released with it
}
