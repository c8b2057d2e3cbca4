// Each group is a cluster of rows of a few nodes, the rows stacked by
// invisible edges, so the groups keep the order of the rounds whatever the
// direction of the debts (the obligations do not constrain the ranks). When
// the obligations mostly join nearby rows dot lays everything out and routes
// them as curves. Otherwise each long obligation would thread a chain of
// virtual nodes through every row it crosses and scatter the groups: then
// dot places the nodes alone and a second pass (nop2) keeps those positions
// and draws the obligations straight.
#include "export/grafo.h"

#include <gvc.h>

#include <algorithm>
#include <cstdint>

#include "export/dibujo.h"
#include "export/etiquetas.h"

namespace {

// Virtual nodes (see cuentaRodeos) past which dot's own routing spreads the
// picture out.
constexpr std::size_t kMaxRodeos = 60;

// Where dot put things, as Graphviz attribute values.
struct Colocacion {
  std::string caja;                     // the drawing's bb
  std::vector<std::string> posiciones;  // node i's pos
  std::vector<std::string> cajas;       // each group's bb
  std::vector<std::string> etiquetas;   // and its label's lp
};

std::size_t cuentaObligaciones(const Dispersa& dispersa) {
  return static_cast<std::size_t>(std::count_if(dispersa.valor.begin(), dispersa.valor.end(),
                                                [](double v) { return v != 0.0; }));
}

std::string atributo(void* objeto, const char* nombre) {
  const char* valor = agget(objeto, const_cast<char*>(nombre));
  return valor == nullptr ? std::string() : std::string(valor);
}

// Rows that dot bridges with virtual nodes: an obligation between rows f and
// g threads through the |f - g| - 1 rows between them, and many such threads
// push the groups apart.
std::size_t cuentaRodeos(const Dispersa& dispersa, const Dibujo& dibujo) {
  std::size_t rodeos = 0;
  for (std::int32_t i = 0; i < dispersa.n; ++i) {
    for (std::size_t k = dispersa.inicioFila[i]; k < dispersa.inicioFila[i + 1]; ++k) {
      const std::size_t f = dibujo.filaDe[i];
      const std::size_t g = dibujo.filaDe[dispersa.columna[k]];
      const std::size_t salto = f > g ? f - g : g - f;
      if (dispersa.valor[k] != 0.0 && salto > 1) rodeos += salto - 1;
    }
  }
  return rodeos;
}

bool disponeYEscribe(GVC_t* contexto, Agraph_t* g, const char* motor, const char* formato,
                     std::string& salida) {
  char* datos = nullptr;
  unsigned int largo = 0;
  const bool dispuesto = gvLayout(contexto, g, motor) == 0;
  const bool escrito = dispuesto && gvRenderData(contexto, g, formato, &datos, &largo) == 0;
  if (escrito) {
    salida.assign(datos, largo);
    gvFreeRenderData(datos);
  }
  if (dispuesto) (void)gvFreeLayout(contexto, g);
  return escrito;
}

// Where dot put things: writing its layout in dot's own format left the
// positions behind as attributes.
Colocacion leeColocacion(const Dibujo& dibujo) {
  Colocacion colocacion;
  colocacion.caja = atributo(dibujo.grafo, "bb");
  for (Agnode_t* nodo : dibujo.nodos) colocacion.posiciones.push_back(atributo(nodo, "pos"));
  for (Agraph_t* grupo : dibujo.grupos) {
    colocacion.cajas.push_back(atributo(grupo, "bb"));
    colocacion.etiquetas.push_back(atributo(grupo, "lp"));
  }
  return colocacion;
}

// The same nodes where dot put them, and the obligations among them in
// straight lines (the nop2 engine keeps the positions).
bool dibujaSobre(GVC_t* contexto, const Dispersa& dispersa, const Resultado& r,
                 const std::vector<std::string>& nombres, const Colocacion& colocacion,
                 std::string& svg) {
  Dibujo dibujo = abreDibujo(dispersa, r, nombres);
  fija(dibujo.grafo, "bb", colocacion.caja);
  fija(dibujo.grafo, "splines", "line");
  for (std::size_t i = 0; i < dibujo.nodos.size(); ++i)
    fija(dibujo.nodos[i], "pos", colocacion.posiciones[i]);
  for (std::size_t k = 0; k < dibujo.grupos.size(); ++k) {
    fija(dibujo.grupos[k], "bb", colocacion.cajas[k]);
    fija(dibujo.grupos[k], "lp", colocacion.etiquetas[k]);
  }
  dibujaObligaciones(dibujo.grafo, dispersa, r, nombres, dibujo.nodos);
  const bool escrito = disponeYEscribe(contexto, dibujo.grafo, "nop2", "svg", svg);
  (void)agclose(dibujo.grafo);
  return escrito;
}

}  // namespace

std::size_t maxObligacionesDibujo(std::int32_t n) {
  return std::min(
      kMaxObligacionesDibujo,
      std::max(kMinObligacionesDibujo, kObligacionesPorNodo * static_cast<std::size_t>(n)));
}

std::string motivoSinDibujo(const Dispersa& dispersa) {
  if (dispersa.n == 0) return "The network has no nodes.";
  if (dispersa.n > kMaxNodosDibujo) {
    return "The network has " + std::to_string(dispersa.n) + " nodes; past " +
           std::to_string(kMaxNodosDibujo) +
           " a drawing is unreadable, so this page shows the chart and the table only.";
  }
  const std::size_t obligaciones = cuentaObligaciones(dispersa);
  const std::size_t maximo = maxObligacionesDibujo(dispersa.n);
  if (obligaciones > maximo) {
    std::string motivo = "The network has " + std::to_string(dispersa.n) + " nodes and ";
    motivo.append(std::to_string(obligaciones)).append(" obligations; past ");
    motivo.append(std::to_string(maximo))
        .append(
            " obligations a drawing of its nodes is a tangle of lines, so this page shows "
            "the chart and the table only.");
    return motivo;
  }
  return "";
}

bool dibujaCascada(const Dispersa& dispersa, const Resultado& resultado,
                   const std::vector<std::string>& nombres, std::string& svg, std::string& error) {
  (void)agseterr(AGERR);  // warnings would only be noise for the user
  GVC_t* contexto = gvContext();
  Dibujo dibujo = abreDibujo(dispersa, resultado, nombres);
  apilaFilas(dibujo.grafo, dibujo.filas);
  std::string texto;
  bool dibujado;
  if (cuentaRodeos(dispersa, dibujo) <= kMaxRodeos) {  // dot routes the obligations as curves
    dibujaObligaciones(dibujo.grafo, dispersa, resultado, nombres, dibujo.nodos);
    dibujado = disponeYEscribe(contexto, dibujo.grafo, "dot", "svg", texto);
    (void)agclose(dibujo.grafo);
  } else {  // dot places the nodes alone, then the obligations go in straight
    dibujado = disponeYEscribe(contexto, dibujo.grafo, "dot", "dot", texto);
    const Colocacion colocacion = leeColocacion(dibujo);
    (void)agclose(dibujo.grafo);
    dibujado = dibujado && dibujaSobre(contexto, dispersa, resultado, nombres, colocacion, texto);
  }
  (void)gvFreeContext(contexto);
  const std::size_t inicio = texto.find("<svg");
  if (dibujado && inicio != std::string::npos) svg = texto.substr(inicio);
  devuelveBarras(svg);
  if (svg.empty()) error = "Graphviz could not lay out or render the network";
  return !svg.empty();
}
