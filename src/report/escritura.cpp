// Report output through a block buffer: numbers are formatted side by side
// and written in large pieces, so a report of millions of values costs a few
// thousand calls into the stream.
#include "report/escritura.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include "run/fatal.h"

namespace {

struct Bloque {
  char datos[1 << 15];
  std::size_t usados = 0;
};

void escribeBytes(std::FILE* out, const char* datos, std::size_t n) {
  if (n > 0 && std::fwrite(datos, 1, n, out) != n) terminaConError(kErrorEscritura, Salto::con);
}

void vuelca(std::FILE* out, Bloque& bloque) {
  escribeBytes(out, bloque.datos, bloque.usados);
  bloque.usados = 0;
}

// Where the next number goes: room for kMaxNumero bytes, flushing if needed.
char* hueco(std::FILE* out, Bloque& bloque) {
  if (sizeof bloque.datos - bloque.usados < kMaxNumero) vuelca(out, bloque);
  return bloque.datos + bloque.usados;
}

void anadeReal(std::FILE* out, Bloque& bloque, double v, FormatoReal f) {
  char* dst = hueco(out, bloque);
  bloque.usados += static_cast<std::size_t>(formatoReal(dst, v, f) - dst);
}

void anadeFinLinea(std::FILE* out, Bloque& bloque) {
  char* dst = hueco(out, bloque);
  dst[0] = '\r';
  dst[1] = '\n';
  bloque.usados += 2;
}

}  // namespace

std::FILE* abreInforme(const char* nombre) { return std::fopen(nombre, "wb"); }

void escribeTexto(std::FILE* out, std::string_view texto) {
  escribeBytes(out, texto.data(), texto.size());
}

void escribeMatriz(std::FILE* out, const Matrix& M, FormatoReal f) {
  Bloque bloque;
  for (const Vector& fila : M) {
    for (double v : fila) anadeReal(out, bloque, v, f);
    anadeFinLinea(out, bloque);
  }
  vuelca(out, bloque);
}

void escribeFila(std::FILE* out, const Vector& fila, FormatoReal f) {
  Bloque bloque;
  for (double v : fila) anadeReal(out, bloque, v, f);
  anadeFinLinea(out, bloque);
  vuelca(out, bloque);
}

void escribeVector(std::FILE* out, const Vector& v, FormatoReal f) {
  Bloque bloque;
  for (double x : v) anadeReal(out, bloque, x, f);
  vuelca(out, bloque);
}

void escribeEnteros(std::FILE* out, const std::vector<std::int32_t>& v) {
  Bloque bloque;
  for (std::int32_t x : v) {
    char* dst = hueco(out, bloque);
    bloque.usados += static_cast<std::size_t>(formatoEntero(dst, x, kAnchoPaso) - dst);
  }
  vuelca(out, bloque);
}

void cierraInforme(std::FILE* out) {
  const bool fallo = std::fflush(out) != 0 || std::ferror(out) != 0;
  if (std::fclose(out) != 0 || fallo) terminaConError(kErrorEscritura, Salto::con);
}
