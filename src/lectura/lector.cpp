// Token reader over a fixed buffer, refilled from the file: memory use does not grow with the
// file. A token cut by a refill is handed to the long-token reducer
// (largo.h) as its bytes arrive, so no token is ever held whole beyond one
// refill.
#include "lectura/lector.h"

#include <cstring>

#include "base/fallo.h"
#include "base/pruebas.h"

namespace {

// Reads the next refill; false on a read error, which is not the end of the
// file, or when a test makes this read fail (base/pruebas.h).
bool recargaBufer(Lector& lector) {
  lector.pos = 0;
  lector.fin = 0;
  if (lector.agotado) return true;
  if (cuentaHastaFallo(controlPruebas().lecturasHastaFallo)) return false;
  lector.fin = std::fread(lector.bufer.data(), 1, lector.bufer.size(), lector.archivo);
  if (lector.fin < lector.bufer.size()) {
    if (std::ferror(lector.archivo)) return false;
    lector.agotado = true;
  }
  return true;
}

// Refills bufer from the file; false when nothing more could be read.
bool recarga(Lector& lector) {
  if (!recargaBufer(lector)) lanzaFallo(Error::lectura);
  return lector.fin > 0;
}

// Skips blanks across refills; false at the end of the input.
bool saltaBlancos(Lector& lector) {
  for (;;) {
    lector.pos = noBlancoDesde(lector.bufer.data(), lector.pos, lector.fin);
    if (lector.pos < lector.fin) return true;
    if (!recarga(lector)) return false;
  }
}

// Moves pos past the non-blanks that start there, within the refill.
void pasaToken(Lector& lector) {
  lector.pos = blancoDesde(lector.bufer.data(), lector.pos, lector.fin);
}

// Skips the rest of a token across refills.
void saltaToken(Lector& lector) {
  for (;;) {
    pasaToken(lector);
    if (lector.pos < lector.fin || !recarga(lector)) return;
  }
}

// A token that reaches the end of the refill at inicio: fed to lector.largo
// refill by refill until a blank, the end of the input, or its outcome is decided.
Token leeTokenLargo(Lector& lector, std::size_t inicio) {
  TokenLargo& t = lector.largo;
  t = TokenLargo{};
  for (;;) {
    anadeBytes(t, lector.bufer.data() + inicio, lector.pos - inicio);
    if (lector.pos < lector.fin) break;  // a blank ends it
    if (esDecidido(t)) {
      lector.saltaResto = true;
      break;
    }
    if (!recarga(lector)) break;
    inicio = 0;
    pasaToken(lector);
  }
  return {textoEquivalente(t), std::string_view(t.muestra, t.enMuestra)};
}

}  // namespace

bool abreLector(Lector& lector, const char* nombre) {
  lector.archivo = std::fopen(nombre, "rb");
  if (lector.archivo == nullptr) return false;
  ajustaOLanza(lector.bufer, kBytesPorRecarga);
  lector.agotado = false;
  lector.saltaResto = false;
  if (!recargaBufer(lector)) {  // a directory, for one
    cierraLector(lector);
    return false;
  }
  if (std::string_view(lector.bufer.data(), lector.fin).starts_with(kMarcaDeOrden))
    lector.pos = kMarcaDeOrden.size();
  return true;
}

void cierraLector(Lector& lector) {
  if (lector.archivo != nullptr) (void)std::fclose(lector.archivo);  // read-only: nothing to lose
  lector.archivo = nullptr;
  std::vector<char>().swap(lector.bufer);  // a large input's megabytes go back at once
  std::vector<double>().swap(lector.reales);
}

Token siguienteToken(Lector& lector) {
  if (lector.saltaResto) saltaToken(lector);
  lector.saltaResto = false;
  if (!saltaBlancos(lector)) return {};
  const std::size_t inicio = lector.pos;
  pasaToken(lector);
  if (lector.pos == lector.fin && !lector.agotado) return leeTokenLargo(lector, inicio);
  const std::string_view token(lector.bufer.data() + inicio, lector.pos - inicio);
  return {token, token.substr(0, kMuestra)};
}

void ampliaLector(Lector& lector, std::size_t bytes) {
  if (bytes > lector.bufer.size()) ajustaOLanza(lector.bufer, bytes);
}
