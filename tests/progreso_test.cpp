// The progress line: its text, nothing when standard error is not a terminal
// or before a second has passed, and a line that is blanked at the end.
#include "run/progreso.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string contenido(std::FILE* f) {
  std::rewind(f);
  std::string texto;
  for (int c = std::fgetc(f); c != EOF; c = std::fgetc(f)) texto += static_cast<char>(c);
  return texto;
}

TEST(Progreso, Text) {
  EXPECT_EQ(lineaProgreso(12, 345, 1000, 3.25),
            "Ronda 12: 345 de 1000 nodos en quiebra, bloque 345x345, 3.2 s");
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
