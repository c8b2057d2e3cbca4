// libcsv knows no lines, so the file is fed to it one line at a time (a line
// ends in LF, CR LF or a CR alone): a record's start is the first line with
// text after the previous record ended.
#include "comun/csv.h"

#include <csv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string_view>

#include "comun/motivos.h"
#include "comun/texto.h"
#include "lectura/lector.h"

namespace {

struct Recogida {
  const std::function<bool(FilaCsv&)>* alFila = nullptr;
  FilaCsv actual;
  long linea = 0;  // the line being fed
  bool esperaInicio = true;
  bool parada = false;  // alFila said stop
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
  if (!r.parada && !(*r.alFila)(r.actual)) r.parada = true;
  r.actual = FilaCsv{};
  r.esperaInicio = true;
}

bool esLineaEnBlanco(std::string_view linea) {
  return linea.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// A file read a block at a time: the whole of it is never held.
struct Fuente {
  std::FILE* archivo = nullptr;
  bool entrada = false;
  bool fin = false;
};

bool abreFuente(const std::string& ruta, Fuente& fuente, std::string& error) {
  fuente.entrada = ruta == "-";
  fuente.archivo = fuente.entrada ? stdin : std::fopen(ruta.c_str(), "rb");
  if (fuente.archivo != nullptr) return true;
  error = nombreCsv(ruta) + ": cannot open (" + std::strerror(errno) + ")";
  return false;
}

// Appends the next block to bytes; false with error when reading failed.
bool leeBloque(const std::string& ruta, Fuente& fuente, std::string& bytes, std::string& error) {
  char bloque[1 << 16];
  const std::size_t n = std::fread(bloque, 1, sizeof bloque, fuente.archivo);
  bytes.append(bloque, n);
  if (n > 0) return true;
  fuente.fin = true;
  if (std::ferror(fuente.archivo) == 0) return true;
  error = nombreCsv(ruta) + ": cannot read (" + std::strerror(errno) + ")";
  return false;
}

void cierraFuente(Fuente& fuente) {
  if (!fuente.entrada && fuente.archivo != nullptr)
    (void)std::fclose(fuente.archivo);  // read-only: nothing to lose
  fuente.archivo = nullptr;
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
  const std::function<bool(FilaCsv&)> guarda = [&](FilaCsv& fila) {
    filas.push_back(std::move(fila));
    return true;
  };
  return recorreCsv(ruta, guarda, error);
}

namespace {

// Feeds one line to the parser; false when the parser refused it.
bool alimenta(csv_parser& parser, Recogida& r, std::string_view linea) {
  ++r.linea;
  if (r.esperaInicio && !esLineaEnBlanco(linea)) {
    r.actual.linea = r.linea;
    r.esperaInicio = false;
  }
  return csv_parse(&parser, linea.data(), linea.size(), alCampo, alFinDeFila, &r) == linea.size();
}

// The whole lines at the start of bytes, fed; what is left is an unfinished
// line (a CR at the end may yet be followed by its LF), unless the file ended.
bool alimentaLineas(csv_parser& parser, Recogida& r, std::string& bytes, bool fin) {
  std::string_view resto = bytes;
  bool correcto = true;
  while (correcto && !r.parada && !resto.empty()) {
    const std::size_t corte = resto.find_first_of("\r\n");
    if (!fin && (corte == std::string_view::npos ||
                 (corte + 1 == resto.size() && resto[corte] == '\r')))
      break;
    const std::size_t largo = finDeLinea(resto);
    correcto = alimenta(parser, r, resto.substr(0, largo));
    resto.remove_prefix(largo);
  }
  bytes.erase(0, bytes.size() - resto.size());
  return correcto;
}

}  // namespace

bool recorreCsv(const std::string& ruta, const std::function<bool(FilaCsv&)>& alFila,
                std::string& error) {
  Fuente fuente;
  if (!abreFuente(ruta, fuente, error)) return false;
  csv_parser parser;
  const std::string nombre = nombreCsv(ruta);
  if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0) {
    cierraFuente(fuente);
    error = nombre + ": " + motivo(Fallo{});
    return false;
  }
  Recogida r;
  r.alFila = &alFila;
  std::string bytes;
  bool correcto = true;
  bool inicio = true;
  while (correcto && !r.parada && !fuente.fin) {
    correcto = leeBloque(ruta, fuente, bytes, error);
    if (!correcto) break;
    if (inicio && (bytes.size() >= 3 || fuente.fin)) {
      if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
      inicio = false;
    }
    if (inicio) continue;
    if (!alimentaLineas(parser, r, bytes, fuente.fin)) {
      correcto = false;
      error = nombre + ":" + std::to_string(r.linea) +
              (csv_error(&parser) == CSV_EPARSE
                   ? ": a quote inside an unquoted field, or text after a closing quote"
                   : std::string(": ") + csv_strerror(csv_error(&parser)));
    }
  }
  cierraFuente(fuente);
  if (correcto && !r.parada && csv_fini(&parser, alCampo, alFinDeFila, &r) != 0) {
    error = nombre + ":" + std::to_string(r.actual.linea) + ": a quoted field is not closed";
    correcto = false;
  }
  csv_free(&parser);
  return correcto && !r.parada;
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
