// clearing-export end to end: the bundled examples' CSV files checked cell by
// cell against their reports and input.txt, the banks example byte for byte,
// and every refusal with its message and nothing written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/pruebas.h"
#include "clearing/derivadas.h"
#include "clearing/motor.h"
#include "comun/salida.h"
#include "lectura/lector.h"
#include "proceso.h"
#include "report/formato.h"

namespace fs = std::filesystem;

namespace {

const fs::path kEjemplos = fs::path(CLEARING_TEST_DIR) / ".." / "examples";
const char* const kSalidas[] = {"results.csv", "payments.csv", "cascade.html"};

std::vector<std::string> separa(const std::string& texto, const std::string& fin) {
  std::vector<std::string> partes;
  std::size_t i = 0;
  for (std::size_t k; (k = texto.find(fin, i)) != std::string::npos; i = k + fin.size())
    partes.push_back(texto.substr(i, k - i));
  if (i < texto.size()) partes.push_back(texto.substr(i));
  return partes;
}

std::vector<std::string> celdas(const std::string& linea) {
  std::istringstream s(linea);
  std::vector<std::string> c;
  for (std::string t; s >> t;) c.push_back(t);
  return c;
}

// A CSV record as RFC 4180 reads it (no line breaks inside fields here).
std::vector<std::string> campos(const std::string& linea) {
  std::vector<std::string> c(1);
  bool comillas = false;
  for (std::size_t i = 0; i < linea.size(); ++i) {
    if (comillas && linea[i] == '"' && i + 1 < linea.size() && linea[i + 1] == '"') {
      c.back() += '"';
      ++i;
    } else if (linea[i] == '"') {
      comillas = !comillas;
    } else if (linea[i] == ',' && !comillas) {
      c.emplace_back();
    } else {
      c.back() += linea[i];
    }
  }
  return c;
}

std::string exacto(double v) {
  char t[64];
  return std::string(t, std::to_chars(t, t + sizeof t, v).ptr);
}

double valor(const std::string& texto) {
  double v = 0;
  std::from_chars(texto.data(), texto.data() + texto.size(), v);
  return v;
}

// The cell the report writes for v in format f.
std::string comoInforme(double v, FormatoReal f) {
  char texto[kMaxNumero];
  return celdas(std::string(texto, formatoReal(texto, v, f))).at(0);
}

struct Entrada {
  std::size_t n = 0;
  std::vector<std::vector<double>> L;
  std::vector<double> e;
};

Entrada leeEntrada(const std::string& texto) {
  std::istringstream s(texto);
  Entrada r;
  s >> r.n;
  r.L.assign(r.n, std::vector<double>(r.n));
  r.e.resize(r.n);
  std::string t;
  for (auto& fila : r.L)
    for (double& v : fila) s >> t, esRealValido(t, v);
  for (double& v : r.e) s >> t, esRealValido(t, v);
  return r;
}

// The line after a heading's blank line, split into cells.
std::vector<std::string> tras(const std::vector<std::string>& lineas, const std::string& titulo,
                              std::size_t desplazamiento = 2) {
  for (std::size_t i = 0; i < lineas.size(); ++i)
    if (lineas[i] == titulo) return celdas(lineas.at(i + desplazamiento));
  ADD_FAILURE() << "no " << titulo;
  return {};
}

fs::path preparaEjemplo(const fs::path& ejemplo) {
  fs::path dir = directorioTemporal();
  fs::copy_file(ejemplo / "input.txt", dir / "input.txt");
  fs::copy_file(ejemplo / "expected" / "output.txt", dir / "output.txt");
  if (fs::exists(ejemplo / "nodes.txt")) fs::copy_file(ejemplo / "nodes.txt", dir / "nodes.txt");
  return dir;
}

void compruebaResultados(const fs::path& dir, const Entrada& red,
                         const std::vector<std::string>& informe,
                         const std::vector<std::string>& nombres) {
  const std::vector<std::string> p = tras(informe, "Vector de resoluci\xF3n (p):");
  const std::vector<std::string> pasos =
      tras(informe, "Vector de pasos en los que quiebra cada nodo:");
  const std::vector<std::string> capital = tras(informe, "Capital resultante de cada nodo:");
  const std::vector<std::string> filas = separa(leeArchivo(dir / "results.csv"), "\r\n");
  ASSERT_EQ(filas.size(), red.n + 1);
  EXPECT_EQ(filas[0],
            "node,name,total_obligations,outside_cash,payment,recovery_rate,default_round,capital");
  for (std::size_t i = 0; i < red.n; ++i) {
    SCOPED_TRACE("results.csv row of node " + std::to_string(i));
    double total = 0.0;
    for (double v : red.L[i]) total += v;
    const std::vector<std::string> c = campos(filas[i + 1]);
    ASSERT_EQ(c.size(), 8u);
    EXPECT_EQ(c[0], std::to_string(i));
    EXPECT_EQ(c[1], nombres.empty() ? "" : nombres[i]);
    EXPECT_EQ(c[2], exacto(total));
    EXPECT_EQ(c[3], exacto(red.e[i]));
    EXPECT_EQ(c[4], exacto(valor(c[4])));
    EXPECT_EQ(comoInforme(valor(c[4]), kFormatoResultado), p[i]);
    EXPECT_EQ(c[5], total == 0.0 ? "" : exacto(valor(c[4]) / total));
    EXPECT_EQ(c[6], pasos[i]);
    EXPECT_EQ(c[7], exacto(valor(c[7])));
    EXPECT_EQ(valor(c[7]) < 1e-8 ? "0" : comoInforme(valor(c[7]), kFormatoResultado), capital[i]);
  }
}

// Each payment, written as the report writes its payments matrix, is the
// report's cell; and there is one row per nonzero obligation.
void compruebaPagos(const fs::path& dir, const Entrada& red,
                    const std::vector<std::string>& informe) {
  const std::vector<std::string> filas = separa(leeArchivo(dir / "payments.csv"), "\r\n");
  ASSERT_FALSE(filas.empty());
  EXPECT_EQ(filas[0], "debtor,debtor_name,creditor,creditor_name,obligation,payment");
  std::size_t k = 1;
  for (std::size_t i = 0; i < red.n; ++i) {
    const std::vector<std::string> pagos = tras(informe, "Matriz de pagos", 2 + i);
    for (std::size_t j = 0; j < red.n; ++j) {
      if (red.L[i][j] == 0.0) continue;
      SCOPED_TRACE("payment " + std::to_string(i) + " -> " + std::to_string(j));
      ASSERT_LT(k, filas.size());
      const std::vector<std::string> c = campos(filas[k++]);
      ASSERT_EQ(c.size(), 6u);
      EXPECT_EQ(c[0], std::to_string(i));
      EXPECT_EQ(c[2], std::to_string(j));
      EXPECT_EQ(c[4], exacto(red.L[i][j]));
      EXPECT_EQ(comoInforme(valor(c[5]), kFormatoL), pagos.at(j));
    }
  }
  EXPECT_EQ(k, filas.size());
}

// Exports in dir, beside input.txt and clearing's output.txt, and checks
// the CSV files against them.
void exportaYComprueba(const fs::path& dir) {
  const Salida s = ejecutaConErrores(CLEARING_EXPORT, dir);
  EXPECT_EQ(s.estado, 0);
  EXPECT_EQ(s.stderrTexto, "");
  const Entrada red = leeEntrada(leeArchivo(dir / "input.txt"));
  const std::vector<std::string> informe = separa(leeArchivo(dir / "output.txt"), "\r\n");
  const std::vector<std::string> nombres = fs::exists(dir / "nodes.txt")
                                               ? separa(leeArchivo(dir / "nodes.txt"), "\n")
                                               : std::vector<std::string>{};
  compruebaResultados(dir, red, informe, nombres);
  compruebaPagos(dir, red, informe);
  EXPECT_NE(leeArchivo(dir / "cascade.html").find("</html>"), std::string::npos);
}

TEST(Export, ExamplesAgreeWithTheirReports) {
  for (const char* nombre : {"cadena", "cascada", "solvente", "bancos"}) {
    SCOPED_TRACE(nombre);
    const fs::path dir = preparaEjemplo(kEjemplos / nombre);
    exportaYComprueba(dir);
    fs::remove_all(dir);
  }
}

// Reports the check once misread: -0 obligations, which the report writes
// "-0" (the sparse L once dropped them), and a default set that shrinks
// between rounds, which negative entries allow (the check once assumed the
// marks only grow; in the adversarial network of seed 1, node 6 defaults in
// round 1 and not in round 2).
TEST(Export, NegativeZerosAndShrinkingDefaultSetsAgree) {
  const struct {
    const char* que;
    std::vector<std::string> generador;  // or the input itself
    std::string entrada;
  } casos[] = {
      {"-0 obligations", {}, "3\n-0 10 -0\n-0 0 10\n0 -0 -0\n5 2 -0\n"},
      {"a default set that shrinks", {"adversarial", "10", "1"}, ""},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.que);
    const fs::path dir = directorioTemporal();
    std::string entrada = c.entrada;
    if (!c.generador.empty())
      entrada = ejecutaBinario(CLEARING_GENERADOR, dir, {}, 0, c.generador).stdoutTexto;
    escribeArchivo(dir / "input.txt", entrada);
    ASSERT_EQ(ejecutaBinario(CLEARING_BINARIO, dir).estado, 0);
    exportaYComprueba(dir);
    fs::remove_all(dir);
  }
}

