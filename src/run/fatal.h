// The one way out on failure, for the programs only: a message on standard
// output, the report already closed as far as it got, exit status 1.
#pragma once

#include <string_view>

#include "base/fallo.h"

// Writes the failure's message (run/mensajes.h) to standard output and ends
// the process with status 1.
[[noreturn]] void terminaConError(const Fallo& fallo);
