// clearing-reconstruct end to end: the real binary in a fresh directory, its
// message, status and the files it leaves, compared byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "proceso.h"

namespace fs = std::filesystem;

namespace {

const std::string kCentinela = "input.txt of an earlier run\n";
const std::string kBancos = std::string(CLEARING_EXAMPLES_DIR) + "/bancos/";

struct Reconstruido {
  Salida salida;
  fs::path dir;
};

// Runs the program on marginales (as marginals.csv) with argumentos before
// the file's name, beside an earlier input.txt a failed run must leave alone.
Reconstruido reconstruye(const std::string& marginales, std::vector<std::string> argumentos) {
  Reconstruido r{{}, directorioTemporal()};
  escribeArchivo(r.dir / "marginals.csv", marginales);
  escribeArchivo(r.dir / "input.txt", kCentinela);
  argumentos.push_back("marginals.csv");
  r.salida = ejecutaConErrores(CLEARING_RECONSTRUCT, r.dir, argumentos);
  return r;
}

const std::string kCabecera = "node,liabilities,assets,cash\n";

TEST(Reconstruct, RefusesTotalsNoNetworkMeetsWithTheRowAndWritesNothing) {
  struct Rechazo {
    const char* nombre;
    std::string marginales;
    std::vector<std::string> argumentos;
    std::string mensaje;
  };
  const Rechazo casos[] = {
      {"missing column",
       "node,liabilities,assets\nA,1,1\n",
       {},
       "marginals.csv:1: no column cash: expected node,liabilities,assets,cash in any order"},
      {"bad number",
       kCabecera + "A,1,1,x\n",
       {},
       "marginals.csv:2: bad cash \"x\": expected a decimal number such as 12.5 or 1e6"},
      {"negative total",
       kCabecera + "A,1,1,0\nB,-2,1,0\n",
       {},
       "marginals.csv:3: negative liabilities \"-2\": a total is an amount owed, 0 or more"},
      {"negative external",
       "node,liabilities,assets,cash,external\nA,1,1,0,-1\n",
       {},
       "marginals.csv:2: negative external \"-1\": a total is an amount owed, 0 or more"},
      {"wrong field count",
       kCabecera + "A,1,1\n",
       {},
       "marginals.csv:2: expected 4 fields (node,liabilities,assets,cash), found 3"},
      {"a node twice",
       kCabecera + "A,1,1,0\nA,2,2,0\n",
       {},
       "marginals.csv:3: a second row for \"A\" (the first is on line 2): a node has one set "
       "of totals"},
      {"no nodes", kCabecera, {}, "marginals.csv: no nodes after the header"},
      {"totals differ",
       kCabecera + "A,10,5,0\nB,5,5,0\nC,5,9,0\n",
       {},
       "marginals.csv: the liabilities add up to 20 and the assets to 19, a difference of 1 "
       "(0.05 relative, above 1e-9): every amount owed is owed to someone, so no network meets "
       "both; --outside NAME or --balance gives the difference to a node outside the network"},
      {"a node owes more than the others are owed",
       kCabecera + "A,12,9,0\nB,4,6,0\nC,4,5,0\n",
       {"--sparse"},
       "marginals.csv:2: \"A\" owes 12 but all the other nodes are owed 11 in all: no network in "
       "which no node owes itself meets these totals"},
      {"outside node named like a row",
       kCabecera + "A,1,0,0\nB,0,2,0\n",
       {"--outside", "B"},
       "marginals.csv:3: \"B\" is a node of the file and the name of the node outside the "
       "network: give that one another with --outside NAME"},
      {"denser than the pairs",
       kCabecera + "A,1,1,0\nB,1,1,0\nC,0,0,0\n",
       {"--sample-one", "0", "--density", "0.5", "--seed", "1"},
       "a density of 0.5 asks for 3 links, but only 2 pairs have a debtor that owes and another "
       "node that is owed"},
  };
  for (const Rechazo& c : casos) {
    SCOPED_TRACE(c.nombre);
    const Reconstruido r = reconstruye(c.marginales, c.argumentos);
    EXPECT_EQ(r.salida.estado, 1);
    const std::string& err = r.salida.stderrTexto;
    EXPECT_EQ(err.substr(err.find('\n', err.find("gravity model")) + 1), c.mensaje + "\n");
    EXPECT_EQ(leeArchivo(r.dir / "input.txt"), kCentinela);
    EXPECT_EQ(cuentaArchivos(r.dir), 2u) << "a file or a temporary left behind";
    fs::remove_all(r.dir);
  }
}

TEST(Reconstruct, WrongArgumentsGiveTheUsageAndStatusTwo) {
  const std::vector<std::string> casos[] = {
      {"--sparse", "--max-entropy"},
      {"--sample", "3", "--seed", "1"},
      {"--sample", "3", "--density", "0", "--seed", "1"},
      {"--sample", "3", "--density", "0.5", "--seed", "1", "--sample-one", "3"},
      {"--sparse", "--sample", "2", "--density", "0.5", "--seed", "1"},
      {"--seed", "-1", "--sample", "2", "--density", "0.5"},
  };
  for (const auto& argumentos : casos) {
    const Reconstruido r = reconstruye(kCabecera + "A,0,0,0\n", argumentos);
    EXPECT_EQ(r.salida.estado, 2) << argumentos.front();
    EXPECT_NE(r.salida.stderrTexto.find("usage: clearing-reconstruct"), std::string::npos);
    EXPECT_EQ(leeArchivo(r.dir / "input.txt"), kCentinela);
    fs::remove_all(r.dir);
  }
}

// The bank example's totals came from its network, a cycle A→B→C→A with
// what each owes the depositors: the sparse reconstruction finds that very
// network, byte for byte.
TEST(Reconstruct, SparseFindsTheBankExamplesOwnNetwork) {
  const Reconstruido r =
      reconstruye(leeArchivo(kBancos + "marginals.csv"), {"--sparse", "--outside", "Depositors"});
  ASSERT_EQ(r.salida.estado, 0) << r.salida.stderrTexto;
  EXPECT_EQ(leeArchivo(r.dir / "input.txt"), leeArchivo(kBancos + "input.txt"));
  EXPECT_EQ(leeArchivo(r.dir / "nodes.txt"), leeArchivo(kBancos + "nodes.txt"));
  EXPECT_EQ(r.salida.stderrTexto, "clearing-reconstruct: sparse: 3 links (at most 2n - 1 = 7)\n");
  fs::remove_all(r.dir);
}

// A seeded network's bytes, pinned: every build (Windows, aarch64, i686)
// must write these, and --sample-one k is network k of --sample K.
TEST(Reconstruct, SampledNetworkBytesArePinnedAndSampleOneIsTheKthNetwork) {
  const std::vector<std::string> semilla{"--density", "0.3", "--seed", "20261209"};
  const std::string marginales =
      kCabecera + "A,30,10,5\nB,12.5,40,1\nC,7,3,0\nD,20,16.5,2\nE,0.5,0.5,0\nF,10,10,3\n";
  auto muestra = semilla;
  muestra.insert(muestra.begin(), {"--sample", "12"});
  const Reconstruido todas = reconstruye(marginales, muestra);
  ASSERT_EQ(todas.salida.estado, 0) << todas.salida.stderrTexto;
  EXPECT_EQ(leeArchivo(todas.dir / "input.txt"), kCentinela);
  for (const char* k : {"0", "7", "11"}) {
    auto una = semilla;
    una.insert(una.begin(), {"--sample-one", k});
    const Reconstruido r = reconstruye(marginales, una);
    ASSERT_EQ(r.salida.estado, 0) << r.salida.stderrTexto;
    const std::string directorio = std::string("network-") + (k[1] == 0 ? "0" : "") + k;
    EXPECT_EQ(leeArchivo(r.dir / "input.txt"), leeArchivo(todas.dir / directorio / "input.txt"))
        << k;
    EXPECT_EQ(leeArchivo(r.dir / "nodes.txt"), "A\nB\nC\nD\nE\nF\n");
    if (std::string(k) == "7") {
      EXPECT_EQ(leeArchivo(r.dir / "input.txt"), golden("muestra_gravedad"));
    }
    fs::remove_all(r.dir);
  }
  fs::remove_all(todas.dir);
}

TEST(Reconstruct, BalanceGivesTheDifferenceToTheNodeOutside) {
  const Reconstruido r =
      reconstruye("node,liabilities,assets,cash,external\nA,10,5,1,2\nB,5,5,1,0\nC,5,9,1,1\n",
                  {"--sparse", "--balance"});
  ASSERT_EQ(r.salida.estado, 0) << r.salida.stderrTexto;
  EXPECT_EQ(r.salida.stderrTexto.substr(0, r.salida.stderrTexto.find('\n')),
            "clearing-reconstruct: the liabilities exceed the assets by 1: \"outside\" is owed "
            "the difference");
  EXPECT_EQ(leeArchivo(r.dir / "nodes.txt"), "A\nB\nC\noutside\n");
  // outside is owed the difference and the external column (2 + 0 + 1).
  const std::string entrada = leeArchivo(r.dir / "input.txt");
  EXPECT_EQ(entrada.substr(0, 2), "4\n");
  EXPECT_EQ(entrada.substr(entrada.size() - 8), "1 1 1 0\n");
  fs::remove_all(r.dir);
}

TEST(Reconstruct, AnswersHelpAndVersion) {
  const fs::path dir = directorioTemporal();
  Salida s = ejecutaConErrores(CLEARING_RECONSTRUCT, dir, {"--version"});
  EXPECT_EQ(s.estado, 0);
  EXPECT_EQ(s.stdoutTexto.rfind("clearing-reconstruct ", 0), 0u);
  s = ejecutaConErrores(CLEARING_RECONSTRUCT, dir, {"--help"});
  EXPECT_EQ(s.estado, 0);
  EXPECT_EQ(s.stdoutTexto.rfind("usage: clearing-reconstruct", 0), 0u);
  EXPECT_EQ(cuentaArchivos(dir), 0u);
  fs::remove_all(dir);
}

}  // namespace
