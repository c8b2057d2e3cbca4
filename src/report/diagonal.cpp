// The default matrices' text, and their writer on a worker of the pool.
#include "report/diagonal.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "base/hilos.h"
#include "base/memoria.h"

namespace {

constexpr std::size_t kAnchoCelda = 7;  // "0      "

// Bytes of a default matrix's text written at a time: some 1 MiB of whole
// rows in one call into the stream, where each row took two to four (some
// 3·10⁶ calls over the 999 rounds of a dense cascade of 1000 nodes). It is
// memory the run holds beside its matrices: with 4 MiB, a memory limit that
// a run of 1000 nodes fitted refused it.
constexpr std::size_t kBytesTira = std::size_t{1} << 20;

std::size_t bytesPorFila(std::size_t n) {
  return kAnchoCelda * n + 2;
}

std::size_t filasPorTira(std::size_t n) {
  return std::max<std::size_t>(std::min(kBytesTira / bytesPorFila(n), n), 1);
}

// The text of filasPorTira(n) rows of n cells "0      " each, CR LF ended.
void preparaTira(std::vector<char>& tira, std::size_t n) {
  const std::size_t porFila = bytesPorFila(n);
  tira.assign(filasPorTira(n) * porFila, ' ');
  for (std::size_t fila = 0; fila < tira.size(); fila += porFila) {
    for (std::size_t c = 0; c < n; ++c) tira[fila + kAnchoCelda * c] = '0';
    tira[fila + porFila - 2] = '\r';
    tira[fila + porFila - 1] = '\n';
  }
}

// The default matrix's text, a stretch of rows at a time: the marked rows'
// diagonal cells are made "1" for the stretch's write and put back after.
// False when a write fails. It never throws, so that it can run on a worker
// of the pool.
bool escribeMarcas(std::FILE* out, const Marcas& marcas, std::vector<char>& tira) {
  const std::size_t n = marcas.size();
  const std::size_t porFila = bytesPorFila(n);
  const std::size_t filas = n > 0 ? tira.size() / porFila : 0;
  for (std::size_t i0 = 0; i0 < n; i0 += filas) {
    const std::size_t i1 = std::min(i0 + filas, n);
    const auto marca = [&](char digito) {
      for (std::size_t i = i0; i < i1; ++i)
        if (marcas[i] != 0) tira[(i - i0) * porFila + kAnchoCelda * i] = digito;
    };
    marca('1');
    const bool bien = escribeTodo(out, tira.data(), (i1 - i0) * porFila);
    marca('0');
    if (!bien) return false;
  }
  return true;
}

}  // namespace

std::size_t memoriaDeMarcas(std::size_t n) {
  return n == 0 ? 0 : filasPorTira(n) * bytesPorFila(n);
}

void escribeMatrizMarcasAparte(Informe& out, const Marcas& marcas) {
  esperaAparte(out);
  MatrizAparte& aparte = out.aparte;
  if (aparte.marcas.capacity() < marcas.size()) aparte.marcas = nuevoVectorEntero(marcas.size());
  aparte.marcas.assign(marcas.begin(), marcas.end());
  if (aparte.nodosTira != marcas.size()) {
    preparaTira(aparte.tira, marcas.size());
    aparte.nodosTira = marcas.size();
  }
  aparte.escribe = {&aparte, out.archivo};
  // With no worker to be had the write is done when the report next waits for it.
  aparte.encargo.emplace(0, 1, aparte.escribe);
}

void MatrizAparte::Escribe::operator()(std::size_t /*parte*/) const {
  aparte->fallo = !escribeMarcas(archivo, aparte->marcas, aparte->tira);
}
