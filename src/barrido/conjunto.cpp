#include "barrido/conjunto.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/memoria.h"
#include "clearing/derivadas.h"
#include "clearing/grupos.h"
#include "comun/csv.h"
#include "comun/texto.h"

namespace {

// The q-quantile of sorted values, interpolated between the two nearest
// ranks: h = (K − 1)·q, x[⌊h⌋] + (h − ⌊h⌋)·(x[⌊h⌋ + 1] − x[⌊h⌋]).
double cuantil(const std::vector<double>& ordenados, double q) {
  const double h = static_cast<double>(ordenados.size() - 1) * q;
  const auto abajo = static_cast<std::size_t>(std::floor(h));
  if (abajo + 1 >= ordenados.size()) return ordenados.back();
  return ordenados[abajo] +
         (h - static_cast<double>(abajo)) * (ordenados[abajo + 1] - ordenados[abajo]);
}

void anadeNumero(std::string& fila, double v) {
  fila += ',';
  fila += textoExacto(v);
}

}  // namespace

bool leeConjunto(const std::string& ruta, double densidad, std::uint64_t semilla,
                 std::uint64_t redes, Conjunto& conjunto, std::string& error) {
  std::vector<FilaCsv> filas;
  std::string aviso;
  conjunto.semilla = semilla;
  conjunto.redes = redes;
  return leeCsv(ruta, filas, error) && leeMarginales(ruta, filas, conjunto.marginales, error) &&
         anadeExterior(ruta, "outside", false, conjunto.marginales, aviso, error) &&
         resuelveGravedad(conjunto.marginales.totales, densidad, conjunto.gravedad, error);
}

void partidaDeRed(const Conjunto& conjunto, std::uint64_t k, Partida& partida) {
  const Marginales& m = conjunto.marginales;
  std::vector<Enlace> enlaces = muestraGravedad(m.totales, conjunto.gravedad, conjunto.semilla, k);
  anadeExternos(m, enlaces);
  const std::size_t n = m.nombres.size();
  NetworkState estado;
  estado.dim = static_cast<std::int32_t>(n);
  estado.L = reservaMatriz(n);
  for (Vector& fila : estado.L) fila.resize(n);  // zeros, within the reserved room
  for (const Enlace& e : enlaces) estado.L[e.deudor][e.acreedor] = e.importe;
  partida.n = estado.dim;
  partida.pBarra = calculaPBarra(estado);
  estado.pBarra = partida.pBarra;
  partida.PI = calculaPI(estado);
  partida.e = m.caja;
  completaPartida(partida);
}

Redes redesDe(const Conjunto& conjunto, const Costes& costes, std::size_t escenarios) {
  Redes redes;
  redes.n = static_cast<std::int32_t>(conjunto.marginales.nombres.size());
  redes.porRed = escenarios;
  redes.haz = [&conjunto, costes](std::uint64_t k, Partida& partida) {
    partidaDeRed(conjunto, k, partida);
    partida.costes = costes;
    return true;
  };
  return redes;
}

double bytesDeResumenes(std::size_t escenarios, std::size_t n, std::uint64_t redes) {
  return static_cast<double>(escenarios) * static_cast<double>(n) *
         (static_cast<double>(redes) * sizeof(double) + sizeof(std::int64_t));
}

Resumenes preparaResumenes(std::size_t escenarios, std::size_t n, std::uint64_t redes) {
  Resumenes r;
  r.n = n;
  r.redes = static_cast<std::size_t>(redes);
  r.conVector.assign(escenarios, 0);
  r.quiebras.assign(escenarios * n, 0);
  r.faltantes.resize(escenarios * n * r.redes);
  return r;
}

void acumula(Resumenes& r, std::size_t escenario, const ResultadoEscenario& resultado) {
  if (resultado.desenlace != Desenlace::ok) return;  // no clearing vector: not counted
  const auto k = static_cast<std::size_t>(r.conVector[escenario]++);
  for (std::size_t i = 0; i < r.n; ++i) {
    const std::size_t celda = escenario * r.n + i;
    r.quiebras[celda] += resultado.ordenQuiebra[i] > 0 ? 1 : 0;
    r.faltantes[celda * r.redes + k] = resultado.pBarra[i] - resultado.p[i];
  }
}

CifrasResumen cifrasResumen(const Resumenes& r, std::size_t escenario, std::size_t nodo) {
  CifrasResumen c;
  const auto cuantas = static_cast<std::size_t>(r.conVector[escenario]);
  if (cuantas == 0) return c;
  const std::size_t celda = escenario * r.n + nodo;
  const auto desde = r.faltantes.begin() + static_cast<std::ptrdiff_t>(celda * r.redes);
  std::vector<double> x(desde, desde + static_cast<std::ptrdiff_t>(cuantas));
  double suma = 0.0;
  for (double v : x) suma += v;  // in network order
  const auto redes = static_cast<double>(cuantas);
  c.hay = true;
  c.probabilidad = static_cast<double>(r.quiebras[celda]) / redes;
  c.media = suma / redes;
  std::sort(x.begin(), x.end());
  c.p5 = cuantil(x, 0.05);
  c.p50 = cuantil(x, 0.5);
  c.p95 = cuantil(x, 0.95);
  return c;
}

void escribeResumenes(ArchivoNuevo& archivo, const Resumenes& r, const Escenarios& escenarios,
                      const std::vector<std::string>& nombres) {
  escribe(archivo,
          "scenario,node,name,networks,default_probability,mean_shortfall,shortfall_p5,"
          "shortfall_p50,shortfall_p95\r\n");
  std::string fila;
  for (std::size_t s = 0; s < r.conVector.size(); ++s) {
    const std::string escenario = campoCsv(nombreEscenario(escenarios, s));
    for (std::size_t i = 0; i < r.n; ++i) {
      fila = escenario + "," + std::to_string(i) + "," + campoCsv(nombres[i]) + "," +
             std::to_string(r.conVector[s]);
      const CifrasResumen c = cifrasResumen(r, s, i);
      if (!c.hay) {
        fila += ",,,,,\r\n";
        escribe(archivo, fila);
        continue;
      }
      for (double v : {c.probabilidad, c.media, c.p5, c.p50, c.p95}) anadeNumero(fila, v);
      fila += "\r\n";
      escribe(archivo, fila);
    }
  }
}
