// Fuzz target for the reader: arbitrary bytes become input.txt, and the
// tokens and conversions of lectura/lector.h must agree with the
// independent rules of gramatica.h, block boundaries and long tokens included.
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "gramatica.h"
#include "lectura/lector.h"

namespace {

// Stops the run loudly: libFuzzer (or the replay) keeps the input.
[[noreturn]] void falla(const char* que, std::string_view dato) {
  std::fprintf(stderr, "fuzz_lector: %s [%zu bytes]: \"%.*s\"\n", que, dato.size(),
               static_cast<int>(dato.size() > 80 ? 80 : dato.size()), dato.data());
  std::abort();
}

// The reader fills 64 KiB blocks; the first byte of the input chooses a
// prefix that puts the rest of it right around the first block boundary:
// 0 none, 1 blanks, 2 a run of digits (one long token joining the rest),
// 3 a byte-order mark and blanks.
std::string flujoDe(const std::uint8_t* datos, std::size_t n) {
  if (n == 0) return {};
  const std::uint8_t modo = datos[0] & 3;
  const std::size_t corto =
      static_cast<std::size_t>(datos[0] >> 2) * 7;  // 0..441 before the boundary
  std::string resto(reinterpret_cast<const char*>(datos) + 1, n - 1);
  const std::size_t bloque = 1 << 16;
  static const char kBlancos[] = " \t\n\v\f\r";
  std::string relleno;
  switch (modo) {
    case 0:
      return resto;
    case 1:
      for (std::size_t i = 0; i < bloque - corto; ++i) relleno += kBlancos[(i + corto) % 6];
      break;
    case 2:
      relleno.assign(bloque - corto, '1');
      break;
    default:
      relleno = "\xEF\xBB\xBF";
      relleno.append(bloque - corto - 3, ' ');
      break;
  }
  return relleno + resto;
}

std::string directorio;  // this process's scratch directory, removed at exit

const std::string& rutaEntrada() {
  static const std::string ruta = [] {
    std::string plantilla =
        (std::filesystem::temp_directory_path() / "fuzz-lector-XXXXXX").string();
    if (mkdtemp(plantilla.data()) == nullptr) std::abort();
    directorio = plantilla;
    std::atexit([] { std::filesystem::remove_all(directorio); });
    return directorio + "/input.txt";
  }();
  return ruta;
}

void escribe(const std::string& ruta, const std::string& bytes) {
  std::FILE* f = std::fopen(ruta.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
  if (std::fclose(f) != 0) std::abort();
}

// The text the reader hands over for a token through both conversions,
// against the oracle on the whole token: for a long token the text is a
// bounded equivalent, and it must be accepted and valued alike.
void compruebaConversiones(std::string_view texto, std::string_view token) {
  double real = 0.0, esperado = 0.0;
  const bool aceptado = esRealValido(texto, real);
  if (aceptado != oraculo::realAceptado(token, esperado))
    falla("esRealValido disagrees with the grammar", token);
  if (aceptado) {
    if (!std::isfinite(real)) falla("accepted a non-finite value", token);
    // Bits, not ==: the sign of a zero counts.
    if (std::bit_cast<std::uint64_t>(real) != std::bit_cast<std::uint64_t>(esperado))
      falla("value is not strtod's", token);
  }
  std::int32_t entero = 0;
  std::int64_t enteroEsperado = 0;
  const bool enteroOk = esEnteroValido(texto, entero);
  if (enteroOk != oraculo::enteroAceptado(token, enteroEsperado))
    falla("esEnteroValido disagrees", token);
  if (enteroOk && entero != enteroEsperado) falla("wrong integer value", token);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t n) {
  // The raw bytes themselves as one candidate token (blanks, NULs and all).
  if (n > 0) {
    const std::string_view crudo(reinterpret_cast<const char*>(datos) + 1, n - 1);
    compruebaConversiones(crudo, crudo);
  }

  const std::string flujo = flujoDe(datos, n);
  const std::string& ruta = rutaEntrada();
  escribe(ruta, flujo);
  auto lector = std::make_unique<Lector>();  // a long token's digits: not on the stack
  if (!abreLector(*lector, ruta.c_str())) falla("could not open a readable file", "");
  const std::vector<std::string> esperados = oraculo::tokens(flujo);
  std::size_t k = 0;
  for (Token t = siguienteToken(*lector); !t.texto.empty(); t = siguienteToken(*lector), ++k) {
    for (const char c : t.muestra)
      if (oraculo::esSeparador(static_cast<unsigned char>(c)))
        falla("token holds a blank", t.muestra);
    if (k >= esperados.size()) falla("token past the end", t.muestra);
    if (t.muestra != std::string_view(esperados[k]).substr(0, kMuestra))
      falla("token's sample differs", t.muestra);
    compruebaConversiones(t.texto, esperados[k]);
  }
  if (k != esperados.size()) falla("tokens missing at the end", flujo);
  if (!siguienteToken(*lector).texto.empty()) falla("a token after the end", "");
  cierraLector(*lector);
  return 0;
}
