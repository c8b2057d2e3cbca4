// Fork plumbing for the harnesses. libFuzzer's inline 8-bit counters live in
// the __sancov_cntrs section of this process; a child's increments would be
// lost with its copy of memory, so the child copies them into a shared
// mapping on its way out and the parent keeps, per counter, the larger value.
#include "hijo.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Defined by the linker when the section exists (a libFuzzer build); null in
// a plain build, where there is nothing to hand back.
// NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp): the linker's names
extern "C" {
extern std::uint8_t __start___sancov_cntrs[] __attribute__((weak, visibility("hidden")));
extern std::uint8_t __stop___sancov_cntrs[] __attribute__((weak, visibility("hidden")));
}
// NOLINTEND(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)

namespace {

std::uint8_t* compartidos = nullptr;  // MAP_SHARED copy of the counters
std::size_t numContadores = 0;

void preparaCompartidos() {
  static bool hecho = false;
  if (hecho) return;
  hecho = true;
  if (__start___sancov_cntrs == nullptr || +__stop___sancov_cntrs <= +__start___sancov_cntrs)
    return;
  numContadores = static_cast<std::size_t>(__stop___sancov_cntrs - __start___sancov_cntrs);
  // An anonymous mapping takes fd −1 (cppcheck's POSIX rules expect a real fd).
  // cppcheck-suppress invalidFunctionArg
  void* m = mmap(nullptr, numContadores, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (m == MAP_FAILED) {
    numContadores = 0;
    return;
  }
  compartidos = static_cast<std::uint8_t*>(m);
}

// The child's last act, from exit() or after cuerpo returns: the streams
// reach their files, the counters reach the parent, and nothing else of this
// process's exit runs (libFuzzer's own exit handler would report the fuzz
// target as having exited).
void terminaHijo(int estado, void* /*sinUso*/) {
  std::fflush(nullptr);
  if (compartidos != nullptr) std::memcpy(compartidos, __start___sancov_cntrs, numContadores);
  _exit(estado);
}

int estadoDe(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

ResultadoHijo ejecutaEnDirectorio(const std::string& dir, const std::function<int()>& cuerpo,
                                  unsigned limiteSegundos) {
  preparaCompartidos();
  if (compartidos != nullptr) std::memcpy(compartidos, __start___sancov_cntrs, numContadores);
  int tubo[2];
  if (pipe(tubo) != 0) std::abort();
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) std::abort();
  if (pid == 0) {
    close(tubo[0]);
    dup2(tubo[1], STDOUT_FILENO);
    close(tubo[1]);
    // The parent's alarm handler belongs to libFuzzer; here an alarm just kills.
    signal(SIGALRM, SIG_DFL);
    alarm(limiteSegundos);
    if (chdir(dir.c_str()) != 0) _exit(126);
    on_exit(terminaHijo, nullptr);
    terminaHijo(cuerpo(), nullptr);
  }
  close(tubo[1]);
  ResultadoHijo r;
  char bufer[4096];
  for (;;) {  // libFuzzer's timer may interrupt the calls: EINTR is no end
    const ssize_t n = read(tubo[0], bufer, sizeof bufer);
    if (n > 0)
      r.salida.append(bufer, static_cast<std::size_t>(n));
    else if (n == 0 || errno != EINTR)
      break;
  }
  close(tubo[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) std::abort();
  r.estado = estadoDe(status);
  for (std::size_t i = 0; i < numContadores; ++i)
    if (compartidos[i] > __start___sancov_cntrs[i]) __start___sancov_cntrs[i] = compartidos[i];
  return r;
}
