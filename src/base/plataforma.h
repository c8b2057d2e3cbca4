// What the run needs from the operating system, behind plain functions: the
// one file of src/ with a branch per system.
#pragma once

#include <string>

// True when standard error is a terminal (a person is watching the run).
bool esTerminalDeError();

// ---- Memory the system can give ----

// Bytes the system can still give this process, read from the files under
// raiz ("/" for the machine itself): available memory and free swap, within
// the tightest memory limit of the process's control group and its parents;
// negative when the system does not say.
double memoriaDisponibleBajo(const std::string& raiz);
