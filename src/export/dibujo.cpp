// What each element of the drawing shows: sizes, colours, labels and
// tooltips, and the clusters and rows the nodes sit in.
#include "export/dibujo.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "comun/nodos.h"
#include "comun/texto.h"
#include "export/cifras.h"
#include "export/etiquetas.h"
#include "export/paleta.h"

namespace {

struct Grupo {
  std::int32_t ronda = 0;  // 0: never defaults
  std::vector<std::int32_t> nodos;
};

// Rounds 1 to K, then the nodes that never default; empty groups left out.
std::vector<Grupo> agrupaPorRonda(const Resultado& resultado) {
  const std::int32_t rondas = calculaRondasConImpago(resultado);
  std::vector<Grupo> grupos(static_cast<std::size_t>(rondas) + 1);
  for (std::int32_t k = 0; k < rondas; ++k) grupos[k].ronda = k + 1;
  for (std::size_t i = 0; i < resultado.ronda.size(); ++i) {
    const std::int32_t k = resultado.ronda[i];
    grupos[k == 0 ? rondas : k - 1].nodos.push_back(static_cast<std::int32_t>(i));
  }
  std::erase_if(grupos, [](const Grupo& g) { return g.nodos.empty(); });
  return grupos;
}

// Whether a label of this many characters fits inside a circle of this
// width (inches) at the nodes' 10-point font: about 0.55 em a character.
bool cabeEnCirculo(std::size_t caracteres, double ancho) {
  return static_cast<double>(caracteres) * 0.55 * 10.0 / 72.0 <= 0.85 * ancho;
}

std::string textoPulgadas(double v) {
  return textoLegible(std::round(v * 100) / 100);
}

std::string resumenNodo(const Dispersa& dispersa, const Resultado& r,
                        const std::vector<std::string>& nombres, std::int32_t i) {
  double tasa = 0.0;
  const bool debe = calculaRecuperacion(dispersa, r, i, tasa);
  return aislado(nombreVisible(nombres, i)) + " (node " + std::to_string(i) + ")\nowes " +
         textoLegible(dispersa.pBarra[i]) + ", pays " + textoLegible(r.p[i]) +
         (debe ? " (recovery " + textoPorcentaje(tasa) + ")" : std::string()) + "\ncapital " +
         textoLegible(r.capital[i]) + "\n" +
         (r.ronda[i] == 0 ? std::string("never defaults")
                          : "defaults in round " + std::to_string(r.ronda[i]));
}

void dibujaNodo(Agraph_t* grupo, const Dispersa& dispersa, const Resultado& r,
                const std::vector<std::string>& nombres, std::int32_t i, double maximo,
                std::int32_t rondas, std::vector<Agnode_t*>& nodos) {
  const std::string clave = std::string("n").append(std::to_string(i));
  Agnode_t* nodo = agnode(grupo, const_cast<char*>(clave.c_str()), 1);
  const double relativo = maximo > 0 && dispersa.pBarra[i] > 0 ? dispersa.pBarra[i] / maximo : 0.0;
  const double ancho = std::round((0.35 + 0.85 * std::sqrt(relativo)) * 100) / 100;
  const std::int32_t k = r.ronda[i];
  fija(nodo, "id", "nodo-" + std::to_string(i));
  fija(nodo, "class", k == 0 ? "nodo sin-impago" : "nodo ronda-" + std::to_string(k));
  const std::string nombre = textoCorto(nombreVisible(nombres, i), 16);
  // Inside, the text reads on the circle's fill; beside it, on the page.
  const bool dentro = cabeEnCirculo(cuentaCaracteres(nombre), ancho);
  if (dentro) {
    fijaHtml(nodo, "label", aislado(nombre));
  } else {
    fija(nodo, "label", "");
    fijaHtml(nodo, "xlabel", aislado(nombre));
  }
  fija(nodo, "tooltip", textoTooltip(resumenNodo(dispersa, r, nombres, i)));
  fija(nodo, "width", textoLegible(ancho));  // area ~ obligations
  fija(nodo, "fillcolor", colorDeRonda(k, rondas));
  fija(nodo, "fontcolor", dentro ? colorDeTexto(k, rondas) : kColorTextoPagina);
  nodos[i] = nodo;
}

std::string colorDeObligacion(double pagado) {
  if (!(pagado >= 0.0)) return "#999999";  // negative amounts or NaN: no paid share
  if (pagado >= 0.995) return kColorPagado;
  if (pagado <= 0.005) return kColorImpagado;
  return std::string(kColorPagado) + ";" + textoLegible(std::round(pagado * 1000) / 1000) + ":" +
         kColorImpagado;
}

// The nodes inside one cluster per group, in rows of at most ancho nodes.
void dibujaGrupos(Agraph_t* g, const Dispersa& dispersa, const Resultado& r,
                  const std::vector<std::string>& nombres, Dibujo& dibujo) {
  const std::vector<Grupo> grupos = agrupaPorRonda(r);
  const std::int32_t rondas = calculaRondasConImpago(r);
  const double maximo = dispersa.pBarra.empty()
                            ? 0.0
                            : *std::max_element(dispersa.pBarra.begin(), dispersa.pBarra.end());
  const auto ancho =
      static_cast<std::size_t>(std::clamp(std::ceil(1.3 * std::sqrt(dispersa.n)), 3.0, 16.0));
  dibujo.nodos.assign(static_cast<std::size_t>(dispersa.n), nullptr);
  dibujo.filaDe.assign(static_cast<std::size_t>(dispersa.n), 0);
  for (const Grupo& grupo : grupos) {
    const std::string nombre =
        grupo.ronda == 0 ? "sin-impago" : "ronda-" + std::to_string(grupo.ronda);
    Agraph_t* cluster = agsubg(g, const_cast<char*>(("cluster_" + nombre).c_str()), 1);
    const std::string cuantos =
        std::to_string(grupo.nodos.size()) + (grupo.nodos.size() == 1 ? " node" : " nodes");
    fija(cluster, "id", "grupo-" + nombre);
    fija(cluster, "class", "grupo");
    fija(cluster, "label",
         grupo.ronda == 0 ? "Never default: " + cuantos
                          : "Round " + std::to_string(grupo.ronda) + ": " + cuantos);
    dibujo.grupos.push_back(cluster);
    for (std::size_t k = 0; k < grupo.nodos.size(); ++k) {
      if (k % ancho == 0) dibujo.filas.emplace_back();
      dibujaNodo(cluster, dispersa, r, nombres, grupo.nodos[k], maximo, rondas, dibujo.nodos);
      dibujo.filas.back().push_back(dibujo.nodos[grupo.nodos[k]]);
      dibujo.filaDe[grupo.nodos[k]] = dibujo.filas.size() - 1;
    }
  }
}

void fijaEstilo(Agraph_t* g) {
  fija(g, "rankdir", "LR");
  fija(g, "nodesep", "0.3");
  fija(g, "ranksep", "0.45");
  fija(g, "outputorder", "edgesfirst");
  fija(g, "forcelabels", "true");
  fija(g, "fontname", "Helvetica");
  fija(g, "fontsize", "12");
  fija(g, "labeljust", "l");
  fija(g, "style", "rounded,filled");
  fija(g, "fillcolor", "#f6f4f1");
  fija(g, "color", "#d9d4cc");
  agattr(g, AGNODE, const_cast<char*>("shape"), const_cast<char*>("circle"));
  agattr(g, AGNODE, const_cast<char*>("fixedsize"), const_cast<char*>("shape"));
  agattr(g, AGNODE, const_cast<char*>("style"), const_cast<char*>("filled"));
  agattr(g, AGNODE, const_cast<char*>("color"), const_cast<char*>("#4d4d4d"));
  agattr(g, AGNODE, const_cast<char*>("penwidth"), const_cast<char*>("0.8"));
  agattr(g, AGNODE, const_cast<char*>("fontname"), const_cast<char*>("Helvetica"));
  agattr(g, AGNODE, const_cast<char*>("fontsize"), const_cast<char*>("10"));
  agattr(g, AGEDGE, const_cast<char*>("arrowsize"), const_cast<char*>("0.6"));
  agattr(g, AGEDGE, const_cast<char*>("constraint"), const_cast<char*>("false"));
  agattr(g, AGEDGE, const_cast<char*>("weight"), const_cast<char*>("0"));
}

}  // namespace

