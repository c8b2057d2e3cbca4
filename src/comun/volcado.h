// input.txt and nodes.txt of a network with names, as the companions that
// make networks write them: every number in its shortest exact form, one
// name per line in UTF-8, both files or neither (comun/salida.h).
#pragma once

#include <span>
#include <string>

#include "comun/enlace.h"

// Writes DIRECTORIO/input.txt and DIRECTORIO/nodes.txt ("" for the current
// directory). enlaces are sorted by (deudor, acreedor), one per pair; every
// other cell of L is 0. Refused before anything is written when the files
// would not fit on the disk or clearing could not hold the network in the
// memory the system has free. False with error saying why.
bool escribeRedNombrada(const std::string& directorio, std::span<const std::string> nombres,
                        std::span<const Enlace> enlaces, std::span<const double> caja,
                        std::string& error);
