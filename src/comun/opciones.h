// The two questions every installed tool answers, --version and --help, in
// one place. clearing itself takes no arguments and never asks here.
#pragma once

#include <optional>

// When the command line is exactly one of --version or --help, writes the
// answer on standard output ("PROGRAMA 1.2.3", or the usage text) and gives
// the exit status: 0, or 1 when standard output cannot be written. Any other
// command line gives nothing, and the program runs as it would have.
std::optional<int> respondeOpcion(int argc, const char* const* argv, const char* programa,
                                  const char* uso);
