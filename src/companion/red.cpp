// Adding +0 leaves any sum that starts from +0.0 unchanged (it can never be
// -0.0), so the row sums over the kept entries are clearing's bits.
#include "companion/red.h"

#include <bit>

#include "base/fallo.h"
#include "companion/texto.h"
#include "lectura/lector.h"
#include "report/formato.h"

namespace {

std::string nombreDato(std::int32_t i, std::int32_t j, std::int32_t n) {
  if (i < n) return "L[" + std::to_string(i) + "][" + std::to_string(j) + "]";
  return "e[" + std::to_string(j) + "]";
}

// The (i, j)-th real of the file: L's elements row by row, then e as row n.
bool leeDato(Lector& lector, const char* ruta, std::int32_t i, std::int32_t j, std::int32_t n,
             double& valor, std::string& error) {
  const Token token = siguienteToken(lector);
  if (token.texto.empty()) {
    error = std::string(ruta) + ": the file ends before " + nombreDato(i, j, n);
    return false;
  }
  if (esRealValido(token.texto, valor)) return true;
  error =
      std::string(ruta) + ": bad number " + citado(token.muestra) + " for " + nombreDato(i, j, n);
  return false;
}

bool leeNumeros(Lector& lector, const char* ruta, RedLeida& red, std::string& error) {
  const Token token = siguienteToken(lector);
  if (token.texto.empty()) return true;  // an empty file is a network of 0 nodes
  if (!esEnteroValido(token.texto, red.n) || red.n < 0) {
    error = std::string(ruta) + ": bad dimension " + citado(token.muestra);
    return false;
  }
  red.inicioFila.reserve(static_cast<std::size_t>(red.n) + 1);
  for (std::int32_t i = 0; i < red.n; ++i) {
    double suma = 0.0;
    for (std::int32_t j = 0; j < red.n; ++j) {
      double v;
      if (!leeDato(lector, ruta, i, j, red.n, v, error)) return false;
      if (std::bit_cast<std::uint64_t>(v) == 0) continue;  // +0
      red.columna.push_back(j);
      red.valor.push_back(v);
      suma += v;
    }
    red.inicioFila.push_back(red.columna.size());
    red.pBarra.push_back(suma);
  }
  red.e.resize(static_cast<std::size_t>(red.n));
  for (std::int32_t j = 0; j < red.n; ++j) {
    if (!leeDato(lector, ruta, red.n, j, red.n, red.e[j], error)) return false;
  }
  return true;
}

void anadeNumero(std::string& linea, double v, FormatoReal formato) {
  char texto[kMaxNumero];
  linea.append(texto, formatoReal(texto, v, formato));
}

}  // namespace

bool leeRed(const char* ruta, RedLeida& red, std::string& error) {
  Lector lector;
  if (!abreLector(lector, ruta)) {
    error = std::string(ruta) + ": cannot open";
    return false;
  }
  bool leida = false;
  try {
    leida = leeNumeros(lector, ruta, red, error);
  } catch (const Fallo& fallo) {  // the reader's own failures: a read error, no memory
    error = std::string(ruta) +
            (fallo.error == Error::lectura ? ": read error" : ": not enough memory to read it");
  }
  cierraLector(lector);
  return leida;
}

void formateaFilaL(const RedLeida& red, std::int32_t i, std::string& linea) {
  static const std::string kCero = [] {
    std::string cero;
    anadeNumero(cero, 0.0, kFormatoL);
    return cero;
  }();
  linea.clear();
  std::size_t k = red.inicioFila[i];
  for (std::int32_t j = 0; j < red.n; ++j) {
    if (k < red.inicioFila[i + 1] && red.columna[k] == j) {
      anadeNumero(linea, red.valor[k++], kFormatoL);
    } else {
      linea += kCero;
    }
  }
}

void formateaCaja(const RedLeida& red, std::string& linea) {
  linea.clear();
  for (double v : red.e) anadeNumero(linea, v, kFormatoVector);
}

void formateaTotales(const RedLeida& red, std::string& linea) {
  linea.clear();
  for (double v : red.pBarra) anadeNumero(linea, v, kFormatoVector);
}