void dibujaObligaciones(Agraph_t* g, const Dispersa& dispersa, const Resultado& r,
                        const std::vector<std::string>& nombres,
                        const std::vector<Agnode_t*>& nodos) {
  double maximo = 0.0;
  for (double v : dispersa.valor) maximo = std::max(maximo, std::fabs(v));
  for (std::int32_t i = 0; i < dispersa.n; ++i) {
    for (std::size_t k = dispersa.inicioFila[i]; k < dispersa.inicioFila[i + 1]; ++k) {
      if (dispersa.valor[k] == 0.0) continue;
      const std::int32_t j = dispersa.columna[k];
      const double pago = calculaPagoEntre(dispersa, r, i, k);
      const double pagado = pago / dispersa.valor[k];
      Agedge_t* arista = agedge(g, nodos[i], nodos[j], nullptr, 1);
      fija(arista, "id", "deuda-" + std::to_string(i) + "-" + std::to_string(j));
      fija(arista, "class", pagado < 0.995 ? "deuda impagada" : "deuda");
      fija(arista, "color", colorDeObligacion(pagado));
      fija(arista, "penwidth",
           textoPulgadas(0.6 + 2.4 * std::sqrt(std::fabs(dispersa.valor[k]) / maximo)));
      fija(arista, "tooltip",
           textoTooltip(aislado(nombreVisible(nombres, i)) + " owes " +
                        aislado(nombreVisible(nombres, j)) + " " + textoLegible(dispersa.valor[k]) +
                        ", pays " + textoLegible(pago) + " (" + textoPorcentaje(pagado) + ")"));
    }
  }
}

void apilaFilas(Agraph_t* g, const std::vector<std::vector<Agnode_t*>>& filas) {
  for (std::size_t f = 1; f < filas.size(); ++f) {
    const std::vector<Agnode_t*>& arriba = filas[f - 1];
    for (std::size_t c = 0; c < filas[f].size(); ++c) {
      Agedge_t* soporte =
          agedge(g, arriba[std::min(c, arriba.size() - 1)], filas[f][c], nullptr, 1);
      fija(soporte, "style", "invis");
      fija(soporte, "constraint", "true");
      fija(soporte, "weight", "5");
    }
  }
}

Dibujo abreDibujo(const Dispersa& dispersa, const Resultado& r,
                  const std::vector<std::string>& nombres) {
  Dibujo dibujo;
  dibujo.grafo = agopen(const_cast<char*>("cascada"), Agdirected, nullptr);
  fijaEstilo(dibujo.grafo);
  dibujaGrupos(dibujo.grafo, dispersa, r, nombres, dibujo);
  return dibujo;
}