TEST(Export, BanksExampleByteForByte) {
  const fs::path ejemplo = kEjemplos / "bancos";
  const fs::path dir = preparaEjemplo(ejemplo);
  ASSERT_EQ(ejecutaConErrores(CLEARING_EXPORT, dir).estado, 0);
  EXPECT_EQ(leeArchivo(dir / "results.csv"), leeArchivo(ejemplo / "expected" / "results.csv"));
  EXPECT_EQ(leeArchivo(dir / "payments.csv"), leeArchivo(ejemplo / "expected" / "payments.csv"));
  fs::remove_all(dir);
}

struct Rechazo {
  const char* nombre;
  std::optional<std::string> entrada;  // nullopt: no such file
  std::optional<std::string> informe;
  std::optional<std::string> nodos;
  std::string mensaje;
};

std::string cambia(std::string texto, const std::string& de, const std::string& a) {
  return texto.replace(texto.find(de), de.size(), a);
}

std::string primeras(const std::string& texto, std::size_t lineas, const std::string& mas = "") {
  std::size_t fin = 0;
  for (std::size_t k = 0; k < lineas; ++k) fin = texto.find('\n', fin) + 1;
  return texto.substr(0, fin) + mas;
}

TEST(Export, RefusesAndWritesNothing) {
  const std::string entrada = leeArchivo(kEjemplos / "cascada" / "input.txt");
  const std::string informe = leeArchivo(kEjemplos / "cascada" / "expected" / "output.txt");
  const std::string otro = leeArchivo(kEjemplos / "cadena" / "expected" / "output.txt");
  const std::string bancos = leeArchivo(kEjemplos / "bancos" / "input.txt");
  const std::string informeBancos = leeArchivo(kEjemplos / "bancos" / "expected" / "output.txt");
  const std::string separador = std::string(89, '-') + "\r\n";
  const std::string corto = "output.txt is incomplete: it ends after line ";
  const std::string cortado = "output.txt is incomplete: it stops inside line ";
  const std::string motivo =
      ". The run that wrote it ended early with a message; run clearing again to a complete "
      "report.";
  const std::string distinto = " (a report of other numbers, or input.txt changed since)";
  const Rechazo casos[] = {
      {"empty report", entrada, "", std::nullopt, corto + "0, in section INPUT" + motivo},
      {"report cut inside a round", entrada, primeras(informe, 53), std::nullopt,
       corto + "53, in section DIAGONALES" + motivo},
      {"report cut before the results", entrada, primeras(informe, 57), std::nullopt,
       corto + "57, in section RESULTADO" + motivo},
      {"report cut inside p", entrada, primeras(informe, 61, "8.80851e+000 8.8"), std::nullopt,
       cortado + "62, in section RESULTADO" + motivo},
      {"report cut inside its last line", entrada, primeras(informe, 79, "3      0"), std::nullopt,
       cortado + "80, in section Matriz de pagos" + motivo},
      {"report of another network", entrada, otro, std::nullopt,
       "output.txt:5: the report does not match input.txt: row 0 of L has 3 values, 5 in "
       "input.txt" +
           distinto},
      {"an obligation changed since", cambia(entrada, "2 0 0 6 4", "2 0 0 7 4"), informe,
       std::nullopt,
       "output.txt:7: the report does not match input.txt: row 2 of L differs" + distinto},
      {"outside cash changed since", cambia(entrada, "4 3 2 1 6", "4 3 2 1 6.5"), informe,
       std::nullopt, "output.txt:13: the report does not match input.txt: e differs" + distinto},
      {"an obligation changed within the report's digits", cambia(bancos, "12.5", "12.54"),
       informeBancos, std::nullopt,
       "output.txt:50: the report does not match input.txt: p differs" + distinto},
      {"a report cut to its rounds", entrada, primeras(informe, 48) + "\r\n" + separador,
       std::nullopt,
       "output.txt:49: the report does not match input.txt: clearing runs more rounds than the "
       "report has" +
           distinto},
      {"terminal bytes of the report escaped", entrada, "\x1B]0;x\x07\\\r\n", std::nullopt,
       "output.txt:1: expected \"INPUT\", found \"\\x1B]0;x\\x07\\x5C\": not a report of "
       "clearing"},
      {"names of another network", entrada, informe, "A\nB\nC\nD\n",
       "nodes.txt has 4 names for the 5 nodes of input.txt: it belongs to another network"},
      {"not a report", entrada, "hola\r\n", std::nullopt,
       "output.txt:1: expected \"INPUT\", found \"hola\": not a report of clearing"},
      {"text after the report", entrada, informe + "extra\r\n", std::nullopt,
       "output.txt:81: text after the payments matrix: not a report of clearing"},
      {"no report", entrada, std::nullopt, std::nullopt, "output.txt: cannot open"},
      {"no input", std::nullopt, informe, std::nullopt, "input.txt: cannot open"},
      {"bad input", "2 1 x", informe, std::nullopt, "input.txt: bad number \"x\" for L[0][1]"},
  };
  for (const Rechazo& c : casos) {
    SCOPED_TRACE(c.nombre);
    const fs::path dir = directorioTemporal();
    if (c.entrada) escribeArchivo(dir / "input.txt", *c.entrada);
    if (c.informe) escribeArchivo(dir / "output.txt", *c.informe);
    if (c.nodos) escribeArchivo(dir / "nodes.txt", *c.nodos);
    const Salida s = ejecutaConErrores(CLEARING_EXPORT, dir);
    EXPECT_EQ(s.estado, 1);
    EXPECT_EQ(s.stderrTexto, c.mensaje + "\n");
    for (const char* salida : kSalidas) EXPECT_FALSE(fs::exists(dir / salida)) << salida;
    fs::remove_all(dir);
  }
}

