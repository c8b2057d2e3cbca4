// The report's lines in order. Every line is compared or counted; the
// matrices of PI, of the rounds and of the payments are only counted, which
// keeps a report of gigabytes cheap to read.
#include "companion/informe.h"

#include <charconv>
#include <string_view>

#include "companion/lineas.h"
#include "companion/texto.h"

namespace {

constexpr std::string_view kSeparador =
    "-----------------------------------------------------------------------------------------";

struct Cursor {
  LectorLineas lector;
  const char* ruta = nullptr;
  const char* seccion = "INPUT";
  std::string linea;
  std::string error;
};

std::string enLinea(const Cursor& c) {
  return std::string(c.ruta) + ":" + std::to_string(c.lector.numero) + ": ";
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
  c.error = enLinea(c) + "expected " + citado(utf8DeLatin1(texto)) + ", found " +
            citado(utf8DeLatin1(c.linea)) + ": not a report of clearing";
  return false;
}

bool esperaVarias(Cursor& c, std::initializer_list<std::string_view> lineas) {
  for (std::string_view texto : lineas) {
    if (!espera(c, texto)) return false;
  }
  return true;
}

// A line that must be the report of these numbers.
bool esperaDe(Cursor& c, const std::string& texto, const std::string& que) {
  if (!siguiente(c)) return false;
  if (c.linea == texto) return true;
  const std::size_t enInforme = separaCeldas(c.linea).size();
  const std::size_t enEntrada = separaCeldas(texto).size();
  c.error = enLinea(c) + "the report does not match input.txt: " + que +
            (enInforme != enEntrada ? " has " + std::to_string(enInforme) + " values, " +
                                          std::to_string(enEntrada) + " in input.txt"
                                    : " differs") +
            " (a report of other numbers, or input.txt changed since)";
  return false;
}

// n lines of a matrix, passed over without being read cell by cell.
bool saltaFilas(Cursor& c, std::int32_t n) {
  for (std::int32_t i = 0; i < n; ++i) {
    std::size_t largo;
    const Linea leida = saltaLinea(c.lector, largo);
    if (leida != Linea::completa) return terminaAntes(c, leida);
    if (largo == 0) {
      c.error = enLinea(c) + "a matrix row is empty: not a report of clearing";
      return false;
    }
  }
  return true;
}

bool esperaCeldas(Cursor& c, std::int32_t n, const char* que,
                  std::vector<std::string_view>& celdas) {
  if (!siguiente(c)) return false;
  celdas = separaCeldas(c.linea);
  if (celdas.size() == static_cast<std::size_t>(n)) return true;
  c.error = enLinea(c) + "the report does not match input.txt: " + std::to_string(celdas.size()) +
            " values of " + que + " for " + std::to_string(n) + " nodes";
  return false;
}

bool esCeldaMala(Cursor& c, std::string_view celda, const char* que) {
  c.error = enLinea(c) + "bad value " + citado(celda) + " in " + que;
  return false;
}

bool leeReal(Cursor& c, std::string_view celda, const char* que, double& valor) {
  const auto [fin, ec] = std::from_chars(celda.data(), celda.data() + celda.size(), valor);
  return (ec == std::errc() && fin == celda.data() + celda.size()) || esCeldaMala(c, celda, que);
}

bool leeEntrada(Cursor& c, const RedLeida& red) {
  std::string esperada;
  if (!esperaVarias(c, {"INPUT", "", "Matriz de obligaciones nominales (L):", ""})) return false;
  for (std::int32_t i = 0; i < red.n; ++i) {
    formateaFilaL(red, i, esperada);
    if (!esperaDe(c, esperada, "row " + std::to_string(i) + " of L")) return false;
  }
  if (!esperaVarias(c, {"", "Vector de fujos ex\xF3genos de dinero (e):", ""})) return false;
  formateaCaja(red, esperada);
  return esperaDe(c, esperada, "e") && esperaVarias(c, {"", kSeparador});
}

bool leePreliminares(Cursor& c, const RedLeida& red) {
  c.seccion = "C\xC1LCULOS PRELIMINARES";
  std::string esperada;
  if (!esperaVarias(c, {c.seccion, "", "Matriz de obligaciones relativas (PI):", ""}) ||
      !saltaFilas(c, red.n) ||
      !esperaVarias(c, {"", "Obligaciones nominales totales (pBarra):", ""}))
    return false;
  formateaTotales(red, esperada);
  return esperaDe(c, esperada, "pBarra") && esperaVarias(c, {"", kSeparador});
}

// "Paso 1:" … "Paso K:", each followed by its n rows, up to the separator.
bool leeDiagonales(Cursor& c, const RedLeida& red, Resultado& r) {
  c.seccion = "DIAGONALES";
  if (!esperaVarias(c, {c.seccion, ""}) || !siguiente(c)) return false;
  do {
    const std::string paso = "Paso " + std::to_string(++r.rondas) + ":";
    if (c.linea != paso) {
      c.error = enLinea(c) + "expected " + citado(paso) + ": not a report of clearing";
      return false;
    }
    if (!espera(c, "") || !saltaFilas(c, red.n) || !espera(c, "") || !siguiente(c)) return false;
  } while (c.linea != kSeparador);
  return true;
}

bool leePagos(Cursor& c, const RedLeida& red, Resultado& r) {
  c.seccion = "RESULTADO";
  std::vector<std::string_view> celdas;
  if (!esperaVarias(c, {"RESULTADO", "", "Vector de resoluci\xF3n (p):", ""}) ||
      !esperaCeldas(c, red.n, "p", celdas))
    return false;
  for (std::string_view celda : celdas) {
    double v;
    if (!leeReal(c, celda, "p", v)) return false;
    r.pagoTexto.emplace_back(celda);
    r.p.push_back(v);
  }
  return true;
}

bool leeRondas(Cursor& c, const RedLeida& red, Resultado& r) {
  std::vector<std::string_view> celdas;
  if (!esperaVarias(c, {"", "Vector de pasos en los que quiebra cada nodo:", ""}) ||
      !esperaCeldas(c, red.n, "the default rounds", celdas))
    return false;
  for (std::string_view celda : celdas) {
    std::int32_t k;
    const auto [fin, ec] = std::from_chars(celda.data(), celda.data() + celda.size(), k);
    if (ec != std::errc() || fin != celda.data() + celda.size() || k < 0 || k > r.rondas)
      return esCeldaMala(c, celda, "the default rounds");
    r.ronda.push_back(k);
  }
  return true;
}

bool leeCapital(Cursor& c, const RedLeida& red, Resultado& r) {
  std::vector<std::string_view> celdas;
  if (!esperaVarias(c, {"", "NOTA: el valor es 0 cuando el nodo no quiebra.", "",
                        "Capital resultante de cada nodo:", ""}) ||
      !esperaCeldas(c, red.n, "the capital", celdas))
    return false;
  for (std::string_view celda : celdas) {
    double v = 0.0;
    if (celda != "0" && !leeReal(c, celda, "the capital", v)) return false;
    r.capitalTexto.emplace_back(celda);
    r.capital.push_back(v);
  }
  return true;
}

bool leeMatrizPagos(Cursor& c, const RedLeida& red) {
  c.seccion = "Matriz de pagos";
  if (!esperaVarias(c, {"", c.seccion, ""}) || !saltaFilas(c, red.n)) return false;
  std::size_t largo;
  if (saltaLinea(c.lector, largo) == Linea::ninguna) return true;
  c.error = enLinea(c) + "text after the payments matrix: not a report of clearing";
  return false;
}

bool leeResultado(Cursor& c, const RedLeida& red, Resultado& r) {
  return leePagos(c, red, r) && leeRondas(c, red, r) && leeCapital(c, red, r) &&
         leeMatrizPagos(c, red);
}

}  // namespace

bool leeInforme(const char* ruta, const RedLeida& red, Resultado& resultado, std::string& error) {
  Cursor c;
  c.ruta = ruta;
  if (!abreLineas(c.lector, ruta)) {
    error = std::string(ruta) + ": cannot open";
    return false;
  }
  const bool completo = leeEntrada(c, red) && leePreliminares(c, red) &&
                        leeDiagonales(c, red, resultado) && leeResultado(c, red, resultado);
  cierraLineas(c.lector);
  error = c.error;
  return completo;
}
