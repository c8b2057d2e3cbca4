// cascade.html: one self-contained page (no scripts, no network, no other
// files) with a summary, the legend, the network drawing or why there is
// none, a chart of the nodes that default in each round and a table of the
// largest shortfalls. Element ids a reader or a test can rely on: resumen,
// leyenda, red (or red-omitida), grafico-rondas with one barra-ronda per
// round, tabla-deficits with one fila-deficit per row.
#pragma once

#include <string>
#include <vector>

#include "comun/salida.h"
#include "export/cotejo.h"
#include "export/dispersa.h"

inline constexpr std::size_t kFilasDeficit = 20;

// svg: the drawing, or "" with motivo saying why there is none.
void escribePagina(ArchivoNuevo& archivo, const Dispersa& dispersa, const Resultado& resultado,
                   const std::vector<std::string>& nombres, const std::string& svg,
                   const std::string& motivo);