// A dimension whose matrices the system cannot hold ends with a message,
// before any memory is touched.
TEST(Export, RefusesANetworkThatCannotFit) {
  const fs::path dir = directorioTemporal();
  escribeArchivo(dir / "input.txt", "100000000\n");
  escribeArchivo(dir / "output.txt", "");
  const Salida s = ejecutaConErrores(CLEARING_EXPORT, dir);
  EXPECT_EQ(s.estado, 1);
  EXPECT_TRUE(s.stderrTexto.starts_with("input.txt: 100000000 nodes need about ")) << s.stderrTexto;
  fs::remove_all(dir);
}

// No node of this dense network defaults: each pays exactly what it owes.
TEST(Export, SolventNodesExactOnADenseNetwork) {
  const fs::path dir = directorioTemporal();
  const Salida red = ejecutaBinario(CLEARING_GENERADOR, dir, {}, 0, {"dense", "122", "15"});
  ASSERT_EQ(red.estado, 0);
  escribeArchivo(dir / "input.txt", red.stdoutTexto);
  ASSERT_EQ(ejecutaBinario(CLEARING_BINARIO, dir).estado, 0);
  const Salida s = ejecutaConErrores(CLEARING_EXPORT, dir);
  ASSERT_EQ(s.estado, 0) << s.stderrTexto;
  const std::vector<std::string> filas = separa(leeArchivo(dir / "results.csv"), "\r\n");
  ASSERT_EQ(filas.size(), 123u);
  for (std::size_t i = 1; i < filas.size(); ++i) {
    const std::vector<std::string> c = campos(filas[i]);
    ASSERT_EQ(c.size(), 8u);
    EXPECT_EQ(c[6], "0") << i;
    EXPECT_EQ(c[4], c[2]) << "payment and total obligations of node " << i - 1;
    EXPECT_EQ(c[5], c[2] == "0" ? "" : "1") << "recovery rate of node " << i - 1;
  }
  fs::remove_all(dir);
}

