// Fuzz target for the whole run: the bytes become input.txt (as they are, or
// as a small network they encode), the run goes in a forked child, and its
// status, message and report are checked and compared with the reference run.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "gramatica.h"
#include "hijo.h"
#include "proceso.h"
#include "run/programa.h"

namespace fs = std::filesystem;

namespace {

const std::string kIndeterminado = "El sistema es indeterminado\r\n";
const std::string kNoConverge = "El algoritmo no converge\r\n";

[[noreturn]] void falla(const std::string& que, const std::string& detalle = "") {
  std::fprintf(stderr, "fuzz_run: %s\n%s\n", que.c_str(), detalle.c_str());
  std::abort();
}

// ---- Turning the bytes into input.txt ----

struct Bytes {
  const std::uint8_t* p;
  std::size_t n;
  std::uint8_t siguiente() {  // zeros once the bytes run out
    if (n == 0) return 0;
    --n;
    return *p++;
  }
};

// One number of an encoded network, as text the reader accepts. Zeros and
// small integers dominate, so defaults, ties and exact sums come often.
std::string numeroCodificado(Bytes& b) {
  const std::uint8_t marca = b.siguiente();
  const char* signo = (marca & 0xE0) == 0xE0 ? "-" : "";
  char texto[64];
  switch (marca & 7) {
    case 0:
    case 1:
      return std::string(signo) + "0";
    case 2:
    case 3:
      std::snprintf(texto, sizeof texto, "%s%d", signo, b.siguiente() % 16);
      return texto;
    case 4: {  // multiples of 1/64: exact sums
      const unsigned v = b.siguiente() | (b.siguiente() << 8);
      std::snprintf(texto, sizeof texto, "%s%.17g", signo, v / 64.0);
      return texto;
    }
    case 5: {  // decimal mantissa and exponent: far apart magnitudes
      const unsigned m = b.siguiente() | (b.siguiente() << 8);
      const int exponente = static_cast<int>(b.siguiente() % 61) - 30;
      std::snprintf(texto, sizeof texto, "%s%ue%d", signo, m, exponente);
      return texto;
    }
    case 6: {  // any finite double
      std::uint64_t bits = 0;
      for (int i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(b.siguiente()) << (8 * i);
      double v = 0;
      std::memcpy(&v, &bits, sizeof v);
      if (!std::isfinite(v)) v = 1.0;
      std::snprintf(texto, sizeof texto, "%.17g", v);
      return texto;
    }
    default:  // near the ends of the range
      std::snprintf(texto, sizeof texto, "%s1e%d", signo,
                    static_cast<int>(b.siguiente() % 41) * 8 - 160);
      return texto;
  }
}

// dim ≤ 16, then L row by row and e, all from the bytes.
std::string redCodificada(Bytes b) {
  const int dim = b.siguiente() % 17;
  std::string texto = std::to_string(dim) + "\n";
  for (int i = 0; i < dim; ++i) {
    for (int j = 0; j < dim; ++j) texto += numeroCodificado(b) + (j + 1 < dim ? " " : "\n");
  }
  for (int i = 0; i < dim; ++i) texto += numeroCodificado(b) + (i + 1 < dim ? " " : "\n");
  return texto;
}

// ---- What reading alone decides ----

struct Esperado {
  bool lecturaCompleta = false;  // every number read: the iteration decides the rest
  std::int64_t dim = 0;
  std::string mensaje;  // when not: the exact stdout
};

std::string datoIncorrecto(const std::string& token, const std::string& donde) {
  return kFormato + "dato incorrecto \"" + oraculo::muestraVisible(token) + "\" en " + donde +
         "\r\n";
}

// nullopt: an input this harness does not run (a dim whose room alone is large).
std::optional<Esperado> esperadoDeLectura(const std::string& bytes) {
  const std::vector<std::string> t = oraculo::tokens(bytes);
  Esperado r;
  if (t.empty()) {
    r.lecturaCompleta = true;
    return r;
  }
  if (!oraculo::enteroAceptado(t[0], r.dim)) {
    r.mensaje = datoIncorrecto(t[0], "dim");
    return r;
  }
  if (r.dim < 0) {
    r.mensaje = "Memoria insuficient";
    return r;
  }
  if (r.dim > 200) return std::nullopt;  // the room of larger ones makes each run slow
  const std::size_t n = static_cast<std::size_t>(r.dim);
  for (std::size_t k = 0; k < n * n + n; ++k) {
    const std::string donde =
        k < n * n ? "L[" + std::to_string(k / n) + "][" + std::to_string(k % n) + "]"
                  : "e[" + std::to_string(k - n * n) + "]";
    double v = 0;
    if (k + 1 >= t.size()) {
      r.mensaje = kFormato;
      r.mensaje += "falta el dato " + donde + "\r\n";
      return r;
    }
    if (!oraculo::realAceptado(t[k + 1], v)) {
      r.mensaje = datoIncorrecto(t[k + 1], donde);
      return r;
    }
  }
  if (r.dim > 64) return std::nullopt;  // a complete network this large is too slow to fuzz
  r.lecturaCompleta = true;
  return r;
}

// ---- Running and checking ----

struct Ejecucion {
  ResultadoHijo hijo;
  std::optional<std::string> informe;  // nullopt: no output.txt
};

std::string leeArchivo(const fs::path& ruta) {
  std::string texto;
  std::FILE* f = std::fopen(ruta.c_str(), "rb");
  if (f == nullptr) falla("cannot read " + ruta.string());
  char bufer[1 << 14];
  std::size_t n;
  while ((n = std::fread(bufer, 1, sizeof bufer, f)) > 0) texto.append(bufer, n);
  std::fclose(f);
  return texto;
}

void escribeArchivo(const fs::path& ruta, const std::string& bytes) {
  std::FILE* f = std::fopen(ruta.c_str(), "wb");
  if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
    falla("cannot write input");
  std::fclose(f);
}

Ejecucion ejecuta(const fs::path& dir, const std::string& entrada, bool literal) {
  escribeArchivo(dir / "input.txt", entrada);
  fs::remove(dir / "output.txt");
  Ejecucion e;
  e.hijo = ejecutaEnDirectorio(dir.string(), [literal] { return ejecutaPrograma(literal); });
  if (fs::exists(dir / "output.txt")) e.informe = leeArchivo(dir / "output.txt");
  return e;
}

// The last section: its title, a blank line, then dim rows of dim fields,
// each field a number padded with blanks, each row ended by CR LF.
bool terminaEnPagos(const std::string& informe, std::int64_t dim) {
  const std::string titulo = "Matriz de pagos\r\n\r\n";
  const std::size_t donde = informe.rfind(titulo);
  if (donde == std::string::npos) return false;
  std::size_t pos = donde + titulo.size();
  for (std::int64_t i = 0; i < dim; ++i) {
    const std::size_t fin = informe.find("\r\n", pos);
    if (fin == std::string::npos) return false;
    const std::vector<std::string> campos = oraculo::tokens(informe.substr(pos, fin - pos));
    if (static_cast<std::int64_t>(campos.size()) != dim) return false;
    for (const std::string& c : campos) {
      double v = 0;
      if (!oraculo::realAceptado(c, v) && c != "nan" && c != "inf" && c != "-inf") return false;
    }
    if (informe[fin - 1] != ' ') return false;  // every field keeps its trailing blank
    pos = fin + 2;
  }
  return pos == informe.size();
}

void compruebaEjecucion(const Ejecucion& e, const Esperado& esperado, const std::string& entrada) {
  const std::string& salida = e.hijo.salida;
  const int estado = e.hijo.estado;
  const std::string contexto =
      "input.txt:\n" + entrada + "\nstdout: [" + salida + "] status " + std::to_string(estado);
  if (estado != 0 && estado != 1) falla("status neither 0 nor 1", contexto);
  if (!e.informe) falla("no output.txt", contexto);
  if (!esperado.lecturaCompleta) {
    if (estado != 1 || salida != esperado.mensaje)
      falla("expected [" + esperado.mensaje + "]", contexto);
    if (!e.informe->empty()) falla("report not empty after a reading failure", contexto);
    return;
  }
  if (estado == 0) {
    if (!salida.empty()) falla("stdout not empty after a complete run", contexto);
    if (!terminaEnPagos(*e.informe, esperado.dim))
      falla("report does not end with the payments", contexto + "\n" + *e.informe);
    return;
  }
  // Only the iteration fails once the numbers are read, and only in its rounds.
  if (salida != kIndeterminado && salida != kNoConverge) falla("unexpected message", contexto);
  if (e.informe->find("DIAGONALES\r\n") == std::string::npos ||
      e.informe->find("RESULTADO") != std::string::npos)
    falla("iteration failure outside the rounds", contexto + "\n" + *e.informe);
}

struct Directorios {
  fs::path programa, referencia;
};

const Directorios& directorios() {
  static const Directorios d = [] {
    auto nuevo = [] {
      std::string plantilla = (fs::temp_directory_path() / "fuzz-run-XXXXXX").string();
      if (mkdtemp(plantilla.data()) == nullptr) std::abort();
      return fs::path(plantilla);
    };
    Directorios r{nuevo(), nuevo()};
    static const pid_t padre = getpid();
    static Directorios borrar = r;
    std::atexit([] {
      if (getpid() != padre) return;
      fs::remove_all(borrar.programa);
      fs::remove_all(borrar.referencia);
    });
    return r;
  }();
  return d;
}

}  // namespace

// Two forks per input make page faults the main cost here: a smaller
// quarantine, short allocation stacks and no malloc fill halve it. The
// environment's ASAN_OPTIONS still override these.
extern "C" const char*
__asan_default_options() {  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
  return "quarantine_size_mb=16:malloc_context_size=2:max_malloc_fill_size=0";
}

// The first byte chooses: even, the rest is input.txt as it is; odd, the
// rest encodes a network of at most 16 nodes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t n) {
  if (n == 0) return 0;
  const std::string entrada = (datos[0] & 1) != 0
                                  ? redCodificada(Bytes{datos + 1, n - 1})
                                  : std::string(reinterpret_cast<const char*>(datos) + 1, n - 1);
  const std::optional<Esperado> esperado = esperadoDeLectura(entrada);
  if (!esperado) return -1;  // not kept in the corpus

  const Directorios& d = directorios();
  const Ejecucion programa = ejecuta(d.programa, entrada, false);
  compruebaEjecucion(programa, *esperado, entrada);
  const Ejecucion referencia = ejecuta(d.referencia, entrada, true);
  if (programa.hijo.estado != referencia.hijo.estado ||
      programa.hijo.salida != referencia.hijo.salida || programa.informe != referencia.informe)
    falla("the program and the reference run differ",
          "input.txt:\n" + entrada + "\nprogram: [" + programa.hijo.salida + "] " +
              std::to_string(programa.hijo.estado) + "\nreference: [" + referencia.hijo.salida +
              "] " + std::to_string(referencia.hijo.estado));
  return 0;
}
