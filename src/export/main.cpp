// clearing-export: in a directory holding input.txt, a complete output.txt
// and optionally nodes.txt, writes results.csv, payments.csv and
// cascade.html, or nothing and a message on standard error.
#include <array>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "comun/costes.h"
#include "comun/nodos.h"
#include "comun/opciones.h"
#include "comun/salida.h"
#include "export/cotejo.h"
#include "export/dispersa.h"
#include "export/grafo.h"
#include "export/pagina.h"
#include "export/resultados.h"
#include "sistema/plataforma.h"

namespace {

constexpr const char* kUso =
    "usage: clearing-export [--costs ALPHA:BETA]   (in the directory of input.txt\n"
    "                                              and output.txt)\n"
    "Reads input.txt, the complete report output.txt and, if present, nodes.txt;\n"
    "computes the clearing as clearing does and checks that output.txt is its\n"
    "report; writes results.csv, payments.csv and cascade.html beside them.\n"
    "--costs computes the clearing with default costs instead (a defaulting node\n"
    "pays ALPHA of its cash and BETA of what it receives, both in (0, 1]); then\n"
    "output.txt, the clearing without them, is not read.\n";

int falla(const std::string& error) {
  (void)std::fprintf(stderr, "%s\n", error.c_str());
  return 1;
}

bool escribeTodo(const Dispersa& dispersa, const Resultado& resultado,
                 const std::vector<std::string>& nombres, const std::string& svg,
                 const std::string& motivo, std::string& error) {
  std::array<ArchivoNuevo, 3> nuevos;
  if (!abreNuevo(nuevos[0], "results.csv", error) || !abreNuevo(nuevos[1], "payments.csv", error) ||
      !abreNuevo(nuevos[2], "cascade.html", error)) {
    descartaNuevos(nuevos);
    return false;
  }
  escribeResultados(nuevos[0], dispersa, resultado, nombres);
  escribePagos(nuevos[1], dispersa, resultado, nombres);
  escribePagina(nuevos[2], dispersa, resultado, nombres, svg, motivo);
  return confirmaNuevos(nuevos, error);
}

}  // namespace

// Graphviz 2.42 and fontconfig keep allocations (font caches, layout records)
// for the life of the process. Under LeakSanitizer, which calls this hook,
// those leaks are theirs, not ours; other builds never call it.
extern "C" const char*
__lsan_default_suppressions() {  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
  return "leak:libgvc.so\nleak:libcgraph.so\nleak:libcdt.so\nleak:libgvplugin\n"
         "leak:libfontconfig.so\nleak:libpango\nleak:libcairo.so\n";
}

// And the count of what was suppressed would be noise on standard error.
extern "C" const char*
__lsan_default_options() {  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
  return "print_suppressions=0";
}

int main(int argc, char** argv) {
  if (const auto respuesta = respondeOpcion(argc, argv, "clearing-export", kUso)) return *respuesta;
  const bool conCostes = argc == 3 && std::string_view(argv[1]) == "--costs";
  if (argc != 1 && !conCostes) {
    (void)std::fputs(kUso, stderr);
    return 2;
  }
  ignoraLimiteDeArchivo();  // a file-size limit is a write error, and a message
  Dispersa dispersa;
  Resultado resultado;
  std::vector<std::string> nombres;
  std::string error;
  if (conCostes && !leeCostes(argv[2], resultado.costes.emplace(), error)) return falla(error);
  {
    NetworkState estado;  // n×n matrices, let go before the drawing
    if (!leeDispersa("input.txt", dispersa, estado, error) ||
        !leeNombres("nodes.txt", dispersa.n, nombres, error) ||
        !calculaResultado(estado, resultado, error))
      return falla(error);
    if (conCostes && !resultado.sinClearing.empty())
      return falla("input.txt has no clearing vector with these costs: " + resultado.sinClearing);
    if (!conCostes && !compruebaInforme("output.txt", dispersa, estado, resultado, error))
      return falla(error);
  }
  std::string svg;
  const std::string motivo = motivoSinDibujo(dispersa);
  if (motivo.empty() && !dibujaCascada(dispersa, resultado, nombres, svg, error))
    return falla(error);
  if (!escribeTodo(dispersa, resultado, nombres, svg, motivo, error)) return falla(error);
  return 0;
}
