// Text forms the companion programs share: numbers exact or readable, CSV
// fields, HTML text, and the report's ISO 8859-1 bytes shown in messages.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Shortest text that reads back to the same double (std::to_chars); any NaN
// is "nan". anadeExacto appends it.
std::string textoExacto(double v);
void anadeExacto(std::string& texto, double v);

// Six significant digits for people ("8.80851", "1.5e+12"); any NaN is "nan".
std::string textoLegible(double v);

// Bytes in GiB with one decimal: "37.3 GiB".
std::string textoGiB(double bytes);

// A fraction as a percentage with one decimal: "58.7%".
std::string textoPorcentaje(double fraccion);

// At most limite code points of a UTF-8 text, with "…" when cut.
std::string textoCorto(std::string_view texto, std::size_t limite);

// ASCII letters made lower case, other bytes kept.
std::string minusculas(std::string_view texto);

// Code points of a UTF-8 text.
std::size_t cuentaCaracteres(std::string_view texto);

// A name between U+2068 FIRST STRONG ISOLATE and U+2069 POP DIRECTIONAL
// ISOLATE: right-to-left text or bidirectional controls in it cannot reorder
// the text around it.
std::string aislado(std::string_view nombre);

// An RFC 4180 field: quoted when it holds a comma, a quote, a line break or
// blanks at either end (readers that trim would lose them).
std::string campoCsv(std::string_view campo);

// Text safe inside HTML and SVG elements and attributes.
std::string textoHtml(std::string_view texto);

// "FILE:LINE: que", the place of a message about a line of a file; FILE is
// as messages show it (mostrado).
std::string enLinea(std::string_view mostrado, long linea, std::string_view que);

// Quoted for a message, cut to its first 32 bytes and escaped as textoSeguro.
std::string citado(std::string_view texto);

// Every byte as escapaByte (base/fallo.h) shows it, as clearing shows a
// token: bytes from a file must not reach a terminal raw.
std::string textoSeguro(std::string_view texto);

std::string utf8DeLatin1(std::string_view latin1);

bool esUtf8Valido(std::string_view texto);

// The blank-separated cells of a report line.
std::vector<std::string_view> separaCeldas(std::string_view linea);
