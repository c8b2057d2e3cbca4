// libcsv knows no lines, so the file is fed to it one line at a time (a line
// ends in LF, CR LF or a CR alone): a record's start is the first line with
// text after the previous record ended.
#include "comun/csv.h"

#include <csv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "comun/motivos.h"
#include "comun/texto.h"
#include "lectura/lector.h"

namespace {

struct Recogida {
  std::vector<FilaCsv>* filas = nullptr;
  FilaCsv actual;
  long linea = 0;  // the line being fed
  bool esperaInicio = true;
};

void alCampo(void* datos, std::size_t largo, void* contexto) {
  auto& r = *static_cast<Recogida*>(contexto);
  if (r.esperaInicio) {  // a record after a lone CR on the same line
    r.actual.linea = r.linea;
    r.esperaInicio = false;
  }
  r.actual.campos.emplace_back(static_cast<const char*>(datos), largo);
}

void alFinDeFila(int /*terminador*/, void* contexto) {
  auto& r = *static_cast<Recogida*>(contexto);
  r.filas->push_back(std::move(r.actual));
  r.actual = FilaCsv{};
  r.esperaInicio = true;
}

bool esLineaEnBlanco(std::string_view linea) {
  return linea.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

bool leeBytes(const std::string& ruta, std::string& bytes, std::string& error) {
  const bool entrada = ruta == "-";
  std::FILE* archivo = entrada ? stdin : std::fopen(ruta.c_str(), "rb");
  if (archivo == nullptr) {
    error = nombreCsv(ruta) + ": cannot open (" + std::strerror(errno) + ")";
    return false;
  }
  char bloque[1 << 16];
  std::size_t n;
  while ((n = std::fread(bloque, 1, sizeof bloque, archivo)) > 0) bytes.append(bloque, n);
  const bool fallo = std::ferror(archivo) != 0;
  const int causa = errno;
  if (!entrada) (void)std::fclose(archivo);  // read-only: nothing to lose
  if (fallo) error = nombreCsv(ruta) + ": cannot read (" + std::strerror(causa) + ")";
  return !fallo;
}

// The end of the line that starts the text: LF, CR LF or a CR alone.
std::size_t finDeLinea(std::string_view texto) {
  const std::size_t fin = texto.find_first_of("\r\n");
  if (fin == std::string_view::npos) return texto.size();
  return fin + (texto[fin] == '\r' && fin + 1 < texto.size() && texto[fin + 1] == '\n' ? 2 : 1);
}

}  // namespace

std::string nombreCsv(const std::string& ruta) {
  return ruta == "-" ? std::string("stdin") : textoSeguro(ruta);
}

bool leeCsv(const std::string& ruta, std::vector<FilaCsv>& filas, std::string& error) {
  std::string bytes;
  if (!leeBytes(ruta, bytes, error)) return false;
  std::string_view resto = bytes;
  if (resto.starts_with("\xEF\xBB\xBF")) resto.remove_prefix(3);

  csv_parser parser;
  const std::string nombre = nombreCsv(ruta);
  if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0) {
    error = nombre + ": " + motivo(Fallo{});
    return false;
  }
  Recogida r;
  r.filas = &filas;
  bool correcto = true;
  while (correcto && !resto.empty()) {
    const std::size_t fin = finDeLinea(resto);
    const std::string_view linea = resto.substr(0, fin);
    resto.remove_prefix(fin);
    ++r.linea;
    if (r.esperaInicio && !esLineaEnBlanco(linea)) {
      r.actual.linea = r.linea;
      r.esperaInicio = false;
    }
    correcto =
        csv_parse(&parser, linea.data(), linea.size(), alCampo, alFinDeFila, &r) == linea.size();
  }
  if (correcto && csv_fini(&parser, alCampo, alFinDeFila, &r) != 0) {
    error = nombre + ":" + std::to_string(r.actual.linea) + ": a quoted field is not closed";
    csv_free(&parser);
    return false;
  }
  if (!correcto) {
    error = nombre + ":" + std::to_string(r.linea) +
            (csv_error(&parser) == CSV_EPARSE
                 ? ": a quote inside an unquoted field, or text after a closing quote"
                 : std::string(": ") + csv_strerror(csv_error(&parser)));
  }
  csv_free(&parser);
  return correcto;
}

std::string listaColumnas(std::span<const char* const> columnas) {
  std::string lista;
  for (const char* columna : columnas) {
    if (!lista.empty()) lista += ',';
    lista += columna;
  }
  return lista;
}

bool leeCabeceraCsv(const std::string& mostrado, const std::vector<FilaCsv>& filas,
                    std::span<const char* const> columnas, std::vector<std::size_t>& posicion,
                    std::string& error, std::size_t obligatorias) {
  const std::string lista = obligatorias < columnas.size()
                                ? listaColumnas(columnas.first(obligatorias)) + " with any of " +
                                      listaColumnas(columnas.subspan(obligatorias))
                                : listaColumnas(columnas);
  if (filas.empty()) {
    error = mostrado + ": empty file: expected the header line " + lista;
    return false;
  }
  const FilaCsv& primera = filas.front();
  constexpr std::size_t kFalta = static_cast<std::size_t>(-1);
  posicion.assign(columnas.size(), kFalta);
  double valor;
  if (std::any_of(primera.campos.begin(), primera.campos.end(),
                  [&](const std::string& campo) { return esRealValido(campo, valor); })) {
    error = enLinea(mostrado, primera.linea, "missing header line " + lista);
    return false;
  }
  for (std::size_t k = 0; k < primera.campos.size(); ++k) {
    const std::string nombre = minusculas(primera.campos[k]);
    const auto donde = std::find(columnas.begin(), columnas.end(), nombre);
    std::string falta;
    if (donde == columnas.end()) {
      falta =
          "unknown column " + citado(primera.campos[k]) + ": expected " + lista + " in any order";
    } else if (posicion[donde - columnas.begin()] != kFalta) {
      falta = "the column " + nombre + " appears twice";
    }
    if (!falta.empty()) {
      error = enLinea(mostrado, primera.linea, falta);
      return false;
    }
    posicion[donde - columnas.begin()] = k;
  }
  for (std::size_t c = 0; c < std::min(obligatorias, columnas.size()); ++c) {
    if (posicion[c] != kFalta) continue;
    error =
        enLinea(mostrado, primera.linea,
                std::string("no column ") + columnas[c] + ": expected " + lista + " in any order");
    return false;
  }
  return true;
}
