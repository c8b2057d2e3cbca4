#include "comun/lineas.h"

#include <cstring>

namespace {

bool recargaLineas(LectorLineas& lector) {
  lector.pos = 0;
  lector.fin =
      lector.agotado ? 0 : std::fread(lector.bufer, 1, sizeof lector.bufer, lector.archivo);
  if (lector.fin < sizeof lector.bufer) {
    lector.agotado = true;
    lector.fallo = lector.fallo || std::ferror(lector.archivo) != 0;
  }
  return lector.fin > 0;
}

// Walks to the next LF, handing each piece of the line to toma(datos, n).
template <typename Toma>
Linea recorreLinea(LectorLineas& lector, Toma toma) {
  bool algo = false;
  for (;;) {
    if (lector.pos == lector.fin && !recargaLineas(lector)) {
      if (algo) ++lector.numero;
      return algo ? Linea::cortada : Linea::ninguna;
    }
    algo = true;
    const char* inicio = lector.bufer + lector.pos;
    const auto* salto =
        static_cast<const char*>(std::memchr(inicio, '\n', lector.fin - lector.pos));
    const std::size_t n =
        salto != nullptr ? static_cast<std::size_t>(salto - inicio) : lector.fin - lector.pos;
    toma(inicio, n);
    lector.pos += n;
    if (salto != nullptr) {
      ++lector.pos;
      ++lector.numero;
      return Linea::completa;
    }
  }
}

}  // namespace

bool abreLineas(LectorLineas& lector, const char* ruta) {
  lector.archivo = std::fopen(ruta, "rb");
  return lector.archivo != nullptr;
}

void cierraLineas(LectorLineas& lector) {
  if (lector.archivo != nullptr) (void)std::fclose(lector.archivo);  // read-only: nothing to lose
  lector.archivo = nullptr;
}

Linea leeLinea(LectorLineas& lector, std::string& linea) {
  linea.clear();
  const Linea r =
      recorreLinea(lector, [&](const char* datos, std::size_t n) { linea.append(datos, n); });
  if (!linea.empty() && linea.back() == '\r') linea.pop_back();
  return r;
}

Linea saltaLinea(LectorLineas& lector, std::size_t& largo) {
  largo = 0;
  bool retorno = false;  // the last byte seen was a CR
  const Linea r = recorreLinea(lector, [&](const char* datos, std::size_t n) {
    largo += n;
    if (n > 0) retorno = datos[n - 1] == '\r';
  });
  if (retorno) --largo;
  return r;
}
