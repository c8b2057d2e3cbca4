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

#include "barrido/aleatorios.h"
#include "barrido/cache.h"
#include "clearing/derivadas.h"
#include "clearing/grupos.h"
#include "clearing/motor.h"
#include "proceso.h"
#include "report/formato.h"
#include "report/resultado.h"
#include "sanitizado.h"
#include "totales/normal.h"

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
    std::string porChoque = "scenario,node,cash\n";
    for (int k = 0; 0.1 + k * 0.2 <= 1; ++k) {
      const double s = 0.1 + k * 0.2;
      for (std::size_t i = 0; i < red.e.size(); ++i)
        porChoque += corto(s) + ",#" + std::to_string(i) + "," + corto(red.e[i] * (1.0 - s)) + "\n";
    }
    const struct {
      std::vector<std::string> integrado;
      std::string archivo;
    } casos[] = {{{"--each-node"}, porNodo}, {{"--uniform-shock", "0.1:1:0.2"}, porChoque}};
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
         {std::vector<std::string>{"--each-node"},
          {"--uniform-shock", "0:0.95:0.05"},
          {"--random", "30", "--seed", "11", "--loss-mean", "0.2", "--loss-corr", "0.4"}}) {
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

// The ranks on one machine split the default cache budget; one given stands.
TEST(Sweep, RanksOnOneMachineShareTheDefaultCache) {
  Partida partida;
  partida.n = 200;
  const double solo = presupuestoCache(partida, 2);
  partida.procesos = 4;
  EXPECT_NEAR(presupuestoCache(partida, 2) * 4, solo, solo * 0.05);  // free memory moves a little
  partida.memoriaCache = 1e6;
  EXPECT_EQ(presupuestoCache(partida, 2), 1e6);
}

TEST(Sweep, SameBytesFromAnyNumberOfRanks) {
#ifndef CLEARING_SWEEP_MPI
  GTEST_SKIP() << "clearing-sweep-mpi is not built: MPI was not found";
#else
  // A scenario file that fails, shocks and sets cash, and a file of changed
  // exposures, which every rank reads itself.
  const auto conEstres = [](fs::path dir) {
    escribeArchivo(dir / "e.csv",
                   "scenario,node,fail,shock,cash\na,#0,0.4,,\na,#1,,0.5,\nb,#2,,,0\n");
    escribeArchivo(dir / "l.csv", "scenario,debtor,creditor,amount\nb,#0,#1,3\nc,#1,#2,0\n");
    return dir;
  };
  // Every column of both files crosses between ranks; systemic.csv is
  // rank 0's, from what the others sent.
  const struct {
    fs::path dir;
    std::vector<std::string> barrido;
  } casos[] = {{redParaHilos(), {"--uniform-shock", "0:0.95:0.01"}},
               {bancos(true), {"--each-node"}},
               {redParaHilos(),
                {"--random", "40", "--seed", "3", "--loss-mean", "0.1", "--loss-corr", "0.5"}},
               {conEstres(bancos(true)), {"--obligations", "l.csv", "e.csv"}}};
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

// clearing-sweep-mpi once answered --version and --help as clearing-sweep.
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
  }
  fs::remove_all(dir);
#endif
}

