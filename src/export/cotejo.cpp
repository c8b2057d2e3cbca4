// The report's lines in order, each compared with the text the report's own
// formats give the engine's numbers: every cell of L, e, PI, pBarra, every
// round's default matrix, p, the rounds, the capital and the payments. One
// line is held at a time, so a report of gigabytes costs O(n) memory.
#include "export/cotejo.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

#include "base/tipos.h"
#include "comun/lineas.h"
#include "comun/texto.h"
#include "report/formato.h"
#include "report/resultado.h"
#include "report/textos.h"

namespace {

struct Cursor {
  LectorLineas lector;
  const char* ruta = nullptr;
  std::string_view seccion = kTituloEntrada;
  std::string linea;
  std::vector<char> texto;  // the expected line, n cells at most
  std::string error;
};

// "output.txt:LINE: ", the line the cursor is on.
std::string aqui(const Cursor& c) {
  return enLinea(c.ruta, c.lector.numero, "");
}

bool terminaAntes(Cursor& c, Linea leida) {
  if (c.lector.fallo) {
    c.error = std::string(c.ruta) + ": cannot read";
  } else {
    c.error = std::string(c.ruta) + " is incomplete: it " +
              (leida == Linea::cortada ? "stops inside line " : "ends after line ") +
              std::to_string(c.lector.numero) + ", in section " + utf8DeLatin1(c.seccion) +
              ". The run that wrote it ended early with a message; run clearing again to a "
              "complete report.";
  }
  return false;
}

bool siguiente(Cursor& c) {
  const Linea leida = leeLinea(c.lector, c.linea);
  return leida == Linea::completa || terminaAntes(c, leida);
}

bool espera(Cursor& c, std::string_view texto) {
  if (!siguiente(c)) return false;
  if (c.linea == texto) return true;
  c.error = aqui(c) + "expected " + citado(texto) + ", found " + citado(c.linea) +
            ": not a report of clearing";
  return false;
}

bool esperaVarias(Cursor& c, std::initializer_list<std::string_view> lineas) {
  for (std::string_view texto : lineas) {
    if (!espera(c, texto)) return false;
  }
  return true;
}

bool esDistinto(Cursor& c, const std::string& que) {
  c.error = aqui(c) + "the report does not match input.txt: " + que +
            " (a report of other numbers, or input.txt changed since)";
  return false;
}

// A line of cells that must be the report of the engine's numbers.
bool esperaDe(Cursor& c, std::string_view texto, const std::string& que) {
  if (!siguiente(c)) return false;
  if (c.linea == texto) return true;
  const std::size_t enInforme = separaCeldas(c.linea).size();
  const std::size_t calculadas = separaCeldas(texto).size();
  return esDistinto(
      c, que + (enInforme != calculadas ? " has " + std::to_string(enInforme) + " values, " +
                                              std::to_string(calculadas) + " in input.txt"
                                        : " differs"));
}

bool esperaTexto(Cursor& c, const char* fin, const std::string& que) {
  return esperaDe(
      c, std::string_view(c.texto.data(), static_cast<std::size_t>(fin - c.texto.data())), que);
}

// A dense row in format f, each element times factor; +0 copied, not formatted.
char* formateaFila(const Vector& fila, double factor, FormatoReal f, char* texto) {
  char cero[kMaxNumero];
  const auto largoCero = static_cast<std::size_t>(formatoReal(cero, 0.0, f) - cero);
  for (double v : fila) {
    const double x = v * factor;
    texto = std::bit_cast<std::uint64_t>(x) == 0 ? std::copy_n(cero, largoCero, texto)
                                                 : formatoReal(texto, x, f);
  }
  return texto;
}

bool leeInput(Cursor& c, const Dispersa& dispersa) {
  if (!esperaVarias(c, {kTituloEntrada, "", kTituloL, ""})) return false;
  for (std::int32_t i = 0; i < dispersa.n; ++i) {
    if (!esperaTexto(c, formateaFilaL(dispersa, i, c.texto.data()),
                     "row " + std::to_string(i) + " of L"))
      return false;
  }
  return esperaVarias(c, {"", kTituloE, ""}) &&
         esperaTexto(c, formateaVector(dispersa.e, c.texto.data()), "e") &&
         esperaVarias(c, {"", kSeparador});
}

bool leePreliminares(Cursor& c, const Dispersa& dispersa, const NetworkState& estado) {
  c.seccion = kTituloPreliminares;
  if (!esperaVarias(c, {kTituloPreliminares, "", kTituloPI, ""})) return false;
  for (std::int32_t i = 0; i < dispersa.n; ++i) {
    if (!esperaTexto(c, formateaFila(estado.PI[i], 1.0, kFormatoPI, c.texto.data()),
                     "row " + std::to_string(i) + " of PI"))
      return false;
  }
  return esperaVarias(c, {"", kTituloPBarra, ""}) &&
         esperaTexto(c, formateaVector(dispersa.pBarra, c.texto.data()), "pBarra") &&
         esperaVarias(c, {"", kSeparador});
}

// Round k's block: "Paso k:", then its default matrix, 1 on the diagonal of
// a node in default.
bool leeRonda(Cursor& c, std::int32_t k, const std::vector<char>& marcas) {
  const std::string paso = std::string(kTituloPaso) + std::to_string(k) + ":";
  if (!espera(c, "") || !siguiente(c)) return false;
  if (c.linea != paso) return esDistinto(c, "clearing runs more rounds than the report has");
  if (!espera(c, "")) return false;
  const std::size_t n = marcas.size();
  constexpr std::size_t kCelda = 7;  // "0      "
  std::memset(c.texto.data(), ' ', n * kCelda);
  for (std::size_t j = 0; j < n; ++j) c.texto[j * kCelda] = '0';
  for (std::size_t i = 0; i < n; ++i) {
    if (marcas[i] != 0) c.texto[i * kCelda] = '1';
    const bool igual = esperaDe(c, std::string_view(c.texto.data(), n * kCelda),
                                "row " + std::to_string(i) + " of round " + std::to_string(k));
    c.texto[i * kCelda] = '0';
    if (!igual) return false;
  }
  return true;
}

bool leeDiagonales(Cursor& c, const Resultado& r, std::size_t n) {
  c.seccion = kTituloDiagonales;
  if (!espera(c, kTituloDiagonales)) return false;
  std::vector<char> marcas(n, 0);
  for (std::int32_t k = 1; k <= r.rondas; ++k) {
    for (std::int32_t i : r.cambios[static_cast<std::size_t>(k - 1)]) marcas[i] ^= 1;
    if (!leeRonda(c, k, marcas)) return false;
  }
  if (!espera(c, "") || !siguiente(c)) return false;
  if (c.linea == kSeparador) return true;
  return esDistinto(c, c.linea.starts_with(kTituloPaso)
                           ? "the report has more rounds than clearing runs"
                           : "expected the end of the rounds");
}

bool leeVectores(Cursor& c, const Resultado& r) {
  c.seccion = kTituloResultado;
  if (!r.sinClearing.empty()) {
    if (!siguiente(c)) return false;
    return esDistinto(c, "the report has results, but clearing finds none: " + r.sinClearing);
  }
  char* fin = c.texto.data();
  for (double v : r.p) fin = formatoReal(fin, v, kFormatoResultado);
  if (!esperaVarias(c, {kTituloResultado, "", kTituloP, ""}) || !esperaTexto(c, fin, "p"))
    return false;
  fin = c.texto.data();
  for (std::int32_t k : r.ronda) fin = formatoEntero(fin, k, kAnchoPaso);
  if (!esperaVarias(c, {"", kTituloPasos, ""}) || !esperaTexto(c, fin, "the default rounds"))
    return false;
  fin = c.texto.data();
  for (double v : r.capital) fin = formatoCapital(fin, v);
  return esperaVarias(c, {"", kNotaPasos, "", kTituloCapital, ""}) &&
         esperaTexto(c, fin, "the capital");
}

bool leePagos(Cursor& c, const NetworkState& estado, const Resultado& r) {
  c.seccion = kTituloPagos;
  if (!esperaVarias(c, {"", kTituloPagos, ""})) return false;
  for (std::size_t i = 0; i < r.p.size(); ++i) {
    if (!esperaTexto(c, formateaFila(estado.PI[i], r.p[i], kFormatoL, c.texto.data()),
                     "row " + std::to_string(i) + " of the payments"))
      return false;
  }
  std::size_t largo;
  if (saltaLinea(c.lector, largo) == Linea::ninguna) return true;
  c.error = aqui(c) + "text after the payments matrix: not a report of clearing";
  return false;
}

}  // namespace

bool compruebaInforme(const char* ruta, const Dispersa& dispersa, const NetworkState& estado,
                      const Resultado& resultado, std::string& error) {
  Cursor c;
  c.ruta = ruta;
  if (!abreLineas(c.lector, ruta)) {
    error = std::string(ruta) + ": cannot open";
    return false;
  }
  const auto n = static_cast<std::size_t>(dispersa.n);
  c.texto.resize(n * kMaxNumero + kMaxNumero);
  const bool igual = leeInput(c, dispersa) && leePreliminares(c, dispersa, estado) &&
                     leeDiagonales(c, resultado, n) && leeVectores(c, resultado) &&
                     leePagos(c, estado, resultado);
  cierraLineas(c.lector);
  error = c.error;
  return igual;
}
