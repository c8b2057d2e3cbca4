// The report file: a stream opened in binary mode (line ends are written as
// CR LF by the callers' literals), its buffer, and the default matrix that
// may be on its way to it from a worker of the pool. A failed write throws
// Error::escritura; nothing here ends the process.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "base/fallo.h"
#include "base/hilos.h"
#include "base/tipos.h"

// The stream's buffer: a default matrix in few system calls.
inline constexpr std::size_t kBuferInforme = std::size_t{1} << 20;

// A round's default matrix written by a worker of the pool while the round
// is solved; its marks are a copy, since the caller's change with the next
// round.
struct MatrizAparte {
  // The write, as the pool's part 0 (report/diagonal.cpp).
  struct Escribe {
    MatrizAparte* aparte = nullptr;
    std::FILE* archivo = nullptr;
    void operator()(std::size_t /*parte*/) const;
  };
  Escribe escribe;
  std::optional<Encargo> encargo;  // the write in flight, if any
  Marcas marcas;
  std::vector<char> tira;     // rows of the matrix's text (report/diagonal.cpp)
  std::size_t nodosTira = 0;  // the nodes tira's rows are for
  bool fallo = false;         // the write failed; read once the write has ended
};

struct Informe {
  std::FILE* archivo = nullptr;
  std::unique_ptr<char[]> bufer;  // the stream's buffer, freed after the stream is closed
  MatrizAparte aparte;

  Informe() = default;
  Informe(const Informe&) = delete;
  Informe& operator=(const Informe&) = delete;
  // Waits for a matrix in flight and closes the stream if still open: what
  // was written stays in the file, whether the run went well or not.
  ~Informe();
};

// Opens nombre for writing (created or truncated); false when it cannot be opened.
bool abreInforme(Informe& informe, const char* nombre);

// Waits for a default matrix in flight; throws Error::escritura if its write failed.
void esperaAparte(Informe& informe);

// Writes n bytes after whatever is in flight; throws Error::escritura on failure.
void escribeBytes(Informe& informe, const char* datos, std::size_t n);

// The same without waiting or throwing: true when every byte was written.
bool escribeTodo(std::FILE* archivo, const char* datos, std::size_t n);

// Flushes and closes the report; throws Error::escritura on failure.
void cierraInforme(Informe& informe);

// The run failed with `fallo` elsewhere: waits for the matrix in flight and
// closes the report as far as it got. Returns the failure that stands: when
// report bytes written before it are lost (the matrix in flight, the final
// flush or the close fails), Error::escritura came first and wins.
Fallo cierraTrasFallo(Informe& informe, const Fallo& fallo);
