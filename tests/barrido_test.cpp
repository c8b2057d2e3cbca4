// clearing-sweep end to end: every scenario of generated sweeps against
// clearing run on that scenario's input.txt (rounds, default rounds and the
// report's text of each payment), the statuses of scenarios with no clearing
// vector, the built-in sweeps against the scenario files they stand for, the
// same bytes from any number of threads and MPI ranks, and bad scenario
// files refused with nothing written.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "clearing/derivadas.h"
#include "clearing/grupos.h"
#include "clearing/motor.h"
#include "proceso.h"
#include "report/formato.h"
#include "report/resultado.h"
#include "sanitizado.h"

namespace fs = std::filesystem;

namespace {

const char* const kSalidas[] = {"sweep.csv", "sweep_nodes.csv"};

std::string corto(double v) {
  char texto[32];
  return {texto, std::to_chars(texto, texto + sizeof texto, v).ptr};
}

// Lines without their CR LF; fields split at commas (no quoted commas here).
std::vector<std::vector<std::string>> filas(const std::string& texto) {
  std::vector<std::vector<std::string>> resultado;
  std::istringstream s(texto);
  for (std::string linea; std::getline(s, linea);) {
    if (!linea.empty() && linea.back() == '\r') linea.pop_back();
    std::vector<std::string> campos(1);
    for (const char c : linea) {
      if (c == ',')
        campos.emplace_back();
      else
        campos.back() += c;
    }
    resultado.push_back(campos);
  }
  return resultado;
}

// The double of a shortest or decimal text (std::stod refuses subnormals).
double real(const std::string& texto) {
  double v = 0.0;
  std::from_chars(texto.data(), texto.data() + texto.size(), v);
  return v;
}

std::vector<std::string> palabras(const std::string& texto) {
  std::istringstream s(texto);
  std::vector<std::string> resultado;
  for (std::string w; s >> w;) resultado.push_back(w);
  return resultado;
}

// The report line two lines below the heading that starts with `titulo`.
std::vector<std::string> lineaDeInforme(const std::string& informe, const std::string& titulo) {
  std::size_t i = informe.find(titulo);
  if (i == std::string::npos) return {};
  for (int k = 0; k < 2; ++k) i = informe.find('\n', i) + 1;
  return palabras(informe.substr(i, informe.find('\n', i) - i));
}

// A letter and a number ("s3"), built by appending: GCC 12 warns of
// overlapping copies (-Wrestrict) in the inlined "s" + std::to_string(k).
std::string rotulo(char letra, std::size_t k) {
  std::string texto(1, letra);
  texto += std::to_string(k);
  return texto;
}

std::size_t cuenta(const std::string& texto, const std::string& que) {
  std::size_t veces = 0;
  for (std::size_t i = texto.find(que); i != std::string::npos; i = texto.find(que, i + 1)) ++veces;
  return veces;
}

struct Red {
  std::string dimYL;  // dim and L as the file has them
  std::vector<double> e;
  std::vector<double> pBarra;  // L's row sums, from 0.0 in column order
  std::vector<double> debido;  // L's column sums: what each node is owed
};

Red leeRed(const std::string& texto) {
  const std::vector<std::string> w = palabras(texto);
  const std::size_t n = std::stoul(w.at(0));
  Red red;
  for (std::size_t k = 0; k < 1 + n * n; ++k) red.dimYL += w[k] + "\n";
  red.pBarra.assign(n, 0.0);
  red.debido.assign(n, 0.0);
  for (std::size_t k = 0; k < n * n; ++k) red.pBarra[k / n] += real(w[1 + k]);
  for (std::size_t k = 0; k < n * n; ++k) red.debido[k % n] += real(w[1 + k]);
  for (std::size_t k = 1 + n * n; k < 1 + n * n + n; ++k) red.e.push_back(real(w[k]));
  return red;
}

Salida barre(const fs::path& dir, const std::vector<std::string>& argumentos) {
  return ejecutaConErrores(CLEARING_SWEEP, dir, argumentos);
}

// A node's cash, capital, recovery_rate and loss against their definitions:
// the scenario's cash; the capital clearing reports; payment / pBarra, empty
// for a node that owes nothing; and what the node is owed (L's column) minus
// what it receives, Σ_j L[j][i]·p[j]/pBarra[j] (the sum's order is the
// engine's own, hence the tolerance).
void compruebaCifras(const std::vector<std::string>& nodo, const Red& red,
                     const std::vector<double>& caja, const std::vector<double>& p,
                     const std::vector<std::string>& capitales, std::size_t i) {
  SCOPED_TRACE("node " + std::to_string(i));
  EXPECT_EQ(real(nodo[5]), caja.at(i)) << "cash";
  char cifras[kMaxNumero];
  const std::string capital(cifras, formatoCapital(cifras, real(nodo[6])));
  EXPECT_EQ(palabras(capital).at(0), capitales.at(i)) << "capital";
  EXPECT_EQ(nodo[7], red.pBarra[i] == 0.0 ? "" : corto(real(nodo[4]) / red.pBarra[i]));
  const std::vector<std::string> w = palabras(red.dimYL);
  const std::size_t n = red.e.size();
  double recibido = 0.0;
  for (std::size_t j = 0; j < n; ++j) {
    const double l = real(w[1 + j * n + i]);
    if (l != 0.0) recibido += l / red.pBarra[j] * p[j];
  }
  EXPECT_NEAR(real(nodo[8]), red.debido[i] - recibido,
              1e-9 * (1.0 + std::abs(red.debido[i]) + std::abs(recibido)))
      << "loss";
}

// Every scenario of sweep.csv and sweep_nodes.csv against clearing run in a
// directory of its own on the scenario's cash; the statuses it found.
std::vector<std::string> compruebaContraClearing(
    const fs::path& dir, const Red& red, const std::map<std::string, std::vector<double>>& cajas) {
  const auto resumen = filas(leeArchivo(dir / "sweep.csv"));
  const auto nodos = filas(leeArchivo(dir / "sweep_nodes.csv"));
  const std::size_t n = red.e.size();
  EXPECT_EQ(nodos.size(), 1 + (resumen.size() - 1) * n);
  std::vector<std::string> estados;
  for (std::size_t s = 1; s < resumen.size(); ++s) {
    const auto& fila = resumen[s];
    SCOPED_TRACE(fila[0]);
    const fs::path sub = dir / rotulo('d', s);
    fs::create_directory(sub);
    std::string texto = red.dimYL;
    for (const double caja : cajas.at(fila[0])) texto += corto(caja) + " ";
    escribeArchivo(sub / "input.txt", texto);
    const Salida clearing = ejecutaConErrores(CLEARING_BINARIO, sub);
    const std::string informe = leeArchivo(sub / "output.txt");
    estados.push_back(fila[1]);
    EXPECT_EQ(fila[3], std::to_string(cuenta(informe, "Paso "))) << "rounds";
    if (fila[1] != "ok") {
      EXPECT_EQ(clearing.stdoutTexto, fila[1] == "indeterminate" ? "El sistema es indeterminado\r\n"
                                                                 : "El algoritmo no converge\r\n");
      EXPECT_EQ(fila[2] + fila[4] + fila[5] + fila[7] + fila[8] + fila[9] + fila[10], "");
    }
    const auto p = lineaDeInforme(informe, "Vector de resoluci");
    const auto pasos = lineaDeInforme(informe, "Vector de pasos");
    const auto capitales = lineaDeInforme(informe, "Capital resultante");
    int quiebras = 0;
    int deChoque = 0;
    int deContagio = 0;
    double pagos = 0.0;
    double faltante = 0.0;
    double capital = 0.0;
    double perdida = 0.0;
    std::vector<double> pagosNodos(n);
    for (std::size_t i = 0; i < n && fila[1] == "ok"; ++i)
      pagosNodos[i] = real(nodos[1 + (s - 1) * n + i].at(4));
    for (std::size_t i = 0; i < n; ++i) {
      const auto& nodo = nodos[1 + (s - 1) * n + i];
      EXPECT_EQ(nodo.size(), 9U);
      if (nodo.size() != 9) break;
      EXPECT_EQ(nodo[0] + "," + nodo[1], fila[0] + "," + std::to_string(i));
      if (fila[1] != "ok") {
        EXPECT_EQ(nodo[3] + nodo[4] + nodo[5] + nodo[6] + nodo[7] + nodo[8], "");
        continue;
      }
      compruebaCifras(nodo, red, cajas.at(fila[0]), pagosNodos, capitales, i);
      char cifras[kMaxNumero];
      const std::string pago(cifras, formatoReal(cifras, real(nodo[4]), kFormatoResultado));
      EXPECT_EQ(palabras(pago).at(0), p.at(i)) << "node " << i;
      EXPECT_EQ(nodo[3], pasos.at(i)) << "node " << i;
      quiebras += nodo[3] != "0" ? 1 : 0;
      pagos += real(nodo[4]);
      faltante += red.pBarra[i] - real(nodo[4]);
      deChoque += nodo[3] == "1" ? 1 : 0;
      deContagio += nodo[3] != "0" && nodo[3] != "1" ? 1 : 0;
      capital += real(nodo[6]);
      perdida += real(nodo[8]);
    }
    if (fila[1] == "ok") {
      EXPECT_EQ(fila[2], std::to_string(quiebras));
      EXPECT_EQ(fila[7] + "," + fila[8],
                std::to_string(deChoque) + "," + std::to_string(deContagio));
      EXPECT_EQ(real(fila[9]), capital) << "total_capital";
      EXPECT_EQ(real(fila[10]), perdida) << "total_loss";
      // Σ p[i] and Σ (pBarra[i] − p[i]) in ascending i (the shortfall once
      // came out with the wrong sign).
      EXPECT_EQ(real(fila[4]), pagos) << "total_payments";
      EXPECT_EQ(real(fila[5]), faltante) << "total_shortfall";
    }
  }
  return estados;
}

// A scenario file's rows and the cash vectors they make, built together.
struct Escenarios {
  std::string csv = "scenario,node,cash\n";
  std::map<std::string, std::vector<double>> cajas;

