// What the run needs from the operating system, behind plain functions: the
// one file of src/ with a branch per operating system (panel/tesela.cpp
// branches only on the processor and the compiler).
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

#include "sistema/cgrupos.h"

// True when standard error is a terminal (a person is watching the run).
bool esTerminalDeError();

// True when standard output is that very terminal too, so that what is
// written to one shows on the same screen line as the other.
bool esSalidaElTerminalDeError();

// Makes standard output binary where the system tells text from binary
// (Windows): the CR LF written explicitly is then not doubled.
void salidaEstandarBinaria();

// ---- A hostile start: descriptors, signals, file identity, memory ----

// Makes the process safe whatever its parent left it: descriptors 0–2 are
// opened on the null device when closed (so no file of the run takes their
// numbers and receives the messages), and SIGPIPE and SIGXFSZ are ignored
// (a failed write then comes back as an error the run reports).
void preparaProceso();

// True when nombre (links followed) is a regular file that is the very file
// open as archivo.
bool esMismoArchivo(std::FILE* archivo, const char* nombre);

// Bytes the system can still give this process, read from the files under
// raiz ("/" for the machine itself): available memory and free swap, within
// the tightest memory limit of the process's control group and its parents
// (the group's file pages count as free: the system writes them back and
// takes them when the group needs room); negative when the system does not say.
double memoriaDisponibleBajo(const std::string& raiz);

// True when archivo lives on a file system held in memory (Linux's tmpfs
// and ramfs): its pages are memory the system cannot write back to reclaim,
// charged to the process's control group like its own. False elsewhere
// (Windows has none).
bool estaEnMemoria(std::FILE* archivo);

// Where memoriaDisponibleEn reads those figures, found once under raiz by a
// process that asks often (the Python module): the group a process is in
// and the folders that limit it seldom change. Empty on Windows.
LugaresDeMemoria lugaresDeMemoriaBajo(const std::string& raiz);

// memoriaDisponibleBajo's figure, read at the places found; −1 on Windows.
double memoriaDisponibleEn(const LugaresDeMemoria& lugares);

// The processors this process may run on, at least 1: those of its
// affinity mask, within the CPU quota of its control group and its parents
// read under raiz ("/" for the machine itself; Linux's v2 cpu.max, v1
// cpu.cfs_quota_us over cpu.cfs_period_us), a fraction of a processor
// counting as one. Windows: the process's affinity mask.
unsigned procesadoresDisponiblesBajo(const std::string& raiz);

// ---- Large pages ----

// Asks that the next `bytes` of the heap (up to a GiB) be backed by large
// pages where the system gives them on request: Linux with glibc, 2 MiB
// transparent huge pages. A run that fills a few n×n matrices then takes far
// fewer page faults, which on a virtual machine cost more than the arithmetic
// of the rows they bring (figures in docs/performance.md, "Large pages").
// Only a hint: false when it was not given (too little to be worth it,
// another system or allocator, no room); nothing else changes either way.
// Where it is given, toca(inicio, bytes) first writes the advised pages, so
// that the system zeroes them where the caller chooses (on every core)
// rather than one at a time as the allocator carves rows from them.
bool pidePaginasGrandes(double bytes,
                        const std::function<void(char*, std::size_t)>& toca = nullptr);

// ---- Output files that appear whole (comun/salida.h) ----

// Creates ruta for writing in binary, exclusively (it must not exist) and
// never through a symbolic link: the stream, or nullptr with errno saying why.
// While the stream is open the file is locked (POSIX flock), so that
// estaEnUso tells it from the temporary of a run that was killed.
std::FILE* creaArchivoNuevo(const std::string& ruta);

// True when ruta is a file another process still has open through
// creaArchivoNuevo (POSIX: its lock is held). On Windows, false: a file open
// elsewhere cannot be removed there anyway.
bool estaEnUso(const std::string& ruta);

// The file's written data on the disk where the system can be asked to
// (fsync); false when it fails.
bool llevaAlDisco(std::FILE* archivo);

// An exclusive lock on a directory (POSIX flock), held until
// liberaDirectorio, which first brings the directory's renames to the disk;
// -1 when it cannot be taken (then the renames go unlocked).
int bloqueaDirectorio(const std::string& directorio);
void liberaDirectorio(int cerrojo);

// manejador(señal) when the process is told to end: SIGINT, SIGTERM and,
// where it exists, SIGHUP; a signal the parent had ignored stays ignored.
void alTerminarLlama(void (*manejador)(int));

// Removes a file from within a signal handler (async-signal-safe).
void borraDesdeSenal(const char* ruta);

// The signals that end a run (SIGINT, SIGTERM, SIGHUP) held back on the
// calling thread until liberaSenalesDeFin, which delivers one that came
// meanwhile: what must not be cut in the middle (the renames of a run's
// files) is not. Returns which of them were held back already, for
// liberaSenalesDeFin to leave so. Windows: Ctrl+C is ignored meanwhile (the
// console's handler runs on a thread of its own and cannot be held back).
int retieneSenalesDeFin();
void liberaSenalesDeFin(int yaRetenidas);

// The same signals held back on the calling thread for good: a worker of
// the pool calls it, so that they reach the thread that can hold them back.
void dejaSenalesDeFinAlPrincipal();

// A file-size limit then ends a write with an error, not the process
// (SIGXFSZ ignored where it exists).
void ignoraLimiteDeArchivo();