// A worker whose engine call runs out of memory ends the sweep with the
// message and nothing written (its scenario was once written "ok"). A chain
// of 2000 nodes: reading holds L and PI (32 MB each), and each worker its
// block's storage (32 MB more). Measured with one arena and 256 KiB stacks,
// one worker runs in 80 MB of address space and not in 60, three in 160 and
// not in 140: 110 MB holds one, not three. Enough scenarios that every
// worker takes one even when the machine is busy and threads start late.
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
                          {"--threads", hilos, "--uniform-shock", "0:0.5:0.02"}, [] {
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
       "e.csv: empty file: expected the header line scenario,node with any of cash,shock,fail",
       1},
      {"missing column",
       {"e.csv"},
       "scenario,node\na,0\n",
       "e.csv:1: no column cash, shock or fail: a scenario changes something",
       1},
      {"unknown column",
       {"e.csv"},
       "scenario,node,cash,note\n",
       "e.csv:1: unknown column \"note\": expected scenario,node with any of cash,shock,fail in "
       "any "
       "order",
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
      {"fail above 1",
       {"e.csv"},
       "scenario,node,fail\na,#0,1.5\n",
       "e.csv:2: fail \"1.5\" is not in [0, 1]",
       1},
      {"cash and shock for one node",
       {"e.csv"},
       "scenario,node,cash,shock\na,#0,1,0.5\n",
       "e.csv:2: both cash and shock for one node",
       1},
      {"a row that changes nothing",
       {"e.csv"},
       "scenario,node,cash,fail\na,#0,,\n",
       "e.csv:2: the row changes nothing (cash, shock and fail all empty)",
       1},
      {"a node twice in a group",
       {"--groups", "e.csv", "--each-group"},
       "node,group\n#0,a\n#1,a\n#0,a\n",
       "e.csv:4: node \"#0\" twice in group \"a\"",
       1},
      {"a node owing itself",
       {"--obligations", "e.csv"},
       "scenario,debtor,creditor,amount\na,#1,#1,5\n",
       "e.csv:2: a node does not owe itself",
       1},
      {"an entry of L twice in a scenario, written two ways, another scenario's row between",
       {"--obligations", "e.csv"},
       "scenario,debtor,creditor,amount\na,#1,#0,5\nb,#1,#0,4\na,Banco Sur,Banco Norte,3\n",
       "e.csv:4: a second row for \"Banco Sur\" owing \"Banco Norte\" in scenario \"a\"",
       1},
      {"a negative exposure",
       {"--obligations", "e.csv"},
       "scenario,debtor,creditor,amount\na,#1,#0,-5\n",
       "e.csv:2: bad amount \"-5\" (a finite number, at least 0)",
       1},
      {"fail fraction",
       {"--each-node-fails", "2"},
       "",
       "--each-node-fails 2: R must be a number in [0, 1]",
       2},
      {"loss mean of 1",
       {"--random", "5", "--seed", "1", "--loss-mean", "1", "--loss-corr", "0"},
       "",
       "--loss-mean 1: M must be a number strictly between 0 and 1",
       2},
      {"random without its correlation",
       {"--random", "5", "--seed", "1", "--loss-mean", "0.1"},
       "",
       "",
       2},
      {"a group without groups", {"--uniform-shock", "0:1:0.5", "--group", "a"}, "", "", 2},
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

// A generated network in a directory of its own.
fs::path redGenerada(const char* familia, const char* n) {
  fs::path dir = directorioTemporal();
  const Salida gen = ejecutaBinario(CLEARING_GENERADOR, dir, {}, 0, {familia, n, "3"});
  EXPECT_EQ(gen.estado, 0);
  escribeArchivo(dir / "input.txt", gen.stdoutTexto);
  return dir;
}

// L[d][c] of input.txt as read.
double entradaL(const Red& red, std::size_t d, std::size_t c) {
  const std::size_t n = red.e.size();
  return real(palabras(red.dimYL).at(1 + d * n + c));
}

// A failed node pays what it owes written down to the fraction r, or what
// it has when that is less, and is in default from round 1; every other node
// pays min(pBarra, e + what it receives). No input.txt says this, so the
// fixed point is checked, on the vector the sweep wrote.
TEST(Sweep, FailedNodesMeetTheirFixedPointEquations) {
  for (const char* familia : {"cascade", "coreperiphery"}) {
    SCOPED_TRACE(familia);
    const fs::path dir = redGenerada(familia, "14");
    const Red red = leeRed(leeArchivo(dir / "input.txt"));
    const std::size_t n = red.e.size();
    // scenario → node → r; the file's scenarios also move some cash.
    std::map<std::string, std::map<std::size_t, double>> caidas;
    for (std::size_t k = 0; k < n; ++k) caidas[std::to_string(k)][k] = 0.4;
    ASSERT_EQ(barre(dir, {"--each-node-fails", "0.4"}).estado, 0);
    EXPECT_EQ(filas(leeArchivo(dir / "systemic.csv")).size(), n + 1);
    std::vector<std::string> salidasPorCaida = {salidas(dir)};
    escribeArchivo(dir / "e.csv",
                   "scenario,node,fail,cash\nab,#0,0,\nab,#3,0.7,\nab,#5,,0\nc,#2,1,0\n");
    ASSERT_EQ(barre(dir, {"e.csv"}).estado, 0);
    salidasPorCaida.push_back(salidas(dir, false));
    const std::map<std::string, std::map<std::size_t, double>> delArchivo = {
        {"ab", {{0, 0.0}, {3, 0.7}}}, {"c", {{2, 1.0}}}};
    const std::map<std::string, std::map<std::size_t, double>> cajas = {{"ab", {{5, 0.0}}},
                                                                        {"c", {{2, 0.0}}}};
    for (std::size_t vez = 0; vez < 2; ++vez) {
      const auto& esperadas = vez == 0 ? caidas : delArchivo;
      const std::string texto = salidasPorCaida[vez];
      const auto nodos = filas(texto.substr(texto.find("--\n") + 3));
      std::size_t filasVistas = 0;
      for (std::size_t f = 1; f < nodos.size() && nodos[f].size() == 9; ++f, ++filasVistas) {
        const auto& fila = nodos[f];
        const std::size_t i = std::stoul(fila[1]);
        SCOPED_TRACE(fila[0] + " node " + fila[1]);
        std::vector<double> p(n);
        for (std::size_t j = 0; j < n; ++j) p[j] = real(nodos[f - i + j].at(4));
        const auto& fallan = esperadas.at(fila[0]);
        const bool falla = fallan.contains(i);
        const double debe = falla ? fallan.at(i) * red.pBarra[i] : red.pBarra[i];
        double caja = red.e[i];
        if (vez == 1 && cajas.at(fila[0]).contains(i)) caja = cajas.at(fila[0]).at(i);
        double recibe = 0.0;
        for (std::size_t j = 0; j < n; ++j)
          if (red.pBarra[j] != 0.0) recibe += entradaL(red, j, i) / red.pBarra[j] * p[j];
        const double margen = 1e-9 * (1.0 + debe + caja + recibe);
        EXPECT_NEAR(p[i], std::min(debe, caja + recibe), margen);
        EXPECT_LE(p[i], debe);
        if (falla) {
          EXPECT_EQ(fila[3], "1");
        } else if (fila[3] == "0") {
          EXPECT_EQ(p[i], debe);
        }
        EXPECT_EQ(real(fila[5]), caja) << "cash";
      }
      EXPECT_EQ(filasVistas, esperadas.size() * n);
    }
    fs::remove_all(dir);
  }
}

// Each scenario of CHANGES.csv against clearing on input.txt with those
// entries of L: payments, default rounds, rounds and capital, to the bit.
TEST(Sweep, ExposureChangesAreClearingOnTheChangedInput) {
  const fs::path dir = redGenerada("cascade", "12");
  const Red red = leeRed(leeArchivo(dir / "input.txt"));
  const std::size_t n = red.e.size();
  struct Entrada {
    std::string escenario;
    std::size_t d, c;
    double importe;
  };
  std::vector<Entrada> entradas;
  for (std::size_t d = 0; d < n; ++d)
    for (std::size_t c = 0; c < n; ++c)
      if (entradaL(red, d, c) != 0.0 && entradas.size() < 6)
        entradas.push_back(
            {entradas.size() < 3 ? "down" : "mixed", d, c, entradaL(red, d, c) * 0.8});
  entradas.push_back({"mixed", 0, n - 1, 3.5});  // a new exposure
  entradas.push_back({"zero", entradas[0].d, entradas[0].c, 0.0});
  std::string csv = "scenario,debtor,creditor,amount\n";
  for (const Entrada& e : entradas)
    csv += e.escenario + ",#" + std::to_string(e.d) + ",#" + std::to_string(e.c) + "," +
           corto(e.importe) + "\n";
  escribeArchivo(dir / "l.csv", csv);
  escribeArchivo(dir / "e.csv", "scenario,node,cash\nmixed,#1,0\nplain,#2,0\n");
  ASSERT_EQ(barre(dir, {"--obligations", "l.csv", "e.csv"}).estado, 0);
  const auto resumen = filas(leeArchivo(dir / "sweep.csv"));
  const auto nodos = filas(leeArchivo(dir / "sweep_nodes.csv"));
  ASSERT_EQ(resumen.size(), 5U);  // the file's two, then those only the changes name
  EXPECT_EQ(resumen[1][0] + resumen[2][0] + resumen[3][0] + resumen[4][0], "mixedplaindownzero");
  for (std::size_t s = 1; s < resumen.size(); ++s) {
    const std::string& nombre = resumen[s][0];
    SCOPED_TRACE(nombre);
    std::vector<std::string> w = palabras(red.dimYL);
    for (const Entrada& e : entradas)
      if (e.escenario == nombre) w[1 + e.d * n + e.c] = corto(e.importe);
    std::string texto;
    for (const std::string& palabra : w) texto += palabra + "\n";
    for (std::size_t i = 0; i < n; ++i)
      texto +=
          corto((nombre == "mixed" && i == 1) || (nombre == "plain" && i == 2) ? 0.0 : red.e[i]) +
          " ";
    const fs::path sub = dir / nombre;
    fs::create_directory(sub);
    escribeArchivo(sub / "input.txt", texto);
    ASSERT_EQ(ejecutaConErrores(CLEARING_BINARIO, sub).estado, 0);
    const std::string informe = leeArchivo(sub / "output.txt");
    EXPECT_EQ(resumen[s][3], std::to_string(cuenta(informe, "Paso "))) << "rounds";
    const auto p = lineaDeInforme(informe, "Vector de resoluci");
    const auto pasos = lineaDeInforme(informe, "Vector de pasos");
    const auto capitales = lineaDeInforme(informe, "Capital resultante");
    for (std::size_t i = 0; i < n; ++i) {
      const auto& nodo = nodos.at(1 + (s - 1) * n + i);
      char cifras[kMaxNumero];
      EXPECT_EQ(palabras(std::string(cifras, formatoReal(cifras, real(nodo[4]), kFormatoResultado)))
                    .at(0),
                p.at(i))
          << "node " << i;
      EXPECT_EQ(nodo[3], pasos.at(i)) << "node " << i;
      EXPECT_EQ(palabras(std::string(cifras, formatoCapital(cifras, real(nodo[6])))).at(0),
                capitales.at(i))
          << "node " << i;
    }
  }
  fs::remove_all(dir);
}

// --each-group, --uniform-shock --group and group:NAME rows are the scenario
// files that name each node of the group: the same bytes.
TEST(Sweep, GroupSweepsAreTheirScenarioFiles) {
  const fs::path dir = bancos(true);
  escribeArchivo(dir / "g.csv",
                 "node,group\nBanco Norte,norte\n#2,norte\nBanco Sur,sur\n#0,todos\n#1,todos\n");
  std::string porGrupo =
      "scenario,node,cash\nnorte,#0,0\nnorte,#2,0\nsur,#1,0\ntodos,#0,0\ntodos,#1,0\n";
  std::string porChoque = "scenario,node,shock\n";
  for (int k = 0; k < 3; ++k)
    for (const char* nodo : {"#0", "#2"})
      porChoque += corto(0.1 + k * 0.2) + "," + nodo + "," + corto(0.1 + k * 0.2) + "\n";
  const std::string conGrupos =
      "scenario,node,shock,fail\nx,group:norte,0.25,\nx,Banco Sur,,0.5\ny,group:todos,1,1\n";
  const std::string sinGrupos =
      "scenario,node,shock,fail\nx,#0,0.25,\nx,#2,0.25,\nx,#1,,0.5\ny,#0,1,1\ny,#1,1,1\n";
  const struct {
    std::vector<std::string> integrado;
    std::string archivo;
  } casos[] = {
      {{"--groups", "g.csv", "--each-group"}, porGrupo},
      {{"--groups", "g.csv", "--uniform-shock", "0.1:0.5:0.2", "--group", "norte"}, porChoque},
      {{"--groups", "g.csv", "c.csv"}, sinGrupos}};
  escribeArchivo(dir / "c.csv", conGrupos);
  for (const auto& c : casos) {
    SCOPED_TRACE(c.integrado[2]);
    ASSERT_EQ(barre(dir, c.integrado).estado, 0);
    const std::string esperado = salidas(dir, false);
    escribeArchivo(dir / "escenarios.csv", c.archivo);
    ASSERT_EQ(barre(dir, {"escenarios.csv"}).estado, 0);
    EXPECT_EQ(salidas(dir, false), esperado);
  }
  fs::remove_all(dir);
}

// A scenario whose rows are apart in the file is the scenario of those rows
// together: the same bytes.
TEST(Sweep, ScenarioRowsApartAreOneScenario) {
  const fs::path dir = bancos(true);
  escribeArchivo(dir / "g.csv", "node,group\n#0,norte\n#2,norte\n");
  const std::string aparte =
      "scenario,node,cash,fail\na,#0,1,\nb,group:norte,,0.5\n"
      "a,#2,,0.25\nc,#3,0,\nb,#1,2,\na,#1,,1\n";
  const std::string juntas =
      "scenario,node,cash,fail\na,#0,1,\na,#2,,0.25\na,#1,,1\n"
      "b,#0,,0.5\nb,#2,,0.5\nb,#1,2,\nc,#3,0,\n";
  escribeArchivo(dir / "e.csv", aparte);
  ASSERT_EQ(barre(dir, {"--groups", "g.csv", "e.csv"}).estado, 0);
  const std::string esperado = salidas(dir);
  escribeArchivo(dir / "e.csv", juntas);
  ASSERT_EQ(barre(dir, {"e.csv"}).estado, 0);
  EXPECT_EQ(salidas(dir), esperado);
  fs::remove_all(dir);
}

// A random sweep's scenario k is made from (seed, k) alone: its cash is the
// library's for k by itself, a shorter sweep is a prefix of a longer one,
// and each scenario is clearing on its cash.
TEST(Sweep, RandomScenarioIsMadeAlone) {
  const fs::path dir = bancos(false);
  const Red red = leeRed(leeArchivo(dir / "input.txt"));
  const std::size_t n = red.e.size();
  const auto aleatorio = [&](const char* k) {
    return std::vector<std::string>{"--random",    k,     "--seed",      "42",
                                    "--loss-mean", "0.3", "--loss-corr", "0.6"};
  };
  ASSERT_EQ(barre(dir, aleatorio("9")).estado, 0);
  const std::string largo = leeArchivo(dir / "sweep_nodes.csv");
  ::Escenarios esc;
  std::string error;
  ASSERT_TRUE(leeAleatorios("9", "42", "0.3", "0.6", esc, error)) << error;
  std::map<std::string, std::vector<double>> cajas;
  const auto nodos = filas(largo);
  for (std::size_t k = 9; k-- > 0;) {  // backwards: each alone
    std::vector<double> caja(n);
    cajaDeEscenario(esc, k, red.e, caja);
    for (std::size_t i = 0; i < n; ++i) EXPECT_EQ(real(nodos.at(1 + k * n + i).at(5)), caja[i]);
    cajas[std::to_string(k)] = caja;
  }
  for (const auto& [nombre, caja] : cajas)
    for (std::size_t i = 0; i < n; ++i) EXPECT_LE(caja[i], red.e[i]);
  ASSERT_EQ(barre(dir, aleatorio("4")).estado, 0);
  const std::string corto4 = leeArchivo(dir / "sweep_nodes.csv");
  EXPECT_EQ(largo.substr(0, corto4.size()), corto4);
  ASSERT_EQ(barre(dir, aleatorio("9")).estado, 0);
  for (const std::string& estado : compruebaContraClearing(dir, red, cajas))
    EXPECT_EQ(estado, "ok");
  fs::remove_all(dir);
}

// The normal distribution in plain arithmetic: known values, and pinned
// bits of the first draws, which every build must reproduce.
TEST(Normal, KnownValuesAndPinnedDraws) {
  const struct {
    double x, fi;
  } conocidos[] = {{0.0, 0.5},
                   {1.959963984540054, 0.975},
                   {-1.0, 0.15865525393145705},
                   {-3.5, 2.3262907903552504e-4},
                   {4.0, 0.99996832875816688},
                   {-8.0, 6.2209605742717841e-16}};
  for (const auto& c : conocidos) {
    EXPECT_NEAR(fiNormal(c.x), c.fi, 2e-16 + 1e-13 * c.fi) << c.x;
    if (c.fi > 1e-10 && c.fi < 0.9999) {
      EXPECT_NEAR(inversaFi(c.fi), c.x, 1e-12) << c.fi;
    }
  }
  for (int k = 0; k < 105; ++k) {
    const double x = -700.0 + k * 13.37;
    EXPECT_NEAR(exponencial(x), std::exp(x), 4e-16 * std::exp(x)) << x;
    EXPECT_NEAR(logaritmo(std::exp(x / 2)), std::log(std::exp(x / 2)), 4e-16 * (1 + std::abs(x)));
  }
  Normales normales{azarDeRed(42, 7)};
  std::string bits;
  for (int k = 0; k < 4; ++k) {
    char hex[40];
    (void)std::snprintf(hex, sizeof hex, "%a ", siguienteNormal(normales));
    bits += hex;
  }
  EXPECT_EQ(
      bits,
      "-0x1.03482f1c757cap-3 0x1.f60c44295d2cfp-4 -0x1.23115165ab3c9p+0 -0x1.8b029dd6dcd1p-1 ");
}

}  // namespace
