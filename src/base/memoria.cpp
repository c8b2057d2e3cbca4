// Allocation helpers. std::bad_alloc (or a size past what a vector can hold)
// becomes a Fallo of Error::sinMemoria here, the one kind of failure the
// callers see.
#include "base/memoria.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <stdexcept>

#include "base/hilos.h"
#include "base/pruebas.h"
#include "base/reparto.h"

namespace {

// Counts one request and says whether a test makes it fail (base/pruebas.h).
bool esFalloForzado() {
  return cuentaHastaFallo(controlPruebas().peticionesHastaFallo);
}

// Gives v room for n elements of T, or throws.
template <typename T>
void reservaOLanza(std::vector<T>& v, std::size_t n, Salto salto) {
  if (esFalloForzado() && n > 0) lanzaFallo(Error::sinMemoria, salto);
  try {
    v.reserve(n);
  } catch (const std::bad_alloc&) {
    lanzaFallo(Error::sinMemoria, salto);
  } catch (const std::length_error&) {
    lanzaFallo(Error::sinMemoria, salto);
  }
}

}  // namespace

Vector reservaVector(std::size_t n, Salto salto) {
  Vector v;
  reservaOLanza(v, n, salto);
  return v;
}

Vector nuevoVector(std::size_t n, Salto salto) {
  Vector v = reservaVector(n, salto);
  v.resize(n, 0.0);  // within the reserved room: cannot throw
  return v;
}

Matrix reservaFilas(std::size_t filas, std::size_t columnas, Salto salto) {
  Matrix m;
  reservaOLanza(m, filas, salto);
  for (std::size_t i = 0; i < filas; ++i) m.push_back(reservaVector(columnas, salto));
  return m;
}

Matrix reservaMatriz(std::size_t n, Salto salto) {
  return reservaFilas(n, n, salto);
}

Matrix nuevasFilas(std::size_t filas, std::size_t columnas, Salto salto) {
  Matrix m = reservaFilas(filas, columnas, salto);
  for (Vector& fila : m) fila.resize(columnas, 0.0);  // within the reserved room
  return m;
}

Matrix nuevaMatriz(std::size_t n, Salto salto) {
  return nuevasFilas(n, n, salto);
}

std::unique_ptr<char[]> nuevoTexto(std::size_t n, Salto salto) {
  if (esFalloForzado() && n > 0) lanzaFallo(Error::sinMemoria, salto);
  try {
    return std::unique_ptr<char[]>(new char[n]);  // default-initialised: not touched
  } catch (const std::bad_alloc&) {
    lanzaFallo(Error::sinMemoria, salto);
  }
}

std::vector<std::int32_t> nuevoVectorEntero(std::size_t n, Salto salto) {
  std::vector<std::int32_t> v;
  reservaOLanza(v, n, salto);
  v.resize(n, 0);
  return v;
}

void tocaPaginas(char* inicio, std::size_t bytes, unsigned hilos) {
  constexpr std::size_t kPagina = 4096;
  // Each thread takes the next 8 MiB in turn: some pages cost the system far
  // more than others to hand out (on a virtual machine, those the host must
  // find afresh), and halves fixed in advance left one core idle for a
  // third of a second while the other finished.
  constexpr std::size_t kPaginasPorTrozo = (std::size_t{8} << 20) / kPagina;
  const std::size_t paginas = bytes / kPagina;
  const std::size_t trozos = porExceso(paginas, kPaginasPorTrozo);
  std::atomic<std::size_t> siguiente{0};
  const std::size_t partes = hilosPara(hilos);
  reparteEnPartes(partes, partes, 1, [&](std::size_t, std::size_t) {
    for (std::size_t t = siguiente++; t < trozos; t = siguiente++) {
      const std::size_t fin = std::min(paginas, (t + 1) * kPaginasPorTrozo);
      for (std::size_t p = t * kPaginasPorTrozo; p < fin; ++p)
        *static_cast<volatile char*>(inicio + p * kPagina) = 0;
    }
  });
}
