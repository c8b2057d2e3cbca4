#include "barrido/barrido_csv.h"

#include <algorithm>
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

// ",v": a field after others.
void anadeCampo(std::string& texto, long long v) {
  texto += ',';
  anadeEntero(texto, v);
}

void anadeCampo(std::string& texto, double v) {
  texto += ',';
  anadeExacto(texto, v);
}

void anadeRegular(std::string& texto, const ResultadoEscenario& r) {
  texto += r.regular ? ",true" : ",false";
}

// scenario,status,defaults,rounds,total_payments,total_shortfall,regular,
// shock_defaults,contagion_defaults,total_capital,total_loss
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
    texto += ",,,,\r\n";
    return;
  }
  const Resumen resumen = resumeEscenario(r, pBarra);
  anadeCampo(texto, static_cast<long long>(resumen.quiebras));
  anadeCampo(texto, static_cast<long long>(r.rondas));
  anadeCampo(texto, resumen.pagos);
  anadeCampo(texto, resumen.faltante);
  anadeRegular(texto, r);
  anadeCampo(texto, static_cast<long long>(resumen.quiebrasChoque));
  anadeCampo(texto, static_cast<long long>(resumen.quiebrasContagio));
  anadeCampo(texto, resumen.capital);
  anadeCampo(texto, resumen.perdida);
  texto += "\r\n";
}

// scenario,node,name,default_round,payment,cash,capital,recovery_rate,loss
// for every node; recovery_rate (payment / total obligations) is empty for
// a node that owes nothing.
void anadeNodos(std::string& texto, const std::string& campo, const ResultadoEscenario& r,
                const std::vector<std::string>& campos, const Vector& pBarra) {
  const std::size_t n = pBarra.size();
  for (std::size_t i = 0; i < n; ++i) {
    texto += campo;
    texto += ',';
    anadeEntero(texto, static_cast<long long>(i));
    texto += ',';
    if (!campos.empty()) texto += campos[i];
    texto += ',';
    if (r.desenlace == Desenlace::ok) {
      anadeEntero(texto, r.ordenQuiebra[i]);
      anadeCampo(texto, r.p[i]);
      anadeCampo(texto, r.caja[i]);
      anadeCampo(texto, r.capital[i]);
      texto += ',';
      if (pBarra[i] != 0.0) anadeExacto(texto, r.p[i] / pBarra[i]);
      anadeCampo(texto, r.perdida[i]);
    } else {
      texto += ",,,,,";
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
      "scenario,status,defaults,rounds,total_payments,total_shortfall,regular,"
      "shock_defaults,contagion_defaults,total_capital,total_loss\r\n";
  salida.pendiente[1] =
      "scenario,node,name,default_round,payment,cash,capital,recovery_rate,loss\r\n";
  if (conRed) {
    for (std::string& cabecera : salida.pendiente) cabecera.insert(0, "network,");
  }
  return true;
}

void escribeEscenario(SalidaBarrido& salida, const std::string& nombre,
                      const ResultadoEscenario& resultado) {
  const std::string campo = salida.red + campoCsv(nombre);
  anadeResumen(salida.pendiente[0], campo, resultado, *salida.pBarra);
  anadeNodos(salida.pendiente[1], campo, resultado, salida.camposNombres, *salida.pBarra);
  vacia(salida, kPieza);
}

Sistemico sistemicoDe(std::size_t nodo, const ResultadoEscenario& resultado, const Vector& pBarra) {
  Sistemico s;
  s.nodo = static_cast<std::int32_t>(nodo);
  s.conVector = resultado.desenlace == Desenlace::ok;
  if (!s.conVector) return s;
  const Resumen resumen = resumeEscenario(resultado, pBarra);
  s.quiebras = resumen.quiebras;
  s.perdida = resumen.perdida;
  return s;
}

std::string textoSistemicos(std::vector<Sistemico> sistemicos,
                            const std::vector<std::string>& camposNombres) {
  std::stable_sort(sistemicos.begin(), sistemicos.end(),
                   [](const Sistemico& a, const Sistemico& b) {
                     if (a.conVector != b.conVector) return a.conVector;
                     if (a.perdida != b.perdida) return a.perdida > b.perdida;
                     if (a.quiebras != b.quiebras) return a.quiebras > b.quiebras;
                     return a.nodo < b.nodo;
                   });
  std::string texto = "rank,node,name,defaults,total_loss\r\n";
  for (std::size_t k = 0; k < sistemicos.size(); ++k) {
    const Sistemico& s = sistemicos[k];
    anadeEntero(texto, static_cast<long long>(k) + 1);
    texto += ',';
    anadeEntero(texto, s.nodo);
    texto += ',';
    if (!camposNombres.empty()) texto += camposNombres[static_cast<std::size_t>(s.nodo)];
    texto += ',';
    if (s.conVector) {
      anadeEntero(texto, s.quiebras);
      texto += ',';
      anadeExacto(texto, s.perdida);
    } else {
      texto += ',';
    }
    texto += "\r\n";
  }
  return texto;
}

bool confirmaSalidaBarrido(SalidaBarrido& salida, std::string& error, ArchivoNuevo* otro) {
  vacia(salida, 0);
  if (otro == nullptr) return confirmaNuevos(salida.archivos, error);
  std::array<ArchivoNuevo, 3> todos{std::move(salida.archivos[0]), std::move(salida.archivos[1]),
                                    std::move(*otro)};
  for (ArchivoNuevo* dejado : {salida.archivos.data(), salida.archivos.data() + 1, otro}) {
    dejado->archivo = nullptr;  // the streams are todos' now
    dejado->temporal.clear();
  }
  return confirmaNuevos(todos, error);
}

void descartaSalidaBarrido(SalidaBarrido& salida) {
  descartaNuevos(salida.archivos);
}
