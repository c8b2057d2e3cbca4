// The panel elimination's arithmetic, written once over a vector type and
// compiled for AVX-512, AVX2 and the portable vectors, the version chosen
// when first called. Every element is x − p·f in double, one pivot at a time,
// in pivot order; -ffp-contract=off keeps the multiply and the subtract apart.
#include "panel/tesela.h"

#include <cmath>
#include <cstring>

#include "base/pruebas.h"

namespace {

#if defined(__GNUC__) || defined(__clang__)
#define CLEARING_EN_LINEA inline __attribute__((always_inline))
#define CLEARING_ANTICIPA(direccion) __builtin_prefetch(direccion)
// Vectors of 2, 4 and 8 doubles; loads and stores go through memcpy, so rows
// need no alignment. Two doubles are SSE2 on x86-64 and NEON on aarch64.
typedef double Doble2 __attribute__((vector_size(16)));
typedef double Doble4 __attribute__((vector_size(32)));
typedef double Doble8 __attribute__((vector_size(64)));
using Portable = Doble2;
#else
#define CLEARING_EN_LINEA inline
#define CLEARING_ANTICIPA(direccion) static_cast<void>(direccion)
using Portable = double;  // compilers without vector types: the scalar loop
#endif

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define CLEARING_X86_VECTORES 1
#endif

// Doubles in a vector V: its bytes over a double's.
constexpr std::size_t kBytesDoble = 8;
static_assert(sizeof(double) == kBytesDoble);

// The tiles of kFilas rows × kVectores vectors of V from column c on, while a
// whole tile fits before hasta; leaves c at the first column not done. The
// running values stay in registers through all the pivots. A zero factor is
// applied like any other: x − p·(±0) = x, since the pivot rows are finite and
// the block holds no −0.0 (invariant 1 of linalg/bloque.h).
// Where pivot t of a run has its values from column c on: its own row, or
// its stretch of a packet.
struct EnFilas {
  const Pivotes& p;
  CLEARING_EN_LINEA const double* operator()(std::size_t t, std::size_t c) const {
    return p.pivotes[t] + c;
  }
};

struct EnPaquetes {
  const Empaquetadas& p;
  CLEARING_EN_LINEA const double* operator()(std::size_t t, std::size_t c) const {
    const auto indice = static_cast<std::size_t>(p.indices[t]);
    return p.base + ((c / kAnchoPaquete) * p.ancho + indice) * kAnchoPaquete + c % kAnchoPaquete;
  }
};

// The same when every pivot of the panel applies, in order: pivot t is the
// t-th of its block, with no index to read (a dense panel's tiles; about 5 %
// off a dense update).
struct EnPaquetesTodos {
  const Empaquetadas& p;
  CLEARING_EN_LINEA const double* operator()(std::size_t t, std::size_t c) const {
    return p.base + ((c / kAnchoPaquete) * p.ancho + t) * kAnchoPaquete + c % kAnchoPaquete;
  }
};

// Tiles ahead whose rows a tile asks the cache for: the processor's own
// prefetch follows a tile's eight rows late, and each tile waited on its
// first loads (figures in docs/performance.md, "Panels and register tiles").
constexpr std::size_t kTeselasAnticipadas = 2;

// Asks for the cache lines of the tile at columns [c, c + kPaso) of each row.
template <std::size_t kFilas, std::size_t kPaso>
CLEARING_EN_LINEA void anticipaTesela(double* const* filas, std::size_t c) {
  constexpr std::size_t kDoblesPorLinea = 8;
  for (std::size_t i = 0; i < kFilas; ++i)
    for (std::size_t l = 0; l < kPaso; l += kDoblesPorLinea) CLEARING_ANTICIPA(filas[i] + c + l);
}

// Pivot t's factor for row i is factores[t·kPasoFactores + i] (a pass over
// some rows of a tile starts factores at its first).
template <typename V, std::size_t kFilas, std::size_t kVectores, std::size_t kPasoFactores,
          typename Fuente>
CLEARING_EN_LINEA void teselas(double* const* filas, const double* factores, const Fuente& fuente,
                               std::size_t cuantos, std::size_t& c, std::size_t hasta) {
  constexpr std::size_t kAncho = sizeof(V) / kBytesDoble;
  constexpr std::size_t kPaso = kAncho * kVectores;
  for (; c + kPaso <= hasta; c += kPaso) {
    if (const std::size_t delante = c + kTeselasAnticipadas * kPaso; delante + kPaso <= hasta)
      anticipaTesela<kFilas, kPaso>(filas, delante);
    V x[kFilas][kVectores];
    for (std::size_t i = 0; i < kFilas; ++i)
      for (std::size_t j = 0; j < kVectores; ++j)
        std::memcpy(&x[i][j], filas[i] + c + j * kAncho, sizeof(V));
    for (std::size_t t = 0; t < cuantos; ++t) {
      const double* pivote = fuente(t, c);
      const double* f = factores + t * kPasoFactores;
      V q[kVectores];
      for (std::size_t j = 0; j < kVectores; ++j)
        std::memcpy(&q[j], pivote + j * kAncho, sizeof(V));
      for (std::size_t i = 0; i < kFilas; ++i)
        for (std::size_t j = 0; j < kVectores; ++j) x[i][j] = x[i][j] - q[j] * f[i];
    }
    for (std::size_t i = 0; i < kFilas; ++i)
      for (std::size_t j = 0; j < kVectores; ++j)
        std::memcpy(filas[i] + c + j * kAncho, &x[i][j], sizeof(V));
  }
}

// Columns [desde, hasta) of kFilas rows: whole tiles of V, then single
// vectors, then single columns.
template <typename V, std::size_t kFilas, std::size_t kPasoFactores, typename Fuente>
CLEARING_EN_LINEA void restaPivotes(double* const* filas, const double* factores,
                                    const Fuente& fuente, std::size_t cuantos, std::size_t desde,
                                    std::size_t hasta) {
  std::size_t c = desde;
  teselas<V, kFilas, 2, kPasoFactores>(filas, factores, fuente, cuantos, c, hasta);
  teselas<V, kFilas, 1, kPasoFactores>(filas, factores, fuente, cuantos, c, hasta);
  teselas<double, kFilas, 1, kPasoFactores>(filas, factores, fuente, cuantos, c, hasta);
}

// The kFilasTesela rows of a tile in passes of kPorPasada, as many as the
// registers hold: each pass takes all the pivots, so every element still
// receives them in order.
template <typename V, std::size_t kPorPasada, typename Fuente>
CLEARING_EN_LINEA void restaPorPasadas(double* const* filas, const double* factores,
                                       const Fuente& fuente, std::size_t cuantos, std::size_t desde,
                                       std::size_t hasta) {
  static_assert(kFilasTesela % kPorPasada == 0);
  for (std::size_t i = 0; i < kFilasTesela; i += kPorPasada)
    restaPivotes<V, kPorPasada, kFilasTesela>(filas + i, factores + i, fuente, cuantos, desde,
                                              hasta);
}

template <typename V>
CLEARING_EN_LINEA bool columnaPanel(const Compacta& panel, const double* pivote, std::size_t t,
                                    std::size_t r, double* factor, const std::int32_t* usada,
                                    double minimo, std::size_t& siguiente) {
  constexpr std::size_t kAncho = sizeof(V) / kBytesDoble;
  const double diagonal = pivote[t];
  const bool hayOtra = t + 1 < panel.ancho;
  siguiente = panel.m;
  for (std::size_t k = 0; k < panel.m; ++k) {
    if (k == r) {
      factor[k] = 0.0;
      continue;
    }
    double* fila = panel.filas + k * panel.paso;
    const double f = fila[t] / diagonal;
    if (!std::isfinite(f)) return false;
    factor[k] = f;
    // A zero factor changes nothing (invariant 1 of linalg/bloque.h); in
    // sparse blocks most are.
    if (f != 0.0) {
      std::size_t l = 0;
      for (; l + kAncho <= panel.ancho; l += kAncho) {
        V x;
        V q;
        std::memcpy(&x, fila + l, sizeof(V));
        std::memcpy(&q, pivote + l, sizeof(V));
        x = x - q * f;
        std::memcpy(fila + l, &x, sizeof(V));
      }
      for (; l < panel.ancho; ++l) fila[l] = fila[l] - pivote[l] * f;
    }
    if (hayOtra && siguiente == panel.m && usada[k] == 0 && std::fabs(fila[t + 1]) >= minimo)
      siguiente = k;
  }
  return true;
}

// One set of the four entry points per instruction set. (cppcheck does not
// see the calls through version() below.)
struct Version {
  // cppcheck-suppress unusedStructMember
  void (*tesela)(double* const*, const Pivotes&, std::size_t, std::size_t);
  // cppcheck-suppress unusedStructMember
  void (*empaquetada)(double* const*, const Empaquetadas&, std::size_t, std::size_t);
  // cppcheck-suppress unusedStructMember
  void (*fila)(double*, const Pivotes&, std::size_t, std::size_t);
  // cppcheck-suppress unusedStructMember
  bool (*columna)(const Compacta&, const double*, std::size_t, std::size_t, double*,
                  const std::int32_t*, double, std::size_t&);
};

// A type and an attribute list as macro arguments take no parentheses.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define CLEARING_VERSION(nombre, atributos, V, porPasada)                                       \
  atributos void nombre##Tesela(double* const* filas, const Pivotes& p, std::size_t desde,      \
                                std::size_t hasta) {                                            \
    restaPorPasadas<V, porPasada>(filas, p.factores, EnFilas{p}, p.cuantos, desde, hasta);      \
  }                                                                                             \
  atributos void nombre##Empaquetada(double* const* filas, const Empaquetadas& p,               \
                                     std::size_t desde, std::size_t hasta) {                    \
    if (p.cuantos == p.ancho)                                                                   \
      restaPorPasadas<V, porPasada>(filas, p.factores, EnPaquetesTodos{p}, p.cuantos, desde,    \
                                    hasta);                                                     \
    else                                                                                        \
      restaPorPasadas<V, porPasada>(filas, p.factores, EnPaquetes{p}, p.cuantos, desde, hasta); \
  }                                                                                             \
  atributos void nombre##Fila(double* fila, const Pivotes& p, std::size_t desde,                \
                              std::size_t hasta) {                                              \
    restaPivotes<V, 1, 1>(&fila, p.factores, EnFilas{p}, p.cuantos, desde, hasta);              \
  }                                                                                             \
  atributos bool nombre##Columna(const Compacta& panel, const double* pivote, std::size_t t,    \
                                 std::size_t r, double* factor, const std::int32_t* usada,      \
                                 double minimo, std::size_t& siguiente) {                       \
    return columnaPanel<V>(panel, pivote, t, r, factor, usada, minimo, siguiente);              \
  }                                                                                             \
  constexpr Version nombre{nombre##Tesela, nombre##Empaquetada, nombre##Fila, nombre##Columna};
// NOLINTEND(bugprone-macro-parentheses)

// Rows a pass: 8 × 2 vectors of running values fill half of AVX-512's 32
// registers; AVX2 and the portable vectors have 16, and take 4 rows a pass.
CLEARING_VERSION(kPortable, , Portable, 4)
#ifdef CLEARING_X86_VECTORES
CLEARING_VERSION(kAvx2, __attribute__((target("avx2"))), Doble4, 4)
CLEARING_VERSION(kAvx512, __attribute__((target("avx512f"))), Doble8, 8)
#endif

// The best version the processor runs, up to the one asked for.
const Version& eligeVersion(Instrucciones hasta) {
#ifdef CLEARING_X86_VECTORES
  __builtin_cpu_init();
  const bool avx512 = hasta == Instrucciones::mejor || hasta == Instrucciones::avx512;
  if (avx512 && __builtin_cpu_supports("avx512f")) return kAvx512;
  if (hasta != Instrucciones::portables && __builtin_cpu_supports("avx2")) return kAvx2;
#endif
  static_cast<void>(hasta);
  return kPortable;
}

// Chosen on first use; a function-local static is initialised once, also
// when the elimination's threads reach it together. A test may ask for
// another version (base/pruebas.h).
const Version& version() {
  static const Version& elegida = eligeVersion(Instrucciones::mejor);
  const auto pedidas = static_cast<Instrucciones>(controlPruebas().instrucciones);
  return pedidas == Instrucciones::mejor ? elegida : eligeVersion(pedidas);
}

}  // namespace

void restaPivotesTesela(double* const* filas, const Pivotes& p, std::size_t desde,
                        std::size_t hasta) {
  version().tesela(filas, p, desde, hasta);
}

void restaEmpaquetadasTesela(double* const* filas, const Empaquetadas& p, std::size_t desde,
                             std::size_t hasta) {
  version().empaquetada(filas, p, desde, hasta);
}

void restaPivotesFila(double* fila, const Pivotes& p, std::size_t desde, std::size_t hasta) {
  version().fila(fila, p, desde, hasta);
}

bool eliminaColumnaPanel(const Compacta& panel, const double* pivote, std::size_t t, std::size_t r,
                         double* factor, const std::int32_t* usada, double minimo,
                         std::size_t& siguiente) {
  return version().columna(panel, pivote, t, r, factor, usada, minimo, siguiente);
}
