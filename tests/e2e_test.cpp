// End to end: the real binary in a fresh directory, its stdout, exit status
// and output.txt compared byte for byte.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "clearing/calculo.h"
#include "comun/recursos.h"
#include "proceso.h"
#include "sanitizado.h"

namespace fs = std::filesystem;

namespace {

const std::string kCadena = "3\n0 10 0\n0 0 10\n0 0 0\n5 2 0\n";

// What a case prepares in its directory besides input.txt.
enum class Montaje { normal, sinEntrada, entradaDirectorio, salidaDirectorio, salidaLlena };

struct Caso {
  const char* nombre;
  std::string entrada;
  std::string stdoutEsperado;
  int estado;
  std::optional<std::string> informe;  // nullopt: output.txt must not exist
  Montaje montaje = Montaje::normal;
  long limiteMemoria = 0;
};

Salida ejecutaCaso(const Caso& c, const fs::path& dir, const std::string& binario) {
  if (c.montaje == Montaje::entradaDirectorio)
    fs::create_directory(dir / "input.txt");
  else if (c.montaje != Montaje::sinEntrada)
    escribeArchivo(dir / "input.txt", c.entrada);
  if (c.montaje == Montaje::salidaDirectorio) fs::create_directory(dir / "output.txt");
  if (c.montaje == Montaje::salidaLlena) fs::create_symlink("/dev/full", dir / "output.txt");
  return ejecutaBinario(binario, dir, {}, c.limiteMemoria);
}

void compruebaCaso(const Caso& c) {
  SCOPED_TRACE(c.nombre);
  // ASan and TSan reserve terabytes of shadow address space at start-up, so
  // the program cannot even begin under an address-space limit.
  if (kConMemoriaSombra && c.limiteMemoria > 0) {
    std::printf("skipped under a sanitizer: %s\n", c.nombre);
    return;
  }
  const fs::path dir = directorioTemporal();
  const Salida s = ejecutaCaso(c, dir, CLEARING_BINARIO);
  EXPECT_EQ(s.stdoutTexto, c.stdoutEsperado);
  EXPECT_EQ(s.estado, c.estado);
  if (c.montaje == Montaje::normal || c.montaje == Montaje::sinEntrada ||
      c.montaje == Montaje::entradaDirectorio) {
    EXPECT_EQ(fs::exists(dir / "output.txt"), c.informe.has_value());
    if (c.informe) {
      EXPECT_TRUE(leeArchivo(dir / "output.txt") == *c.informe) << "report differs";
    }
  }
  fs::remove_all(dir);
}

TEST(E2E, FilesAndMessages) {
  const Caso casos[] = {
      {"chain", kCadena, "", 0, golden("cadena")},
      {"chain with BOM, CR LF and tabs",
       "\xEF\xBB\xBF"
       "3\r\n0\t10 0\r\n0 0 10\r0 0 0\r\n5 2 0",
       "", 0, golden("cadena")},
      {"trailing text after e is ignored", kCadena + "fin del documento 1,5", "", 0,
       golden("cadena")},
      {"empty input", "", "", 0, golden("vacio")},
      {"blank input", " \r\n\t\n", "", 0, golden("vacio")},
      {"dim 0", "0", "", 0, golden("vacio")},
      {"no input.txt", "", "Error al abrir el documento de entrada\r\n", 1, std::nullopt,
       Montaje::sinEntrada},
      {"input.txt is a directory", "", "Error al abrir el documento de entrada\r\n", 1,
       std::nullopt, Montaje::entradaDirectorio},
      {"output.txt is a directory", kCadena, "Error en obrir el fitxer de sortida\r\n", 1, "",
       Montaje::salidaDirectorio},
      {"disk full", kCadena, "Error en escriure el fitxer de sortida\r\n", 1, "",
       Montaje::salidaLlena},
      {"negative dim", "-1 5", "Memoria insuficient", 1, ""},
      // The machine could hold it, the process's 1 GiB address space cannot:
      // the rows of L fail to allocate.
      {"dim too large for the memory limit", "20000 1 2", "Memoria insuficient", 1, "",
       Montaje::normal, 1L << 30},
      // Its matrices would need about 960 GB: refused before any is touched.
      {"dim beyond the machine", "200000 1 2", "Memoria insuficient", 1, ""},
      {"huge dim in a short file", "20000 1 2", kFormato + "falta el dato L[0][2]\r\n", 1, ""},
  };
  for (const Caso& c : casos) compruebaCaso(c);
}

TEST(E2E, NetworkTooLargeForThisMachine) {
  // 40000 nodes need about 38 GB for their three matrices. The process would
  // be killed by the system while reading; it must refuse up front instead.
  const double disponible = memoriaDisponible();
  if (disponible < 0 || disponible > memoriaNecesaria(40000, calculoPrevisto(false).matricesEnUso))
    GTEST_SKIP() << "this machine could hold 40000 nodes";
  compruebaCaso({"dim 40000", "40000\n1 2 3", "Memoria insuficient", 1, ""});
}

TEST(E2E, MalformedInput) {
  const std::string largo(40, 'x');
  const Caso casos[] = {
      {"word for dim", "abc", kFormato + "dato incorrecto \"abc\" en dim\r\n", 1, ""},
      {"dim past 32 bits", "2147483648", kFormato + "dato incorrecto \"2147483648\" en dim\r\n", 1,
       ""},
      {"decimal dim", "2.0 1 1 1 1 1 1", kFormato + "dato incorrecto \"2.0\" en dim\r\n", 1, ""},
      {"word in L", "2 1 2 x 4 5 6", kFormato + "dato incorrecto \"x\" en L[1][0]\r\n", 1, ""},
      {"decimal comma", "2 1 2,5 3 4 5 6", kFormato + "dato incorrecto \"2,5\" en L[0][1]\r\n", 1,
       ""},
      {"nan in e", "2 1 2 3 4 5 nan", kFormato + "dato incorrecto \"nan\" en e[1]\r\n", 1, ""},
      {"overflow", "1 1e999 1", kFormato + "dato incorrecto \"1e999\" en L[0][0]\r\n", 1, ""},
      {"hexadecimal", "1 0x10 1", kFormato + "dato incorrecto \"0x10\" en L[0][0]\r\n", 1, ""},
      {"long token cut to 32 bytes", "1 1 " + largo,
       kFormato + "dato incorrecto \"" + largo.substr(0, 32) + "\" en e[0]\r\n", 1, ""},
      {"too few numbers in L", "2 1 2 3", kFormato + "falta el dato L[1][1]\r\n", 1, ""},
      {"too few numbers in e", "2 1 2 3 4 5", kFormato + "falta el dato e[1]\r\n", 1, ""},
  };
  for (const Caso& c : casos) compruebaCaso(c);
}

TEST(E2E, Iteration) {
  const std::string kIndeterminado = "El sistema es indeterminado\r\n";
  const Caso casos[] = {
      {"one node owing itself, enough cash", "1\n4\n1\n", "", 0, golden("uno")},
      {"two nodes owing each other, no cash", "2\n0 1\n1 0\n0 0\n", "", 0, golden("mutuo")},
      {"mutual debts, negative cash: no pivot", "2\n0 1\n1 0\n-0.5 -0.5\n", kIndeterminado, 1,
       golden("indeterminado_mutuo")},
      {"one node owing itself, negative cash", "1\n4\n-1\n", kIndeterminado, 1,
       golden("indeterminado_uno")},
      // The round bound does not hide that node 1 cannot pay: a second round
      // marks both nodes, and their system has no solution.
      {"two nodes without a clearing vector", "2\n0 10\n10 0\n-5 0\n", kIndeterminado, 1,
       golden("dos_nodos_sin_solucion")},
      {"negative zeros keep their sign", "2\n0 0\n0 0\n0 -1\n", "", 0, golden("ceros_negativos")},
      {"capital at tol and just below", "2\n0 0\n0 0\n1e-8 9.999999999999999e-09\n", "", 0,
       golden("capital_tol")},
      // |p − φ(p)| stays above tol through rounding alone at this scale; the
      // unchanged default set ends the rounds.
      {"amounts around 1e12",
       "2\n333333333333.33331 333333333333.33331\n3000000000000 333333333333.33331\n"
       "1000000000000 500000000000\n",
       "", 0, golden("importes_grandes")},
      // Negative obligations make the default set cycle: {2}, {0, 2}, {2}, …
      {"default sets that cycle", "3\n2 -2 1\n-2 0 -2\n3 1 -1\n0.5 2 0.5\n",
       "El algoritmo no converge\r\n", 1, golden("no_converge")},
  };
  for (const Caso& c : casos) compruebaCaso(c);
}

TEST(E2E, BundledExamples) {
  int vistos = 0;
  for (const auto& ejemplo :
       fs::directory_iterator(fs::path(CLEARING_TEST_DIR) / ".." / "examples")) {
    SCOPED_TRACE(ejemplo.path().string());
    const fs::path dir = directorioTemporal();
    fs::copy_file(ejemplo.path() / "input.txt", dir / "input.txt");
    const Salida s = ejecutaBinario(CLEARING_BINARIO, dir);
    EXPECT_EQ(s.estado, 0);
    EXPECT_EQ(s.stdoutTexto, "");
    EXPECT_TRUE(leeArchivo(dir / "output.txt") ==
                leeArchivo(ejemplo.path() / "expected" / "output.txt"));
    fs::remove_all(dir);
    ++vistos;
  }
  EXPECT_GE(vistos, 3);
}

// Runs the program in dir under a file-size limit of `limite` bytes, with
// SIGXFSZ at its default (the program must ignore it itself).
Salida ejecutaConLimiteDeArchivo(const fs::path& dir, std::size_t limite) {
  return ejecutaBinario(CLEARING_BINARIO, dir, {}, 0, {}, [limite] {
    (void)signal(SIGXFSZ, SIG_DFL);
    const rlimit tamano{limite, limite};
    if (setrlimit(RLIMIT_FSIZE, &tamano) != 0) _exit(125);
  });
}

TEST(E2E, WriteFailureInsideMatricesFormattedOnEveryCore) {
  // 200 nodes: L, PI and the payments are formatted on every core. A file-size
  // limit inside L, then inside the payments: the run ends with the message
  // and the report holds exactly the bytes before the limit.
  const fs::path dir = directorioTemporal();
  ASSERT_EQ(ejecutaRedGenerada(CLEARING_GENERADOR, CLEARING_BINARIO, dir, "alldefault", 200), 0);
  const std::string completo = leeArchivo(dir / "output.txt");
  ASSERT_GT(completo.size(), 1000000U);
  for (const std::size_t limite : {std::size_t{100000}, completo.size() - 100000}) {
    SCOPED_TRACE(limite);
    fs::remove(dir / "output.txt");
    const Salida s = ejecutaConLimiteDeArchivo(dir, limite);
    EXPECT_EQ(s.stdoutTexto, "Error en escriure el fitxer de sortida\r\n");
    EXPECT_EQ(s.estado, 1);
    EXPECT_TRUE(leeArchivo(dir / "output.txt") == completo.substr(0, limite)) << "not the prefix";
  }
  fs::remove_all(dir);
}

TEST(E2E, FinalFlushThatLosesReportBytesWinsOverTheFatalError) {
  // The fatal error comes while the report's bytes still sit in the buffer;
  // the flush at the end then fails. Where bytes were lost the write error
  // is the message; where none were, the fatal error's.
  const std::string kEscritura = "Error en escriure el fitxer de sortida\r\n";
  const std::string kSinSolucion = "2\n0 10\n10 0\n-5 0\n";
  const std::string informe = golden("dos_nodos_sin_solucion");
  struct Limite {
    const char* nombre;
    std::string entrada;
    std::size_t limite;
    std::string stdoutEsperado;
    std::string informe;
  };
  const Limite casos[] = {
      {"indeterminate, no room at all", kSinSolucion, 0, kEscritura, ""},
      {"indeterminate, room for 100 bytes", kSinSolucion, 100, kEscritura, informe.substr(0, 100)},
      {"does not converge, no room at all", "3\n2 -2 1\n-2 0 -2\n3 1 -1\n0.5 2 0.5\n", 0,
       kEscritura, ""},
      {"indeterminate, room for the whole report", kSinSolucion, informe.size(),
       "El sistema es indeterminado\r\n", informe},
      {"format error, nothing written to lose", "2 1 x", 0,
       kFormato + "dato incorrecto \"x\" en L[0][1]\r\n", ""},
  };
  for (const Limite& c : casos) {
    SCOPED_TRACE(c.nombre);
#if defined(CLEARING_CON_TSAN)
    // ThreadSanitizer's runtime writes a file before main, which a limit of
    // zero bytes already refuses: the process dies before the program starts.
    if (c.limite == 0) continue;
#endif
    const fs::path dir = directorioTemporal();
    escribeArchivo(dir / "input.txt", c.entrada);
    const Salida s = ejecutaConLimiteDeArchivo(dir, c.limite);
    EXPECT_EQ(s.stdoutTexto, c.stdoutEsperado);
    EXPECT_EQ(s.estado, 1);
    EXPECT_TRUE(leeArchivo(dir / "output.txt") == c.informe) << "report differs";
    fs::remove_all(dir);
  }
}

TEST(E2E, AllocationFailuresLeaveAPrefixOfTheReport) {
  // Request k fails for k = 0, 1, …: every run ends with the message, status 1
  // and a prefix of the complete report, until a k that nothing reaches.
  const std::string completo = golden("cadena");
  int k = 0;
  int sinSalto = 0;
  for (;; ++k) {
    const fs::path dir = directorioTemporal();
    escribeArchivo(dir / "input.txt", kCadena);
    const Salida s = ejecutaBinario(CLEARING_FALLO_BINARIO, dir,
                                    {"CLEARING_FALLA_PETICION=" + std::to_string(k)});
    const std::string informe = leeArchivo(dir / "output.txt");
    fs::remove_all(dir);
    if (s.estado == 0) {
      EXPECT_EQ(informe, completo);
      break;
    }
    SCOPED_TRACE(k);
    EXPECT_EQ(s.estado, 1);
    EXPECT_EQ(completo.compare(0, informe.size(), informe), 0) << "not a prefix";
    // The run's own buffers (ordenQuiebra, e, L's array and 3 rows, pPrima)
    // and the capital's final subtraction fail with no line feed; the run's
    // own before anything is written, the subtraction before RESULTADO.
    const bool propia = k < 7;
    const bool conSalto = s.stdoutTexto == "Memoria insuficient\r\n";
    if (propia) {
      EXPECT_EQ(s.stdoutTexto, "Memoria insuficient");
      EXPECT_EQ(informe, "");
    } else if (!conSalto) {
      EXPECT_EQ(s.stdoutTexto, "Memoria insuficient");
      EXPECT_EQ(informe.size(), completo.find("RESULTADO"));
      ++sinSalto;
    }
  }
  EXPECT_EQ(sinSalto, 1);  // only restaVec, of all the operations
  EXPECT_GT(k, 20);
}

}  // namespace
