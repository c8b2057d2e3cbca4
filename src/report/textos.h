// The report's headings and separator, each without its line ends: written
// by the report's sections and recognised by clearing-export, from this one
// place. The report is ISO 8859-1: "Á" is the byte 0xC1 and "ó" the byte 0xF3.
#pragma once

#include <string_view>

inline constexpr std::string_view kTituloEntrada = "INPUT";
inline constexpr std::string_view kTituloL = "Matriz de obligaciones nominales (L):";
inline constexpr std::string_view kTituloE = "Vector de fujos ex\xF3genos de dinero (e):";
inline constexpr std::string_view kTituloPreliminares = "C\xC1LCULOS PRELIMINARES";
inline constexpr std::string_view kTituloPI = "Matriz de obligaciones relativas (PI):";
inline constexpr std::string_view kTituloPBarra = "Obligaciones nominales totales (pBarra):";
inline constexpr std::string_view kTituloDiagonales = "DIAGONALES";
inline constexpr std::string_view kTituloPaso = "Paso ";  // then the round and ':'
inline constexpr std::string_view kTituloResultado = "RESULTADO";
inline constexpr std::string_view kTituloP = "Vector de resoluci\xF3n (p):";
inline constexpr std::string_view kTituloPasos = "Vector de pasos en los que quiebra cada nodo:";
inline constexpr std::string_view kNotaPasos = "NOTA: el valor es 0 cuando el nodo no quiebra.";
inline constexpr std::string_view kTituloCapital = "Capital resultante de cada nodo:";
inline constexpr std::string_view kTituloPagos = "Matriz de pagos";
inline constexpr std::string_view kSeparador =
    "-----------------------------------------------------------------------------------------";
static_assert(kSeparador.size() == 89);

// A capital below tol, negative ones included, is written as this zero.
inline constexpr std::string_view kCapitalCero = "0     ";
