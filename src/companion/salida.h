// Output files written under a temporary name beside the final one and
// renamed into place only when every file of the run is complete, so that a
// failed run leaves the directory as it found it.
#pragma once

#include <cstdio>
#include <span>
#include <string>
#include <string_view>

struct ArchivoNuevo {
  std::string nombre;    // final name
  std::string temporal;  // name while it is written
  std::FILE* archivo = nullptr;
};

bool abreNuevo(ArchivoNuevo& nuevo, const std::string& nombre, std::string& error);

// Write errors are kept by the stream and reported by confirmaNuevos.
void escribe(ArchivoNuevo& nuevo, std::string_view texto);

// Closes every file and renames it into place. On a write or close failure
// nothing is renamed, the temporaries are removed and error says why.
bool confirmaNuevos(std::span<ArchivoNuevo> nuevos, std::string& error);

// Closes and removes whatever was opened.
void descartaNuevos(std::span<ArchivoNuevo> nuevos);
