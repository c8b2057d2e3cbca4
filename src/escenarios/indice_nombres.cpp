#include "escenarios/indice_nombres.h"

namespace {

constexpr std::size_t kHuecosIniciales = 64;

std::size_t posicionDe(std::string_view nombre, std::size_t mascara) {
  return std::hash<std::string_view>{}(nombre)&mascara;
}

// Twice the slots, every number entered again.
void crece(IndiceNombres& indice, const std::function<std::string_view(std::size_t)>& nombreDe) {
  std::vector<std::uint32_t> viejos = std::move(indice.huecos);
  indice.huecos.assign(viejos.empty() ? kHuecosIniciales : 2 * viejos.size(), 0);
  const std::size_t mascara = indice.huecos.size() - 1;
  for (const std::uint32_t hueco : viejos) {
    if (hueco == 0) continue;
    std::size_t p = posicionDe(nombreDe(hueco - 1), mascara);
    while (indice.huecos[p] != 0) p = (p + 1) & mascara;
    indice.huecos[p] = hueco;
  }
}

}  // namespace

std::size_t buscaONuevo(IndiceNombres& indice, std::string_view nombre, std::size_t nuevo,
                        const std::function<std::string_view(std::size_t)>& nombreDe) {
  if (2 * (indice.usados + 1) > indice.huecos.size()) crece(indice, nombreDe);
  const std::size_t mascara = indice.huecos.size() - 1;
  std::size_t p = posicionDe(nombre, mascara);
  while (indice.huecos[p] != 0) {
    if (nombreDe(indice.huecos[p] - 1) == nombre) return indice.huecos[p] - 1;
    p = (p + 1) & mascara;
  }
  indice.huecos[p] = static_cast<std::uint32_t>(nuevo + 1);
  ++indice.usados;
  return nuevo;
}
