// Fatal exits. std::exit flushes and closes every C stream, so whatever the
// report held reaches output.txt before the process ends.
#include "base/fatal.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

void (*alTerminar)() = nullptr;

}  // namespace

void fijaAlTerminar(void (*accion)()) {
  alTerminar = accion;
}

void terminaConError(std::string_view mensaje, Salto salto) {
  if (auto accion = std::exchange(alTerminar, nullptr)) accion();  // may end the run itself
#ifdef _WIN32
  // The CR LF below is written explicitly; a text-mode stdout would double the CR.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  // Nothing is left to report a failed message to: the exit status says it.
  (void)std::fwrite(mensaje.data(), 1, mensaje.size(), stdout);
  if (salto == Salto::con) (void)std::fwrite("\r\n", 1, 2, stdout);
  (void)std::fflush(stdout);
  std::exit(1);
}

void terminaDatoIncorrecto(std::string_view token, std::string_view donde) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string mensaje(kErrorFormato);
  mensaje += "dato incorrecto \"";
  // Bytes from the file must not reach a terminal raw: an escape sequence
  // could retitle it, clear it or write to the clipboard.
  for (const char c : token.substr(0, 32)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte <= 0x7E && byte != '\\') {
      mensaje += c;
    } else {
      mensaje += "\\x";
      mensaje += kHex[byte >> 4];
      mensaje += kHex[byte & 15];
    }
  }
  mensaje += "\" en ";
  mensaje += donde;
  terminaConError(mensaje);
}

void terminaFaltaDato(std::string_view donde) {
  std::string mensaje(kErrorFormato);
  mensaje += "falta el dato ";
  mensaje += donde;
  terminaConError(mensaje);
}
