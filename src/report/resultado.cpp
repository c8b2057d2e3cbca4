// Writers of the result sections.
#include "report/resultado.h"

#include <cstddef>

#include "report/escritura.h"
#include "report/matrices.h"

namespace {

// The capital line: "0     " where tol > capital (negative capital too), the number otherwise.
void escribeCapital(Informe& out, const Vector& capital) {
  char numero[kMaxNumero];
  for (double c : capital) {
    if (tol > c) {
      escribeTexto(out, "0     ");
    } else {
      char* fin = formatoReal(numero, c, kFormatoResultado);
      escribeTexto(out, std::string_view(numero, static_cast<std::size_t>(fin - numero)));
    }
  }
}

}  // namespace

void escribeResultado(Informe& out, const NetworkState& estado, const Vector& capital) {
  escribeTexto(out, "RESULTADO\r\n\r\n");
  escribeTexto(out, "Vector de resoluci\xF3n (p):\r\n\r\n");
  escribeVector(out, estado.pPrima, kFormatoResultado);
  escribeTexto(out, "\r\n");
  escribeTexto(out, "\r\nVector de pasos en los que quiebra cada nodo:\r\n\r\n");
  escribeEnteros(out, estado.ordenQuiebra);
  escribeTexto(out, "\r\n\r\nNOTA: el valor es 0 cuando el nodo no quiebra.\r\n");
  escribeTexto(out, "\r\nCapital resultante de cada nodo:\r\n\r\n");
  escribeCapital(out, capital);
}

void escribeMatPagos(Informe& out, const NetworkState& estado) {
  escribeTexto(out, "\r\n\r\n");
  escribeTexto(out, "Matriz de pagos\r\n\r\n");
  escribeMatrizEscalada(out, estado.PI, estado.pPrima, kFormatoL);
}
