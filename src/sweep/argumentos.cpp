// clearing-sweep's command line: the usage, and the arguments read into
// what the run needs, refusing combinations that have no meaning.
#include "sweep/argumentos.h"

#include <charconv>
#include <cstdio>
#include <optional>
#include <string_view>

#include "lectura/numeros.h"

#ifdef CLEARING_MPI
// The same sweep across the ranks of mpirun.
const char* const kPrograma = "clearing-sweep-mpi";
const char* const kUso =
    "usage: mpirun -n RANKS clearing-sweep-mpi [--threads N] [--costs ALPHA:BETA]\n"
    "                      [--groups GROUPS.csv] [--obligations CHANGES.csv]\n"
    "                      [--cache-mb MIB] SCENARIOS.csv | - | --each-node |\n"
    "                      --each-node-fails R | --each-group |\n"
    "                      --uniform-shock FROM:TO:STEP [--group NAME] |\n"
    "                      --random K --seed S --loss-mean M --loss-corr RHO\n"
    "       mpirun -n RANKS clearing-sweep-mpi [--threads N] --ensemble MARGINALS.csv\n"
    "                      --sample K --density D --seed S SCENARIOS\n"
    "In the directory of input.txt (and optionally nodes.txt), or of MARGINALS.csv,\n"
    "on a file system every rank sees, clears the network (each network of the\n"
    "ensemble) once per scenario, the scenarios shared among the ranks, each on\n"
    "N threads (default: every core of its machine). Rank 0 writes the files,\n"
    "the same bytes as clearing-sweep with the same arguments; see\n"
    "clearing-sweep --help for the forms. Each rank keeps its own cache of\n"
    "eliminated blocks (--cache-mb MIB each; by default the ranks on one machine\n"
    "share a quarter of its free memory).\n";
#else
const char* const kPrograma = "clearing-sweep";
const char* const kUso =
    "usage: clearing-sweep [--threads N] [--costs ALPHA:BETA] [--groups GROUPS.csv]\n"
    "                      [--obligations CHANGES.csv] [--cache-mb MIB]\n"
    "                      SCENARIOS.csv | - | --each-node | --each-node-fails R |\n"
    "                      --each-group | --uniform-shock FROM:TO:STEP [--group NAME]\n"
    "                      | --random K --seed S --loss-mean M --loss-corr RHO\n"
    "In the directory of input.txt (and optionally nodes.txt), clears the network\n"
    "once per scenario and writes sweep.csv and sweep_nodes.csv beside them.\n"
    "SCENARIOS.csv (- for standard input) has the columns scenario,node and any of\n"
    "cash (the node's new cash), shock (the fraction of its cash it loses) and\n"
    "fail (the node fails, paying at most that fraction of what it owes); a node\n"
    "is a name of nodes.txt, or #K for node K (K alone without nodes.txt), or\n"
    "group:NAME for every node of a group of GROUPS.csv (columns node,group).\n"
    "CHANGES.csv (columns scenario,debtor,creditor,amount) sets what a debtor owes\n"
    "a creditor in a scenario. --each-node sets each node's cash to 0 in turn and\n"
    "--each-node-fails R fails each node in turn (both rank the nodes by the loss\n"
    "of their failure in systemic.csv); --each-group sets each group's cash to 0\n"
    "in turn; --uniform-shock multiplies every node's cash (or the group's) by\n"
    "1 - s for s = FROM + k*STEP <= TO <= 1; --random makes K scenarios in which\n"
    "node i of scenario k loses the fraction Phi(Phi^-1(M) + sqrt(RHO)*Z_k +\n"
    "sqrt(1-RHO)*E_ki) of its cash, Z and E standard normal draws of seed S.\n"
    "--costs clears with default costs: a defaulting node pays ALPHA of its cash\n"
    "and BETA of what it receives (both in (0, 1]; 1:1, the default, is the\n"
    "clearing without costs).\n"
    "--cache-mb keeps up to MIB MiB of eliminated round systems for scenarios whose\n"
    "round has a default set seen before (0: none; default: a quarter of the free\n"
    "memory); the files are the same bytes whatever it is.\n"
    "       clearing-sweep [--threads N] --ensemble MARGINALS.csv --sample K\n"
    "                      --density D --seed S SCENARIOS\n"
    "clears the scenarios on each of K networks made from the totals of\n"
    "MARGINALS.csv (as clearing-reconstruct --sample-one k makes network k), in\n"
    "the current directory; adds a network column and writes sweep_summary.csv.\n";
#endif

