// The block solver's driver: b's updates and the columns outside the block;
// the block's own columns are eliminated in panels (panel/panel.h), and x
// is found from the eliminated block by linalg/despeje.h. The numbers in
// comments cite the invariants of linalg/bloque.h.
#include "linalg/bloque.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <utility>

#include "base/hilos.h"
#include "base/memoria.h"
#include "base/reparto.h"
#include "linalg/despeje.h"
#include "linalg/eliminadas.h"
#include "linalg/termino.h"
#include "sistema/plataforma.h"

namespace {

// Block column c's b side, from its pivot row r, pivot and factors; and its
// record for the cache, when the block is recorded there.
void cierraTermino(std::size_t c, std::int32_t r, double pivote, const double* factor,
                   std::size_t m, Vector& b, CerosNegativos& enBloque, CerosNegativos& fuera,
                   Eliminacion* registro) {
  eliminaTermino(static_cast<std::size_t>(r), factor, pivote, b, enBloque, fuera);
  if (registro != nullptr) anotaColumna(*registro, c, r, pivote, factor, m);
}

// A block column as the b side needs it: its pivot's block row, every
// row's factor and the pivot's value.
struct Columna {
  std::size_t fila;
  const double* factor;
  double pivote;
};

// Block columns whose b side is applied together, at most.
constexpr std::size_t kColumnasJuntas = kAnchoPanel;

// The b side of a stretch of block columns applied together: each column's
// pivot row and factors, each pivot row's value as its column meets it, and
// whether some zero product of the rows outside is −0.0.
struct Tramo {
  std::array<Columna, kColumnasJuntas> columnas;
  std::array<double, kColumnasJuntas> valor;
  bool menosCero;
};

// The b side of block columns [c0, c1) and of the columns outside the block
// among them, at once: first, on this thread, each pivot row's value as its
// column meets it (escalaTramo); then the columns applied to the block's
// rows, each thread over its own stretch, every row receiving them in column
// order, so each value gets the operations of the column-by-column order.
// Only where no restaCero there can change a block row or make a NaN: no
// −0.0 among the block's rows (none is made) and every product finite; false
// otherwise, with b untouched. The rows outside then only have their −0.0
// turned to +0.0, once, when some product is −0.0 (terminaTramo).
template <typename DeColumna>
bool escalaTramo(const Bloque& bloque, std::size_t c0, std::size_t c1, const DeColumna& deColumna,
                 const Vector& b, CerosNegativos& enBloque, Tramo& tramo) {
  // A count made earlier may be stale: an exact one changes no restaCero's outcome.
  if (enBloque.cuantos != 0) enBloque.cuantos = cuentaCerosNegativos(b, enBloque.filas).cuantos;
  if (enBloque.cuantos != 0) return false;
  const std::int32_t* indices = bloque.indices.data();
  tramo.menosCero = false;
  for (std::size_t t = 0; t < c1 - c0; ++t) {
    tramo.columnas[t] = deColumna(c0 + t);
    const std::size_t r = tramo.columnas[t].fila;
    double x = b[static_cast<std::size_t>(indices[r])];
    for (std::size_t s = 0; s < t; ++s) x = x - tramo.valor[s] * tramo.columnas[s].factor[r];
    const double producto = x * (0.0 / tramo.columnas[t].pivote);
    if (!std::isfinite(x) || std::isnan(producto)) return false;
    tramo.menosCero |= std::signbit(producto);
    tramo.valor[t] = x;
  }
  for (auto j = static_cast<std::size_t>(indices[c0]);
       j < static_cast<std::size_t>(indices[c1 - 1]); ++j) {
    if (bloque.posicion[j] != kFuera) continue;
    if (!std::isfinite(b[j])) return false;
    tramo.menosCero |= std::signbit(b[j] * kFactorFuera);
  }
  return true;
}

void terminaTramo(const Tramo& tramo, Vector& b, CerosNegativos& fuera) {
  if (tramo.menosCero && fuera.cuantos > 0) {
    for (std::int32_t k : fuera.filas) b[k] = b[k] - kFactorFuera;  // −0.0 − −0.0 is +0.0
    fuera.cuantos = 0;
  }
}

template <typename DeColumna>
bool eliminaTerminosJuntos(const Bloque& bloque, std::size_t c0, std::size_t c1,
                           const DeColumna& deColumna, Vector& b, CerosNegativos& enBloque,
                           CerosNegativos& fuera, Vector& juntas, unsigned hilos) {
  Tramo tramo{};
  if (!escalaTramo(bloque, c0, c1, deColumna, b, enBloque, tramo)) return false;
  const std::int32_t* indices = bloque.indices.data();
  const std::size_t m = bloque.indices.size();
  repartePorFilas(
      m, 8, m,
      [&](std::size_t desde, std::size_t hasta) {
        double* x = juntas.data();
        for (std::size_t k = desde; k < hasta; ++k) x[k] = b[static_cast<std::size_t>(indices[k])];
        for (std::size_t t = 0; t < c1 - c0; ++t) {
          const std::size_t r = tramo.columnas[t].fila;
          const double* factor = tramo.columnas[t].factor;
          const double bi = tramo.valor[t];
          const bool propia = r >= desde && r < hasta;
          const double antes = propia ? x[r] : 0.0;  // the pivot row keeps its value
          for (std::size_t k = desde; k < hasta; ++k) x[k] = x[k] - bi * factor[k];
          if (propia) x[r] = antes;
        }
        for (std::size_t k = desde; k < hasta; ++k) b[static_cast<std::size_t>(indices[k])] = x[k];
      },
      hilos);
  terminaTramo(tramo, b, fuera);
  return true;
}

// The record of block columns [c0, c1), whose b side eliminaTerminosJuntos
// applied together, as cierraTermino would have kept it column by column.
template <typename DeColumna>
void anotaColumnas(Eliminacion* registro, std::size_t c0, std::size_t c1,
                   const DeColumna& deColumna, std::size_t m) {
  if (registro == nullptr) return;
  for (std::size_t c = c0; c < c1; ++c) {
    const Columna columna = deColumna(c);
    anotaColumna(*registro, c, static_cast<std::int32_t>(columna.fila), columna.pivote,
                 columna.factor, m);
  }
}

// Panel column t's b side, and its record for the next round.
void cierraColumna(TrabajoBloque& trabajo, const Panel& panel, std::size_t c, std::size_t m,
                   Vector& b, CerosNegativos& enBloque, CerosNegativos& fuera,
                   Eliminacion* registro) {
  const std::size_t t = c - panel.inicio;
  const Vector& copia = panel.trabajo.copia[t];
  const Vector& factor = panel.trabajo.factor[t];
  cierraTermino(c, panel.pivote[t], copia[c], factor.data(), m, b, enBloque, fuera, registro);
  if (trabajo.guarda) guardaColumna(trabajo.historia, c, panel.pivote[t], copia, factor, m);
}

// Elimination over all n columns; false when a premise of the shortcuts fails.
// b is updated column by column in the full order, after the A side of the
// panel that holds the column: b never feeds back into A. The columns the
// last round eliminated take their pivots and factors from its record.
bool elimina(TrabajoBloque& trabajo, const Bloque& bloque, Vector& b, Eliminacion* registro) {
  Matrix& Ab = trabajo.Ab;
  Historia& historia = trabajo.historia;
  const std::size_t m = bloque.indices.size();
  const std::size_t k = trabajo.conservadas;
  std::vector<std::int32_t> usada = nuevoVectorEntero(m);
  // Large blocks apply the columns' b side a stretch at a time: the kept
  // columns kColumnasJuntas at a time, a panel's columns once it is eliminated.
  const bool juntas = m >= filasParaRepartir();
  Vector filas = juntas ? nuevoVector(m) : Vector{};
  // When the added columns fit the scratch room at once, the kept columns'
  // b side rides in their passes over the record's factors, which are then
  // read once a round instead of twice; their rows' update waits for them.
  static_assert(kColumnasJuntas <= kPivotesJuntos);
  Vector& anadidas = trabajo.paneles[0].columnas;
  bool unida = k > 0 && juntas && m > k && m - k <= kAnchoPanel;
  if (unida) {
    if (!abreHistoria(Ab, historia, k, m, usada, trabajo.hilos)) return false;
    reuneAnadidas(Ab, anadidas, k, m);
  } else if (k > 0 &&
             !aplicaHistoria(Ab, historia, k, m, usada, anadidas, kAnchoPanel, trabajo.hilos)) {
    return false;
  }
  Paneles paneles = nuevosPaneles(trabajo.paneles, k);  // the first starts after the kept columns
  CerosNegativos enBloque = cuentaCerosNegativos(b, bloque.indices);
  CerosNegativos fuera = cuentaCerosNegativos(b, bloque.fuera);
  const auto deHistoria = [&](std::size_t c) {
    return Columna{static_cast<std::size_t>(historia.pivote[c]), historia.factor[c].data(),
                   historia.copia[c][c]};
  };
  for (std::size_t j = 0; j < b.size(); ++j) {
    const std::int32_t c = bloque.posicion[j];
    if (c == kFuera) {  // pivot row j
      eliminaTerminoFuera(j, b, enBloque, fuera);
      continue;
    }
    const auto columna = static_cast<std::size_t>(c);
    if (columna < k) {
      const std::size_t hasta = std::min(columna + kColumnasJuntas, k);
      bool hecha = false;  // the stretch's b side
      if (unida && columna % kColumnasJuntas == 0) {
        Tramo tramo{};
        hecha = escalaTramo(bloque, columna, hasta, deHistoria, b, enBloque, tramo);
        const Acompanante otro{b.data(), bloque.indices.data(), m, tramo.valor.data(),
                               filas.data()};
        if (!aplicaTramo(historia, anadidas, k, k, m - k, columna, hasta, hecha ? &otro : nullptr,
                         trabajo.hilos))
          return false;
        if (hecha) terminaTramo(tramo, b, fuera);
      } else if (juntas && columna % kColumnasJuntas == 0) {
        hecha = eliminaTerminosJuntos(bloque, columna, hasta, deHistoria, b, enBloque, fuera, filas,
                                      trabajo.hilos);
      }
      if (hecha) {
        anotaColumnas(registro, columna, hasta, deHistoria, m);
        j = static_cast<std::size_t>(bloque.indices[hasta - 1]);
        continue;
      }
      cierraTermino(columna, historia.pivote[columna], historia.copia[columna][columna],
                    historia.factor[columna].data(), m, b, enBloque, fuera, registro);
      continue;
    }
    if (unida) {  // every kept column taken: the added rows' added columns
      completaHistoria(Ab, historia, anadidas, k, m, trabajo.hilos);
      unida = false;
    }
    if (columna == ultimoPanel(paneles).fin && !eliminaPanel(Ab, usada, paneles, columna, m))
      return false;
    const Panel& panel = ultimoPanel(paneles);
    const auto dePanel = [&](std::size_t col) {
      const std::size_t t = col - panel.inicio;
      return Columna{static_cast<std::size_t>(panel.pivote[t]), panel.trabajo.factor[t].data(),
                     panel.trabajo.copia[t][col]};
    };
    if (juntas && columna == panel.inicio && panel.fin - panel.inicio <= kColumnasJuntas &&
        eliminaTerminosJuntos(bloque, columna, panel.fin, dePanel, b, enBloque, fuera, filas,
                              trabajo.hilos)) {
      for (std::size_t col = columna; col < panel.fin && trabajo.guarda; ++col) {
        const std::size_t t = col - panel.inicio;
        guardaColumna(trabajo.historia, col, panel.pivote[t], panel.trabajo.copia[t],
                      panel.trabajo.factor[t], m);
      }
      anotaColumnas(registro, columna, panel.fin, dePanel, m);
      j = static_cast<std::size_t>(bloque.indices[panel.fin - 1]);
      continue;
    }
    cierraColumna(trabajo, panel, columna, m, b, enBloque, fuera, registro);
  }
  terminaActualizacion(paneles.pendiente);
  return true;
}

// Ab's rows: those of sitio, emptied, when it has n with room for n each;
// otherwise fresh room. A first block of (nearly) every node writes every
// page of fresh room: large pages then save the faults and cost no memory. A
// smaller one would make the untouched ends of its rows resident.
Matrix salaDelBloque(std::size_t n, std::size_t primera, unsigned hilos, Matrix sitio) {
  const bool cabe =
      sitio.size() == n && std::all_of(sitio.begin(), sitio.end(),
                                       [n](const Vector& fila) { return fila.capacity() >= n; });
  if (cabe) {
    for (Vector& fila : sitio) fila.clear();  // keeps its room
    return sitio;
  }
  if (primera > 0 && primera >= n - n / 16)
    (void)pidePaginasGrandes(
        8.0 * static_cast<double>(n) * static_cast<double>(n),
        [&](char* inicio, std::size_t bytes) { tocaPaginas(inicio, bytes, hilos); });
  return reservaMatriz(n);
}

// Invariant 1 over the entries the caller wrote for this round (all but
// rows and columns < k, which the last round left eliminated).
[[maybe_unused]] bool sinCerosNegativos(const Matrix& Ab, std::size_t m, std::size_t k) {
  for (std::size_t r = 0; r < m; ++r)
    for (std::size_t c = r < k ? k : 0; c < m; ++c)
      if (Ab[r][c] == 0.0 && std::signbit(Ab[r][c])) return false;
  return true;
}

}  // namespace