// A debtor that pays in full pays each obligation exactly; a defaulting one
// pays PI·p, never above what it owes. The report's product alone lands an
// ulp above the obligation in some rows of these networks.
TEST(Export, PaymentsAboveTheirObligationOnGeneratedNetworks) {
  for (const char* familia : {"sparse", "dense", "cascade", "coreperiphery", "densecascade"}) {
    for (const int n : {30, 90, 150}) {
      SCOPED_TRACE(std::string(familia) + " " + std::to_string(n));
      const fs::path dir = directorioTemporal();
      ASSERT_EQ(ejecutaRedGenerada(CLEARING_GENERADOR, CLEARING_BINARIO, dir, familia, n), 0);
      ASSERT_EQ(ejecutaConErrores(CLEARING_EXPORT, dir).estado, 0);
      const std::vector<std::string> nodos = separa(leeArchivo(dir / "results.csv"), "\r\n");
      const std::vector<std::string> pagos = separa(leeArchivo(dir / "payments.csv"), "\r\n");
      for (std::size_t k = 1; k < pagos.size(); ++k) {
        const std::vector<std::string> c = campos(pagos[k]);
        const std::vector<std::string> deudor = campos(nodos.at(std::stoul(c.at(0)) + 1));
        const double obligacion = valor(c.at(4));
        const double p = valor(deudor.at(4));
        const double total = valor(deudor.at(2));
        const double esperado =
            p == total ? obligacion : std::min(obligacion / total * p, obligacion);
        ASSERT_EQ(c.at(5), exacto(esperado)) << pagos[k];
        ASSERT_LE(valor(c.at(5)), obligacion) << pagos[k];
      }
      fs::remove_all(dir);
    }
  }
}

