// The cache of eliminated blocks (linalg/eliminadas.h): records made by the
// block solver as it eliminates, found again by their indices, and the
// right-hand side taken through a record as the solver takes it.
#include "linalg/eliminadas.h"

#include <algorithm>
#include <new>
#include <utility>

#include "base/fallo.h"
#include "base/memoria.h"
#include "linalg/termino.h"

namespace {

// FNV-1a over the indices' values: blocks of one network differ in their
// indices alone, and equal hashes are told apart by the indices themselves.
std::uint64_t claveDe(const std::vector<std::int32_t>& indices) {
  std::uint64_t h = 14695981039346656037ULL;
  for (const std::int32_t i : indices) {
    h ^= static_cast<std::uint32_t>(i);
    h *= 1099511628211ULL;
  }
  return h;
}

double memoriaDe(const Eliminacion& e) {
  return memoriaDeEliminacion(e.indices.size(), e.divisores.size());
}

// The place of the block's record in the cache, or orden.end(); the lock held.
CacheEliminaciones::Lugar lugarDe(CacheEliminaciones& cache, std::uint64_t clave,
                                  const std::vector<std::int32_t>& indices) {
  const auto [desde, hasta] = cache.porClave.equal_range(clave);
  for (auto it = desde; it != hasta; ++it)
    if ((*it->second)->indices == indices) return it->second;
  return cache.orden.end();
}

// Gives up the least recently used record; the lock held.
void descartaUltima(CacheEliminaciones& cache) {
  const Eliminacion& ultima = *cache.orden.back();
  const auto [desde, hasta] = cache.porClave.equal_range(claveDe(ultima.indices));
  for (auto it = desde; it != hasta; ++it)
    if (it->second == std::prev(cache.orden.end())) {
      cache.porClave.erase(it);
      break;
    }
  cache.ocupados -= memoriaDe(ultima);
  cache.orden.pop_back();
}

}  // namespace

double memoriaDeEliminacion(std::size_t m, std::size_t n) {
  const auto bloque = static_cast<double>(m);
  // The factors; per column its index, pivot row and pivot; per node its
  // divisor, up to one exchange and the caller's value; the record's own
  // bookkeeping.
  return 8.0 * bloque * bloque + 16.0 * bloque + 24.0 * static_cast<double>(n) + 256.0;
}

std::shared_ptr<const Eliminacion> buscaEliminacion(CacheEliminaciones* cache,
                                                    const std::vector<std::int32_t>& indices) {
  if (cache == nullptr) return nullptr;
  const std::uint64_t clave = claveDe(indices);
  const std::lock_guard<std::mutex> cerrado(cache->cerrojo);
  const auto lugar = lugarDe(*cache, clave, indices);
  if (lugar == cache->orden.end()) return nullptr;
  cache->orden.splice(cache->orden.begin(), cache->orden, lugar);  // iterators stay valid
  return *lugar;
}

std::optional<Eliminacion> nuevaEliminacion(const CacheEliminaciones* cache,
                                            const std::vector<std::int32_t>& indices,
                                            std::size_t n) {
  const std::size_t m = indices.size();
  if (cache == nullptr || memoriaDeEliminacion(m, n) > cache->presupuesto) return std::nullopt;
  try {
    Eliminacion e;
    e.indices = nuevoVectorEntero(m);
    std::copy(indices.begin(), indices.end(), e.indices.begin());
    e.pivote = nuevoVectorEntero(m);
    e.pivotes = nuevoVector(m);
    e.factores = nuevoVector(m * m);
    e.divisores = nuevoVector(n);
    e.cambios = nuevoVectorEntero(2 * n);
    e.cambios.clear();  // room for an exchange per node, none yet
    return e;
  } catch (const Fallo&) {
    return std::nullopt;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

void anotaColumna(Eliminacion& registro, std::size_t c, std::int32_t r, double pivote,
                  const double* factor, std::size_t m) {
  registro.pivote[c] = r;
  registro.pivotes[c] = pivote;
  std::copy_n(factor, m, registro.factores.begin() + static_cast<std::ptrdiff_t>(c * m));
}

void guardaEliminacion(CacheEliminaciones& cache, Eliminacion registro) {
  const double bytes = memoriaDe(registro);
  const std::uint64_t clave = claveDe(registro.indices);
  try {
    auto hecha = std::make_shared<const Eliminacion>(std::move(registro));
    const std::lock_guard<std::mutex> cerrado(cache.cerrojo);
    if (lugarDe(cache, clave, hecha->indices) != cache.orden.end()) return;  // another thread's
    while (!cache.orden.empty() && cache.ocupados + bytes > cache.presupuesto)
      descartaUltima(cache);
    cache.orden.push_front(std::move(hecha));
    try {
      cache.porClave.emplace(clave, cache.orden.begin());
    } catch (const std::bad_alloc&) {
      cache.orden.pop_front();
      return;
    }
    cache.ocupados += bytes;
  } catch (const std::bad_alloc&) {
    // Not kept: a later round with this block eliminates it again.
  }
}

void resuelveConEliminacion(const Eliminacion& hecha, const Bloque& bloque, Vector& b, Vector& x) {
  const std::size_t n = b.size();
  const std::size_t m = bloque.indices.size();
  CerosNegativos enBloque = cuentaCerosNegativos(b, bloque.indices);
  CerosNegativos fuera = cuentaCerosNegativos(b, bloque.fuera);
  for (std::size_t j = 0; j < n; ++j) {
    const std::int32_t c = bloque.posicion[j];
    if (c < 0) {
      eliminaTerminoFuera(j, b, enBloque, fuera);
      continue;
    }
    const auto columna = static_cast<std::size_t>(c);
    eliminaTermino(static_cast<std::size_t>(hecha.pivote[columna]),
                   hecha.factores.data() + columna * m, hecha.pivotes[columna], b, enBloque, fuera);
  }
  x = nuevoVector(n);
  for (std::size_t i = 0; i < n; ++i) x[i] = b[i] / hecha.divisores[i];
  for (std::size_t k = 0; k + 1 < hecha.cambios.size(); k += 2)
    std::swap(x[static_cast<std::size_t>(hecha.cambios[k])],
              x[static_cast<std::size_t>(hecha.cambios[k + 1])]);
}
