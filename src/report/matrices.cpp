// The in-order pipeline of a matrix's rows: pieces formatted on every thread
// that pays, each into its own buffer, taken by the calling thread in order.
#include "report/matrices.h"

#include <algorithm>
#include <array>
#include <memory>

#include "base/enorden.h"
#include "base/hilos.h"
#include "base/memoria.h"
#include "base/pruebas.h"
#include "base/reparto.h"

namespace {

// Matrices of fewer cells are formatted on this thread alone: from 2¹⁴ cells
// starting a thread costs a few per cent of the work at most, even when
// this thread ends up formatting most pieces itself (figures in
// docs/performance.md, "Formatting").
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

// How a matrix's rows are shared out: its pieces, the threads that make
// them and the room each slot takes.
struct Reparto {
  std::size_t trabajadores;
  std::size_t filasPorPieza;
  std::size_t piezas;
  std::size_t huecos;
  std::size_t bytesPieza;
};

Reparto repartoDe(std::size_t filas, std::size_t columnas) {
  const std::size_t porFila = columnas * kMaxNumero + 2;
  const ControlPruebas& control = controlPruebas();
  const std::size_t celdasMinimas =
      control.celdasParaRepartir > 0 ? control.celdasParaRepartir : kCeldasMinimas;
  const std::size_t trabajadores =
      filas * columnas >= celdasMinimas ? std::min<std::size_t>(hilos(), kMaxHilosInforme) : 1;
  const std::size_t bytes = control.bytesPorPieza > 0 ? control.bytesPorPieza : kBytesPieza;
  const std::size_t filasPorPieza = std::max<std::size_t>(
      1, std::min(bytes / porFila, porExceso(filas, kPiezasPorHilo * trabajadores)));
  const std::size_t piezas = porExceso(filas, filasPorPieza);
  return {trabajadores, filasPorPieza, piezas, huecosEnOrden(piezas, trabajadores),
          std::min(filasPorPieza, filas) * porFila};
}

// Pieces of rows formatted on every thread that pays, each into its own
// buffer, and written by this thread in row order. The buffers are taken
// before any thread starts, and a failed write throws only after every
// thread has ended.
void escribeFilas(Informe& out, const Matrix& M, const Vector* factores, FormatoReal f) {
  esperaAparte(out);
  const std::size_t filas = M.size();
  if (filas == 0) return;
  // The report's matrices are square: every row as long as the first.
  const Reparto r = repartoDe(filas, M[0].size());
  const std::size_t filasPorPieza = r.filasPorPieza;
  const std::size_t piezas = r.piezas;
  const std::size_t trabajadores = r.trabajadores;

  std::array<TextoPieza, 2 * kMaxHilosInforme> buferes;
  for (std::size_t h = 0; h < r.huecos; ++h) buferes[h].texto = nuevoTexto(r.bytesPieza);
  const auto hace = [&](std::size_t pieza, std::size_t hueco, std::size_t /*trabajador*/) {
    const std::size_t desde = pieza * filasPorPieza;
    char* texto = buferes[hueco].texto.get();
    char* fin = formateaFilas(texto, M, factores, desde, std::min(filas, desde + filasPorPieza), f);
    buferes[hueco].usados = static_cast<std::size_t>(fin - texto);
  };
  const auto toma = [&](std::size_t, std::size_t hueco) {
    return escribeTodo(out.archivo, buferes[hueco].texto.get(), buferes[hueco].usados);
  };
  if (!enOrden(piezas, trabajadores, hace, toma)) lanzaFallo(Error::escritura);
}

}  // namespace

void escribeMatriz(Informe& out, const Matrix& M, FormatoReal f) {
  escribeFilas(out, M, nullptr, f);
}

void escribeMatrizEscalada(Informe& out, const Matrix& M, const Vector& factores, FormatoReal f) {
  escribeFilas(out, M, &factores, f);
}

std::size_t memoriaDeMatriz(std::size_t n) {
  if (n == 0) return 0;
  const Reparto r = repartoDe(n, n);
  return r.huecos * r.bytesPieza;
}
