// POSIX process plumbing for the tests (the program itself stays portable).
#include "proceso.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "run/mensajes.h"

namespace {

std::string leeTodo(int fd) {
  std::string texto;
  char bufer[4096];
  ssize_t n;
  while ((n = read(fd, bufer, sizeof bufer)) > 0) texto.append(bufer, static_cast<size_t>(n));
  return texto;
}

int estadoDe(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Forks; the child's stdout goes into a pipe that the parent drains. With
// errores, its stderr goes to an unlinked file read once the child is done
// (a second pipe could fill while the parent drains the first).
Salida ejecutaConTuberia(const std::function<void()>& enHijo, std::FILE* errores = nullptr) {
  int tubo[2];
  if (pipe(tubo) != 0) std::abort();
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    close(tubo[0]);
    dup2(tubo[1], STDOUT_FILENO);
    close(tubo[1]);
    if (errores != nullptr) dup2(fileno(errores), STDERR_FILENO);
    enHijo();
    std::fflush(stdout);
    _exit(0);
  }
  close(tubo[1]);
  Salida salida;
  salida.stdoutTexto = leeTodo(tubo[0]);
  close(tubo[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  salida.estado = estadoDe(status);
  return salida;
}

}  // namespace

namespace {

std::function<void()> ejecucion(const std::string& binario, const std::filesystem::path& dir,
                                const std::vector<std::string>& entorno, long limiteMemoria,
                                const std::vector<std::string>& argumentos,
                                const std::function<void()>& antesDeEjecutar) {
  return [&, limiteMemoria] {  // the limit is a parameter of this function: copied
    if (chdir(dir.c_str()) != 0) _exit(126);
    for (const std::string& e : entorno) putenv(const_cast<char*>(e.c_str()));
    if (limiteMemoria > 0) {
      const rlimit limite{static_cast<rlim_t>(limiteMemoria), static_cast<rlim_t>(limiteMemoria)};
      setrlimit(RLIMIT_AS, &limite);
    }
    std::vector<char*> argv{const_cast<char*>(binario.c_str())};
    for (const std::string& a : argumentos) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (antesDeEjecutar) antesDeEjecutar();
    execv(binario.c_str(), argv.data());
    _exit(127);
  };
}

}  // namespace

Salida ejecutaBinario(const std::string& binario, const std::filesystem::path& dir,
                      const std::vector<std::string>& entorno, long limiteMemoria,
                      const std::vector<std::string>& argumentos,
                      const std::function<void()>& antesDeEjecutar) {
  return ejecutaConTuberia(
      ejecucion(binario, dir, entorno, limiteMemoria, argumentos, antesDeEjecutar));
}

Salida ejecutaConErrores(const std::string& binario, const std::filesystem::path& dir,
                         const std::vector<std::string>& argumentos) {
  std::FILE* errores = std::tmpfile();
  if (errores == nullptr) std::abort();
  Salida salida = ejecutaConTuberia(ejecucion(binario, dir, {}, 0, argumentos, {}), errores);
  std::rewind(errores);
  salida.stderrTexto = leeTodo(fileno(errores));
  std::fclose(errores);
  return salida;
}

Salida ejecutaEnHijo(const std::function<void()>& cuerpo) {
  return ejecutaConTuberia([&] {
    try {
      cuerpo();
    } catch (const Fallo& fallo) {  // as the program's edge maps it
      const std::string mensaje = mensajeDe(fallo);
      (void)std::fwrite(mensaje.data(), 1, mensaje.size(), stdout);
      std::fflush(stdout);
      _exit(1);
    }
  });
}

std::filesystem::path directorioTemporal(const std::filesystem::path& base) {
  std::string plantilla = (base / "clearing-XXXXXX").string();
  if (mkdtemp(plantilla.data()) == nullptr) std::abort();
  return plantilla;
}

std::size_t cuentaArchivos(const std::filesystem::path& dir) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir),
                                                std::filesystem::directory_iterator{}));
}

std::string leeArchivo(const std::filesystem::path& ruta) {
  std::ifstream f(ruta, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

std::string golden(const std::string& nombre) {
  return leeArchivo(std::filesystem::path(CLEARING_TEST_DIR) / "golden" / (nombre + ".txt"));
}

void escribeArchivo(const std::filesystem::path& ruta, const std::string& bytes) {
  std::ofstream f(ruta, std::ios::binary);
  f << bytes;
}

int ejecutaRedGenerada(const std::string& generador, const std::string& binario,
                       const std::filesystem::path& dir, const std::string& familia, int n) {
  const Salida red = ejecutaBinario(generador, dir, {}, 0, {familia, std::to_string(n), "1"});
  if (red.estado != 0) return -1;
  escribeArchivo(dir / "input.txt", red.stdoutTexto);
  return ejecutaBinario(binario, dir).estado;
}

std::vector<Salida> ejecutaALaVez(const std::string& binario, const std::filesystem::path& dir,
                                  const std::vector<std::vector<std::string>>& argumentos) {
  std::vector<std::FILE*> errores;
  std::vector<pid_t> hijos;
  std::fflush(stdout);
  for (const std::vector<std::string>& a : argumentos) {
    errores.push_back(std::tmpfile());
    if (errores.back() == nullptr) std::abort();
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(fileno(errores.back()), STDERR_FILENO);
      ejecucion(binario, dir, {}, 0, a, {})();  // execs; the temporaries live until then
    }
    hijos.push_back(pid);
  }
  std::vector<Salida> salidas(hijos.size());
  for (std::size_t k = 0; k < hijos.size(); ++k) {
    int status = 0;
    waitpid(hijos[k], &status, 0);
    salidas[k].estado = estadoDe(status);
    std::rewind(errores[k]);
    salidas[k].stderrTexto = leeTodo(fileno(errores[k]));
    std::fclose(errores[k]);
  }
  return salidas;
}