// Names a spreadsheet would evaluate get a leading ', in every name column;
// a name that is a plain number stays one.
TEST(Export, FormulaNamesEvaluatedBySpreadsheets) {
  const fs::path dir = preparaEjemplo(kEjemplos / "bancos");
  escribeArchivo(dir / "nodes.txt", "=SUM(A1)\n@cmd\n-1+2\n-0.5\n");
  ASSERT_EQ(ejecutaConErrores(CLEARING_EXPORT, dir).estado, 0);
  const std::vector<std::string> nodos = separa(leeArchivo(dir / "results.csv"), "\r\n");
  const char* const esperados[] = {"'=SUM(A1)", "'@cmd", "'-1+2", "-0.5"};
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(campos(nodos.at(i + 1)).at(1), esperados[i]);
  const std::vector<std::string> pagos =
      campos(separa(leeArchivo(dir / "payments.csv"), "\r\n").at(1));
  EXPECT_EQ(pagos.at(1), "'=SUM(A1)");
  EXPECT_EQ(pagos.at(3), "'@cmd");
  fs::remove_all(dir);
}

// Exports at once in one directory, again and again: each ends well and
// leaves complete files.
TEST(Export, RunsAtOnceLeaveCompleteFiles) {
  const fs::path ejemplo = kEjemplos / "bancos";
  const fs::path dir = preparaEjemplo(ejemplo);
  for (int vez = 0; vez < 10; ++vez) {
    SCOPED_TRACE(vez);
    for (const Salida& s : ejecutaALaVez(CLEARING_EXPORT, dir, {{}, {}, {}})) {
      EXPECT_EQ(s.estado, 0);
      EXPECT_EQ(s.stderrTexto, "");
    }
    EXPECT_EQ(leeArchivo(dir / "results.csv"), leeArchivo(ejemplo / "expected" / "results.csv"));
    EXPECT_EQ(leeArchivo(dir / "payments.csv"), leeArchivo(ejemplo / "expected" / "payments.csv"));
    EXPECT_EQ(cuentaArchivos(dir), 6u) << "a temporary left behind";
  }
  fs::remove_all(dir);
}

// Links planted at a temporary's old fixed name and at a target are not
// written through; and a target that cannot be replaced (the last one, a
// directory) leaves every earlier file as it was.
TEST(Export, OutputsReplacedAllOrNothing) {
  const fs::path ejemplo = kEjemplos / "bancos";
  const fs::path fuera = directorioTemporal();
  escribeArchivo(fuera / "victima", "untouched\n");
  fs::path dir = preparaEjemplo(ejemplo);
  fs::create_symlink(fuera / "victima", dir / "results.csv.part");
  fs::create_symlink(fuera / "victima", dir / "cascade.html");
  EXPECT_EQ(ejecutaConErrores(CLEARING_EXPORT, dir).estado, 0);
  EXPECT_EQ(leeArchivo(fuera / "victima"), "untouched\n");
  EXPECT_FALSE(fs::is_symlink(dir / "cascade.html"));
  EXPECT_EQ(leeArchivo(dir / "results.csv"), leeArchivo(ejemplo / "expected" / "results.csv"));
  fs::remove_all(dir);

  dir = preparaEjemplo(ejemplo);
  escribeArchivo(dir / "results.csv", "old\n");
  escribeArchivo(dir / "payments.csv", "old\n");
  fs::create_directory(dir / "cascade.html");
  const Salida s = ejecutaConErrores(CLEARING_EXPORT, dir);
  EXPECT_EQ(s.estado, 1);
  EXPECT_EQ(s.stderrTexto, "cascade.html: cannot replace (Is a directory)\n");
  EXPECT_EQ(leeArchivo(dir / "results.csv"), "old\n");
  EXPECT_EQ(leeArchivo(dir / "payments.csv"), "old\n");
  EXPECT_EQ(cuentaArchivos(dir), 6u) << "a temporary left behind";
  fs::remove_all(dir);
  fs::remove_all(fuera);
}

// A link planted at the exact name a temporary is first given is not
// written through (temporaries were once opened without O_EXCL |
// O_NOFOLLOW): the file is written under another name and renamed into place.
TEST(Export, LinkAtTheTemporarysNameNotWrittenThrough) {
  const fs::path dir = directorioTemporal();
  escribeArchivo(dir / "victima", "untouched\n");
  fs::create_symlink(dir / "victima", dir / "results.csv.0123abcd.part");
  controlPruebas().sufijoTemporal = "0123abcd";
  std::array<ArchivoNuevo, 1> nuevo;
  std::string error;
  const bool abierto = abreNuevo(nuevo[0], (dir / "results.csv").string(), error);
  controlPruebas() = {};
  ASSERT_TRUE(abierto) << error;
  escribe(nuevo[0], "new\n");
  ASSERT_TRUE(confirmaNuevos(nuevo, error)) << error;
  EXPECT_EQ(leeArchivo(dir / "victima"), "untouched\n");
  EXPECT_FALSE(fs::is_symlink(dir / "results.csv"));
  EXPECT_EQ(leeArchivo(dir / "results.csv"), "new\n");
  fs::remove_all(dir);
}

