// input.txt as the companion programs take it: through clearing's own
// reader and derivations, so that they compute from clearing's very bits.
#pragma once

#include "base/estado.h"
#include "lectura/lector.h"

// Once dim is read and known not to be negative: room for L and e, their
// numbers from entrada, then pBarra and PI, in the order of clearing's own
// run (which reserves its buffers itself, with its own messages). Failures
// are thrown as a Fallo.
void leeRedYDeriva(Lector& entrada, NetworkState& estado);