namespace {

// --ensemble's options, each with its value; false for anything else.
bool leeOpcionDeConjunto(std::string_view arg, const char* valor, Argumentos& a, int& vistas) {
  if (valor == nullptr) return false;
  const std::string_view texto = valor;
  const char* fin = texto.data() + texto.size();
  if (arg == "--ensemble") {
    a.conjunto = texto;
  } else if (arg == "--density") {
    if (!esRealValido(texto, a.densidad) || !(a.densidad > 0.0 && a.densidad <= 1.0)) return false;
  } else if (arg == "--seed") {
    if (!a.textoSemilla.empty()) return false;
    a.textoSemilla = texto;
    return true;  // --random's or --ensemble's, told apart when all are read
  } else if (arg == "--sample") {
    std::uint64_t& destino = arg == "--sample" ? a.redes : a.semilla;
    const auto [donde, fallo] = std::from_chars(texto.data(), fin, destino);
    if (fallo != std::errc{} || donde != fin) return false;
  } else {
    return false;
  }
  ++vistas;
  return true;
}

// The options of the stress scenarios that take a value: nothing for any
// other argument, false for a missing value.
std::optional<bool> leeOpcionDeEstres(std::string_view arg, const char* valor, Argumentos& a) {
  std::string* destino = nullptr;
  if (arg == "--groups") destino = &a.grupos;
  if (arg == "--group") destino = &a.grupo;
  if (arg == "--obligations") destino = &a.obligaciones;
  if (arg == "--loss-mean") destino = &a.media;
  if (arg == "--loss-corr") destino = &a.correlacion;
  if (destino == nullptr) return std::nullopt;
  if (valor == nullptr || !destino->empty()) return false;
  *destino = valor;
  return true;
}

}  // namespace

// Wrong arguments: the usage, with what is wrong when it is known; status 2.
int usoIncorrecto(const std::string& error) {
  if (!error.empty()) (void)std::fprintf(stderr, "%s\n", error.c_str());
  (void)std::fputs(kUso, stderr);
  return 2;
}

int falla(const std::string& error) {
  (void)std::fprintf(stderr, "%s\n", error.c_str());
  return 1;
}

bool leeArgumentos(int argc, char** argv, Argumentos& a) {
  bool conFuente = false;
  int deConjunto = 0;
  for (int k = 1; k < argc; ++k) {
    const std::string_view arg = argv[k];
    std::int32_t pedidos = 0;
    if (arg == "--ensemble" || arg == "--sample" || arg == "--density" || arg == "--seed") {
      if (!leeOpcionDeConjunto(arg, k + 1 < argc ? argv[++k] : nullptr, a, deConjunto))
        return false;
      continue;
    }
    if (const auto leida = leeOpcionDeEstres(arg, k + 1 < argc ? argv[k + 1] : nullptr, a)) {
      if (!*leida) return false;
      ++k;
      continue;
    }
    if (arg == "--threads" && k + 1 < argc) {
      if (!esEnteroValido(argv[++k], pedidos) || pedidos < 1) return false;
      a.hilos = static_cast<unsigned>(pedidos);
      continue;
    }
    if (arg == "--costs" && k + 1 < argc) {
      a.textoCostes = argv[++k];
      continue;
    }
    if (arg == "--cache-mb" && k + 1 < argc) {
      double mib = 0.0;
      if (!esRealValido(argv[++k], mib) || !(mib >= 0.0)) return false;
      a.memoriaCache = mib * 1024.0 * 1024.0;
      continue;
    }
    if (conFuente) return false;
    conFuente = true;
    if (arg == "--each-node") {
      a.tipo = Barrido::cadaNodo;
    } else if (arg == "--each-group") {
      a.tipo = Barrido::cadaGrupo;
    } else if ((arg == "--each-node-fails" || arg == "--random") && k + 1 < argc) {
      a.tipo = arg == "--random" ? Barrido::aleatorio : Barrido::cadaNodoCae;
      (arg == "--random" ? a.cuantos : a.fuente) = argv[++k];
    } else if (arg == "--uniform-shock" && k + 1 < argc) {
      a.tipo = Barrido::choqueUniforme;
      a.fuente = argv[++k];
    } else if (arg == "-" || !arg.starts_with("--")) {
      a.fuente = arg;
    } else {
      return false;
    }
  }
  // An ensemble takes all four options once, and at least one network; a
  // random sweep takes its three, and no ensemble; groups serve their uses.
  const bool aleatorio = a.tipo == Barrido::aleatorio;
  if (!a.textoSemilla.empty() && !aleatorio && deConjunto > 0) {
    std::string_view semilla = a.textoSemilla;
    const char* fin = semilla.data() + semilla.size();
    const auto [donde, fallo] = std::from_chars(semilla.data(), fin, a.semilla);
    if (fallo != std::errc{} || donde != fin) return false;
    ++deConjunto;
  }
  const bool deAzar = !a.media.empty() || !a.correlacion.empty();
  if (aleatorio != (deAzar || (deConjunto == 0 && !a.textoSemilla.empty()))) return false;
  if (aleatorio &&
      (a.media.empty() || a.correlacion.empty() || a.textoSemilla.empty() || deConjunto > 0))
    return false;
  if ((a.tipo == Barrido::cadaGrupo || !a.grupo.empty()) && a.grupos.empty()) return false;
  if (!a.grupo.empty() && a.tipo != Barrido::choqueUniforme) return false;
  if (!a.obligaciones.empty() && a.tipo != Barrido::archivo) return false;
  // An ensemble's networks are made from totals: no L to change, no groups.
  if (deConjunto > 0 && (!a.obligaciones.empty() || !a.grupos.empty())) return false;
  if (!conFuente && !a.obligaciones.empty()) conFuente = true;  // the changes' scenarios alone
  return conFuente && (deConjunto == 0 ||
                       (deConjunto == 4 && !a.conjunto.empty() && a.redes > 0 && a.densidad > 0.0));
}
