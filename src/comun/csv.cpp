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

#include "comun/texto.h"

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
    error = nombre + ": out of memory";
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