Bloque calculaBloque(const Marcas& marcas) {
  Bloque bloque;
  bloque.posicion = nuevoVectorEntero(marcas.size());
  std::size_t m = 0;
  for (std::int32_t marca : marcas) m += marca != 0 ? 1 : 0;
  bloque.indices = nuevoVectorEntero(m);
  bloque.fuera = nuevoVectorEntero(marcas.size() - m);
  std::size_t enBloqueHasta = 0;
  std::size_t fueraHasta = 0;
  for (std::size_t i = 0; i < marcas.size(); ++i) {
    const auto indice = static_cast<std::int32_t>(i);
    if (marcas[i] != 0) {
      bloque.posicion[i] = static_cast<std::int32_t>(enBloqueHasta);
      bloque.indices[enBloqueHasta++] = indice;
    } else {
      bloque.posicion[i] = kFuera;
      bloque.fuera[fueraHasta++] = indice;
    }
  }
  return bloque;
}

TrabajoBloque nuevoTrabajoBloque(std::size_t n, bool recuerda, std::size_t primera, unsigned hilos,
                                 Matrix sitio) {
  TrabajoBloque trabajo;
  trabajo.Ab = salaDelBloque(n, primera, hilos, std::move(sitio));
  for (TrabajoPanel& panel : trabajo.paneles) {
    panel = nuevoTrabajoPanel(n);
    panel.hilos = hilos;
  }
  trabajo.historia = nuevaHistoria(n, recuerda);
  trabajo.hilos = hilos;
  return trabajo;
}

