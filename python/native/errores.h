// Failures of the engine, the reader and the report as Python exceptions:
// the package's own classes (clearing/_errors.py) for what the network
// itself causes, MemoryError and OSError for what the machine does.
#pragma once

#include "base/fallo.h"

// Sets the Python error for fallo, which happened in round `ronda` (0 when
// not in the rounds), and throws pybind11's error_already_set.
[[noreturn]] void lanzaEnPython(const Fallo& fallo, int ronda = 0);

// MemoryError with the program's message.
[[noreturn]] void lanzaSinMemoria();
