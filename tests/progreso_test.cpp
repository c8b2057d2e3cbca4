// The progress line: its text, nothing when standard error is not a terminal
// or before a second has passed, and a line that is blanked at the end, or
// before a fatal message that goes to another stream.
#include "run/progreso.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "proceso.h"

namespace {

std::string contenido(std::FILE* f) {
  std::rewind(f);
  std::string texto;
  for (int c = std::fgetc(f); c != EOF; c = std::fgetc(f)) texto += static_cast<char>(c);
  return texto;
}

// What a terminal receives for round 12 with 3 of 5 nodes in default, about
// three seconds in (2.96 s, and the time the call takes, read as 3.0).
TEST(Progreso, Text) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  Progreso progreso = nuevoProgreso(f, true);
  progreso.inicio -= std::chrono::milliseconds(2960);
  muestraRonda(progreso, 12, Marcas{1, 0, 1, 1, 0});
  EXPECT_EQ(contenido(f), "\rRonda 12: 3 de 5 nodos en quiebra, bloque 3x3, 3.0 s");
  std::fclose(f);
}

TEST(Progreso, WrittenOnATerminalAfterASecondAndBlankedAtTheEnd) {
  const Marcas marcas{1, 0, 1};
  for (bool terminal : {false, true}) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    Progreso progreso = nuevoProgreso(f, terminal);
    muestraRonda(progreso, 1, marcas);  // within the first second: nothing
    progreso.inicio -= std::chrono::seconds(2);
    muestraRonda(progreso, 2, marcas);
    borraProgreso(progreso);
    const std::string texto = contenido(f);
    std::fclose(f);
    if (!terminal) {
      EXPECT_EQ(texto, "");
      continue;
    }
    // "\r", the line (its seconds as the clock had them), "\r", blanks, "\r".
    const std::string inicio = "\rRonda 2: 2 de 3 nodos en quiebra, bloque 2x2, 2.";
    ASSERT_EQ(texto.rfind(inicio, 0), 0U) << texto;
    const std::size_t ancho = texto.find('\r', 1) - 1;
    std::string borrado(ancho + 2, ' ');
    borrado.front() = borrado.back() = '\r';
    EXPECT_EQ(texto.substr(ancho + 1), borrado);
  }
}

}  // namespace

// ---- The program's line on a terminal when the run ends with a message ----

namespace {

// 800 nodes whose first round falls back to the literal formulas (nodes 1
// and 2 owe each other −1e200 and node 0 1e200; the rest owe each other 1
// and node 0 2), which takes over a second here, and two more that owe each
// other 10 with outside cash −5 and 0: the second round marks both, and its
// system has no solution.
std::string redLentaIndeterminada() {
  constexpr int n = 800;
  std::string red = std::to_string(n + 2) + "\n";
  for (int i = 0; i < n + 2; ++i) {
    for (int j = 0; j < n + 2; ++j) {
      if (i >= n || j >= n)
        red += i >= n && j >= n && i != j ? "10 " : "0 ";
      else if ((i == 1 && j == 2) || (i == 2 && j == 1))
        red += "-1e200 ";
      else if (i > 0 && j == 0)
        red += i <= 2 ? "1e200 " : "2 ";
      else
        red += i > 0 && j > 0 && i != j ? "1 " : "0 ";
    }
    red += "\n";
  }
  for (int i = 0; i < n; ++i) red += "0 ";
  return red + "-5 0\n";
}

TEST(Progreso, BlankedBeforeAMessageThatGoesElsewhere) {
  const std::filesystem::path dir = directorioTemporal();
  escribeArchivo(dir / "input.txt", redLentaIndeterminada());
  int maestro = -1;
  int esclavo = -1;
  ASSERT_EQ(openpty(&maestro, &esclavo, nullptr, nullptr, nullptr), 0);
  const pid_t hijo = fork();
  ASSERT_GE(hijo, 0);
  if (hijo == 0) {
    const int salida = open((dir / "mensaje.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (salida < 0 || dup2(salida, STDOUT_FILENO) < 0 || dup2(esclavo, STDERR_FILENO) < 0 ||
        chdir(dir.c_str()) != 0)
      _exit(125);
    // The line from the first round on, however fast the machine.
    setenv("CLEARING_PROGRESO_SIN_ESPERA", "1", 1);
    execl(CLEARING_FALLO_BINARIO, CLEARING_FALLO_BINARIO, static_cast<char*>(nullptr));
    _exit(126);
  }
  close(esclavo);
  std::string terminal;
  char bloque[4096];
  for (ssize_t leidos; (leidos = read(maestro, bloque, sizeof bloque)) > 0;)
    terminal.append(bloque, static_cast<std::size_t>(leidos));
  close(maestro);
  int estado = 0;
  ASSERT_EQ(waitpid(hijo, &estado, 0), hijo);
  EXPECT_TRUE(WIFEXITED(estado) && WEXITSTATUS(estado) == 1);
  EXPECT_EQ(leeArchivo(dir / "mensaje.txt"), "El sistema es indeterminado\r\n");
  std::filesystem::remove_all(dir);
  // The last line written, then as many blanks as its text between two
  // returns: the terminal is left clean.
  ASSERT_EQ(terminal.rfind("\rRonda 1: ", 0), 0U) << terminal;
  const std::size_t ultima = terminal.rfind("\rRonda ");
  const std::size_t fin = terminal.find('\r', ultima + 1);
  ASSERT_NE(fin, std::string::npos) << terminal;
  const std::string linea = terminal.substr(ultima + 1, fin - ultima - 1);
  const std::size_t ancho = linea.find_last_not_of(' ') + 1;
  std::string borrado(ancho + 2, ' ');
  borrado.front() = borrado.back() = '\r';
  EXPECT_EQ(terminal.substr(fin), borrado) << terminal;
}

}  // namespace
