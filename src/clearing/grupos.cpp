// Tarjan's strongly connected components, without recursion, reading each
// node's obligations straight from its row of PI.
#include "clearing/grupos.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr std::int32_t kSinVisitar = -1;

struct Componentes {
  std::vector<std::int32_t> de;  // each node's component, kSinVisitar outside `dentro`
  std::int32_t cuantas = 0;
};

Componentes componentes(const Red& red, const Marcas& dentro) {
  const std::size_t n = red.pBarra.size();
  const auto incluido = [&](std::size_t j) { return dentro.empty() || dentro[j] != 0; };
  Componentes c;
  c.de.assign(n, kSinVisitar);
  std::vector<std::int32_t> orden(n, kSinVisitar);  // discovery index
  std::vector<std::int32_t> bajo(n, 0);
  std::vector<std::size_t> cursor(n, 0);  // next column of the row to look at
  std::vector<std::int32_t> pila;         // nodes of components not yet closed
  std::vector<std::int32_t> camino;       // the depth-first path
  std::int32_t siguiente = 0;
  for (std::size_t raiz = 0; raiz < n; ++raiz) {
    if (!incluido(raiz) || orden[raiz] != kSinVisitar) continue;
    camino.push_back(static_cast<std::int32_t>(raiz));
    orden[raiz] = bajo[raiz] = siguiente++;
    pila.push_back(static_cast<std::int32_t>(raiz));
    while (!camino.empty()) {
      const auto v = static_cast<std::size_t>(camino.back());
      const Vector& fila = red.PI[v];
      std::size_t& j = cursor[v];
      while (j < n && (fila[j] == 0.0 || !incluido(j))) ++j;
      if (j < n) {
        const std::size_t w = j++;
        if (orden[w] == kSinVisitar) {
          orden[w] = bajo[w] = siguiente++;
          pila.push_back(static_cast<std::int32_t>(w));
          camino.push_back(static_cast<std::int32_t>(w));
        } else if (c.de[w] == kSinVisitar) {  // still on the stack
          bajo[v] = std::min(bajo[v], orden[w]);
        }
        continue;
      }
      camino.pop_back();
      if (!camino.empty()) {
        const auto padre = static_cast<std::size_t>(camino.back());
        bajo[padre] = std::min(bajo[padre], bajo[v]);
      }
      if (bajo[v] != orden[v]) continue;
      std::int32_t w = 0;
      do {
        w = pila.back();
        pila.pop_back();
        c.de[static_cast<std::size_t>(w)] = c.cuantas;
      } while (static_cast<std::size_t>(w) != v);
      ++c.cuantas;
    }
  }
  return c;
}

}  // namespace

std::vector<Grupo> gruposCerrados(const Red& red, const Marcas& dentro) {
  const std::size_t n = red.pBarra.size();
  const Componentes c = componentes(red, dentro);
  const auto cuantas = static_cast<std::size_t>(c.cuantas);
  std::vector<char> abierta(cuantas, 0);
  std::vector<char> debe(cuantas, 0);
  std::vector<Grupo> miembros(cuantas);
  for (std::size_t v = 0; v < n; ++v) {
    if (c.de[v] == kSinVisitar) continue;
    const auto k = static_cast<std::size_t>(c.de[v]);
    miembros[k].push_back(static_cast<std::int32_t>(v));
    for (std::size_t j = 0; j < n; ++j) {
      if (red.PI[v][j] == 0.0) continue;
      debe[k] = 1;
      if (c.de[j] != c.de[v]) abierta[k] = 1;  // outside the component or outside `dentro`
    }
  }
  std::vector<Grupo> grupos;
  for (std::size_t k = 0; k < cuantas; ++k)
    if (debe[k] != 0 && abierta[k] == 0) grupos.push_back(std::move(miembros[k]));
  std::sort(grupos.begin(), grupos.end());  // members ascending: by least node
  return grupos;
}

namespace {

bool tieneCaja(const Grupo& g, const Vector& e) {
  return std::any_of(g.begin(), g.end(), [&](std::int32_t i) { return e[i] > 0.0; });
}

}  // namespace

std::vector<Grupo> gruposSinCaja(const std::vector<Grupo>& cerrados, const Vector& e) {
  std::vector<Grupo> sinCaja;
  for (const Grupo& g : cerrados)
    if (!tieneCaja(g, e)) sinCaja.push_back(g);
  return sinCaja;
}

bool esRegular(const std::vector<Grupo>& cerrados, const Vector& e) {
  return std::all_of(cerrados.begin(), cerrados.end(),
                     [&](const Grupo& g) { return tieneCaja(g, e); });
}

Grupo grupoSingular(const Red& red, const Marcas& marcas) {
  Grupo todos;
  for (const Grupo& g : gruposCerrados(red, marcas)) todos.insert(todos.end(), g.begin(), g.end());
  std::sort(todos.begin(), todos.end());
  return todos;
}
