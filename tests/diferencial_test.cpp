// The program against the reference build on generated networks: report,
// stdout and exit status must be identical byte for byte. The shortcuts of the
// program are only right if they reproduce every bit of the literal formulas,
// signed zeros, NaN and the failures included.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "proceso.h"

namespace fs = std::filesystem;

namespace {

struct Resultado {
  Salida salida;
  std::string informe;
};

Resultado ejecutaEn(const std::string& binario, const fs::path& dir, const std::string& red) {
  escribeArchivo(dir / "input.txt", red);
  fs::remove(dir / "output.txt");
  Resultado r{ejecutaBinario(binario, dir), ""};
  r.informe = leeArchivo(dir / "output.txt");
  return r;
}

// Generates family n seed and compares both programs; returns the exit status.
int comparaRed(const std::string& familia, int n, int semilla, const fs::path& dir) {
  const Salida red = ejecutaBinario(CLEARING_GENERADOR, dir, {}, 0,
                                    {familia, std::to_string(n), std::to_string(semilla)});
  EXPECT_EQ(red.estado, 0);
  const Resultado rapido = ejecutaEn(CLEARING_BINARIO, dir, red.stdoutTexto);
  const Resultado referencia = ejecutaEn(CLEARING_REFERENCIA, dir, red.stdoutTexto);
  const std::string caso = familia + " " + std::to_string(n) + " " + std::to_string(semilla);
  EXPECT_EQ(rapido.salida.estado, referencia.salida.estado) << caso;
  EXPECT_EQ(rapido.salida.stdoutTexto, referencia.salida.stdoutTexto) << caso;
  EXPECT_TRUE(rapido.informe == referencia.informe) << caso << ": reports differ";
  return referencia.salida.estado;
}

// 2000 networks in four shards, so that ctest can run them side by side.
class Adversarias : public ::testing::TestWithParam<int> {};

TEST_P(Adversarias, SmallNetworks) {
  const fs::path dir = directorioTemporal();
  int fallidas = 0;
  const int primera = GetParam() * 500 + 1;
  for (int semilla = primera; semilla < primera + 500; ++semilla)
    fallidas += comparaRed("adversarial", 12, semilla, dir) != 0;
  // The family is meant to reach the failures too, not only complete runs.
  EXPECT_GT(fallidas, 25);
  EXPECT_LT(fallidas, 475);
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Diferencial, Adversarias, ::testing::Range(0, 4));

class Familias : public ::testing::TestWithParam<const char*> {};

TEST_P(Familias, UpTo300Nodes) {
  const fs::path dir = directorioTemporal();
  for (int semilla = 1; semilla <= 20; ++semilla) {
    const int n = 15 * semilla;  // 15, 30, …, 300
    EXPECT_EQ(comparaRed(GetParam(), n, semilla, dir), 0) << GetParam() << " " << n;
  }
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Diferencial, Familias,
                         ::testing::Values("sparse", "dense", "cascade", "coreperiphery",
                                           "alldefault"));

}  // namespace
