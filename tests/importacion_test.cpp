// clearing-import end to end: the real binary in a fresh directory, its
// message, status and the files it leaves, compared byte for byte.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "base/pruebas.h"
#include "comun/salida.h"
#include "lectura/lector.h"
#include "proceso.h"

namespace fs = std::filesystem;

namespace {

const std::string kCabecera = "debtor,creditor,amount\n";
const std::string kCentinela = "input.txt of an earlier import\n";

struct Importado {
  Salida salida;
  fs::path dir;
};

// Runs the import on obligaciones (and caja unless nullptr) beside an
// earlier input.txt that a failed run must leave alone.
Importado importa(const std::string& obligaciones, const char* caja = nullptr) {
  Importado r{{}, directorioTemporal()};
  escribeArchivo(r.dir / "obligations.csv", obligaciones);
  escribeArchivo(r.dir / "input.txt", kCentinela);
  std::vector<std::string> argumentos{"obligations.csv"};
  if (caja != nullptr) {
    escribeArchivo(r.dir / "cash.csv", caja);
    argumentos.push_back("cash.csv");
  }
  r.salida = ejecutaConErrores(CLEARING_IMPORT, r.dir, argumentos);
  return r;
}

struct Rechazo {
  const char* nombre;
  std::string obligaciones;
  const char* caja;
  std::string mensaje;
};

const std::string kSoloEscritura =
    " differ only in case, blanks, invisible characters or how accents are encoded: spell each "
    "name the same way throughout";

TEST(Import, RejectsBadFilesWithTheirLineAndWritesNothing) {
  const Rechazo casos[] = {
      {"empty file", "", nullptr,
       "obligations.csv: empty file: expected the header line debtor,creditor,amount"},
      {"missing header", "A,B,12\nB,C,3\n", nullptr,
       "obligations.csv:1: missing header line debtor,creditor,amount"},
      {"header without amount", "debtor,creditor\nA,B,1\n", nullptr,
       "obligations.csv:1: no column amount: expected debtor,creditor,amount in any order"},
      {"unknown header", "debtor,creditor,amount,note\nA,B,1,x\n", nullptr,
       "obligations.csv:1: unknown column \"note\": expected debtor,creditor,amount in any order"},
      {"header repeated", "debtor,Debtor,amount\nA,B,1\n", nullptr,
       "obligations.csv:1: the column debtor appears twice"},
      {"lines ended by CR alone", "debtor,creditor,amount\rA,B,1\rA,B\r", nullptr,
       "obligations.csv:3: expected 3 fields (debtor,creditor,amount), found 2"},
      {"NUL byte in a name", kCabecera + std::string("A\0B,C,1\n", 8), nullptr,
       "obligations.csv:2: debtor name contains a NUL byte"},
      {"terminal bytes escaped", kCabecera + "A,B,\x1B]0;owned\x07\\\n", nullptr,
       "obligations.csv:2: bad amount \"\\x1B]0;owned\\x07\\x5C\": expected a decimal number "
       "such as 12.5, -3 or 1e6"},
      {"row too short", kCabecera + "A,B,1\nA,B\n", nullptr,
       "obligations.csv:3: expected 3 fields (debtor,creditor,amount), found 2"},
      {"decimal comma unquoted", kCabecera + "A,B,1,5\n", nullptr,
       "obligations.csv:2: expected 3 fields (debtor,creditor,amount), found 4"},
      {"line counted past blank lines and CR LF", kCabecera + "\r\nA,B,1\r\n\r\n\r\nA,B,1,2\r\n",
       nullptr, "obligations.csv:6: expected 3 fields (debtor,creditor,amount), found 4"},
      {"empty debtor", kCabecera + "\"\",B,1\n", nullptr,
       "obligations.csv:2: debtor name is empty"},
      {"blank creditor", kCabecera + "A,   ,1\n", nullptr,
       "obligations.csv:2: creditor name is empty"},
      {"name with a line break", kCabecera + "A,B,1\n\"Bank\nA\",B,1\n", nullptr,
       "obligations.csv:3: debtor name contains a line break"},
      {"name not UTF-8",
       kCabecera + "Caja Espa\xF1"
                   "a,B,1\n",
       nullptr, "obligations.csv:2: debtor name is not valid UTF-8"},
      {"decimal comma quoted", kCabecera + "A,B,\"1,5\"\n", nullptr,
       "obligations.csv:2: bad amount \"1,5\": expected a decimal number such as 12.5, -3 or 1e6"},
      {"nan", kCabecera + "A,B,nan\n", nullptr,
       "obligations.csv:2: bad amount \"nan\": expected a decimal number such as 12.5, -3 or 1e6"},
      {"too large", kCabecera + "A,B,1e999\n", nullptr,
       "obligations.csv:2: bad amount \"1e999\": expected a decimal number such as 12.5, -3 or "
       "1e6"},
      {"empty amount", kCabecera + "A,B,\n", nullptr,
       "obligations.csv:2: bad amount \"\": expected a decimal number such as 12.5, -3 or 1e6"},
      {"sum past the largest double", kCabecera + "A,B,1e308\nB,A,1\nA,B,1e308\n", nullptr,
       "obligations.csv:4: the amounts \"A\" owes \"B\" add up past the largest double"},
      {"quote inside a field", kCabecera + "A,B\"x,1\n", nullptr,
       "obligations.csv:2: a quote inside an unquoted field, or text after a closing quote"},
      {"quoted field never closed", kCabecera + "A,B,1\n\"A,B,1\nC,D,2\n", nullptr,
       "obligations.csv:3: a quoted field is not closed"},
      {"header only: an empty network", kCabecera, nullptr,
       "obligations.csv: no obligations after the header: the network would be empty"},
      {"negative amount", kCabecera + "A,B,1\nB,A,-2\n", nullptr,
       "obligations.csv:3: negative amount \"-2\": an amount is what the debtor owes the creditor "
       "(swap them for the other direction)"},
      {"names differing in case", kCabecera + "Banco Norte,B,1\nC,banco norte,2\n", nullptr,
       "obligations.csv:3: \"banco norte\" and \"Banco Norte\" (line 2)" + kSoloEscritura},
      {"names differing in surrounding and repeated blanks",
       kCabecera + "Banco Norte,B,1\n\"Banco  Norte \",B,2\n", nullptr,
       "obligations.csv:3: \"Banco  Norte \" and \"Banco Norte\" (line 2)" + kSoloEscritura},
      {"a no-break space and a zero-width space",
       kCabecera + "Banco\xC2\xA0Norte,B,1\nBanco\xE2\x80\x8B Norte,B,2\n", nullptr,
       "obligations.csv:3: \"Banco\xE2\x80\x8B Norte\" and \"Banco\xC2\xA0Norte\" (line 2)" +
           kSoloEscritura},
      {"NFC and NFD accents, in upper and lower case",
       kCabecera + "CR\xC3\x89"
                   "DIT,Cre\xCC\x81"
                   "dit,1\n",
       nullptr,
       "obligations.csv:2: \"Cre\xCC\x81"
       "dit\" and \"CR\xC3\x89"
       "DIT\" (line 2)" +
           kSoloEscritura},
      {"cash: missing header", kCabecera + "A,B,1\n", "A,5\n",
       "cash.csv:1: missing header line node,cash"},
      {"cash: bad amount", kCabecera + "A,B,1\n", "node,cash\nA,five\n",
       "cash.csv:2: bad cash \"five\": expected a decimal number such as 12.5, -3 or 1e6"},
      {"cash: repeated node", kCabecera + "A,B,1\n", "node,cash\nA,5\nB,1\nA,2\n",
       "cash.csv:4: a second cash row for \"A\" (the first is on line 2)"},
      {"cash: wrong field count", kCabecera + "A,B,1\n", "node,cash\nA,5,6\n",
       "cash.csv:2: expected 2 fields (node,cash), found 3"},
      {"cash: a name that differs in case and blanks", kCabecera + "Banco Norte,B,1\n",
       "node,cash\nB,2\nbanco  norte,5\n",
       "cash.csv:3: \"banco  norte\" is in no obligation; did you mean \"Banco Norte\"?"},
      {"message keeps UTF-8, escapes bidi and C1 controls", kCabecera + "A,B,1\n",
       "node,cash\nCr\xC3\xA9"
       "dit\xE2\x80\xAE\xC2\x85,5\n",
       "cash.csv:2: \"Cr\xC3\xA9"
       "dit\\xE2\\x80\\xAE\\xC2\\x85\" is in no obligation: a node's cash "
       "needs a node that owes or is owed"},
      {"cash: a name in no obligation", kCabecera + "A,B,1\n", "node,cash\nC,5\n",
       "cash.csv:2: \"C\" is in no obligation: a node's cash needs a node that owes or is owed"},
  };
  for (const Rechazo& c : casos) {
    SCOPED_TRACE(c.nombre);
    const Importado r = importa(c.obligaciones, c.caja);
    const char* caja = c.caja;
    EXPECT_EQ(r.salida.estado, 1);
    EXPECT_EQ(r.salida.stderrTexto, c.mensaje + "\n");
    EXPECT_EQ(leeArchivo(r.dir / "input.txt"), kCentinela);
    EXPECT_FALSE(fs::exists(r.dir / "nodes.txt"));
    EXPECT_EQ(cuentaArchivos(r.dir), caja == nullptr ? 2u : 3u) << "a temporary left behind";
    fs::remove_all(r.dir);
  }
}

// A network of more names than input.txt (2 bytes a cell) or clearing's
// matrices (24 bytes a cell) can take is refused before anything is written.
TEST(Import, RefusesANetworkThatCannotFit) {
  std::string csv = kCabecera;
  for (int k = 0; k < 200000; ++k)
    csv.append("N").append(std::to_string(k)).append(",M").append(std::to_string(k)).append(",1\n");
  const Importado r = importa(csv);
  EXPECT_EQ(r.salida.estado, 1);
  EXPECT_TRUE(r.salida.stderrTexto.starts_with("input.txt: 400000 nodes make files of ") ||
              r.salida.stderrTexto.starts_with("input.txt: 400000 nodes need about "))
      << r.salida.stderrTexto;
  EXPECT_EQ(leeArchivo(r.dir / "input.txt"), kCentinela);
  EXPECT_EQ(cuentaArchivos(r.dir), 2u);
  fs::remove_all(r.dir);
}

TEST(Import, ReadsStandardInputForADash) {
  const Importado r = importa(kCabecera + "A,B,1\n", "node,cash\nA,2\n");
  const Salida s = ejecutaBinario(CLEARING_IMPORT, r.dir, {}, 0, {"obligations.csv", "-"}, [&] {
    const int fd = open((r.dir / "cash.csv").c_str(), O_RDONLY);
    dup2(fd, STDIN_FILENO);
  });
  EXPECT_EQ(s.estado, 0);
  EXPECT_EQ(leeArchivo(r.dir / "input.txt"), "2\n0 1\n0 0\n2 0\n");
  fs::remove_all(r.dir);
}

// Two imports of different networks at once in one directory, again and
// again: each ends well, and input.txt and nodes.txt always come from the
// same run.
TEST(Import, RunsAtOnceLeaveOneRunsFiles) {
  const fs::path dir = directorioTemporal();
  escribeArchivo(dir / "a.csv", kCabecera + "A1,A2,1\n");
  escribeArchivo(dir / "b.csv", kCabecera + "B1,B2,1\nB2,B3,2\n");
  for (int vez = 0; vez < 20; ++vez) {
    SCOPED_TRACE(vez);
    for (const Salida& s : ejecutaALaVez(CLEARING_IMPORT, dir, {{"a.csv"}, {"b.csv"}})) {
      EXPECT_EQ(s.estado, 0);
      EXPECT_EQ(s.stderrTexto, "");
    }
    const std::string entrada = leeArchivo(dir / "input.txt");
    const std::string nodos = leeArchivo(dir / "nodes.txt");
    if (nodos == "A1\nA2\n")
      EXPECT_EQ(entrada, "2\n0 1\n0 0\n0 0\n");
    else
      EXPECT_EQ(nodos + entrada, "B1\nB2\nB3\n3\n0 1 0\n0 0 2\n0 0 0\n0 0 0\n");
    EXPECT_EQ(cuentaArchivos(dir), 4u) << "a temporary left behind";
  }
  fs::remove_all(dir);
}

// Links planted at a temporary's old fixed name and at a target: what they
// point to is never written; the target becomes a file of its own.
TEST(Import, PlantedLinksAreNotFollowed) {
  const fs::path fuera = directorioTemporal();
  const fs::path dir = directorioTemporal();
  escribeArchivo(fuera / "victima", "untouched\n");
  escribeArchivo(dir / "o.csv", kCabecera + "A,B,1\n");
  fs::create_symlink(fuera / "victima", dir / "input.txt.part");
  fs::create_symlink(fuera / "victima", dir / "nodes.txt");
  EXPECT_EQ(ejecutaConErrores(CLEARING_IMPORT, dir, {"o.csv"}).estado, 0);
  EXPECT_EQ(leeArchivo(fuera / "victima"), "untouched\n");
  EXPECT_FALSE(fs::is_symlink(dir / "nodes.txt"));
  EXPECT_EQ(leeArchivo(dir / "nodes.txt"), "A\nB\n");
  fs::remove_all(dir);
  fs::remove_all(fuera);
}

TEST(Import, MissingFileAndUsage) {
  const fs::path dir = directorioTemporal();
  Salida s = ejecutaConErrores(CLEARING_IMPORT, dir, {"nowhere.csv"});
  EXPECT_EQ(s.estado, 1);
  EXPECT_EQ(s.stderrTexto, "nowhere.csv: cannot open (No such file or directory)\n");
  s = ejecutaConErrores(CLEARING_IMPORT, dir, {});
  EXPECT_EQ(s.estado, 2);
  s = ejecutaConErrores(CLEARING_IMPORT, dir, {"-", "-"});
  EXPECT_EQ(s.estado, 2);
  s = ejecutaConErrores(CLEARING_IMPORT, dir, {"--help"});
  EXPECT_EQ(s.estado, 0);
  EXPECT_TRUE(s.stdoutTexto.starts_with("usage: clearing-import")) << s.stdoutTexto;
  EXPECT_TRUE(fs::is_empty(dir));
  fs::remove_all(dir);
}

struct Aceptado {
  const char* nombre;
  std::string obligaciones;
  const char* caja;
  std::string entrada;
  std::string nodos;
};

TEST(Import, WritesTheNetwork) {
  const Aceptado casos[] = {
      {"quotes, BOM, CR LF, blanks trimmed outside quotes",
       "\xEF\xBB\xBF"
       "debtor,creditor,amount\r\n\"Smith \"\"Bank\"\"\",  B ,1\r\n\" C \",B,2",
       nullptr, "3\n0 1 0\n0 0 0\n0 2 0\n0 0 0\n", "Smith \"Bank\"\nB\n C \n"},
      // (0.1 + 0.2) + 0.3 is 0.6000000000000001; 0.1 + (0.2 + 0.3) would be 0.6.
      {"repeated pairs summed in file order", kCabecera + "A,B,0.1\nA,B,0.2\nA,B,0.3\n", nullptr,
       "2\n0 0.6000000000000001\n0 0\n0 0\n", "A\nB\n"},
      {"self-obligation on the diagonal; -0 kept", kCabecera + "A,A,5\nA,B,-0\n", nullptr,
       "2\n5 -0\n0 0\n0 0\n", "A\nB\n"},
      {"numbering in order of appearance; no cash row is 0", kCabecera + "B,A,1\nC,B,0\n",
       "node,cash\nC,2.5\nA,1e3\n", "3\n0 1 0\n0 0 0\n0 0 0\n0 1000 2.5\n", "B\nA\nC\n"},
      {"columns in any order and case", "Amount,CREDITOR, debtor\n5,B,A\n", "Cash,Node\n3,A\n",
       "2\n0 5\n0 0\n3 0\n", "A\nB\n"},
      {"UTF-8 names",
       kCabecera + "Caja Espa\xC3\xB1"
                   "a,\xE6\x97\xA5\xE6\x9C\xAC,7\n",
       nullptr, "2\n0 7\n0 0\n0 0\n",
       "Caja Espa\xC3\xB1"
       "a\n\xE6\x97\xA5\xE6\x9C\xAC\n"},
  };
  for (const Aceptado& c : casos) {
    SCOPED_TRACE(c.nombre);
    const Importado r = importa(c.obligaciones, c.caja);
    EXPECT_EQ(r.salida.estado, 0);
    EXPECT_EQ(r.salida.stderrTexto, "");
    EXPECT_EQ(leeArchivo(r.dir / "input.txt"), c.entrada);
    EXPECT_EQ(leeArchivo(r.dir / "nodes.txt"), c.nodos);
    fs::remove_all(r.dir);
  }
}

// SIGTERM right after input.txt is renamed into place: it waits until
// nodes.txt is in place too, so no new input.txt is left beside an old
// nodes.txt.
TEST(Import, InterruptBetweenRenamesLeavesAMixedPair) {
  const fs::path dir = directorioTemporal();
  escribeArchivo(dir / "input.txt", "old input\n");
  escribeArchivo(dir / "nodes.txt", "old nodes\n");
  const Salida s = ejecutaEnHijo([&] {
    controlPruebas().trasRenombrar = [] { (void)std::raise(SIGTERM); };
    std::array<ArchivoNuevo, 2> nuevos;
    std::string error;
    if (!abreNuevo(nuevos[0], (dir / "input.txt").string(), error) ||
        !abreNuevo(nuevos[1], (dir / "nodes.txt").string(), error))
      _exit(3);
    escribe(nuevos[0], "new input\n");
    escribe(nuevos[1], "new nodes\n");
    (void)confirmaNuevos(nuevos, error);
  });
  EXPECT_EQ(s.estado, 128 + SIGTERM);
  EXPECT_EQ(leeArchivo(dir / "input.txt"), "new input\n");
  EXPECT_EQ(leeArchivo(dir / "nodes.txt"), "new nodes\n");
  EXPECT_EQ(cuentaArchivos(dir), 2u) << "a temporary left behind";
  fs::remove_all(dir);
}

// Temporaries a killed run left are removed by the next run once an hour
// old; a fresh one, one a live run holds, and other names stay.
TEST(Import, StaleTemporariesOfKilledRunsPileUp) {
  const fs::path dir = directorioTemporal();
  escribeArchivo(dir / "obligations.csv", kCabecera + "A,B,1\n");
  const auto haceDosHoras = fs::file_time_type::clock::now() - std::chrono::hours(2);
  const struct {
    const char* nombre;
    bool vieja;
    bool queda;
  } casos[] = {
      {"input.txt.0123abcd.part", true, false}, {"nodes.txt.89abcdef.part", true, false},
      {"input.txt.fedcba98.part", false, true}, {"nodes.txt.00000000.part", true, true},
      {"input.txt.old.part", true, true},       {"other.txt.01234567.part", true, true},
  };
  for (const auto& c : casos) {
    escribeArchivo(dir / c.nombre, "partial");
    if (c.vieja) fs::last_write_time(dir / c.nombre, haceDosHoras);
  }
  // nodes.txt.00000000.part is held as a live run holds its temporary.
  const int vivo = open((dir / "nodes.txt.00000000.part").c_str(), O_RDONLY);
  ASSERT_EQ(flock(vivo, LOCK_EX), 0);
  const Salida s = ejecutaConErrores(CLEARING_IMPORT, dir, {"obligations.csv"});
  (void)close(vivo);
  EXPECT_EQ(s.estado, 0) << s.stderrTexto;
  for (const auto& c : casos) EXPECT_EQ(fs::exists(dir / c.nombre), c.queda) << c.nombre;
  fs::remove_all(dir);
}

TEST(Import, BanksExampleGivesItsInput) {
  const fs::path ejemplo = fs::path(CLEARING_TEST_DIR) / ".." / "examples" / "bancos";
  const fs::path dir = directorioTemporal();
  fs::copy_file(ejemplo / "obligations.csv", dir / "obligations.csv");
  fs::copy_file(ejemplo / "cash.csv", dir / "cash.csv");
  const Salida s = ejecutaConErrores(CLEARING_IMPORT, dir, {"obligations.csv", "cash.csv"});
  EXPECT_EQ(s.estado, 0);
  EXPECT_EQ(leeArchivo(dir / "input.txt"), leeArchivo(ejemplo / "input.txt"));
  EXPECT_EQ(leeArchivo(dir / "nodes.txt"), leeArchivo(ejemplo / "nodes.txt"));
  fs::remove_all(dir);
}

// Every amount of the CSV reaches clearing as the same double: input.txt is
// read back with clearing's own reader and compared bit for bit.
TEST(Import, RoundTripKeepsEveryDouble) {
  const std::vector<std::string> importes = {"0.1",
                                             "1e-320",
                                             "123456789.123456789",
                                             "2.5e-3",
                                             "1.7976931348623157e308",
                                             "0.30000000000000004",
                                             "4.9e-324",
                                             "9007199254740993",
                                             "1E+22",
                                             ".5",
                                             "5.",
                                             "-0"};
  std::string csv = kCabecera;
  for (std::size_t k = 0; k < importes.size(); ++k)
    csv.append("N")
        .append(std::to_string(k))
        .append(",N")
        .append(std::to_string(k + 1))
        .append(",")
        .append(importes[k])
        .append("\n");
  const Importado r = importa(csv);
  ASSERT_EQ(r.salida.estado, 0) << r.salida.stderrTexto;
  std::istringstream entrada(leeArchivo(r.dir / "input.txt"));
  std::size_t n = 0;
  entrada >> n;
  ASSERT_EQ(n, importes.size() + 1);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      std::string token;
      entrada >> token;
      double leido = 0, esperado = 0;
      ASSERT_TRUE(esRealValido(token, leido)) << token;
      if (i < importes.size() && j == i + 1) {
        ASSERT_TRUE(esRealValido(importes[i], esperado));
      }
      EXPECT_EQ(std::bit_cast<std::uint64_t>(leido), std::bit_cast<std::uint64_t>(esperado))
          << "L[" << i << "][" << j << "] = " << token;
    }
  }
  fs::remove_all(r.dir);
}

}  // namespace
