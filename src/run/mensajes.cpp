// From a failure to the program's message.
#include "run/mensajes.h"

std::string textoDe(const Fallo& fallo) {
  switch (fallo.error) {
    case Error::sinMemoria:
      return std::string(kSinMemoria);
    case Error::entrada:
      return std::string(kErrorEntrada);
    case Error::lectura:
      return std::string(kErrorLectura);
    case Error::formato:
      return std::string(kErrorFormato) + std::string(fallo.textoDetalle());
    case Error::salida:
      return std::string(kErrorSalida);
    case Error::escritura:
      return std::string(kErrorEscritura);
    case Error::indeterminado:
      return std::string(kIndeterminado);
    case Error::noConverge:
      return std::string(kNoConverge);
  }
  return std::string(kSinMemoria);  // not reached: every kind is named above
}

std::string mensajeDe(const Fallo& fallo) {
  std::string mensaje = textoDe(fallo);
  if (fallo.salto == Salto::con) mensaje += "\r\n";
  return mensaje;
}
