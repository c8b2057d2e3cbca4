#include "comun/costes.h"

#include "lectura/numeros.h"

bool leeCostes(std::string_view texto, Costes& costes, std::string& error) {
  const std::string uso = "--costs " + std::string(texto) + ": ";
  const std::size_t dos = texto.find(':');
  double alfa = 0.0;
  double beta = 0.0;
  if (dos == std::string_view::npos || !esRealValido(texto.substr(0, dos), alfa) ||
      !esRealValido(texto.substr(dos + 1), beta)) {
    error = uso + "expected ALPHA:BETA, two numbers";
    return false;
  }
  if (!(alfa > 0.0 && alfa <= 1.0 && beta > 0.0 && beta <= 1.0)) {
    error = uso + "ALPHA and BETA must be above 0 and at most 1";
    return false;
  }
  costes = {alfa, beta};
  return true;
}