  void pon(const std::string& nombre, const std::vector<double>& base, std::size_t nodo,
           double caja) {
    auto [it, nuevo] = cajas.try_emplace(nombre, base);
    it->second[nodo] = caja;
    csv += nombre + "," + std::to_string(nodo) + "," + corto(caja) + "\n";
  }
};

// Scenarios that zero, halve and raise a few nodes' cash, touching every
// node in some scenario.
Escenarios variados(const std::vector<double>& e) {
  Escenarios esc;
  const std::size_t n = e.size();
  for (std::size_t s = 0; s < 6; ++s) {
    for (std::size_t j = 0; j < 1 + s % 3; ++j) {
      const std::size_t nodo = (s * 5 + j * 3) % n;
      const double base = std::abs(e[nodo]);  // scenario cash is never negative
      const double caja[] = {0.0, base * 0.5, base + 7.25, base * 0.25};
      esc.pon(rotulo('s', s), e, nodo, caja[(s + j) % 4]);
    }
  }
  return esc;
}

TEST(Sweep, EveryScenarioIsClearingOnItsInput) {
  const struct {
    const char* familia;
    int n;
  } casos[] = {
      {"sparse", 12}, {"cascade", 10}, {"dense", 7}, {"adversarial", 9}, {"coreperiphery", 14}};
  for (const auto& c : casos) {
    SCOPED_TRACE(c.familia);
    const fs::path dir = directorioTemporal();
    const Salida gen =
        ejecutaBinario(CLEARING_GENERADOR, dir, {}, 0, {c.familia, std::to_string(c.n), "1"});
    ASSERT_EQ(gen.estado, 0);
    escribeArchivo(dir / "input.txt", gen.stdoutTexto);
    const Red red = leeRed(gen.stdoutTexto);
    const Escenarios esc = variados(red.e);
    escribeArchivo(dir / "escenarios.csv", esc.csv);
    const Salida s = barre(dir, {"escenarios.csv"});
    ASSERT_EQ(s.estado, 0) << s.stderrTexto;
    compruebaContraClearing(dir, red, esc.cajas);
    fs::remove_all(dir);
  }
}

// Scenarios with no clearing vector are rows like the others.
TEST(Sweep, StatusesOfScenariosWithoutAClearingVector) {
  const struct {
    const char* entrada;
    std::vector<std::vector<double>> cajas;
    std::vector<std::string> estados;
  } casos[] = {
      {"2\n0 10\n10 0\n-5 0\n",
       {{-5, 0}, {0, 0}, {-5, 4}},
       {"indeterminate", "ok", "indeterminate"}},
      {"3\n2 -2 1\n-2 0 -2\n3 1 -1\n0.5 2 0.5\n",
       {{0.5, 2, 0.5}, {10, 10, 10}},
       {"no_convergence", "ok"}},
  };
  for (const auto& c : casos) {
    const fs::path dir = directorioTemporal();
    escribeArchivo(dir / "input.txt", c.entrada);
    const Red red = leeRed(c.entrada);
    Escenarios esc;
    // Scenario cash is never negative: a negative one is input.txt's, kept.
    for (std::size_t s = 0; s < c.cajas.size(); ++s) {
      for (std::size_t i = 0; i < red.e.size(); ++i)
        if (c.cajas[s][i] >= 0) esc.pon(rotulo('c', s), red.e, i, c.cajas[s][i]);
    }
    escribeArchivo(dir / "escenarios.csv", esc.csv);
    ASSERT_EQ(barre(dir, {"escenarios.csv"}).estado, 0);
    EXPECT_EQ(compruebaContraClearing(dir, red, esc.cajas), c.estados);
    fs::remove_all(dir);
  }
}

// Both files, and systemic.csv when there is one and it is asked for.
std::string salidas(const fs::path& dir, bool conSistemico = true) {
  std::string texto = leeArchivo(dir / kSalidas[0]) + "\n--\n" + leeArchivo(dir / kSalidas[1]);
  if (conSistemico && fs::exists(dir / "systemic.csv"))
    texto += "\n--\n" + leeArchivo(dir / "systemic.csv");
  return texto;
}

// systemic.csv ranks each node by the defaults and the total loss of its
// own failure, as a sweep of that one scenario finds them: by total loss,
// then defaults, both descending, then node.
TEST(Sweep, SystemicIsEachNodesFailureAlone) {
  for (const char* familia : {"cascade", "coreperiphery"}) {
    SCOPED_TRACE(familia);
    const fs::path dir = directorioTemporal();
    const Salida gen = ejecutaBinario(CLEARING_GENERADOR, dir, {}, 0, {familia, "14", "3"});
    ASSERT_EQ(gen.estado, 0);
    escribeArchivo(dir / "input.txt", gen.stdoutTexto);
    ASSERT_EQ(barre(dir, {"--each-node"}).estado, 0);
    const std::string sistemico = leeArchivo(dir / "systemic.csv");
    struct Fila {
      double perdida;
      long quiebras;
      std::size_t nodo;
    };
    std::vector<Fila> solos;
    for (std::size_t k = 0; k < 14; ++k) {
      escribeArchivo(dir / "uno.csv", "scenario,node,cash\nsolo,#" + std::to_string(k) + ",0\n");
      ASSERT_EQ(barre(dir, {"uno.csv"}).estado, 0);
      const auto fila = filas(leeArchivo(dir / "sweep.csv")).at(1);
      ASSERT_EQ(fila.at(1), "ok");
      solos.push_back({real(fila.at(10)), std::stol(fila.at(2)), k});
    }
    std::stable_sort(solos.begin(), solos.end(), [](const Fila& a, const Fila& b) {
      if (a.perdida != b.perdida) return a.perdida > b.perdida;
      if (a.quiebras != b.quiebras) return a.quiebras > b.quiebras;
      return a.nodo < b.nodo;
    });
    std::string esperado = "rank,node,name,defaults,total_loss\r\n";
    for (std::size_t r = 0; r < solos.size(); ++r)
      esperado += std::to_string(r + 1) + "," + std::to_string(solos[r].nodo) + ",," +
                  std::to_string(solos[r].quiebras) + "," + corto(solos[r].perdida) + "\r\n";
    EXPECT_EQ(sistemico, esperado);
    fs::remove_all(dir);
  }
}

// The banks example, with and without its names.
fs::path bancos(bool conNombres) {
  fs::path dir = directorioTemporal();
  const fs::path ejemplo = fs::path(CLEARING_TEST_DIR) / ".." / "examples" / "bancos";
  const Salida s =
      ejecutaBinario(CLEARING_IMPORT, dir, {}, 0,
                     {(ejemplo / "obligations.csv").string(), (ejemplo / "cash.csv").string()});
  EXPECT_EQ(s.estado, 0);
  if (!conNombres) fs::remove(dir / "nodes.txt");
  return dir;
}

TEST(Sweep, BuiltInSweepsAreTheirScenarioFiles) {
  for (const bool conNombres : {false, true}) {
    const fs::path dir = bancos(conNombres);
    const Red red = leeRed(leeArchivo(dir / "input.txt"));
    const std::vector<std::string> nombres = {"Banco Norte", "Banco Sur", "\"Caja Rural, S.A.\"",
                                              "Depositors"};
    std::string porNodo = "Cash,SCENARIO,Node\n";  // any order, any case
    for (std::size_t i = 0; i < red.e.size(); ++i) {
      const std::string nodo = conNombres ? nombres[i] : std::to_string(i);
      porNodo.append("0,").append(nodo).append(",").append(nodo).append("\n");
    }
    std::string uniforme = "scenario,node,cash\n";
    for (int k = 0; 0.1 + k * 0.2 <= 1; ++k) {
      const double s = 0.1 + k * 0.2;
      for (std::size_t i = 0; i < red.e.size(); ++i)
        uniforme += corto(s) + ",#" + std::to_string(i) + "," + corto(red.e[i] * (1.0 - s)) + "\n";
    }
    const struct {
      std::vector<std::string> integrado;
      std::string archivo;
    } casos[] = {{{"--each-node"}, porNodo}, {{"--uniform-shock", "0.1:1:0.2"}, uniforme}};
    for (const auto& c : casos) {
      SCOPED_TRACE(c.integrado[0]);
      ASSERT_EQ(barre(dir, c.integrado).estado, 0);
      const std::string esperado = salidas(dir, false);
      escribeArchivo(dir / "escenarios.csv", c.archivo);
      ASSERT_EQ(barre(dir, {"escenarios.csv"}).estado, 0);
      EXPECT_EQ(salidas(dir, false), esperado);
      // The same file on standard input.
      const Salida s = ejecutaConErrores(
          "/bin/sh", dir, {"-c", std::string("exec '") + CLEARING_SWEEP + "' - < escenarios.csv"});
      ASSERT_EQ(s.estado, 0) << s.stderrTexto;
      EXPECT_EQ(salidas(dir, false), esperado);
    }
    fs::remove_all(dir);
  }
}

// A network with a few hundred rounds' worth of work and scenarios that end
// in every order.
fs::path redParaHilos() {
  fs::path dir = directorioTemporal();
  const Salida gen = ejecutaBinario(CLEARING_GENERADOR, dir, {}, 0, {"cascade", "60", "3"});
  escribeArchivo(dir / "input.txt", gen.stdoutTexto);
  return dir;
}

// A file-size limit, with SIGXFSZ at its default: the sweep ends with a
// message and status 1, not killed, and leaves no file nor temporary.
TEST(Sweep, FileSizeLimitKilledTheSweep) {
  const fs::path dir = bancos(true);
  const Salida s = ejecutaBinario(CLEARING_SWEEP, dir, {}, 0, {"--each-node"}, [] {
    (void)signal(SIGXFSZ, SIG_DFL);
    const rlimit tamano{200, 200};
    if (setrlimit(RLIMIT_FSIZE, &tamano) != 0) _exit(125);
  });
  EXPECT_EQ(s.estado, 1);
  std::vector<std::string> quedan;
  for (const auto& archivo : fs::directory_iterator(dir))
    quedan.push_back(archivo.path().filename().string());
  std::sort(quedan.begin(), quedan.end());
  EXPECT_EQ(quedan, (std::vector<std::string>{"input.txt", "nodes.txt"}));
  fs::remove_all(dir);
}

// A million threads asked for two scenarios: the sweep runs two, and the
// memory for the others' engines is not asked for.
TEST(Sweep, ThreadsBeyondTheScenarioCountRefusedForMemory) {
  const fs::path dir = directorioTemporal();
  const Salida gen = ejecutaBinario(CLEARING_GENERADOR, dir, {}, 0, {"sparse", "400", "1"});
  escribeArchivo(dir / "input.txt", gen.stdoutTexto);
  escribeArchivo(dir / "e.csv", "scenario,node,cash\na,0,0\nb,1,0\na,2,0\n");
  for (const std::string_view fuente : {"e.csv", "--each-node", "--uniform-shock"}) {
    SCOPED_TRACE(std::string(fuente));
    std::vector<std::string> argumentos{"--threads", "1000000", std::string(fuente)};
    if (fuente == "--uniform-shock") argumentos.emplace_back("0:0.5:0.5");
    const Salida s = barre(dir, argumentos);
    EXPECT_EQ(s.estado, 0) << s.stderrTexto;
    EXPECT_EQ(filas(leeArchivo(dir / "sweep.csv")).size(), fuente == "--each-node" ? 401U : 3U);
  }
  fs::remove_all(dir);
}

// The budgets of the cache of eliminated blocks: none, room for one of the
// largest blocks of a 60-node network (60² factors, 29 KiB; many rounds then
// find theirs given up), the default.
const char* const kCaches[] = {"0", "0.03", ""};

// argumentos, then the budget when it is not the default, then barrido.
std::vector<std::string> conCache(std::vector<std::string> argumentos, const char* mib,
                                  const std::vector<std::string>& barrido) {
  if (*mib != '\0') argumentos.insert(argumentos.end(), {"--cache-mb", mib});
  argumentos.insert(argumentos.end(), barrido.begin(), barrido.end());
  return argumentos;
}

// Rounds that find their block eliminated by an earlier scenario (uniform
// shocks share their default sets, everyone-defaults shares them all) or by
// another thread at the same time, or that eliminate it again after it was
// given up, give every bit of the sweep without a cache on one thread. The
// adversarial network's negative amounts make the signed zeros of b that
// the columns outside the block turn.
TEST(Sweep, SameBytesWithAnyNumberOfThreadsAndAnyCache) {
  const fs::path dir = redParaHilos();
  const std::string cascada = leeArchivo(dir / "input.txt");
  const Salida todos = ejecutaBinario(CLEARING_GENERADOR, dir, {}, 0, {"alldefault", "60", "3"});
  const Salida adversa = ejecutaBinario(CLEARING_GENERADOR, dir, {}, 0, {"adversarial", "9", "6"});
  for (const std::string* red : {&cascada, &todos.stdoutTexto, &adversa.stdoutTexto}) {
    escribeArchivo(dir / "input.txt", *red);
    for (const std::vector<std::string>& barrido :
         {std::vector<std::string>{"--each-node"}, {"--uniform-shock", "0:0.95:0.05"}}) {
      SCOPED_TRACE(barrido[0]);
      std::string primero;
      for (const char* cache : kCaches)
        for (const char* cuantos : {"1", "2", "3"}) {
          ASSERT_EQ(barre(dir, conCache({"--threads", cuantos}, cache, barrido)).estado, 0);
          if (primero.empty()) primero = salidas(dir);
          EXPECT_EQ(salidas(dir), primero) << cuantos << " threads, cache " << cache;
        }
    }
  }
  fs::remove_all(dir);
}

TEST(Sweep, SameBytesFromAnyNumberOfRanks) {
#ifndef CLEARING_SWEEP_MPI
  GTEST_SKIP() << "clearing-sweep-mpi is not built: MPI was not found";
#else
  // Every column of both files crosses between ranks; systemic.csv is
  // rank 0's, from what the others sent.
  const struct {
    fs::path dir;
    std::vector<std::string> barrido;
  } casos[] = {{redParaHilos(), {"--uniform-shock", "0:0.95:0.01"}},
               {bancos(true), {"--each-node"}}};
  for (const auto& c : casos) {
    SCOPED_TRACE(c.barrido[0]);
    ASSERT_EQ(barre(c.dir, c.barrido).estado, 0);
    const std::string esperado = salidas(c.dir);
    for (const auto& [rangos, cache] :
         {std::pair{"1", kCaches[0]}, {"2", kCaches[1]}, {"3", kCaches[2]}}) {
      // Open MPI's own allocations would fail a LeakSanitizer build's ranks
      // (the sanitizer preset asks for leak checks); leaks are checked
      // without MPI, in clearing-sweep.
      const std::vector<std::string> mpirun = {"--allow-run-as-root",
                                               "--oversubscribe",
                                               "-x",
                                               "ASAN_OPTIONS=detect_leaks=0",
                                               "-n",
                                               rangos,
                                               CLEARING_SWEEP_MPI,
                                               "--threads",
                                               "2"};
      fs::remove(c.dir / "systemic.csv");
      const Salida s =
          ejecutaConErrores(CLEARING_MPIEXEC, c.dir, conCache(mpirun, cache, c.barrido));
      ASSERT_EQ(s.estado, 0) << s.stderrTexto;
      EXPECT_EQ(salidas(c.dir), esperado) << rangos << " ranks";
    }
    fs::remove_all(c.dir);
  }
#endif
}

// clearing-sweep-mpi once answered --version and --help as clearing-sweep,
// and two scenario files showed a usage it does not follow (--ensemble).
TEST(Sweep, MpiProgramAnswersAsItself) {
#ifndef CLEARING_SWEEP_MPI
  GTEST_SKIP() << "clearing-sweep-mpi is not built: MPI was not found";
#else
  const fs::path dir = directorioTemporal();
  const Salida version = ejecutaConErrores(CLEARING_SWEEP_MPI, dir, {"--version"});
  EXPECT_EQ(version.estado, 0);
  EXPECT_TRUE(version.stdoutTexto.starts_with("clearing-sweep-mpi ")) << version.stdoutTexto;
  for (const Salida& uso : {ejecutaConErrores(CLEARING_SWEEP_MPI, dir, {"--help"}),
                            ejecutaConErrores(CLEARING_SWEEP_MPI, dir, {"a.csv", "b.csv"})}) {
    const std::string texto = uso.stdoutTexto + uso.stderrTexto;
    EXPECT_TRUE(texto.starts_with("usage: mpirun -n RANKS clearing-sweep-mpi ")) << texto;
    EXPECT_EQ(texto.find("--ensemble"), std::string::npos) << texto;
  }
  fs::remove_all(dir);
#endif
}

// A worker whose engine call runs out of memory ends the sweep with the
// message and nothing written (its scenario was once written "ok"). A chain
// of 2000 nodes: reading holds L and PI (32 MB each), and each worker its
// block's storage (32 MB more). Measured with one arena and 256 KiB stacks,
// one worker runs in 80 MB of address space and not in 60, three in 160 and
// not in 140: 110 MB holds one, not three.
TEST(Sweep, WorkerOutOfMemoryEndsTheSweep) {
  if (kConMemoriaSombra) GTEST_SKIP() << "a sanitizer's shadow memory cannot start under the limit";
  const fs::path dir = directorioTemporal();
  const int n = 2000;
  std::string red = std::to_string(n) + "\n";
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) red += j == i + 1 ? "1 " : j + 1 < n ? "0 " : "0\n";
  for (int i = 0; i < n; ++i) red += "0.5 ";
  escribeArchivo(dir / "input.txt", red);
  const auto barreEn110MB = [&](const char* hilos) {
    return ejecutaBinario(CLEARING_SWEEP, dir, {"MALLOC_ARENA_MAX=1"}, 110L << 20,
                          {"--threads", hilos, "--uniform-shock", "0:0.5:0.1"}, [] {
                            // Small thread stacks; the message to the pipe.
                            const rlimit pila{256 << 10, 256 << 10};
                            if (setrlimit(RLIMIT_STACK, &pila) != 0 || dup2(1, 2) < 0) _exit(125);
                          });
  };
  const Salida uno = barreEn110MB("1");
  EXPECT_EQ(uno.estado, 0) << uno.stdoutTexto;
  for (const char* salida : kSalidas) fs::remove(dir / salida);
  const Salida tres = barreEn110MB("3");
  EXPECT_EQ(tres.estado, 1);
  const std::string inicio = "clearing-sweep: not enough memory (scenario \"";
  const std::string fin = "\"); nothing written\n";
  EXPECT_TRUE(tres.stdoutTexto.starts_with(inicio) && tres.stdoutTexto.ends_with(fin))
      << tres.stdoutTexto;
  for (const char* salida : kSalidas) EXPECT_FALSE(fs::exists(dir / salida)) << salida;
  fs::remove_all(dir);
}