std::size_t preparaBloque(TrabajoBloque& trabajo, const Bloque& bloque) {
  const std::size_t m = bloque.indices.size();
  assert(std::is_sorted(bloque.indices.begin(), bloque.indices.end()) && m <= trabajo.Ab.size());
  trabajo.conservadas = columnasConservadas(trabajo.historia, bloque.indices);
  trabajo.guarda = convieneGuardar(trabajo.historia, bloque.indices, trabajo.Ab.size());
  // Conditions 2 and 3 of linalg/historia.h: what is kept is the last
  // recorded block, all of it, at the head of this one; a recorded block
  // can still grow, and the run allowed it.
  assert(trabajo.conservadas == 0 ||
         (trabajo.conservadas == trabajo.historia.indices.size() && trabajo.conservadas <= m));
  assert(!trabajo.guarda || (trabajo.historia.permitida && m < trabajo.Ab.size()));
  // Within the room of nuevoTrabajoBloque: these resizes do not allocate,
  // and rows 0 … k − 1 keep their eliminated columns. A large block's first
  // round touches its pages here, on every core.
  repartePorFilas(
      m, 1, m,
      [&](std::size_t desde, std::size_t hasta) {
        for (std::size_t r = desde; r < hasta; ++r) trabajo.Ab[r].resize(m);
      },
      trabajo.hilos);
  for (TrabajoPanel& panel : trabajo.paneles) preparaPanel(panel, m);
  return trabajo.conservadas;
}

bool resuelveBloque(TrabajoBloque& trabajo, const Bloque& bloque, Vector& b, Vector& x,
                    Eliminacion* registro) {
  assert(sinCerosNegativos(trabajo.Ab, bloque.indices.size(), trabajo.conservadas));
  x = nuevoVector(b.size());
  const bool hecha = elimina(trabajo, bloque, b, registro);
  cierraHistoria(trabajo.historia, bloque.indices, hecha && trabajo.guarda);
  if (!hecha) return false;
  despejaBloque(trabajo.Ab, bloque, b, x, trabajo.hilos, registro);
  return true;
}
