#include "comun/motivos.h"

#include <string_view>

namespace {

// A format error's detail, in clearing's words, turned into the companions':
// the token is already escaped by the reader.
std::string motivoDeFormato(std::string_view detalle) {
  constexpr std::string_view kIncorrecto = "dato incorrecto ";
  constexpr std::string_view kFalta = "falta el dato ";
  if (detalle.starts_with(kFalta))
    return "the file ends before " + std::string(detalle.substr(kFalta.size()));
  const std::size_t en = detalle.rfind(" en ");
  if (detalle.starts_with(kIncorrecto) && en != std::string_view::npos)
    return "bad number " +
           std::string(detalle.substr(kIncorrecto.size(), en - kIncorrecto.size())) + " for " +
           std::string(detalle.substr(en + 4));
  return std::string(detalle);
}

}  // namespace

std::string motivo(const Fallo& fallo) {
  switch (fallo.error) {
    case Error::entrada:
      return "cannot open";
    case Error::lectura:
      return "read error";
    case Error::formato:
      return motivoDeFormato(fallo.textoDetalle());
    case Error::salida:
      return "cannot create";
    case Error::escritura:
      return "write error";
    case Error::indeterminado:
      return "a round's system is indeterminate (El sistema es indeterminado)";
    case Error::noConverge:
      return "the rounds do not converge (El algoritmo no converge)";
    case Error::sinMemoria:
      break;
  }
  return "not enough memory";
}