TEST(Sweep, RefusesAndWritesNothing) {
  const struct {
    const char* que;
    std::vector<std::string> argumentos;
    std::string archivo;
    std::string mensaje;
    int estado;
  } casos[] = {
      {"no header",
       {"e.csv"},
       "",
       "e.csv: empty file: expected the header line scenario,node,cash",
       1},
      {"missing column",
       {"e.csv"},
       "scenario,node\na,0\n",
       "e.csv:1: no column cash: expected scenario,node,cash in any order",
       1},
      {"unknown column",
       {"e.csv"},
       "scenario,node,cash,note\n",
       "e.csv:1: unknown column \"note\": expected scenario,node,cash in any order",
       1},
      {"repeated column",
       {"e.csv"},
       "scenario,NODE,node\n",
       "e.csv:1: the column node appears twice",
       1},
      {"short row",
       {"e.csv"},
       "scenario,node,cash\na,0\n",
       "e.csv:2: 2 fields where the header has 3",
       1},
      {"unknown name",
       {"e.csv"},
       "scenario,node,cash\n\na,Banco Oeste,1\n",
       "e.csv:3: unknown node \"Banco Oeste\" (a name of nodes.txt, or #0 to #3)",
       1},
      {"node out of range",
       {"e.csv"},
       "scenario,node,cash\na,#4,1\n",
       "e.csv:2: unknown node \"#4\" (a name of nodes.txt, or #0 to #3)",
       1},
      {"a number where nodes.txt names the nodes",
       {"e.csv"},
       "scenario,node,cash\na,2,1\n",
       "e.csv:2: node \"2\" is not a name of nodes.txt (write #2 for the node numbered 2)",
       1},
      {"negative cash",
       {"e.csv"},
       "scenario,node,cash\na,#0,-1\n",
       "e.csv:2: negative cash \"-1\" (a node's outside cash in a scenario is at least 0)",
       1},
      {"header only", {"e.csv"}, "scenario,node,cash\n", "e.csv: no scenarios after the header", 1},
      {"scenario name not UTF-8",
       {"e.csv"},
       "scenario,node,cash\nCr\xE9"
       "dit,#0,1\n",
       "e.csv:2: scenario name is not UTF-8",
       1},
      {"control byte in a scenario name",
       {"e.csv"},
       "scenario,node,cash\n\"a\x1B[2Jb\",#0,1\n",
       "e.csv:2: scenario name holds a control character",
       1},
      {"long row",
       {"e.csv"},
       "scenario,node,cash\na,0,1,5\n",
       "e.csv:2: 4 fields where the header has 3",
       1},
      {"bad cash", {"e.csv"}, "scenario,node,cash\na,#0,1.5x\n", "e.csv:2: bad cash \"1.5x\"", 1},
      {"bad number",
       {"e.csv"},
       "scenario,node,cash\na,#0,1e999\n",
       "e.csv:2: bad cash \"1e999\"",
       1},
      {"repeated node",
       {"e.csv"},
       "scenario,node,cash\na,#0,1\nb,#0,1\na,Banco Norte,2\n",
       "e.csv:4: a second row for node \"Banco Norte\" in scenario \"a\"",
       1},
      {"empty name", {"e.csv"}, "scenario,node,cash\n,0,1\n", "e.csv:2: empty scenario name", 1},
      {"missing file", {"f.csv"}, "", "f.csv: cannot open (No such file or directory)", 1},
      {"bad shock",
       {"--uniform-shock", "0:1"},
       "",
       "--uniform-shock 0:1: expected FROM:TO:STEP, three numbers",
       2},
      {"backward shock",
       {"--uniform-shock", "1:0:0.1"},
       "",
       "--uniform-shock 1:0:0.1: STEP must be positive and FROM at most TO",
       2},
      {"shock above 1",
       {"--uniform-shock", "0:1.5:0.5"},
       "",
       "--uniform-shock 0:1.5:0.5: TO must be at most 1 (a shock above 1 makes the cash negative)",
       2},
      {"costs not a pair",
       {"--costs", "0.9", "--each-node"},
       "",
       "--costs 0.9: expected ALPHA:BETA, two numbers",
       2},
      {"costs out of range",
       {"--costs", "0:1", "--each-node"},
       "",
       "--costs 0:1: ALPHA and BETA must be above 0 and at most 1",
       2},
      {"two sources", {"--each-node", "e.csv"}, "", "", 2},
      {"bad thread count", {"--threads", "0", "--each-node"}, "", "", 2},
      {"negative cache budget", {"--cache-mb", "-1", "--each-node"}, "", "", 2},
  };
  const fs::path dir = bancos(true);
  for (const auto& c : casos) {
    SCOPED_TRACE(c.que);
    escribeArchivo(dir / "e.csv", c.archivo);
    const auto antes = std::distance(fs::directory_iterator(dir), fs::directory_iterator());
    const Salida s = barre(dir, c.argumentos);
    EXPECT_EQ(s.estado, c.estado);
    if (c.estado == 1) {
      EXPECT_EQ(s.stderrTexto, c.mensaje + "\n");
    } else {
      EXPECT_TRUE(s.stderrTexto.starts_with(c.mensaje + (c.mensaje.empty() ? "" : "\n") + "usage:"))
          << s.stderrTexto;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), antes);
  }
  fs::remove_all(dir);
}

