#include "errores.h"

#include <pybind11/pybind11.h>

#include <string>

#include "run/mensajes.h"

namespace py = pybind11;

namespace {

// The class of clearing._errors named `clase`, called with the message and the round.
[[noreturn]] void lanzaClase(const char* clase, const std::string& texto, int ronda) {
  const py::object tipo = py::module_::import("clearing._errors").attr(clase);
  const py::object error = tipo(texto, ronda);
  PyErr_SetObject(tipo.ptr(), error.ptr());
  throw py::error_already_set();
}

}  // namespace

void lanzaSinMemoria() {
  PyErr_SetString(PyExc_MemoryError, std::string(kSinMemoria).c_str());
  throw py::error_already_set();
}

void lanzaEnPython(const Fallo& fallo, int ronda) {
  const std::string texto = textoDe(fallo);
  switch (fallo.error) {
    case Error::sinMemoria:
      lanzaSinMemoria();
    case Error::indeterminado:
      lanzaClase("Indeterminate", texto, ronda);
    case Error::noConverge:
      lanzaClase("NoConvergence", texto, ronda);
    case Error::formato:
      lanzaClase("InputError", texto, 0);
    case Error::entrada:
    case Error::lectura:
    case Error::salida:
    case Error::escritura:
      break;
  }
  PyErr_SetString(PyExc_OSError, texto.c_str());
  throw py::error_already_set();
}
