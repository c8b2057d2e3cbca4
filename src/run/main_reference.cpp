// The reference program: the same run, every quantity through the literal
// formulas and the plain solver. Differential tests and benchmarks compare
// the program against it byte for byte. Installed beside clearing, it also
// answers --version and --help (given alone); any other command line is
// ignored, as clearing ignores its own.
#include "comun/opciones.h"
#include "run/programa.h"

namespace {

constexpr const char* kUso =
    "usage: clearing-reference   (in the directory of input.txt)\n"
    "The run of clearing with every quantity through the literal formulas:\n"
    "reads input.txt and writes output.txt, byte for byte as clearing does.\n";

}  // namespace

int main(int argc, char** argv) {
  if (const auto respuesta = respondeOpcion(argc, argv, "clearing-reference", kUso))
    return *respuesta;
  return ejecutaPrograma(true);
}
