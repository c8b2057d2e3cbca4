// Failures of the layers below the programs (base/fallo.h) in the companion
// programs' words: the one English mapping they all use. clearing's own
// Spanish messages are run/mensajes.h.
#pragma once

#include <string>

#include "base/fallo.h"

// What went wrong, without the file's name: "read error", "bad number
// \"x\" for L[0][1]", "the file ends before e[2]", "not enough memory", "a
// round's system is indeterminate (El sistema es indeterminado)", …
std::string motivo(const Fallo& fallo);
