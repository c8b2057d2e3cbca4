// Writers of the sections before the results. The report is ISO 8859-1:
// "Á" is the byte 0xC1 and "ó" the byte 0xF3.
#include "report/preliminares.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <string_view>

#include "report/diagonal.h"
#include "report/escritura.h"
#include "report/matrices.h"
#include "report/textos.h"

namespace {

constexpr std::string_view kLinea = "\r\n";
constexpr std::string_view kDosLineas = "\r\n\r\n";

}  // namespace

void escribeInput(Informe& out, const NetworkState& estado) {
  escribeTexto(out, kTituloEntrada);
  escribeTexto(out, kDosLineas);
  escribeTexto(out, kTituloL);
  escribeTexto(out, kDosLineas);
  escribeMatriz(out, estado.L, kFormatoL);
  escribeTexto(out, kLinea);
  escribeTexto(out, kTituloE);
  escribeTexto(out, kDosLineas);
  escribeVector(out, estado.e, kFormatoVector);
  escribeTexto(out, kLinea);
}

void escribeSeparadores(Informe& out) {
  escribeTexto(out, kLinea);
  escribeTexto(out, kSeparador);
  escribeTexto(out, kLinea);
}

void escribeSistema(Informe& out, const NetworkState& estado) {
  escribeTexto(out, kTituloPreliminares);
  escribeTexto(out, kDosLineas);
  escribeTexto(out, kTituloPI);
  escribeTexto(out, kDosLineas);
  escribeMatriz(out, estado.PI, kFormatoPI);
  escribeTexto(out, kLinea);
  escribeTexto(out, kTituloPBarra);
  escribeTexto(out, kDosLineas);
  escribeVector(out, estado.pBarra, kFormatoVector);
  escribeTexto(out, kLinea);
}

void escribeCabeceraDiagonales(Informe& out) {
  escribeTexto(out, kTituloDiagonales);
  escribeTexto(out, kLinea);
}

namespace {

void escribeCabeceraPaso(Informe& out, int k) {
  char texto[32] = "\r\n";
  std::copy(kTituloPaso.begin(), kTituloPaso.end(), texto + 2);
  char* fin = std::to_chars(texto + 2 + kTituloPaso.size(), texto + sizeof texto, k).ptr;
  for (char c : std::string_view(":\r\n\r\n")) *fin++ = c;
  escribeTexto(out, std::string_view(texto, static_cast<std::size_t>(fin - texto)));
}

}  // namespace

void escribePaso(Informe& out, int k, const Marcas& marcas) {
  escribeCabeceraPaso(out, k);
  escribeMatrizMarcasAparte(out, marcas);
}
