// --costs ALPHA:BETA, the default costs the companions hand to the engine.
#pragma once

#include <string>
#include <string_view>

#include "base/estado.h"

// Reads ALPHA:BETA, two numbers in (0, 1] written as input.txt writes them.
// On failure error says why ("--costs TEXT: …").
bool leeCostes(std::string_view texto, Costes& costes, std::string& error);
