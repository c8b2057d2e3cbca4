#include "escenarios/grupos_csv.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <unordered_map>

#include "comun/texto.h"
#include "escenarios/indice_nombres.h"
#include "escenarios/tabla_csv.h"

namespace {

constexpr std::array<const char*, 2> kColumnas = {"node", "group"};

// A membership, group << 32 | node, as the index of memberships sees it.
std::string_view claveDePertenencia(const std::uint64_t& pertenencia) {
  return {reinterpret_cast<const char*>(&pertenencia), sizeof pertenencia};
}

// Each group's nodes, ascending, from the memberships in file order.
void ponMiembros(const std::vector<std::uint64_t>& pertenencias, Grupos& grupos) {
  std::vector<std::size_t> cuantos(grupos.nombres.size(), 0);
  for (const std::uint64_t p : pertenencias) ++cuantos[p >> 32];
  grupos.miembros.resize(grupos.nombres.size());
  for (std::size_t g = 0; g < cuantos.size(); ++g) grupos.miembros[g].reserve(cuantos[g]);
  for (const std::uint64_t p : pertenencias)
    grupos.miembros[p >> 32].push_back(static_cast<std::int32_t>(p & 0xFFFFFFFFU));
  for (std::vector<std::int32_t>& miembros : grupos.miembros)
    std::sort(miembros.begin(), miembros.end());
}

}  // namespace

bool leeGrupos(const std::string& ruta, std::int32_t n, const std::vector<std::string>& nombres,
               Grupos& grupos, std::string& error) {
  grupos = Grupos{};
  std::unordered_map<std::string, std::size_t> indice;
  // The rows are not kept: 8 bytes a membership, and the index's slots.
  std::vector<std::uint64_t> pertenencias;
  IndiceNombres vistas;
  const auto claveDeNumero = [&](std::size_t m) { return claveDePertenencia(pertenencias[m]); };
  const auto alFila = [&](const FilaCsv& fila, const std::vector<std::size_t>& columna,
                          const NodosDeTabla& nodos, std::string& falta) {
    const std::string& grupo = fila.campos[columna[1]];
    std::int32_t nodo = 0;
    if (const char* que = faltaEnNombre(grupo)) {
      falta = "bad group name (" + std::string(que) + ")";
      return false;
    }
    if (!leeNodo(fila.campos[columna[0]], nodos.n, nodos.conNombres, nodos.numeros, nodo, falta))
      return false;
    const auto [it, nuevo] = indice.emplace(grupo, grupos.nombres.size());
    if (nuevo) grupos.nombres.push_back(grupo);
    pertenencias.push_back((std::uint64_t{it->second} << 32) | static_cast<std::uint32_t>(nodo));
    if (buscaONuevo(vistas, claveDePertenencia(pertenencias.back()), pertenencias.size() - 1,
                    claveDeNumero) == pertenencias.size() - 1)
      return true;
    falta = "node " + citado(fila.campos[columna[0]]) + " twice in group " + citado(grupo);
    return false;
  };
  if (!recorreTablaDeNodos(ruta, kColumnas, n, nombres, alFila, error)) return false;
  vistas = IndiceNombres{};
  ponMiembros(pertenencias, grupos);
  return true;
}

bool buscaGrupo(const Grupos& grupos, const std::string& nombre, std::size_t& indice,
                std::string& error) {
  const auto it = std::find(grupos.nombres.begin(), grupos.nombres.end(), nombre);
  indice = static_cast<std::size_t>(it - grupos.nombres.begin());
  if (it != grupos.nombres.end()) return true;
  error = "unknown group " + citado(nombre) + " (not in the groups file)";
  return false;
}
