// Lines of a file of any size through a fixed block buffer: a line is held
// only when asked for, and a skipped one is never copied.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

struct LectorLineas {
  std::FILE* archivo = nullptr;
  char bufer[1 << 16];
  std::size_t pos = 0;   // next byte to look at
  std::size_t fin = 0;   // bytes held in bufer
  bool agotado = false;  // no more bytes after bufer
  bool fallo = false;    // a read error
  long numero = 0;       // lines passed so far
};

enum class Linea {
  completa,  // ended by LF
  cortada,   // the file ends inside it
  ninguna,   // the file ended before it
};

bool abreLineas(LectorLineas& lector, const char* ruta);

void cierraLineas(LectorLineas& lector);

// The next line into linea, without its LF and a CR before it.
Linea leeLinea(LectorLineas& lector, std::string& linea);

// Passes over the next line; largo is its length without the line end.
Linea saltaLinea(LectorLineas& lector, std::size_t& largo);
