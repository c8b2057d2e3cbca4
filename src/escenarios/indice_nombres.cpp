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
  // Grown only to enter a name: looking up every name of a full table
  // again (a file's second pass) leaves it as it is.
  std::size_t p = 0;
  const auto hueco = [&] {
    const std::size_t mascara = indice.huecos.size() - 1;
    p = posicionDe(nombre, mascara);
    while (indice.huecos[p] != 0 && nombreDe(indice.huecos[p] - 1) != nombre) p = (p + 1) & mascara;
  };
  if (!indice.huecos.empty()) {
    hueco();
    if (indice.huecos[p] != 0) return indice.huecos[p] - 1;
  }
  if (2 * (indice.usados + 1) > indice.huecos.size()) {
    crece(indice, nombreDe);
    hueco();
  }
  indice.huecos[p] = static_cast<std::uint32_t>(nuevo + 1);
  ++indice.usados;
  return nuevo;
}
