// Test support: run the real binary, or a piece of the library, in a child
// process and collect its standard output and exit status.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

struct Salida {
  std::string stdoutTexto;
  int estado = -1;               // exit status, or 128 + signal
  std::string stderrTexto = {};  // only from ejecutaConErrores
};

// Runs binario with cwd = dir, extra environment entries "K=V", and an
// address-space limit in bytes when limiteMemoria > 0.
// argumentos are passed after the program's name. antesDeEjecutar, when set,
// runs in the child just before the program replaces it (limits, descriptors,
// signal dispositions, a control group to join).
Salida ejecutaBinario(const std::string& binario, const std::filesystem::path& dir,
                      const std::vector<std::string>& entorno = {}, long limiteMemoria = 0,
                      const std::vector<std::string>& argumentos = {},
                      const std::function<void()>& antesDeEjecutar = {});

// As ejecutaBinario, with the child's standard error collected as well.
Salida ejecutaConErrores(const std::string& binario, const std::filesystem::path& dir,
                         const std::vector<std::string>& argumentos = {});

// Starts binario once per entry of argumentos, all at once with cwd = dir,
// and waits for every one; their standard error is collected.
std::vector<Salida> ejecutaALaVez(const std::string& binario, const std::filesystem::path& dir,
                                  const std::vector<std::vector<std::string>>& argumentos);

// Runs cuerpo in a forked child; the child exits 0 if cuerpo returns, and
// writes the message of a Fallo it throws and exits 1, as a program would.
Salida ejecutaEnHijo(const std::function<void()>& cuerpo);

// A fresh empty directory under base, the system's temporary directory by default.
std::filesystem::path directorioTemporal(
    const std::filesystem::path& base = std::filesystem::temp_directory_path());

std::string leeArchivo(const std::filesystem::path& ruta);

// The entries of dir: a failed run must leave no file or temporary behind.
std::size_t cuentaArchivos(const std::filesystem::path& dir);

// The report tests/golden/<nombre>.txt.
std::string golden(const std::string& nombre);

// What every format error message begins with.
inline const std::string kFormato = "Error en el formato del documento de entrada: ";
void escribeArchivo(const std::filesystem::path& ruta, const std::string& bytes);

// Writes dir/input.txt with the network `generador familia n 1` prints, then
// runs binario there; its exit status, or -1 when the generator failed.
int ejecutaRedGenerada(const std::string& generador, const std::string& binario,
                       const std::filesystem::path& dir, const std::string& familia, int n);
