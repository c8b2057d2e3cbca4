#include "export/pagina.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "comun/nodos.h"
#include "comun/texto.h"
#include "export/cifras.h"
#include "export/paleta.h"

namespace {

constexpr const char* kEstilo = R"(
body { font-family: system-ui, sans-serif; color: #222; margin: 24px auto; max-width: 1200px; padding: 0 16px; }
h1 { font-size: 1.5em; margin-bottom: 0.2em; }
h2 { font-size: 1.15em; margin: 1.4em 0 0.5em; }
#leyenda { display: flex; flex-wrap: wrap; gap: 6px 18px; font-size: 0.9em; margin: 0.6em 0; }
.entrada-leyenda { display: inline-flex; align-items: center; gap: 6px; }
.muestra { display: inline-block; width: 14px; height: 14px; border-radius: 50%; border: 1px solid #4d4d4d; }
.gradiente { display: inline-block; width: 120px; height: 12px; border: 1px solid #4d4d4d; }
.linea { display: inline-block; width: 28px; height: 4px; }
#red { overflow-x: auto; }
#red svg { max-width: none; height: auto; }
#red-omitida { background: #f6f4f1; padding: 10px 14px; border-left: 4px solid #d9d4cc; }
table { border-collapse: collapse; font-size: 0.9em; }
th, td { padding: 4px 10px; border-bottom: 1px solid #ddd; text-align: right; }
th:nth-child(2), td:nth-child(2) { text-align: left; }
footer { margin-top: 2em; font-size: 0.8em; color: #666; }
)";

std::string cuenta(std::size_t n, const char* uno, const char* varios) {
  return std::to_string(n) + " " + (n == 1 ? uno : varios);
}

std::string resumen(const Dispersa& dispersa, const Resultado& r) {
  const std::int32_t rondas = calculaRondasConImpago(r);
  const auto impagos = static_cast<std::size_t>(
      std::count_if(r.ronda.begin(), r.ronda.end(), [](std::int32_t k) { return k != 0; }));
  double debido = 0.0;
  double pagado = 0.0;
  for (std::int32_t i = 0; i < dispersa.n; ++i) {
    debido += dispersa.pBarra[i];
    pagado += r.p[i];
  }
  std::string texto = cuenta(static_cast<std::size_t>(dispersa.n), "node", "nodes") + ". " +
                      cuenta(impagos, "node defaults", "nodes default");
  if (rondas > 0) texto += " over " + cuenta(static_cast<std::size_t>(rondas), "round", "rounds");
  texto +=
      ". Obligations total " + textoLegible(debido) + "; payments total " + textoLegible(pagado);
  if (debido > 0) texto += " (" + textoPorcentaje(pagado / debido) + ")";
  return texto + ".";
}

std::string muestra(const std::string& color) {
  return "<span class=\"muestra\" style=\"background:" + color + "\"></span>";
}

std::string leyenda(const Resultado& r, bool conRed) {
  const std::int32_t rondas = calculaRondasConImpago(r);
  std::string html = "<div id=\"leyenda\">\n";
  auto entrada = [&](const std::string& dibujo, const std::string& texto,
                     const std::string& clase) {
    html += "<span class=\"entrada-leyenda " + clase + "\">" + dibujo + texto + "</span>\n";
  };
  if (rondas <= 12) {
    for (std::int32_t k = 1; k <= rondas; ++k)
      entrada(muestra(colorDeRonda(k, rondas)), "Defaults in round " + std::to_string(k),
              "leyenda-ronda");
  } else {  // too many swatches to tell apart: a gradient
    entrada("Round 1 <span class=\"gradiente\" style=\"background:linear-gradient(to right," +
                colorDeRonda(1, rondas) + "," + colorDeRonda((rondas + 1) / 2, rondas) + "," +
                colorDeRonda(rondas, rondas) + ")\"></span>",
            " round " + std::to_string(rondas), "leyenda-ronda");
  }
  entrada(muestra(kColorSolvente), "Never defaults", "leyenda-solvente");
  if (conRed) {
    entrada("<span class=\"linea\" style=\"background:" + std::string(kColorPagado) + "\"></span>",
            "Paid part of an obligation", "leyenda-pagado");
    entrada(
        "<span class=\"linea\" style=\"background:" + std::string(kColorImpagado) + "\"></span>",
        "Unpaid part", "leyenda-impagado");
    entrada("", "Circle area: total obligations; line width: the obligation; hover for figures",
            "leyenda-tamano");
  }
  return html + "</div>\n";
}

// One bar per round, its height the number of nodes that default in it.
std::string graficoRondas(const Resultado& r) {
  const std::int32_t rondas = calculaRondasConImpago(r);
  std::vector<std::size_t> cuantos(static_cast<std::size_t>(rondas) + 1, 0);
  for (std::int32_t k : r.ronda) ++cuantos[k];
  const std::size_t maximo =
      rondas == 0 ? 0 : *std::max_element(cuantos.begin() + 1, cuantos.end());
  const double barra = std::clamp(640.0 / std::max(rondas, 1), 3.0, 48.0);
  const double alto = 180;
  const double ancho = std::max(240.0, 50 + barra * rondas + 20);
  std::string svg = "<svg id=\"grafico-rondas\" role=\"img\" width=\"" + textoLegible(ancho) +
                    "\" height=\"" + textoLegible(alto + 50) + "\" viewBox=\"0 0 " +
                    textoLegible(ancho) + " " + textoLegible(alto + 50) +
                    "\" font-size=\"11\" font-family=\"system-ui, sans-serif\">\n";
  if (rondas == 0) return svg + "<text x=\"10\" y=\"30\">No node defaults.</text>\n</svg>\n";
  const std::int32_t paso = std::max(1, rondas / 16);  // at most about 16 round numbers below
  for (std::int32_t k = 1; k <= rondas; ++k) {
    const double h = alto * static_cast<double>(cuantos[k]) / static_cast<double>(maximo);
    const double x = 50 + barra * (k - 1);
    const std::string titulo =
        "Round " + std::to_string(k) + ": " + cuenta(cuantos[k], "node defaults", "nodes default");
    svg += "<rect class=\"barra-ronda\" id=\"barra-ronda-" + std::to_string(k) + "\" x=\"" +
           textoLegible(x + 1) + "\" y=\"" + textoLegible(20 + alto - h) + "\" width=\"" +
           textoLegible(barra - 2) + "\" height=\"" + textoLegible(h) + "\" fill=\"" +
           colorDeRonda(k, rondas) + "\"><title>" + titulo + "</title></rect>\n";
    if (barra >= 14)
      svg += "<text x=\"" + textoLegible(x + barra / 2) + "\" y=\"" + textoLegible(16 + alto - h) +
             "\" text-anchor=\"middle\">" + std::to_string(cuantos[k]) + "</text>\n";
    if ((k - 1) % paso == 0)
      svg += "<text x=\"" + textoLegible(x + barra / 2) + "\" y=\"" + textoLegible(alto + 36) +
             "\" text-anchor=\"middle\">" + std::to_string(k) + "</text>\n";
  }
  svg += "<line x1=\"48\" y1=\"" + textoLegible(alto + 20) + "\" x2=\"" + textoLegible(ancho - 10) +
         "\" y2=\"" + textoLegible(alto + 20) + "\" stroke=\"#444\"/>\n";
  svg += "<text x=\"44\" y=\"28\" text-anchor=\"end\">" + std::to_string(maximo) + "</text>\n";
  svg += "<text x=\"" + textoLegible(ancho / 2) + "\" y=\"" + textoLegible(alto + 48) +
         "\" text-anchor=\"middle\">round</text>\n";
  return svg + "</svg>\n";
}

std::string tablaDeficits(const Dispersa& dispersa, const Resultado& r,
                          const std::vector<std::string>& nombres) {
  std::vector<std::int32_t> orden;
  for (std::int32_t i = 0; i < dispersa.n; ++i) {
    if (calculaDeficit(dispersa, r, i) > 0) orden.push_back(i);  // NaN left out
  }
  const std::size_t filas = std::min(orden.size(), kFilasDeficit);
  std::partial_sort(orden.begin(), orden.begin() + static_cast<std::ptrdiff_t>(filas), orden.end(),
                    [&](std::int32_t a, std::int32_t b) {
                      const double da = calculaDeficit(dispersa, r, a);
                      const double db = calculaDeficit(dispersa, r, b);
                      return da > db || (da == db && a < b);
                    });
  if (filas == 0) return "<p id=\"tabla-deficits\">No node leaves any obligation unpaid.</p>\n";
  std::string html =
      "<table id=\"tabla-deficits\">\n<tr><th>Node</th><th>Name</th><th>Owes</th><th>Pays</th>"
      "<th>Shortfall</th><th>Recovery</th><th>Round</th></tr>\n";
  for (std::size_t f = 0; f < filas; ++f) {
    const std::int32_t i = orden[f];
    double tasa = 0.0;
    const bool debe = calculaRecuperacion(dispersa, r, i, tasa);
    html += "<tr class=\"fila-deficit\"><td>" + std::to_string(i) + "</td><td>" +
            textoHtml(aislado(nombreVisible(nombres, i))) + "</td><td>" +
            textoLegible(dispersa.pBarra[i]) + "</td><td>" + textoLegible(r.p[i]) + "</td><td>" +
            textoLegible(calculaDeficit(dispersa, r, i)) + "</td><td>" +
            (debe ? textoPorcentaje(tasa) : std::string()) + "</td><td>" +
            (r.ronda[i] == 0 ? std::string("never") : std::to_string(r.ronda[i])) + "</td></tr>\n";
  }
  return html + "</table>\n";
}

}  // namespace

void escribePagina(ArchivoNuevo& archivo, const Dispersa& dispersa, const Resultado& resultado,
                   const std::vector<std::string>& nombres, const std::string& svg,
                   const std::string& motivo) {
  escribe(archivo,
          "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
          "<title>Default cascade</title>\n<style>");
  escribe(archivo, kEstilo);
  escribe(archivo, "</style>\n</head>\n<body>\n<h1>Default cascade</h1>\n<p id=\"resumen\">" +
                       resumen(dispersa, resultado) + "</p>\n");
  if (resultado.costes)
    escribe(archivo, "<p id=\"costes\">With default costs: a node in default pays &alpha; = " +
                         textoLegible(resultado.costes->alfa) +
                         " of its outside cash and &beta; = " +
                         textoLegible(resultado.costes->beta) + " of what it receives.</p>\n");
  escribe(archivo, leyenda(resultado, !svg.empty()));
  escribe(archivo, "<h2>The network, grouped by the round in which each node defaults</h2>\n");
  if (svg.empty()) {
    escribe(archivo, "<p id=\"red-omitida\">" + textoHtml(motivo) + "</p>\n");
  } else {
    escribe(archivo, "<div id=\"red\">\n");
    escribe(archivo, svg);
    escribe(archivo, "</div>\n");
  }
  escribe(archivo, "<h2>Nodes that default in each round</h2>\n" + graficoRondas(resultado));
  escribe(archivo, "<h2>Largest shortfalls (what a node owes and does not pay)</h2>\n" +
                       tablaDeficits(dispersa, resultado, nombres));
  escribe(archivo, std::string("<footer>Written by clearing-export from input.txt, ") +
                       (resultado.costes ? "computed with the default costs above (output.txt, "
                                           "the clearing without them, was not read)"
                                         : "computed as clearing computes it and checked against "
                                           "output.txt") +
                       ". Figures here have six significant digits; results.csv and payments.csv "
                       "hold them exact.</footer>\n</body>\n</html>\n");
}
