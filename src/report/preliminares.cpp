// Writers of the sections before the results. The report is ISO 8859-1:
// "Á" is the byte 0xC1 and "ó" the byte 0xF3.
#include "report/preliminares.h"

#include <charconv>
#include <cstddef>
#include <string_view>

#include "report/escritura.h"
#include "report/marcas.h"
#include "report/matrices.h"

void escribeInput(Informe& out, const NetworkState& estado) {
  escribeTexto(out, "INPUT\r\n\r\n");
  escribeTexto(out, "Matriz de obligaciones nominales (L):\r\n\r\n");
  escribeMatriz(out, estado.L, kFormatoL);
  escribeTexto(out, "\r\nVector de fujos ex\xF3genos de dinero (e):\r\n\r\n");
  escribeVector(out, estado.e, kFormatoVector);
  escribeTexto(out, "\r\n");
}

void escribeSeparadores(Informe& out) {
  static constexpr std::string_view kSeparador =
      "\r\n----------------------------------------------------------------------------------------"
      "-\r\n";
  static_assert(kSeparador.size() == 2 + 89 + 2);
  escribeTexto(out, kSeparador);
}

void escribeSistema(Informe& out, const NetworkState& estado) {
  escribeTexto(out, "C\xC1LCULOS PRELIMINARES\r\n\r\n");
  escribeTexto(out, "Matriz de obligaciones relativas (PI):\r\n\r\n");
  escribeMatriz(out, estado.PI, kFormatoPI);
  escribeTexto(out, "\r\nObligaciones nominales totales (pBarra):\r\n\r\n");
  escribeVector(out, estado.pBarra, kFormatoVector);
  escribeTexto(out, "\r\n");
}

void escribeCabeceraDiagonales(Informe& out) {
  escribeTexto(out, "DIAGONALES\r\n");
}

namespace {

void escribeCabeceraPaso(Informe& out, int k) {
  char texto[32] = "\r\nPaso ";
  char* fin = std::to_chars(texto + 7, texto + sizeof texto, k).ptr;
  for (char c : std::string_view(":\r\n\r\n")) *fin++ = c;
  escribeTexto(out, std::string_view(texto, static_cast<std::size_t>(fin - texto)));
}

}  // namespace

void escribePaso(Informe& out, int k, const Marcas& marcas) {
  escribeCabeceraPaso(out, k);
  escribeMatrizMarcasAparte(out, marcas);
}
