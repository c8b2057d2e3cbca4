// The fatal exit. std::exit flushes and closes every C stream that is still
// open; the report has been closed by the run before it gets here.
#include "run/fatal.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "run/mensajes.h"
#include "sistema/plataforma.h"

void terminaConError(const Fallo& fallo) {
  salidaEstandarBinaria();
  const std::string mensaje = mensajeDe(fallo);
  // Nothing is left to report a failed message to: the exit status says it.
  (void)std::fwrite(mensaje.data(), 1, mensaje.size(), stdout);
  (void)std::fflush(stdout);
  std::exit(1);
}
