// The report must not depend on the user's locale: the binary runs with a
// Spanish locale in its environment (decimal comma, thousands point) and
// must still read "." as the point, reject "," and write the golden bytes.
#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <string>
#include <vector>

#include "proceso.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kLocale = "es_ES.UTF-8";

bool existeLocale(const char* nombre) {
  const bool existe = std::setlocale(LC_ALL, nombre) != nullptr;
  std::setlocale(LC_ALL, "C");
  return existe;
}

struct Caso {
  const char* nombre;
  std::string entrada;
  std::string stdoutEsperado;
  int estado;
  std::string informe;
};

TEST(Locale, SpanishEnvironmentChangesNothing) {
  if (!existeLocale(kLocale)) GTEST_SKIP() << kLocale << " is not installed here (locale-gen)";
  const std::string ejemplos = fs::path(CLEARING_TEST_DIR) / ".." / "examples";
  const Caso casos[] = {
      {"chain", "3\n0 10 0\n0 0 10\n0 0 0\n5 2 0\n", "", 0, golden("cadena")},
      // Decimals in the input and exponents and decimals in the report.
      {"amounts around 1e12",
       "2\n333333333333.33331 333333333333.33331\n3000000000000 333333333333.33331\n"
       "1000000000000 500000000000\n",
       "", 0, golden("importes_grandes")},
      {"capital at tol", "2\n0 0\n0 0\n1e-8 9.999999999999999e-09\n", "", 0, golden("capital_tol")},
      {"example cascada", leeArchivo(fs::path(ejemplos) / "cascada" / "input.txt"), "", 0,
       leeArchivo(fs::path(ejemplos) / "cascada" / "expected" / "output.txt")},
      // A locale-aware reader would take this as two and a half.
      {"decimal comma stays an error", "2 1 2,5 3 4 5 6",
       "Error en el formato del documento de entrada: dato incorrecto \"2,5\" en L[0][1]\r\n", 1,
       ""},
  };
  // An empty LC_ALL counts as unset, so an inherited one cannot mask LANG.
  const std::vector<std::vector<std::string>> entornos = {
      {std::string("LC_ALL=") + kLocale, std::string("LANG=") + kLocale},
      {std::string("LANG=") + kLocale, "LC_ALL="},
      {std::string("LC_NUMERIC=") + kLocale, std::string("LC_CTYPE=") + kLocale, "LC_ALL="},
  };
  for (const std::vector<std::string>& entorno : entornos) {
    for (const Caso& c : casos) {
      SCOPED_TRACE(std::string(c.nombre) + " with " + entorno[0]);
      const fs::path dir = directorioTemporal();
      escribeArchivo(dir / "input.txt", c.entrada);
      const Salida s = ejecutaBinario(CLEARING_BINARIO, dir, entorno);
      EXPECT_EQ(s.stdoutTexto, c.stdoutEsperado);
      EXPECT_EQ(s.estado, c.estado);
      EXPECT_TRUE(leeArchivo(dir / "output.txt") == c.informe) << "report differs";
      fs::remove_all(dir);
    }
  }
}

}  // namespace