// SIGINT or SIGTERM while the files are written (one of them past its
// stream's buffer, on the disk): the old file stays, and no temporary.
TEST(Export, SignalMidWriteReplacesNothing) {
  for (const int senal : {SIGINT, SIGTERM}) {
    const fs::path dir = directorioTemporal();
    escribeArchivo(dir / "results.csv", "old\n");
    const Salida s = ejecutaEnHijo([&] {
      struct sigaction antes {};
      if (sigaction(senal, nullptr, &antes) != 0 || antes.sa_handler == SIG_IGN) _exit(77);
      std::array<ArchivoNuevo, 2> nuevos;
      std::string error;
      if (!abreNuevo(nuevos[0], (dir / "results.csv").string(), error) ||
          !abreNuevo(nuevos[1], (dir / "payments.csv").string(), error))
        _exit(3);
      escribe(nuevos[0], std::string(3 << 20, 'x'));
      (void)std::raise(senal);
      _exit(4);
    });
    if (s.estado == 77) GTEST_SKIP() << "the signal is ignored here";
    EXPECT_EQ(s.estado, 128 + senal);
    EXPECT_EQ(leeArchivo(dir / "results.csv"), "old\n");
    EXPECT_EQ(cuentaArchivos(dir), 1u) << "a temporary left behind";
    fs::remove_all(dir);
  }
}

// Names reach the drawing and the page as they are: no Graphviz escape
// (\N, \G, \n) or entity is expanded, and each is isolated from the
// direction of the text around it.
TEST(Export, NamesShownLiterally) {
  const fs::path dir = preparaEjemplo(kEjemplos / "bancos");
  const std::string rlo = "\xE2\x80\xAE";  // U+202E RIGHT-TO-LEFT OVERRIDE
  escribeArchivo(dir / "nodes.txt", "\\N \\G \\n\nA &amp; <b>\n" + rlo + "abc\nSmith \"Bank\"\n");
  ASSERT_EQ(ejecutaConErrores(CLEARING_EXPORT, dir).estado, 0);
  const std::string pagina = leeArchivo(dir / "cascade.html");
  const std::string fsi = "\xE2\x81\xA8";  // U+2068 FIRST STRONG ISOLATE
  const std::string pdi = "\xE2\x81\xA9";  // U+2069 POP DIRECTIONAL ISOLATE
  const struct {
    const char* donde;
    std::string texto;
  } casos[] = {
      {"label", ">" + fsi + "\\N \\G \\n" + pdi + "</text>"},
      {"label", ">" + fsi + "A &amp;amp; &lt;b&gt;" + pdi + "</text>"},
      {"label", ">" + fsi + rlo + "abc" + pdi + "</text>"},
      {"tooltip", "xlink:title=\"" + fsi + "\\N \\G \\n" + pdi + " (node 0)"},
      {"tooltip", "xlink:title=\"" + fsi + "A &amp;amp; &lt;b&gt;" + pdi + " (node 1)"},
      {"tooltip", "xlink:title=\"" + fsi + rlo + "abc" + pdi + " owes "},
      {"table", "<td>" + fsi + "\\N \\G \\n" + pdi + "</td>"},
  };
  for (const auto& c : casos)
    EXPECT_NE(pagina.find(c.texto), std::string::npos) << c.donde << ": " << c.texto;
  EXPECT_NE(leeArchivo(dir / "results.csv").find("\r\n3,\"Smith \"\"Bank\"\"\",0,0,0,,0,"),
            std::string::npos);
  fs::remove_all(dir);
}

// A run of clearing that ends with a message leaves a report export refuses.
TEST(Export, RefusesTheReportOfAFailedRun) {
  const fs::path dir = directorioTemporal();
  escribeArchivo(dir / "input.txt", "2\n0 1\n1 0\n-0.5 -0.5\n");
  ASSERT_EQ(ejecutaBinario(CLEARING_BINARIO, dir).estado, 1);
  const Salida s = ejecutaConErrores(CLEARING_EXPORT, dir);
  EXPECT_EQ(s.estado, 1);
  EXPECT_EQ(s.stderrTexto.rfind("output.txt is incomplete: it ends after line ", 0), 0u)
      << s.stderrTexto;
  for (const char* salida : kSalidas) EXPECT_FALSE(fs::exists(dir / salida)) << salida;
  fs::remove_all(dir);
}

