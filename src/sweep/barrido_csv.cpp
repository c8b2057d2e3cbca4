#include "sweep/barrido_csv.h"

#include <charconv>
#include <cstddef>
#include <utility>

#include "comun/texto.h"

namespace {

// Rows are handed to the files in pieces of about this many bytes.
constexpr std::size_t kPieza = std::size_t{1} << 20;

constexpr const char* kDesenlaces[] = {"ok", "indeterminate", "no_convergence"};

void anadeEntero(std::string& texto, long long v) {
  std::array<char, 24> cifras{};
  auto* const fin = std::to_chars(cifras.data(), cifras.data() + cifras.size(), v).ptr;
  texto.append(cifras.data(), fin);
}

void anadeRegular(std::string& texto, const ResultadoEscenario& r) {
  texto += r.regular ? ",true\r\n" : ",false\r\n";
}

// scenario,status,defaults,rounds,total_payments,total_shortfall,regular
void anadeResumen(std::string& texto, const std::string& campo, const ResultadoEscenario& r,
                  const Vector& pBarra) {
  texto += campo;
  texto += ',';
  texto += kDesenlaces[static_cast<int>(r.desenlace)];
  if (r.desenlace != Desenlace::ok) {
    texto += ",,";
    anadeEntero(texto, r.rondas);
    texto += ",,";
    anadeRegular(texto, r);
    return;
  }
  const Resumen resumen = resumeEscenario(r, pBarra);
  texto += ',';
  anadeEntero(texto, resumen.quiebras);
  texto += ',';
  anadeEntero(texto, r.rondas);
  texto += ',';
  anadeExacto(texto, resumen.pagos);
  texto += ',';
  anadeExacto(texto, resumen.faltante);
  anadeRegular(texto, r);
}

// scenario,node,name,default_round,payment for every node
void anadeNodos(std::string& texto, const std::string& campo, const ResultadoEscenario& r,
                const std::vector<std::string>& campos, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    texto += campo;
    texto += ',';
    anadeEntero(texto, static_cast<long long>(i));
    texto += ',';
    if (!campos.empty()) texto += campos[i];
    texto += ',';
    if (r.desenlace == Desenlace::ok) {
      anadeEntero(texto, r.ordenQuiebra[i]);
      texto += ',';
      anadeExacto(texto, r.p[i]);
    } else {
      texto += ',';
    }
    texto += "\r\n";
  }
}

void vacia(SalidaBarrido& salida, std::size_t desde) {
  for (std::size_t k = 0; k < salida.archivos.size(); ++k) {
    if (salida.pendiente[k].size() < desde) continue;
    escribe(salida.archivos[k], salida.pendiente[k]);
    salida.pendiente[k].clear();
  }
}

}  // namespace

bool abreSalidaBarrido(SalidaBarrido& salida, const Vector& pBarra,
                       const std::vector<std::string>& nombres, std::string& error, bool conRed) {
  salida.pBarra = &pBarra;
  for (const std::string& nombre : nombres) salida.camposNombres.push_back(campoCsv(nombre));
  if (!abreNuevo(salida.archivos[0], "sweep.csv", error) ||
      !abreNuevo(salida.archivos[1], "sweep_nodes.csv", error)) {
    descartaNuevos(salida.archivos);
    return false;
  }
  salida.pendiente[0] =
      "scenario,status,defaults,rounds,total_payments,total_shortfall,regular\r\n";
  salida.pendiente[1] = "scenario,node,name,default_round,payment\r\n";
  if (conRed) {
    for (std::string& cabecera : salida.pendiente) cabecera.insert(0, "network,");
  }
  return true;
}

void escribeEscenario(SalidaBarrido& salida, const std::string& nombre,
                      const ResultadoEscenario& resultado) {
  const std::string campo = salida.red + campoCsv(nombre);
  anadeResumen(salida.pendiente[0], campo, resultado, *salida.pBarra);
  anadeNodos(salida.pendiente[1], campo, resultado, salida.camposNombres, salida.pBarra->size());
  vacia(salida, kPieza);
}

bool confirmaSalidaBarrido(SalidaBarrido& salida, std::string& error, ArchivoNuevo* otro) {
  vacia(salida, 0);
  if (otro == nullptr) return confirmaNuevos(salida.archivos, error);
  std::array<ArchivoNuevo, 3> todos{std::move(salida.archivos[0]), std::move(salida.archivos[1]),
                                    std::move(*otro)};
  for (ArchivoNuevo* dejado : {&salida.archivos[0], &salida.archivos[1], otro}) {
    dejado->archivo = nullptr;  // the streams are todos' now
    dejado->temporal.clear();
  }
  return confirmaNuevos(todos, error);
}

void descartaSalidaBarrido(SalidaBarrido& salida) {
  descartaNuevos(salida.archivos);
}
