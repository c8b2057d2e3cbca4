// Report output through a block buffer: numbers are formatted side by side
// and written in large pieces, so a report of millions of values costs a few
// thousand calls into the stream.
#include "report/escritura.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

#include "base/fatal.h"
#include "base/memoria.h"

namespace {

// A piece of the report assembled in memory before it reaches the stream.
// It lives on the stack: small enough for a tight stack limit.
struct Tramo {
  char datos[1 << 12];
  std::size_t usados = 0;
};

bool escribeTodo(std::FILE* out, const char* datos, std::size_t n) {
  return n == 0 || std::fwrite(datos, 1, n, out) == n;
}

// The default matrix being written on its own thread, if any; its marks are
// a copy, since the caller's change with the next round. The run has one
// report, so one such write at a time.
struct Aparte {
  std::thread hilo;
  Marcas marcas;
  bool fallo = false;
};

Aparte aparte;

// Waits for the write on its own thread; ends the run if it failed.
void esperaAparte() {
  if (!aparte.hilo.joinable()) return;
  aparte.hilo.join();
  if (aparte.fallo) {
    aparte.fallo = false;
    terminaConError(kErrorEscritura);
  }
}

void escribeBytes(std::FILE* out, const char* datos, std::size_t n) {
  esperaAparte();
  if (!escribeTodo(out, datos, n)) terminaConError(kErrorEscritura);
}

void vuelca(std::FILE* out, Tramo& tramo) {
  escribeBytes(out, tramo.datos, tramo.usados);
  tramo.usados = 0;
}

// Where the next number goes: room for kMaxNumero bytes, flushing if needed.
char* hueco(std::FILE* out, Tramo& tramo) {
  if (sizeof tramo.datos - tramo.usados < kMaxNumero) vuelca(out, tramo);
  return tramo.datos + tramo.usados;
}

void anadeReal(std::FILE* out, Tramo& tramo, double v, FormatoReal f) {
  char* dst = hueco(out, tramo);
  tramo.usados += static_cast<std::size_t>(formatoReal(dst, v, f) - dst);
}

void anadeFinLinea(std::FILE* out, Tramo& tramo) {
  char* dst = hueco(out, tramo);
  dst[0] = '\r';
  dst[1] = '\n';
  tramo.usados += 2;
}

// "0      " over and over: the text of a run of zero cells of a default matrix.
constexpr std::size_t kAnchoCelda = 7;
constexpr std::size_t kCeldasTira = 4096;
using TiraCeros = std::array<char, kAnchoCelda * kCeldasTira>;

constexpr TiraCeros calculaTiraCeros() {
  TiraCeros tira{};
  for (std::size_t i = 0; i < tira.size(); ++i) tira[i] = (i % kAnchoCelda == 0) ? '0' : ' ';
  return tira;
}

constexpr TiraCeros kTiraCeros = calculaTiraCeros();

bool escribeCeros(std::FILE* out, std::size_t celdas) {
  while (celdas > 0) {
    const std::size_t n = celdas < kCeldasTira ? celdas : kCeldasTira;
    if (!escribeTodo(out, kTiraCeros.data(), n * kAnchoCelda)) return false;
    celdas -= n;
  }
  return true;
}

// The default matrix's text; false when a write fails. It never ends the
// run itself, so that it can run on a thread of its own.
bool escribeMarcas(std::FILE* out, const Marcas& marcas) {
  const std::size_t n = marcas.size();
  for (std::size_t i = 0; i < n; ++i) {
    const bool marcado = marcas[i] != 0;
    if (!escribeCeros(out, marcado ? i : n) ||
        (marcado && (!escribeTodo(out, "1      ", kAnchoCelda) || !escribeCeros(out, n - i - 1))) ||
        !escribeTodo(out, "\r\n", 2))
      return false;
  }
  return true;
}

// A large stream buffer: the pieces of a default matrix's rows reach the
// file in few system calls. It outlives every function because the stream may
// still be flushed by the exit of a failed run; the run opens one report.
char buferInforme[std::size_t{1} << 20];

}  // namespace

std::FILE* abreInforme(const char* nombre) {
  std::FILE* out = std::fopen(nombre, "wb");
  if (out != nullptr)
    (void)std::setvbuf(out, buferInforme, _IOFBF, sizeof buferInforme);  // else: stdio's own buffer
  return out;
}

void escribeTexto(std::FILE* out, std::string_view texto) {
  escribeBytes(out, texto.data(), texto.size());
}

void escribeMatriz(std::FILE* out, const Matrix& M, FormatoReal f) {
  Tramo tramo;
  for (const Vector& fila : M) {
    for (double v : fila) anadeReal(out, tramo, v, f);
    anadeFinLinea(out, tramo);
  }
  vuelca(out, tramo);
}

void escribeFila(std::FILE* out, const Vector& fila, FormatoReal f) {
  Tramo tramo;
  for (double v : fila) anadeReal(out, tramo, v, f);
  anadeFinLinea(out, tramo);
  vuelca(out, tramo);
}

void escribeMatrizMarcas(std::FILE* out, const Marcas& marcas) {
  esperaAparte();
  if (!escribeMarcas(out, marcas)) terminaConError(kErrorEscritura);
}

void escribeMatrizMarcasAparte(std::FILE* out, const Marcas& marcas) {
  esperaAparte();
  if (aparte.marcas.capacity() < marcas.size()) aparte.marcas = nuevoVectorEntero(marcas.size());
  aparte.marcas.assign(marcas.begin(), marcas.end());
  fijaAlTerminar(esperaAparte);
  try {
    aparte.hilo = std::thread([out] { aparte.fallo = !escribeMarcas(out, aparte.marcas); });
  } catch (const std::system_error&) {  // no thread to be had: written here
    escribeMatrizMarcas(out, aparte.marcas);
  }
}

void escribeVector(std::FILE* out, const Vector& v, FormatoReal f) {
  Tramo tramo;
  for (double x : v) anadeReal(out, tramo, x, f);
  vuelca(out, tramo);
}

void escribeEnteros(std::FILE* out, const std::vector<std::int32_t>& v) {
  Tramo tramo;
  for (std::int32_t x : v) {
    char* dst = hueco(out, tramo);
    tramo.usados += static_cast<std::size_t>(formatoEntero(dst, x, kAnchoPaso) - dst);
  }
  vuelca(out, tramo);
}

void cierraInforme(std::FILE* out) {
  esperaAparte();
  const bool fallo = std::fflush(out) != 0 || std::ferror(out) != 0;
  if (std::fclose(out) != 0 || fallo) terminaConError(kErrorEscritura);
}