// Past the drawing's limit the page keeps its charts and says why.
TEST(Export, LargeNetworkPageWithoutDrawing) {
  const fs::path dir = directorioTemporal();
  ASSERT_EQ(ejecutaRedGenerada(CLEARING_GENERADOR, CLEARING_BINARIO, dir, "sparse", 250), 0);
  ASSERT_EQ(ejecutaConErrores(CLEARING_EXPORT, dir).estado, 0);
  const std::string pagina = leeArchivo(dir / "cascade.html");
  EXPECT_NE(pagina.find("<p id=\"red-omitida\">The network has 250 nodes"), std::string::npos);
  EXPECT_EQ(pagina.find("class=\"node"), std::string::npos);
  EXPECT_NE(pagina.find("id=\"grafico-rondas\""), std::string::npos);
  EXPECT_EQ(separa(leeArchivo(dir / "results.csv"), "\r\n").size(), 251u);
  fs::remove_all(dir);
}

// A dense network of few nodes is a tangle of lines: the page says so.
TEST(Export, DenseNetworkPageWithoutDrawing) {
  const fs::path dir = directorioTemporal();
  ASSERT_EQ(ejecutaRedGenerada(CLEARING_GENERADOR, CLEARING_BINARIO, dir, "dense", 40), 0);
  ASSERT_EQ(ejecutaConErrores(CLEARING_EXPORT, dir).estado, 0);
  const std::string pagina = leeArchivo(dir / "cascade.html");
  EXPECT_NE(pagina.find("<p id=\"red-omitida\">The network has 40 nodes and "), std::string::npos);
  EXPECT_NE(pagina.find("a tangle of lines, so this page shows the chart and the table only."),
            std::string::npos);
  fs::remove_all(dir);
}

// The numbers after attribute="…" in an SVG fragment, or NaN.
double atributoSvg(std::string_view trozo, std::string_view atributo) {
  const std::string clave = " " + std::string(atributo) + "=\"";
  const std::size_t donde = trozo.find(clave);
  if (donde == std::string_view::npos) return std::nan("");
  return std::stod(std::string(trozo.substr(donde + clave.size(), 24)));
}

// Names beside their circles were drawn in the circle's text colour (white
// for the early rounds) on the white page, wherever Graphviz put them; and
// 40 banks with 6 counterparties each got no drawing. Each name beside a
// circle must be dark and within a couple of text heights of its own circle.
TEST(Export, LabelsBesideCirclesDarkNextToTheirOwnAndTypicalNetworksDrawn) {
  const fs::path dir = directorioTemporal();
  std::ostringstream red;  // 40 banks, each owing the next 6 more than its cash covers
  red << "40\n";
  for (int i = 0; i < 40; ++i)
    for (int j = 0; j < 40; ++j)
      red << ((j - i + 40) % 40 >= 1 && (j - i + 40) % 40 <= 6 ? 10 + (i * j) % 7 : 0)
          << (j + 1 < 40 ? ' ' : '\n');
  for (int i = 0; i < 40; ++i) red << (i % 5 == 0 ? 0 : 2) << (i + 1 < 40 ? ' ' : '\n');
  escribeArchivo(dir / "input.txt", red.str());
  std::string nombres;
  for (int i = 0; i < 40; ++i) nombres += "Banco Regional " + std::to_string(1000 + i) + "\n";
  escribeArchivo(dir / "nodes.txt", nombres);
  ASSERT_EQ(ejecutaBinario(CLEARING_BINARIO, dir).estado, 0);
  ASSERT_EQ(ejecutaConErrores(CLEARING_EXPORT, dir).estado, 0);
  const std::string pagina = leeArchivo(dir / "cascade.html");
  EXPECT_EQ(pagina.find("id=\"red-omitida\""), std::string::npos);
  int nodos = 0, alLado = 0, blancos = 0;
  for (std::size_t k = pagina.find("<g id=\"nodo&#45;"); k != std::string::npos;
       k = pagina.find("<g id=\"nodo&#45;", k + 1)) {
    ++nodos;
    const std::string_view nodo = std::string_view(pagina).substr(
        k, std::min(pagina.find("<!--", k), pagina.find("</svg>", k)) - k);
    const std::size_t elipse = nodo.find("<ellipse");
    ASSERT_NE(elipse, std::string_view::npos);
    const double cx = atributoSvg(nodo.substr(elipse), "cx");
    const double cy = atributoSvg(nodo.substr(elipse), "cy");
    const double r = atributoSvg(nodo.substr(elipse), "rx");
    const std::size_t fuera = nodo.find("</a>");  // what follows: the name beside the circle
    for (std::size_t t = nodo.find("<text", fuera); t != std::string_view::npos;
         t = nodo.find("<text", t + 1)) {
      ++alLado;
      const std::string_view texto = nodo.substr(t, nodo.find("</text>", t) - t);
      if (texto.find("fill=\"#1a1a1a\"") == std::string_view::npos) ++blancos;
      // The text's box (10-point, about 5.5 units a character, 19 here).
      const double ancho = 19 * 5.5, x = atributoSvg(texto, "x"), y = atributoSvg(texto, "y");
      const double x0 = texto.find("\"start\"") != std::string_view::npos ? x
                        : texto.find("\"end\"") != std::string_view::npos ? x - ancho
                                                                          : x - ancho / 2;
      const double dx = std::max({x0 - cx, 0.0, cx - (x0 + ancho)});
      const double dy = std::max({y - 8 - cy, 0.0, cy - (y + 2)});
      EXPECT_LE(std::hypot(dx, dy) - r, 24.0) << texto;
    }
  }
  EXPECT_EQ(nodos, 40);
  EXPECT_GT(alLado, 0);
  EXPECT_NE(pagina.find("class=\"node nodo ronda&#45;1\""), std::string::npos);  // white inside
  EXPECT_EQ(blancos, 0);
  fs::remove_all(dir);
}