// With --costs each scenario's row is the engine's clearing with those costs
// on the scenario's cash, to the bit, and `regular` says whether every closed
// group of the network has cash in it; --costs 1:1 is no costs, byte for byte.
TEST(Sweep, WithCostsEveryScenarioIsTheEngines) {
  const struct {
    const char* familia;
    int n;
    std::string texto;  // the network itself, for no family
  } casos[] = {{"cascade", 10, ""},
               {"sparse", 12, ""},
               {"alldefault", 8, ""},
               {"adversarial", 9, ""},
               // A two-bank circle that has cash only from node 0.
               {"circle", 4, "4\n0 5 0 0\n5 0 0 0\n0 0 0 3\n0 0 0 0\n1 0 2 0\n"}};
  int irregulares = 0;
  for (const auto& c : casos) {
    SCOPED_TRACE(c.familia);
    const fs::path dir = directorioTemporal();
    const Salida gen = c.texto.empty() ? ejecutaBinario(CLEARING_GENERADOR, dir, {}, 0,
                                                        {c.familia, std::to_string(c.n), "2"})
                                       : Salida{c.texto, 0};
    ASSERT_EQ(gen.estado, 0);
    escribeArchivo(dir / "input.txt", gen.stdoutTexto);
    ASSERT_EQ(barre(dir, {"--each-node"}).estado, 0);
    const std::string sinCostes = salidas(dir);
    ASSERT_EQ(barre(dir, {"--costs", "1:1", "--each-node"}).estado, 0);
    EXPECT_EQ(salidas(dir), sinCostes);
    ASSERT_EQ(barre(dir, {"--costs", "0.9:0.75", "--each-node"}).estado, 0);
    const auto resumen = filas(leeArchivo(dir / "sweep.csv"));
    const auto nodos = filas(leeArchivo(dir / "sweep_nodes.csv"));
    const std::vector<std::string> w = palabras(gen.stdoutTexto);
    const auto n = static_cast<std::size_t>(c.n);
    Matrix L(n, Vector(n));
    Vector e(n);
    for (std::size_t k = 0; k < n * n; ++k) L[k / n][k % n] = real(w.at(1 + k));
    for (std::size_t i = 0; i < n; ++i) e[i] = real(w.at(1 + n * n + i));
    ASSERT_EQ(resumen.size(), n + 1);
    EXPECT_EQ(resumen[0].at(6), "regular");
    for (std::size_t s = 0; s < n; ++s) {
      SCOPED_TRACE("scenario " + std::to_string(s));
      Vector caja = e;
      caja[s] = 0;  // --each-node
      NetworkState red;
      red.L = L;
      red.e = caja;
      red.pBarra = calculaPBarra(red);
      red.PI = calculaPI(red);
      OpcionesClearing opciones;
      opciones.alfa = 0.9;
      opciones.beta = 0.75;
      const ResultadoClearing r = calculaClearing(red, opciones);
      const auto& fila = resumen[s + 1];
      ASSERT_FALSE(r.error);  // beta < 1: never indeterminate
      EXPECT_EQ(fila[1], "ok");
      EXPECT_EQ(fila[3], std::to_string(r.clearing.rondas));
      const bool regular = gruposSinCaja(gruposCerrados(red), caja).empty();
      EXPECT_EQ(fila.at(6), regular ? "true" : "false");
      irregulares += regular ? 0 : 1;
      for (std::size_t i = 0; i < n; ++i) {
        const auto& nodo = nodos[1 + s * n + i];
        EXPECT_EQ(nodo[3], std::to_string(r.clearing.ordenQuiebra[i])) << "node " << i;
        EXPECT_EQ(nodo[4], corto(r.clearing.p[i])) << "node " << i;
        // The engine's own capital, to the bit, whatever the costs.
        EXPECT_EQ(nodo.at(6), corto(r.clearing.capital[i])) << "node " << i;
      }
    }
    fs::remove_all(dir);
  }
  EXPECT_EQ(irregulares, 1);  // the circle without node 0's cash
}

