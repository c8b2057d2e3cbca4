// Report output through a block buffer: numbers are formatted side by side
// and written in large pieces, so a report of millions of values costs a few
// thousand calls into the stream.
#include "report/escritura.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "base/fatal.h"
#include "base/hilos.h"
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
  std::vector<std::thread> hilo;  // the writing thread, when one could be started
  std::FILE* out = nullptr;
  Marcas marcas;
  bool fallo = false;
};

Aparte aparte;

// Waits for the write on its own thread; ends the run if it failed.
void esperaAparte() {
  for (std::thread& hilo : aparte.hilo) hilo.join();
  aparte.hilo.clear();
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

// The body of the thread escribeMatrizMarcasAparte starts.
void escribeAparte(std::size_t /*hilo*/) {
  aparte.fallo = !escribeMarcas(aparte.out, aparte.marcas);
}

// Settable by tests; read only while no matrix is being written.
std::size_t celdasFijadas = 0;
std::size_t bytesFijados = 0;

// Matrices of fewer cells are formatted on this thread alone. Starting and
// joining a thread took about 40 µs on this 2-core machine, the formatting of
// some 800 cells (n × n matrices, best of 1000, one thread against two: two
// were slower up to n = 32, faster from n = 48). From 2¹⁴ cells, 0.8 ms on
// one thread, the start costs 5 % of the work at most, even when the other
// core is busy and this thread ends up formatting most pieces itself.
constexpr std::size_t kCeldasMinimas = std::size_t{1} << 14;

// Pieces for every thread at the least: one that starts late or runs slower
// then leaves little for the others to wait on at the end.
constexpr std::size_t kPiezasPorHilo = 4;

// The room of one piece of rows: its text reaches the stream in one write,
// and every thread's two pieces stay a few MiB however large the matrix
// (a piece holds one row at least).
constexpr std::size_t kBytesPieza = std::size_t{1} << 20;

// One piece of a matrix's rows, formatted and waiting for the stream.
struct TextoPieza {
  std::unique_ptr<char[]> texto;
  std::size_t usados = 0;
};

// Rows desde … hasta − 1 of M from dst on, each element times its row's
// factor when there are factors; returns the end of the text.
char* formateaFilas(char* dst, const Matrix& M, const Vector* factores, std::size_t desde,
                    std::size_t hasta, FormatoReal f) {
  for (std::size_t i = desde; i < hasta; ++i) {
    if (factores == nullptr) {
      for (double v : M[i]) dst = formatoReal(dst, v, f);
    } else {
      const double factor = (*factores)[i];
      for (double v : M[i]) dst = formatoReal(dst, v * factor, f);
    }
    *dst++ = '\r';
    *dst++ = '\n';
  }
  return dst;
}

// Pieces of rows formatted on every thread that pays, each into its own
// buffer, and written by this thread in row order. The buffers are taken
// before any thread starts, and a failed write ends the run only after every
// thread has ended.
void escribeFilas(std::FILE* out, const Matrix& M, const Vector* factores, FormatoReal f) {
  esperaAparte();
  const std::size_t filas = M.size();
  if (filas == 0) return;
  // The report's matrices are square: every row as long as the first.
  const std::size_t columnas = M[0].size();
  const std::size_t porFila = columnas * kMaxNumero + 2;
  const std::size_t celdasMinimas = celdasFijadas > 0 ? celdasFijadas : kCeldasMinimas;
  const std::size_t trabajadores = filas * columnas >= celdasMinimas ? hilos() : 1;
  const std::size_t bytes = bytesFijados > 0 ? bytesFijados : kBytesPieza;
  const std::size_t filasPorPieza = std::max<std::size_t>(
      1, std::min(bytes / porFila, porExceso(filas, kPiezasPorHilo * trabajadores)));
  const std::size_t piezas = porExceso(filas, filasPorPieza);

  std::array<TextoPieza, kMaxHuecos> buferes;
  const std::size_t huecos = huecosEnOrden(piezas, trabajadores);
  for (std::size_t h = 0; h < huecos; ++h)
    buferes[h].texto = nuevoTexto(std::min(filasPorPieza, filas) * porFila);
  const auto hace = [&](std::size_t pieza, std::size_t hueco) {
    const std::size_t desde = pieza * filasPorPieza;
    char* texto = buferes[hueco].texto.get();
    char* fin = formateaFilas(texto, M, factores, desde, std::min(filas, desde + filasPorPieza), f);
    buferes[hueco].usados = static_cast<std::size_t>(fin - texto);
  };
  const auto toma = [&](std::size_t, std::size_t hueco) {
    return escribeTodo(out, buferes[hueco].texto.get(), buferes[hueco].usados);
  };
  if (!enOrden(piezas, trabajadores, hace, toma)) terminaConError(kErrorEscritura);
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
  escribeFilas(out, M, nullptr, f);
}

void escribeMatrizEscalada(std::FILE* out, const Matrix& M, const Vector& factores, FormatoReal f) {
  escribeFilas(out, M, &factores, f);
}

void fijaRepartoMatrices(std::size_t celdas, std::size_t bytes) {
  celdasFijadas = celdas;
  bytesFijados = bytes;
}

void escribeMatrizMarcas(std::FILE* out, const Marcas& marcas) {
  esperaAparte();
  if (!escribeMarcas(out, marcas)) terminaConError(kErrorEscritura);
}

void escribeMatrizMarcasAparte(std::FILE* out, const Marcas& marcas) {
  esperaAparte();
  if (aparte.marcas.capacity() < marcas.size()) aparte.marcas = nuevoVectorEntero(marcas.size());
  aparte.marcas.assign(marcas.begin(), marcas.end());
  aparte.out = out;
  fijaAlTerminar(esperaAparte);
  aparte.hilo = arrancaHilos(2, escribeAparte);
  if (aparte.hilo.empty()) escribeMatrizMarcas(out, aparte.marcas);  // no thread to be had
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
