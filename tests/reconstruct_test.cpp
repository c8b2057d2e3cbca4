// clearing-reconstruct end to end: the real binary in a fresh directory, its
// message, status and the files it leaves, compared byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <map>
#include <string>
#include <utility>
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

// ---- clearing-sweep --ensemble ----

namespace {

std::vector<std::vector<std::string>> filasCsv(const std::string& texto) {
  std::vector<std::vector<std::string>> filas;
  std::vector<std::string> campos(1);
  bool citado = false;
  for (const char c : texto) {
    if (c == '"') {
      citado = !citado;
    } else if (c == ',' && !citado) {
      campos.emplace_back();
    } else if (c == '\n' && !citado) {
      if (!campos.back().empty() && campos.back().back() == '\r') campos.back().pop_back();
      filas.push_back(std::move(campos));
      campos.assign(1, "");
    } else {
      campos.back() += c;
    }
  }
  return filas;
}

const char* const kArchivosBarrido[] = {"sweep.csv", "sweep_nodes.csv", "sweep_summary.csv"};

Salida barreConjunto(const fs::path& dir, const std::string& hilos, const std::string& redes) {
  return ejecutaConErrores(CLEARING_SWEEP, dir,
                           {"--threads", hilos, "--ensemble", "marginals.csv", "--sample", redes,
                            "--density", "0.4", "--seed", "5", "--each-node"});
}

}  // namespace

// The ensemble's network k is clearing-reconstruct's network-k: its rows are
// a plain sweep of that network's input.txt, with the network in front.
TEST(Reconstruct, EnsembleSweepIsAPlainSweepOfEachSampledNetwork) {
  const Reconstruido redes = reconstruye(leeArchivo(kBancos + "marginals.csv"),
                                         {"--sample", "4", "--density", "0.4", "--seed", "5"});
  ASSERT_EQ(redes.salida.estado, 0) << redes.salida.stderrTexto;
  const Salida conjunto = barreConjunto(redes.dir, "2", "4");
  ASSERT_EQ(conjunto.estado, 0) << conjunto.stderrTexto;
  const auto filas = filasCsv(leeArchivo(redes.dir / "sweep_nodes.csv"));
  ASSERT_EQ(filas.size(), 1 + 4 * 4 * 4u);  // 4 networks × 4 scenarios × 4 nodes
  EXPECT_EQ(filas[0].front(), "network");
  for (int k = 0; k < 4; ++k) {
    const fs::path red = redes.dir / ("network-" + std::to_string(k));
    const Salida sola = ejecutaConErrores(CLEARING_SWEEP, red, {"--each-node"});
    ASSERT_EQ(sola.estado, 0) << sola.stderrTexto;
    const auto propias = filasCsv(leeArchivo(red / "sweep_nodes.csv"));
    for (std::size_t f = 1; f < propias.size(); ++f) {
      std::vector<std::string> esperada{std::to_string(k)};
      esperada.insert(esperada.end(), propias[f].begin(), propias[f].end());
      EXPECT_EQ(filas[static_cast<std::size_t>(k) * 16 + f], esperada)
          << "network " << k << " row " << f;
    }
  }
  fs::remove_all(redes.dir);
}

std::string archivosDeBarrido(const fs::path& dir) {
  std::string todo;
  for (const char* archivo : kArchivosBarrido)
    todo += archivo + std::string(":") + leeArchivo(dir / archivo);
  return todo;
}

