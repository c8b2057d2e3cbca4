// gen-gravity DENSITY SEED K L:A:C ...: network K of the gravity model of
// seed SEED for the totals given (one L:A:C per node: liabilities, assets,
// cash), written as input.txt and nodes.txt in the current directory by the
// very code behind clearing-reconstruct --sample-one K. It needs no CSV
// library, so the cross builds, which have none, can show that they sample
// the same bytes (tools/crosscheck.sh compares them with a pinned network).
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "comun/volcado.h"
#include "lectura/numeros.h"
#include "totales/reconstruccion.h"

namespace {

constexpr const char* kUso = "usage: gen-gravity DENSITY SEED K L:A:C ...\n";

bool leeNatural(std::string_view texto, std::uint64_t& valor) {
  const char* fin = texto.data() + texto.size();
  const auto [donde, fallo] = std::from_chars(texto.data(), fin, valor);
  return fallo == std::errc{} && donde == fin;
}

// One node's "L:A:C" into the totals and the cash.
bool leeNodo(std::string_view texto, Totales& t, std::vector<double>& caja) {
  double valor[3];
  for (double& v : valor) {
    const std::size_t fin = texto.find(':');
    if (!esRealValido(texto.substr(0, fin), v)) return false;
    texto = fin == std::string_view::npos ? std::string_view{} : texto.substr(fin + 1);
  }
  t.pasivo.push_back(valor[0]);
  t.activo.push_back(valor[1]);
  caja.push_back(valor[2]);
  return texto.empty();
}

}  // namespace

int main(int argc, char** argv) {
  double densidad = 0.0;
  std::uint64_t semilla = 0, red = 0;
  Totales t;
  std::vector<double> caja;
  bool bien = argc > 4 && esRealValido(argv[1], densidad) && leeNatural(argv[2], semilla) &&
              leeNatural(argv[3], red);
  for (int k = 4; bien && k < argc; ++k) bien = leeNodo(argv[k], t, caja);
  if (!bien) {
    (void)std::fputs(kUso, stderr);
    return 2;
  }
  std::vector<std::string> nombres;
  for (std::size_t i = 0; i < caja.size(); ++i) {
    std::string nombre = "N";  // appended, not "N" + …: g++ 12 warns wrongly there
    nombre += std::to_string(i);
    nombres.push_back(std::move(nombre));
  }
  std::int32_t nodo = -1;
  std::string error;
  Gravedad g;
  if (!esViable(nombres, t, nodo, error)) {
    (void)std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  igualaTotales(t);
  if (!resuelveGravedad(t, densidad, g, error) ||
      !escribeRedNombrada("", nombres, muestraGravedad(t, g, semilla, red), caja, error)) {
    (void)std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return 0;
}
