// The programs' messages on standard output: every text lives here, and each
// failure of the layers below maps to one of them.
#pragma once

#include <string>
#include <string_view>

#include "base/fallo.h"

inline constexpr std::string_view kErrorEntrada = "Error al abrir el documento de entrada";
inline constexpr std::string_view kErrorLectura = "Error al leer el documento de entrada";
inline constexpr std::string_view kErrorSalida = "Error en obrir el fitxer de sortida";
inline constexpr std::string_view kErrorEscritura = "Error en escriure el fitxer de sortida";
inline constexpr std::string_view kSinMemoria = "Memoria insuficient";
inline constexpr std::string_view kIndeterminado = "El sistema es indeterminado";
inline constexpr std::string_view kNoConverge = "El algoritmo no converge";
inline constexpr std::string_view kErrorFormato = "Error en el formato del documento de entrada: ";

// The message's text without its line end.
std::string textoDe(const Fallo& fallo);

// The bytes the program writes for it: the text, then CR LF unless the
// failure says otherwise.
std::string mensajeDe(const Fallo& fallo);