// Each line's first `columnas` fields, with its CR LF: the columns a file
// had before later ones were appended.
std::string primerasColumnas(const std::string& texto, std::size_t columnas) {
  std::string resultado;
  for (const auto& fila : filas(texto)) {
    for (std::size_t k = 0; k < columnas && k < fila.size(); ++k)
      resultado += (k > 0 ? "," : "") + fila[k];
    resultado += "\r\n";
  }
  return resultado;
}

// The payments of generated families and of the examples, every bit, as
// the engine gave them before it had default costs (tests/golden/sin_costes/,
// written then): without --costs and with --costs 1:1 they are unchanged.
TEST(Sweep, CostsOneOneLeaveEveryBitAsBefore) {
  const fs::path guardados = fs::path(CLEARING_TEST_DIR) / "golden" / "sin_costes";
  const fs::path ejemplos = fs::path(CLEARING_TEST_DIR) / ".." / "examples";
  const struct {
    std::string nombre;  // FAMILY_N_SEED, or an example
    std::vector<std::string> barrido;
  } casos[] = {
      {"sparse_40_7", {"--uniform-shock", "0:0.9:0.3"}},
      {"dense_40_7", {"--uniform-shock", "0:0.9:0.3"}},
      {"cascade_40_7", {"--uniform-shock", "0:0.9:0.3"}},
      {"coreperiphery_40_7", {"--uniform-shock", "0:0.9:0.3"}},
      {"alldefault_40_7", {"--uniform-shock", "0:0.9:0.3"}},
      {"adversarial_12_1", {"--uniform-shock", "0:0.9:0.3"}},
      {"adversarial_12_8", {"--uniform-shock", "0:0.9:0.3"}},
      {"bancos", {"--each-node"}},
      {"cadena", {"--each-node"}},
      {"cascada", {"--each-node"}},
      {"solvente", {"--each-node"}},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    const fs::path dir = directorioTemporal();
    if (fs::exists(ejemplos / c.nombre)) {
      fs::copy_file(ejemplos / c.nombre / "input.txt", dir / "input.txt");
    } else {
      const std::size_t a = c.nombre.find('_');
      const std::size_t b = c.nombre.rfind('_');
      const Salida gen = ejecutaBinario(
          CLEARING_GENERADOR, dir, {}, 0,
          {c.nombre.substr(0, a), c.nombre.substr(a + 1, b - a - 1), c.nombre.substr(b + 1)});
      ASSERT_EQ(gen.estado, 0);
      escribeArchivo(dir / "input.txt", gen.stdoutTexto);
    }
    const std::string esperado = leeArchivo(guardados / (c.nombre + ".csv"));
    ASSERT_FALSE(esperado.empty());
    for (const bool conCostes : {false, true}) {
      std::vector<std::string> argumentos = c.barrido;
      if (conCostes) argumentos.insert(argumentos.begin(), {"--costs", "1:1"});
      ASSERT_EQ(barre(dir, argumentos).estado, 0);
      EXPECT_TRUE(primerasColumnas(leeArchivo(dir / "sweep_nodes.csv"), 5) == esperado)
          << (conCostes ? "--costs 1:1" : "no --costs") << ": payments differ";
    }
    fs::remove_all(dir);
  }
}

// input.txt goes through the memory check every program makes and the
// companions' one English text of a failure: a network that cannot fit is
// refused before any memory is touched, and a malformed one reads as it
// does for clearing-export. Nothing is written either way.
TEST(Sweep, RefusesAnInputThatCannotFitOrIsMalformed) {
  const struct {
    const char* que;
    const char* entrada;
    std::string mensaje;  // the whole message, or its start for a refusal by size
  } casos[] = {
      {"too large", "100000000\n", "input.txt: 100000000 nodes need about "},
      {"negative dimension", "-3\n", "input.txt: not enough memory\n"},
      {"bad number", "2 1 x", "input.txt: bad number \"x\" for L[0][1]\n"},
      {"missing number", "2 1 0 0", "input.txt: the file ends before L[1][1]\n"},
  };
  const fs::path dir = directorioTemporal();
  for (const auto& c : casos) {
    SCOPED_TRACE(c.que);
    escribeArchivo(dir / "input.txt", c.entrada);
    const Salida s = barre(dir, {"--each-node"});
    EXPECT_EQ(s.estado, 1);
    EXPECT_TRUE(s.stderrTexto.starts_with(c.mensaje)) << s.stderrTexto;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  }
  fs::remove_all(dir);
}

}  // namespace
