// What the run needs from the operating system, behind plain functions: the
// one file of src/ with a branch per system.
#pragma once

// True when standard error is a terminal (a person is watching the run).
bool esTerminalDeError();
