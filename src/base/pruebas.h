// The one test-control entry point: every setting a test may change in the
// program's behaviour, in one place, each read by the subsystem it steers.
// The program itself never writes it, so a run has the defaults below. Tests
// write it between runs, never while a thread of the run is working, and
// restore the defaults with `controlPruebas() = {}`.
#pragma once

#include <cstddef>
#include <string>

struct ControlPruebas {
  // Failures on demand. The k-th allocation request (base/memoria.h), or the
  // k-th read of the input file (lectura/lector.h), from now on fails as if
  // memory were exhausted or the device failed: 0 is the next one. Each
  // request counts down its counter; a negative value fails none.
  long peticionesHastaFallo = -1;
  long lecturasHastaFallo = -1;

  // Threads a run may use (base/hilos.h); 0: as many as the hardware has.
  unsigned hilos = 0;
  // Rows from which work is shared among threads (base/hilos.h); 0: the
  // measured threshold. Tests lower it to run threads on small blocks.
  std::size_t filasParaRepartir = 0;
  // The report's matrices (report/matrices.h): from this many cells they
  // are formatted on every core, in pieces of at most this many bytes (one
  // row at least); 0: the measured defaults.
  std::size_t celdasParaRepartir = 0;
  std::size_t bytesPorPieza = 0;
  // The elimination's vector instructions, as panel/tesela.h's
  // Instrucciones (0: the best the processor has).
  unsigned char instrucciones = 0;
  // Where the system's memory figures are read (comun/recursos.h): "/" for the
  // machine itself, or a prepared tree of proc/ and sys/fs/cgroup/.
  std::string raizSistema = "/";
  // The progress line (run/progreso.h) from the first round rather than
  // after a second, so that a test sees it whatever the machine's speed.
  bool progresoSinEspera = false;
};

ControlPruebas& controlPruebas();

// Counts one event against a failure counter of ControlPruebas: true for the
// one it makes fail.
bool cuentaHastaFallo(long& quedan);