// The networks are made on the workers, each thread its own.
TEST(Reconstruct, EnsembleSweepIsTheSameBytesOnAnyThreadsAndItsSummaryAgreesWithItsRows) {
  const fs::path uno = directorioTemporal(), otro = directorioTemporal();
  for (const fs::path& dir : {uno, otro})
    escribeArchivo(dir / "marginals.csv", leeArchivo(kBancos + "marginals.csv"));
  ASSERT_EQ(barreConjunto(uno, "1", "40").estado, 0);
  const std::string esperado = archivosDeBarrido(uno);
  for (const char* hilos : {"2", "3"}) {
    ASSERT_EQ(barreConjunto(otro, hilos, "40").estado, 0);
    EXPECT_EQ(archivosDeBarrido(otro), esperado) << hilos << " threads";
  }

  // default_probability is the share of networks whose row defaults; the
  // quantiles are in order and the mean lies between the extremes.
  const auto nodos = filasCsv(leeArchivo(uno / "sweep_nodes.csv"));
  std::map<std::pair<std::string, std::string>, int> quiebras;
  for (std::size_t f = 1; f < nodos.size(); ++f)
    quiebras[{nodos[f][1], nodos[f][2]}] += nodos[f][4] != "0" ? 1 : 0;
  const auto resumen = filasCsv(leeArchivo(uno / "sweep_summary.csv"));
  ASSERT_EQ(resumen.size(), 1 + 4 * 4u);
  EXPECT_EQ(resumen[0][4], "default_probability");
  for (std::size_t f = 1; f < resumen.size(); ++f) {
    const auto& r = resumen[f];
    EXPECT_EQ(r[3], "40");
    const int vistas = quiebras[std::make_pair(r[0], r[1])];
    EXPECT_DOUBLE_EQ(std::stod(r[4]), vistas / 40.0) << r[0] << " " << r[1];
    EXPECT_LE(std::stod(r[6]), std::stod(r[7]));
    EXPECT_LE(std::stod(r[7]), std::stod(r[8]));
  }
  fs::remove_all(uno);
  fs::remove_all(otro);
}

TEST(Reconstruct, EnsembleSweepRefusesWhatClearingReconstructRefusesAndWritesNothing) {
  const fs::path dir = directorioTemporal();
  escribeArchivo(dir / "marginals.csv", kCabecera + "A,12,9,0\nB,4,6,0\nC,4,5,0\n");
  Salida s = barreConjunto(dir, "1", "3");
  EXPECT_EQ(s.estado, 1);
  EXPECT_EQ(s.stderrTexto,
            "marginals.csv:2: \"A\" owes 12 but all the other nodes are owed 11 in all: no network "
            "in which no node owes itself meets these totals\n");
  s = ejecutaConErrores(CLEARING_SWEEP, dir,
                        {"--ensemble", "marginals.csv", "--sample", "3", "--each-node"});
  EXPECT_EQ(s.estado, 2) << "no density nor seed";
  EXPECT_EQ(cuentaArchivos(dir), 1u);
  fs::remove_all(dir);
}

// Under MPI each rank makes the networks of its own chunks, which here
// cross from one network to the next (160 scenarios in chunks of 7 on 3 ranks).
TEST(Reconstruct, EnsembleSweepUnderMpiIsClearingSweepsBytes) {
#ifndef CLEARING_SWEEP_MPI
  GTEST_SKIP() << "clearing-sweep-mpi is not built: MPI was not found";
#else
  const fs::path dir = directorioTemporal();
  escribeArchivo(dir / "marginals.csv", leeArchivo(kBancos + "marginals.csv"));
  ASSERT_EQ(barreConjunto(dir, "2", "40").estado, 0);
  const std::string esperado = archivosDeBarrido(dir);
  for (const char* rangos : {"2", "3"}) {
    const Salida s = ejecutaConErrores(
        CLEARING_MPIEXEC, dir,
        {"--allow-run-as-root", "--oversubscribe", "-x", "ASAN_OPTIONS=detect_leaks=0", "-n",
         rangos, CLEARING_SWEEP_MPI, "--threads", "2", "--ensemble", "marginals.csv", "--sample",
         "40", "--density", "0.4", "--seed", "5", "--each-node"});
    ASSERT_EQ(s.estado, 0) << s.stderrTexto;
    EXPECT_EQ(archivosDeBarrido(dir), esperado) << rangos << " ranks";
  }
  fs::remove_all(dir);
#endif
}
