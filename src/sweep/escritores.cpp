// The sweep's files written a scenario at a time and put in place together,
// or none of them.
#include "sweep/escritores.h"

#include <utility>

#include "comun/motivos.h"
#include "comun/salida.h"
#include "comun/texto.h"

std::string sinMemoria(const Barrida& b, std::size_t k) {
  return std::string(kPrograma) + ": " + motivo(Fallo{}) + " (scenario " +
         citado(nombreEscenario(b.escenarios, k)) + "); nothing written";
}

bool Escritor::porNodo() const {
  return b.escenarios.tipo == Barrido::cadaNodo || b.escenarios.tipo == Barrido::cadaNodoCae;
}

bool Escritor::toma(std::size_t k, const ResultadoEscenario& resultado) {
  escribeEscenario(salida, nombreEscenario(b.escenarios, k), resultado);
  if (porNodo()) sistemicos.push_back(sistemicoDe(k, resultado, b.partida.pBarra));
  avance.muestra(k + 1);
  return true;
}

bool Escritor::confirma(std::string& error) {
  if (!porNodo()) return confirmaSalidaBarrido(salida, error);
  ArchivoNuevo sistemico;
  if (!abreNuevo(sistemico, "systemic.csv", error)) {
    descartaSalidaBarrido(salida);
    return false;
  }
  escribe(sistemico, textoSistemicos(std::move(sistemicos), salida.camposNombres));
  return confirmaSalidaBarrido(salida, error, &sistemico);
}

bool EscritorConjunto::toma(std::size_t k, const ResultadoEscenario& resultado) {
  const std::size_t porRed = resumenes.conVector.size();
  salida.red = std::to_string(k / porRed) + ",";
  salida.pBarra = &resultado.pBarra;
  acumula(resumenes, k % porRed, resultado);
  escribeEscenario(salida, nombreEscenario(b.escenarios, k % porRed), resultado);
  avance.muestra(k + 1);
  return true;
}

bool EscritorConjunto::confirma(std::string& error) {
  ArchivoNuevo resumen;
  if (!abreNuevo(resumen, "sweep_summary.csv", error)) {
    descartaSalidaBarrido(salida);
    return false;
  }
  escribeResumenes(resumen, resumenes, b.escenarios, b.nombres);
  return confirmaSalidaBarrido(salida, error, &resumen);
}

bool abreConjunto(const Argumentos& a, bool progreso, EscritorConjunto& escritor,
                  std::string& error) {
  const std::size_t cuantos = cuantosEscenarios(escritor.b.escenarios);
  escritor.avance = {progreso, cuantos * a.redes};
  escritor.resumenes = preparaResumenes(cuantos, escritor.b.nombres.size(), a.redes);
  return abreSalidaBarrido(escritor.salida, escritor.b.partida.pBarra, escritor.b.nombres, error,
                           true);
}
