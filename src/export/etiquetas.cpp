// Text handed to Graphviz so that it is drawn literally: Graphviz expands
// escapes and entities in labels and tooltips, which a node's name must not
// go through.
#include "export/etiquetas.h"

#include "comun/texto.h"

namespace {

// Graphviz expands \N, \G, \n and the like in labels, HTML-like ones too,
// and in tooltips, and how an escaped backslash survives differs between
// its versions. So no backslash reaches it: each goes in as the noncharacter
// U+FDD0, which it copies as it is, and comes back in the SVG (devuelveBarras).
constexpr std::string_view kBarraGuardada = "\xEF\xB7\x90";

std::string sinBarras(std::string_view texto) {
  std::string r;
  for (char c : texto) {
    if (c == '\\')
      r += kBarraGuardada;
    else
      r += c;
  }
  return r;
}

}  // namespace

// Graphviz copies what it is given; its 2.42 interface just lacks const.
void fija(void* objeto, const char* atributo, const std::string& valor) {
  agsafeset(objeto, const_cast<char*>(atributo), const_cast<char*>(valor.c_str()),
            const_cast<char*>(""));
}

void devuelveBarras(std::string& svg) {
  std::string devuelto;
  devuelto.reserve(svg.size());
  std::size_t desde = 0;
  for (std::size_t i = svg.find(kBarraGuardada); i != std::string::npos;
       i = svg.find(kBarraGuardada, desde)) {
    devuelto.append(svg, desde, i - desde).push_back('\\');
    desde = i + kBarraGuardada.size();
  }
  devuelto.append(svg, desde);
  svg.swap(devuelto);
}

// An HTML-like label: its text is taken literally once its markup
// characters are entities, where a plain label would expand \N, \G, \n, \l
// and entities in a node's name.
void fijaHtml(void* objeto, const char* atributo, const std::string& texto) {
  Agraph_t* grafo = agraphof(objeto);
  char* html = agstrdup_html(grafo, const_cast<char*>(sinBarras(textoHtml(texto)).c_str()));
  agsafeset(objeto, const_cast<char*>(atributo), html, const_cast<char*>(""));
  (void)agstrfree(grafo, html);
}

// An entity in a tooltip reaches the SVG as the character it names; an
// ampersand of the text is written as one.
std::string textoTooltip(std::string_view texto) {
  std::string r;
  for (char c : sinBarras(texto)) {
    if (c == '&')
      r += "&amp;";
    else
      r += c;
  }
  return r;
}
