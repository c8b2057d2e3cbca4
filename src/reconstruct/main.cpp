// clearing-reconstruct MARGINALS.csv: a network from each node's totals,
// written as input.txt and nodes.txt in the current directory (or one
// directory per sampled network), or nothing and a message on standard error.
#include <charconv>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "comun/csv.h"
#include "comun/nodos.h"
#include "comun/opciones.h"
#include "totales/reconstruccion.h"
#include "comun/texto.h"
#include "comun/volcado.h"
#include "lectura/lector.h"
#include "totales/marginales.h"

namespace {

constexpr const char* kUso =
    "usage: clearing-reconstruct [--max-entropy | --sparse |\n"
    "                             --sample K --density D --seed S [--sample-one k]]\n"
    "                            [--outside NAME] [--balance] MARGINALS.csv\n"
    "Writes input.txt and nodes.txt in the current directory: a network whose row\n"
    "and column sums are the totals of MARGINALS.csv (columns node, liabilities,\n"
    "assets, cash and optionally external, named in a header line in any order;\n"
    "- reads standard input).\n"
    "  --max-entropy  every pair linked, closest to the product of the totals (default)\n"
    "  --sparse       as few links as the totals allow, at most 2n - 1\n"
    "  --sample K --density D --seed S\n"
    "                 K networks of the density-corrected gravity model, D·n(n-1)\n"
    "                 links expected, in network-0/ ... network-(K-1)/\n"
    "  --sample-one k only network k of the seed, in the current directory\n"
    "  --outside NAME the node outside the network, owed the external column\n"
    "                 (default \"outside\"); it takes any difference of the totals\n"
    "  --balance      give the difference of the totals to the node outside\n"
    "On bad input it writes nothing: FILE:LINE: what is wrong, status 1.\n";

enum class Metodo { entropia, dispersa, muestra };

struct Pedido {
  Metodo metodo = Metodo::entropia;
  std::optional<std::uint64_t> redes;  // --sample K
  std::optional<double> densidad;
  std::optional<std::uint64_t> semilla;
  std::optional<std::uint64_t> una;  // --sample-one k
  std::string exterior = "outside";
  bool nombrado = false;  // --outside given
  bool balancear = false;
  std::string ruta;
};

int usoIncorrecto(const std::string& que) {
  (void)std::fprintf(stderr, "clearing-reconstruct: %s\n%s", que.c_str(), kUso);
  return 2;
}

int falla(const std::string& error) {
  (void)std::fprintf(stderr, "%s\n", error.c_str());
  return 1;
}

bool leeEntero(std::string_view texto, std::uint64_t& valor) {
  const char* fin = texto.data() + texto.size();
  const auto [donde, fallo] = std::from_chars(texto.data(), fin, valor);
  return fallo == std::errc{} && donde == fin;
}

// The command line into pedido; an empty string, or what is wrong with it.
std::string leePedido(int argc, char** argv, Pedido& pedido) {
  int metodos = 0;
  for (int k = 1; k < argc; ++k) {
    const std::string_view opcion = argv[k];
    const bool conValor = opcion == "--sample" || opcion == "--density" || opcion == "--seed" ||
                          opcion == "--sample-one" || opcion == "--outside";
    if (conValor && k + 1 == argc) return std::string(opcion) + " needs a value";
    const std::string valor = conValor ? argv[++k] : "";
    std::uint64_t entero = 0;
    double real = 0;
    if (opcion == "--max-entropy" || opcion == "--sparse") {
      pedido.metodo = opcion == "--sparse" ? Metodo::dispersa : Metodo::entropia;
      ++metodos;
    } else if (opcion == "--balance") {
      pedido.balancear = true;
    } else if (opcion == "--outside") {
      if (const char* falta = faltaDeNombre(valor)) return std::string("--outside: ") + falta;
      pedido.exterior = valor;
      pedido.nombrado = true;
    } else if (opcion == "--density") {
      if (!esRealValido(valor, real) || !(real > 0.0 && real <= 1.0))
        return "--density " + textoSeguro(valor) + ": expected a number above 0 and at most 1";
      pedido.densidad = real;
    } else if (conValor) {
      if (!leeEntero(valor, entero))
        return std::string(opcion) + " " + textoSeguro(valor) + ": expected a whole number";
      (opcion == "--sample" ? pedido.redes
       : opcion == "--seed" ? pedido.semilla
                            : pedido.una) = entero;
    } else if (opcion.starts_with("--") || !pedido.ruta.empty()) {
      return "unexpected argument " + textoSeguro(opcion);
    } else {
      pedido.ruta = opcion;
    }
  }
  if (pedido.redes || pedido.una || pedido.densidad || pedido.semilla) {
    if (metodos > 0) return "--sample is a method of its own, not with --max-entropy or --sparse";
    if (!(pedido.redes || pedido.una) || !pedido.densidad || !pedido.semilla)
      return "a sample needs --sample K (or --sample-one k), --density D and --seed S";
    if (pedido.redes && (*pedido.redes == 0 || *pedido.redes > 1000000))
      return "--sample: from 1 to 1000000 networks";
    if (pedido.redes && pedido.una && *pedido.una >= *pedido.redes)
      return "--sample-one k: k is from 0 to K - 1";
    pedido.metodo = Metodo::muestra;
  }
  if (metodos > 1) return "one method at a time";
  if (pedido.ruta.empty()) return "no MARGINALS.csv";
  return "";
}

// network-7/ of 100 networks as network-07/, so that they sort.
std::string directorioDeRed(std::uint64_t k, std::uint64_t redes) {
  const std::string numero = std::to_string(k);
  const std::size_t cifras = std::to_string(redes - 1).size();
  return "network-" + std::string(cifras - numero.size(), '0') + numero;
}

bool escribeReconstruida(const std::string& directorio, const Marginales& m,
                         std::vector<Enlace> enlaces, std::string& error) {
  anadeExternos(m, enlaces);
  return escribeRedNombrada(directorio, m.nombres, enlaces, m.caja, error);
}

bool muestrea(const Pedido& pedido, const Marginales& m, std::string& error) {
  Gravedad g;
  if (!resuelveGravedad(m.totales, *pedido.densidad, g, error)) return false;
  (void)std::fprintf(stderr, "clearing-reconstruct: gravity model: z = %s, %s links expected\n",
                     textoExacto(g.z).c_str(), textoLegible(g.enlacesEsperados).c_str());
  if (pedido.una)
    return escribeReconstruida("", m, muestraGravedad(m.totales, g, *pedido.semilla, *pedido.una),
                               error);
  for (std::uint64_t k = 0; k < *pedido.redes; ++k) {
    const std::string directorio = directorioDeRed(k, *pedido.redes);
    std::error_code fallo;
    std::filesystem::create_directory(directorio, fallo);
    if (fallo) {
      error = directorio + ": cannot create (" + fallo.message() + ")";
      return false;
    }
    if (!escribeReconstruida(directorio, m, muestraGravedad(m.totales, g, *pedido.semilla, k),
                             error))
      return false;
  }
  return true;
}

bool reconstruye(const Pedido& pedido, const Marginales& m, std::string& error) {
  if (pedido.metodo == Metodo::muestra) return muestrea(pedido, m, error);
  if (pedido.metodo == Metodo::dispersa) {
    std::vector<Enlace> enlaces = minimaDensidad(m.totales);
    (void)std::fprintf(stderr, "clearing-reconstruct: sparse: %zu links (at most 2n - 1 = %zu)\n",
                       enlaces.size(), 2 * m.nombres.size() - 1);
    return escribeReconstruida("", m, std::move(enlaces), error);
  }
  Entropia r;
  const bool bien = maximaEntropia(m.totales, r, error);
  (void)std::fprintf(stderr, "clearing-reconstruct: maximum entropy: %d sweeps, residual %s\n",
                     r.barridos, textoLegible(r.residuo).c_str());
  return bien && escribeReconstruida("", m, enlacesDeEntropia(r), error);
}

}  // namespace

int main(int argc, char** argv) {
  if (const auto respuesta = respondeOpcion(argc, argv, "clearing-reconstruct", kUso))
    return *respuesta;
#ifdef SIGXFSZ
  (void)std::signal(SIGXFSZ, SIG_IGN);  // a file-size limit is a write error, and a message
#endif
  Pedido pedido;
  if (const std::string mal = leePedido(argc, argv, pedido); !mal.empty())
    return usoIncorrecto(mal);
  std::vector<FilaCsv> filas;
  Marginales m;
  std::string error, aviso;
  if (!leeCsv(pedido.ruta, filas, error) || !leeMarginales(pedido.ruta, filas, m, error) ||
      !anadeExterior(pedido.ruta, pedido.exterior, pedido.balancear || pedido.nombrado, m, aviso,
                     error))
    return falla(error);
  if (!aviso.empty()) (void)std::fprintf(stderr, "clearing-reconstruct: %s\n", aviso.c_str());
  if (!reconstruye(pedido, m, error)) return falla(error);
  return 0;
}
