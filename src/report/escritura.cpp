// Text and numbers through a small block buffer: a report of millions of
// values costs a few thousand calls into the stream.
#include "report/escritura.h"

#include <cstddef>

namespace {

// A piece of the report assembled in memory before it reaches the stream.
// It lives on the stack: small enough for a tight stack limit.
struct Tramo {
  char datos[1 << 12];
  std::size_t usados = 0;
};

void vuelca(Informe& out, Tramo& tramo) {
  escribeBytes(out, tramo.datos, tramo.usados);
  tramo.usados = 0;
}

// Where the next number goes: room for kMaxNumero bytes, flushing if needed.
char* hueco(Informe& out, Tramo& tramo) {
  if (sizeof tramo.datos - tramo.usados < kMaxNumero) vuelca(out, tramo);
  return tramo.datos + tramo.usados;
}

}  // namespace

void escribeTexto(Informe& out, std::string_view texto) {
  escribeBytes(out, texto.data(), texto.size());
}

void escribeVector(Informe& out, const Vector& v, FormatoReal f) {
  Tramo tramo;
  for (double x : v) {
    char* dst = hueco(out, tramo);
    tramo.usados += static_cast<std::size_t>(formatoReal(dst, x, f) - dst);
  }
  vuelca(out, tramo);
}

void escribeEnteros(Informe& out, const std::vector<std::int32_t>& v) {
  Tramo tramo;
  for (std::int32_t x : v) {
    char* dst = hueco(out, tramo);
    tramo.usados += static_cast<std::size_t>(formatoEntero(dst, x, kAnchoPaso) - dst);
  }
  vuelca(out, tramo);
}
