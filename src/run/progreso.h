// A progress line for long runs, on standard error when it is a terminal: the
// round, the nodes in default and the elapsed time, rewritten in place with
// "\r" and blanked at the end of the rounds. Standard output and the report
// never see it. A fatal message during the rounds follows the line on the
// same terminal line when standard output is that terminal; otherwise the
// program blanks the line first.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>

#include "base/tipos.h"

struct Progreso {
  std::FILE* salida = nullptr;  // nullptr: nothing is shown
  std::chrono::steady_clock::time_point inicio;
  std::chrono::steady_clock::time_point ultima;  // when the line was last written
  std::size_t ancho = 0;                         // the length on screen, 0 when none
};

// Shows nothing unless esTerminal; time counts from now.
Progreso nuevoProgreso(std::FILE* salida, bool esTerminal);

// The line's text.
std::string lineaProgreso(int ronda, std::size_t enQuiebra, std::size_t nodos, double segundos);

// Round k starts with the marked nodes in default: written once the rounds
// have taken a second, at most ten times a second.
void muestraRonda(Progreso& progreso, int ronda, const Marcas& marcas);

// Blanks the line, if one was written.
void borraProgreso(Progreso& progreso);
