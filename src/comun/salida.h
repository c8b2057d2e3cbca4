// Output files written under a temporary name beside the final one and
// renamed into place only when every file of the run is complete, so that a
// failed run leaves the directory as it found it.
//
// A temporary is created exclusively under a fresh random name ("NAME.XXXXXXXX.part")
// and never through a symbolic link, so nothing planted at a predictable
// name is written through. The renames of one run happen while it holds an
// exclusive lock on the directory (POSIX flock): two runs at once in one
// directory each leave a complete set of files, and the set that stays is
// the one renamed last. A target that is a directory fails the run before
// anything is renamed. SIGINT, SIGTERM and SIGHUP remove the temporaries
// before the process ends.
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

// Closes every file (its data on the disk first) and renames it into place.
// On a write or close failure, or a target that cannot be replaced, nothing
// is renamed, the temporaries are removed and error says why.
bool confirmaNuevos(std::span<ArchivoNuevo> nuevos, std::string& error);

// Closes and removes whatever was opened.
void descartaNuevos(std::span<ArchivoNuevo> nuevos);
