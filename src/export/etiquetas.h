// Names handed to Graphviz literally: no escape, entity or backslash of a
// name is expanded in the drawing.
#pragma once

#include <gvc.h>

#include <string>
#include <string_view>

// Sets an attribute to valor (Graphviz copies it).
void fija(void* objeto, const char* atributo, const std::string& valor);

// Sets an HTML-like label whose text is taken literally.
void fijaHtml(void* objeto, const char* atributo, const std::string& texto);

// A tooltip's text, as Graphviz must be given it to show texto literally.
std::string textoTooltip(std::string_view texto);

// The backslashes kept from Graphviz put back into its SVG.
void devuelveBarras(std::string& svg);
