#include "escenarios/grupos_csv.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <unordered_set>

#include "comun/csv.h"
#include "comun/texto.h"

namespace {

constexpr std::array<const char*, 2> kColumnas = {"node", "group"};

}  // namespace

bool leeGrupos(const std::string& ruta, std::int32_t n, const std::vector<std::string>& nombres,
               Grupos& grupos, std::string& error) {
  grupos = Grupos{};
  const std::string mostrado = nombreCsv(ruta);
  std::vector<FilaCsv> filas;
  std::vector<std::size_t> columna;
  if (!leeTablaCsv(ruta, mostrado, kColumnas, kColumnas.size(), filas, columna, error))
    return false;
  const auto numeros = porNombre(nombres);
  std::unordered_map<std::string, std::size_t> indice;
  std::unordered_set<std::uint64_t> vistos;  // group << 32 | node
  for (std::size_t f = 1; f < filas.size(); ++f) {
    const FilaCsv& fila = filas[f];
    const std::string& grupo = fila.campos[columna[1]];
    std::int32_t nodo = 0;
    const char* falta = faltaEnNombre(grupo);
    if (falta != nullptr) error = "bad group name (" + std::string(falta) + ")";
    if (falta != nullptr ||
        !leeNodo(fila.campos[columna[0]], n, !nombres.empty(), numeros, nodo, error)) {
      error.insert(0, enLinea(mostrado, fila.linea, ""));
      return false;
    }
    const auto [it, nuevo] = indice.emplace(grupo, grupos.nombres.size());
    if (nuevo) {
      grupos.nombres.push_back(grupo);
      grupos.miembros.emplace_back();
    }
    if (!vistos.insert((std::uint64_t{it->second} << 32) | static_cast<std::uint32_t>(nodo))
             .second) {
      error =
          enLinea(mostrado, fila.linea,
                  "node " + citado(fila.campos[columna[0]]) + " twice in group " + citado(grupo));
      return false;
    }
    grupos.miembros[it->second].push_back(nodo);
  }
  for (std::vector<std::int32_t>& miembros : grupos.miembros)
    std::sort(miembros.begin(), miembros.end());
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
