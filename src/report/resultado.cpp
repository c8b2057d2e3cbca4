// Writers of the result sections.
#include "report/resultado.h"

#include <algorithm>
#include <cstddef>

#include "report/escritura.h"
#include "report/formato.h"
#include "report/matrices.h"
#include "report/textos.h"

namespace {

constexpr std::string_view kDosLineas = "\r\n\r\n";

void escribeCapital(Informe& out, const Vector& capital) {
  char numero[kMaxNumero];
  for (double c : capital) {
    char* fin = formatoCapital(numero, c);
    escribeTexto(out, std::string_view(numero, static_cast<std::size_t>(fin - numero)));
  }
}

}  // namespace

char* formatoCapital(char* dst, double c) {
  if (tol > c) return std::copy(kCapitalCero.begin(), kCapitalCero.end(), dst);
  return formatoReal(dst, c, kFormatoResultado);
}

void escribeResultado(Informe& out, const NetworkState& estado, const Vector& capital) {
  escribeTexto(out, kTituloResultado);
  escribeTexto(out, kDosLineas);
  escribeTexto(out, kTituloP);
  escribeTexto(out, kDosLineas);
  escribeVector(out, estado.pPrima, kFormatoResultado);
  escribeTexto(out, kDosLineas);
  escribeTexto(out, kTituloPasos);
  escribeTexto(out, kDosLineas);
  escribeEnteros(out, estado.ordenQuiebra);
  escribeTexto(out, kDosLineas);
  escribeTexto(out, kNotaPasos);
  escribeTexto(out, kDosLineas);
  escribeTexto(out, kTituloCapital);
  escribeTexto(out, kDosLineas);
  escribeCapital(out, capital);
}

void escribeMatPagos(Informe& out, const NetworkState& estado) {
  escribeTexto(out, kDosLineas);
  escribeTexto(out, kTituloPagos);
  escribeTexto(out, kDosLineas);
  escribeMatrizEscalada(out, estado.PI, estado.pPrima, kFormatoL);
}
