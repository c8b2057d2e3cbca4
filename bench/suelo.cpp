// bench-suelo RONDAS: the floor under a run, what no clearing program can
// beat on this machine. It reads input.txt and converts it with
// std::from_chars, and writes output.txt with the report's bytes: its
// headings, L, e, PI, pBarra and the payments as std::to_chars text in the
// report's widths, each round's default matrix as the constant "0" and "1"
// cells it is, and the three result lines as they are in suelo.txt (the
// run's own, which bench/suelo.sh copies there with RONDAS, the report's
// round count). Two threads, buffers in large pages, and no arithmetic
// beyond the row sums and quotients the report's cells show.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "base/enorden.h"
#include "base/reparto.h"
#include "report/textos.h"

namespace {

constexpr std::size_t kHilos = 2;
constexpr std::size_t kPaginaGrande = std::size_t{2} << 20;
constexpr std::size_t kBytesPieza = std::size_t{4} << 20;  // formatted, then written in order
constexpr std::size_t kAnchoCelda = 16;                    // room for any "%-6.3g " cell
constexpr std::size_t kAnchoMatriz = 7;                    // a default matrix's cell

[[noreturn]] void falla(const char* que) {
  std::perror(que);
  std::exit(2);
}

// Room for `bytes`, aligned to and advised for large pages; its pages are
// faulted in where they are first written.
char* sala(std::size_t bytes) {
  bytes = porExceso(std::max<std::size_t>(bytes, 1), kPaginaGrande) * kPaginaGrande;
  void* region = mmap(nullptr, bytes + kPaginaGrande, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (region == MAP_FAILED) falla("mmap");
  const auto direccion = reinterpret_cast<std::uintptr_t>(region);
  char* inicio = static_cast<char*>(region) + (kPaginaGrande - direccion % kPaginaGrande);
  (void)madvise(inicio, bytes, MADV_HUGEPAGE);
  return inicio;
}

// A whole file, in one advised buffer.
std::string_view leeArchivo(const char* ruta) {
  const int fd = open(ruta, O_RDONLY | O_CLOEXEC);
  struct stat datos {};
  if (fd < 0 || fstat(fd, &datos) != 0) falla(ruta);
  (void)posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  const auto bytes = static_cast<std::size_t>(datos.st_size);
  char* texto = sala(bytes);
  for (std::size_t leidos = 0; leidos < bytes;) {
    const ssize_t r = read(fd, texto + leidos, bytes - leidos);
    if (r <= 0) falla(ruta);
    leidos += static_cast<std::size_t>(r);
  }
  (void)close(fd);
  return {texto, bytes};
}

bool esBlanco(char c) {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// The numbers of [desde, hasta) into valores; returns how many.
std::size_t convierte(const char* desde, const char* hasta, double* valores) {
  std::size_t cuantos = 0;
  for (;;) {
    while (desde < hasta && esBlanco(*desde)) ++desde;
    if (desde == hasta) return cuantos;
    const auto [fin, error] = std::from_chars(desde, hasta, valores[cuantos]);
    if (error != std::errc{}) falla("input.txt: not a number");
    ++cuantos;
    desde = fin;
  }
}

// x as printf's "%-{ancho}.{precision}g " or "%-{ancho}.{precision}e " with
// a three-digit exponent, as the report writes it.
char* celda(char* p, double x, int ancho, int precision, bool exponente) {
  const auto formato = exponente ? std::chars_format::scientific : std::chars_format::general;
  char* fin = std::to_chars(p, p + kAnchoCelda, x, formato, precision).ptr;
  if (char* e = std::find(p, fin, 'e'); e != fin && fin - e == 4) {  // "e+05": widened
    std::memmove(e + 3, e + 2, 2);
    e[2] = '0';
    ++fin;
  }
  while (fin < p + ancho) *fin++ = ' ';
  *fin++ = ' ';
  return fin;
}

char* texto(char* p, std::string_view t) {
  return std::copy(t.begin(), t.end(), p);
}

enum class Tipo { L, E, PI, PBarra, Paso, Linea, Pagos };

// A stretch of the report: the text before it, then its rows.
struct Seccion {
  std::string antes;
  Tipo tipo;
  std::size_t filas;
  std::size_t indice;  // the round of a default matrix, the line of suelo.txt
};

struct Pieza {
  std::size_t seccion, desde, hasta;
};

struct Datos {
  std::size_t n = 0;
  const double* L = nullptr;  // n×n, then e
  std::vector<double> pBarra;
  std::vector<double> p;
  std::vector<std::int32_t> pasos;
  std::array<std::string_view, 3> lineas;  // the report's result lines
  std::string ceros;                       // a default matrix's row of zeros
};

// The lines given, each with its line end ("" is a blank line).
std::string lineas(std::initializer_list<std::string_view> partes) {
  std::string t;
  for (const std::string_view l : partes) {
    t += l;
    t += "\r\n";
  }
  return t;
}

std::vector<Seccion> secciones(std::size_t n, std::size_t rondas) {
  std::vector<Seccion> s;
  s.push_back({lineas({kTituloEntrada, "", kTituloL, ""}), Tipo::L, n, 0});
  s.push_back({lineas({"", kTituloE, ""}), Tipo::E, 1, 0});
  s.push_back({lineas({"", kSeparador, kTituloPreliminares, "", kTituloPI, ""}), Tipo::PI, n, 0});
  s.push_back({lineas({"", kTituloPBarra, ""}), Tipo::PBarra, 1, 0});
  for (std::size_t k = 1; k <= rondas; ++k) {
    const std::string paso = std::string(kTituloPaso).append(std::to_string(k)).append(":");
    s.push_back({k == 1 ? lineas({"", kSeparador, kTituloDiagonales, "", paso, ""})
                        : lineas({"", paso, ""}),
                 Tipo::Paso, n, k});
  }
  s.push_back({lineas({"", kSeparador, kTituloResultado, "", kTituloP, ""}), Tipo::Linea, 1, 0});
  s.push_back({lineas({"", kTituloPasos, ""}), Tipo::Linea, 1, 1});
  s.push_back({lineas({"", kNotaPasos, "", kTituloCapital, ""}), Tipo::Linea, 1, 2});
  s.push_back({lineas({"", kTituloPagos, ""}), Tipo::Pagos, n, 0});
  return s;
}

// Row i of a section.
char* fila(char* p, const Datos& d, const Seccion& s, std::size_t i) {
  const std::size_t n = d.n;
  const double* Li = d.L + i * n;
  switch (s.tipo) {
    case Tipo::L:
      for (std::size_t j = 0; j < n; ++j) p = celda(p, Li[j], 6, 3, false);
      break;
    case Tipo::E:
      for (std::size_t j = 0; j < n; ++j) p = celda(p, d.L[n * n + j], 5, 3, false);
      break;
    case Tipo::PBarra:
      for (std::size_t j = 0; j < n; ++j) p = celda(p, d.pBarra[j], 5, 3, false);
      break;
    case Tipo::PI:
      for (std::size_t j = 0; j < n; ++j)
        p = celda(p, d.pBarra[i] > 0 ? Li[j] / d.pBarra[i] : 0.0, 6, 2, false);
      break;
    case Tipo::Pagos:
      for (std::size_t j = 0; j < n; ++j)
        p = celda(p, (d.pBarra[i] > 0 ? Li[j] / d.pBarra[i] : 0.0) * d.p[i], 6, 3, false);
      break;
    case Tipo::Paso: {
      char* inicio = p;
      p = texto(p, d.ceros);
      const std::int32_t paso = d.pasos[i];
      if (paso > 0 && static_cast<std::size_t>(paso) <= s.indice) inicio[i * kAnchoMatriz] = '1';
      return p;  // the zeros' row has its line end
    }
    case Tipo::Linea:
      p = texto(p, d.lineas[s.indice]);
      break;
  }
  return texto(p, "\r\n");
}

// The result lines of suelo.txt; the clearing vector and the steps read from them.
void leeResultado(Datos& d) {
  const std::string_view t = leeArchivo("suelo.txt");
  std::size_t desde = 0;
  for (std::string_view& l : d.lineas) {
    const std::size_t fin = t.find_first_of("\r\n", desde);
    if (fin == std::string_view::npos) falla("suelo.txt: three lines");
    l = t.substr(desde, fin - desde);
    desde = t.find_first_not_of("\r\n", fin);
  }
  const auto lee = [&](std::string_view l, auto& v) {
    const char* q = l.data();
    const char* fin = l.data() + l.size();
    for (auto& x : v) {
      while (q < fin && *q == ' ') ++q;
      q = std::from_chars(q, fin, x).ptr;
    }
  };
  d.p.assign(d.n, 0.0);
  d.pasos.assign(d.n, 0);
  lee(d.lineas[0], d.p);
  lee(d.lineas[1], d.pasos);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    (void)std::fputs("usage: bench-suelo RONDAS (in the folder of input.txt and suelo.txt)\n",
                     stderr);
    return 2;
  }
  const std::size_t rondas = std::strtoull(argv[1], nullptr, 10);
  const std::string_view entrada = leeArchivo("input.txt");
  Datos d;
  std::from_chars(entrada.data(), entrada.data() + entrada.size(), d.n);
  const std::size_t n = d.n;
  const std::size_t valores = 1 + n * n + n;

  // Two halves cut at a blank, one a thread, each into room of its own; the
  // second is then moved behind the first.
  const char* inicio = entrada.data();
  const char* final = inicio + entrada.size();
  const char* mitad = inicio + entrada.size() / 2;
  while (mitad < final && !esBlanco(*mitad)) ++mitad;
  std::array<double*, kHilos> destino{reinterpret_cast<double*>(sala(8 * valores)),
                                      reinterpret_cast<double*>(sala(8 * valores))};
  std::array<std::size_t, kHilos> cuantos{};
  reparteEnPartes(kHilos, kHilos, 1, [&](std::size_t desde, std::size_t hasta) {
    for (std::size_t h = desde; h < hasta; ++h)
      cuantos[h] = convierte(h == 0 ? inicio : mitad, h == 0 ? mitad : final, destino[h]);
  });
  if (cuantos[0] + cuantos[1] != valores) falla("input.txt: not n, L and e");
  std::copy(destino[1], destino[1] + cuantos[1], destino[0] + cuantos[0]);
  d.L = destino[0] + 1;
  d.pBarra.assign(n, 0.0);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) d.pBarra[i] += d.L[i * n + j];
  leeResultado(d);
  d.ceros.reserve(n * kAnchoMatriz + 2);
  for (std::size_t j = 0; j < n; ++j) d.ceros += "0      ";
  d.ceros += "\r\n";

  // Pieces of about kBytesPieza: whole rows of one section each.
  const std::vector<Seccion> s = secciones(n, rondas);
  const std::size_t porPieza = std::max<std::size_t>(1, kBytesPieza / (n * kAnchoMatriz + 2));
  std::vector<Pieza> piezas;
  for (std::size_t k = 0; k < s.size(); ++k)
    for (std::size_t desde = 0; desde < s[k].filas; desde += porPieza)
      piezas.push_back({k, desde, std::min(s[k].filas, desde + porPieza)});
  std::size_t mayorLinea = 0;
  for (std::string_view l : d.lineas) mayorLinea = std::max(mayorLinea, l.size());
  const std::size_t sitio = porPieza * (n * kAnchoCelda + 2) + mayorLinea + 4096;
  std::array<char*, kMaxHuecos> buferes{};
  std::array<std::size_t, kMaxHuecos> usados{};
  for (std::size_t h = 0; h < huecosEnOrden(piezas.size(), kHilos); ++h) buferes[h] = sala(sitio);

  const int salida = open("output.txt", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (salida < 0) falla("output.txt");
  const auto hace = [&](std::size_t k, std::size_t hueco, std::size_t /*trabajador*/) {
    const Pieza& pieza = piezas[k];
    const Seccion& seccion = s[pieza.seccion];
    char* p = buferes[hueco];
    if (pieza.desde == 0) p = texto(p, seccion.antes);
    for (std::size_t i = pieza.desde; i < pieza.hasta; ++i) p = fila(p, d, seccion, i);
    usados[hueco] = static_cast<std::size_t>(p - buferes[hueco]);
  };
  const auto toma = [&](std::size_t, std::size_t hueco) {
    for (std::size_t hecho = 0; hecho < usados[hueco];) {
      const ssize_t w = write(salida, buferes[hueco] + hecho, usados[hueco] - hecho);
      if (w <= 0) return false;
      hecho += static_cast<std::size_t>(w);
    }
    return true;
  };
  const bool bien = enOrden(piezas.size(), kHilos, hace, toma);
  return close(salida) == 0 && bien ? 0 : 1;
}