// With --costs the files describe the engine's clearing with those costs,
// output.txt is not read, and the page says which costs; --costs 1:1 writes
// what the export writes without costs. Bad costs, and costs under which
// the network has no clearing vector, are refused with nothing written.
TEST(Export, WithCostsTheEnginesClearingWithThoseCosts) {
  for (const char* nombre : {"cadena", "cascada", "solvente", "bancos"}) {
    SCOPED_TRACE(nombre);
    const fs::path dir = preparaEjemplo(kEjemplos / nombre);
    ASSERT_EQ(ejecutaConErrores(CLEARING_EXPORT, dir).estado, 0);
    const std::string sinCostes[] = {leeArchivo(dir / kSalidas[0]), leeArchivo(dir / kSalidas[1])};
    ASSERT_EQ(ejecutaConErrores(CLEARING_EXPORT, dir, {"--costs", "1:1"}).estado, 0);
    EXPECT_EQ(leeArchivo(dir / kSalidas[0]), sinCostes[0]);
    EXPECT_EQ(leeArchivo(dir / kSalidas[1]), sinCostes[1]);
    fs::remove(dir / "output.txt");
    const Salida s = ejecutaConErrores(CLEARING_EXPORT, dir, {"--costs", "0.9:0.8"});
    ASSERT_EQ(s.estado, 0) << s.stderrTexto;
    const Entrada entrada = leeEntrada(leeArchivo(dir / "input.txt"));
    OpcionesClearing opciones;
    opciones.alfa = 0.9;
    opciones.beta = 0.8;
    NetworkState estado;
    estado.L = Matrix(entrada.L.begin(), entrada.L.end());
    estado.e = entrada.e;
    estado.pBarra = calculaPBarra(estado);
    estado.PI = calculaPI(estado);
    const ResultadoClearing r = calculaClearing(estado, opciones);
    ASSERT_FALSE(r.error);
    const std::vector<std::string> filas = separa(leeArchivo(dir / "results.csv"), "\r\n");
    ASSERT_EQ(filas.size(), entrada.n + 1);
    for (std::size_t i = 0; i < entrada.n; ++i) {
      const std::vector<std::string> c = campos(filas[i + 1]);
      ASSERT_EQ(c.size(), 8U);
      EXPECT_EQ(c[4], exacto(r.clearing.p[i])) << "node " << i;
      EXPECT_EQ(c[6], std::to_string(r.clearing.ordenQuiebra[i])) << "node " << i;
      EXPECT_EQ(c[7], exacto(r.clearing.capital[i])) << "node " << i;
    }
    EXPECT_NE(leeArchivo(dir / "cascade.html")
                  .find("<p id=\"costes\">With default costs: a node in default pays &alpha; = "
                        "0.9 of its outside cash and &beta; = 0.8 of what it receives.</p>"),
              std::string::npos);
    fs::remove_all(dir);
  }
  const struct {
    const char* costes;
    std::string mensaje;
  } rechazos[] = {
      {"0.9", "--costs 0.9: expected ALPHA:BETA, two numbers"},
      {"0.9:1.5", "--costs 0.9:1.5: ALPHA and BETA must be above 0 and at most 1"},
      {"0.5:1",
       "input.txt has no clearing vector with these costs: a round's system is indeterminate "
       "(El sistema es indeterminado)"},
  };
  for (const auto& c : rechazos) {
    SCOPED_TRACE(c.costes);
    const fs::path dir = directorioTemporal();
    escribeArchivo(dir / "input.txt", "2\n0 10\n10 0\n-5 0\n");
    const Salida s = ejecutaConErrores(CLEARING_EXPORT, dir, {"--costs", c.costes});
    EXPECT_EQ(s.estado, 1);
    EXPECT_EQ(s.stderrTexto, c.mensaje + "\n");
    for (const char* salida : kSalidas) EXPECT_FALSE(fs::exists(dir / salida)) << salida;
    fs::remove_all(dir);
  }
}

}  // namespace
