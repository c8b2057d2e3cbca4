// A panel's update (panel/panel.h): the rest of every row brought up to date
// for all the panel's pivots, in register tiles from the packed pivot rows.
// Internal to the block solver.
#pragma once

#include <cstddef>

#include "base/tipos.h"
#include "panel/panel.h"
#include "panel/pivotes.h"

// Block rows [desde, hasta) over the block columns of `columnas`: first the
// panel's own columns back from the compact copy when `devuelve`. Rows with
// a nonzero factor go kFilasTesela at a time through the register tiles, a
// stretch of columns at a time over all of them, the last few one at a time.
// Each side of `columnas` starts where a packet does.
void actualizaFilas(Matrix& Ab, const Panel& panel, std::size_t desde, std::size_t hasta,
                    const Trechos& columnas, bool devuelve);

// Hands the block columns [0, panel.inicio) and [desde, m) of every row to
// hilos − 1 of the pool's workers, a piece of rows at a time, while the
// caller goes on (terminaActualizacion ends it).
void empiezaActualizacion(ActualizacionPendiente& pendiente, Matrix& Ab, const Panel& panel,
                          std::size_t desde, unsigned hilos);
