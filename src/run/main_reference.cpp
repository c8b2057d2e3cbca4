// The reference program: the same run, every quantity through the literal
// formulas and the plain solver. Differential tests and benchmarks compare
// the program against it byte for byte.
#include "run/programa.h"

int main() { return ejecutaPrograma(true); }
