// Building and throwing the failures of the layers below the programs.
#include "base/fallo.h"

#include <algorithm>

namespace {

void anade(Fallo& fallo, std::string_view texto) {
  const std::size_t n = std::min(texto.size(), fallo.detalle.size() - fallo.largo);
  std::copy_n(texto.begin(), n, fallo.detalle.begin() + static_cast<std::ptrdiff_t>(fallo.largo));
  fallo.largo += n;
}

Fallo falloDe(Error error, Salto salto) {
  Fallo fallo;
  fallo.error = error;
  fallo.salto = salto;
  return fallo;
}

// The format errors' details.
Fallo datoIncorrecto(std::string_view token, std::string_view donde) {
  Fallo fallo;
  fallo.error = Error::formato;
  anade(fallo, "dato incorrecto \"");
  // 32 bytes, at most 4 characters each: the detail always has room for them.
  for (const char c : token.substr(0, 32)) {
    std::array<char, 4> escrito;
    anade(fallo, std::string_view(escrito.data(), escapaByte(c, escrito)));
  }
  anade(fallo, "\" en ");
  anade(fallo, donde);
  return fallo;
}

Fallo faltaDato(std::string_view donde) {
  Fallo fallo;
  fallo.error = Error::formato;
  anade(fallo, "falta el dato ");
  anade(fallo, donde);
  return fallo;
}

}  // namespace

std::size_t escapaByte(char c, std::array<char, 4>& escrito) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x20 && byte <= 0x7E && byte != '\\') {
    escrito[0] = c;
    return 1;
  }
  escrito = {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
  return 4;
}

void lanzaFallo(Error error, Salto salto) {
  throw falloDe(error, salto);
}

void relanza(const Fallo& fallo) {
  throw Fallo(fallo);
}

void lanzaDatoIncorrecto(std::string_view token, std::string_view donde) {
  throw datoIncorrecto(token, donde);
}

void lanzaFaltaDato(std::string_view donde) {
  throw faltaDato(donde);
}
