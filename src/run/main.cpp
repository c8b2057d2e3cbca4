// The program: no arguments, no environment; see run/programa.h.
#include "run/programa.h"

int main() { return ejecutaPrograma(false); }
