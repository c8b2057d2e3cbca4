// The one way out on failure: a message on standard output, the report
// flushed as far as it got, exit status 1. Every message text lives here.
#pragma once

#include <string_view>

enum class Salto { con, sin };  // whether CR LF follows the message

// Writes mensaje (and CR LF when salto is Salto::con) to standard output,
// flushes every open stream and ends the process with status 1.
[[noreturn]] void terminaConError(std::string_view mensaje, Salto salto = Salto::con);

// An action terminaConError takes first, once: the report's writer finishes
// a write in flight there (and reports its failure instead, as the write
// came first). nullptr takes it away.
void fijaAlTerminar(void (*accion)());

// The input's token (cut to 32 bytes) is not a valid `donde` (dim, L[i][j], e[i]).
// Its bytes outside printable ASCII, and the backslash, are shown as \xHH.
[[noreturn]] void terminaDatoIncorrecto(std::string_view token, std::string_view donde);

// The input ended before `donde`.
[[noreturn]] void terminaFaltaDato(std::string_view donde);

inline constexpr const char* kErrorEntrada = "Error al abrir el documento de entrada";
inline constexpr const char* kErrorLectura = "Error al leer el documento de entrada";
inline constexpr const char* kErrorSalida = "Error en obrir el fitxer de sortida";
inline constexpr const char* kErrorEscritura = "Error en escriure el fitxer de sortida";
inline constexpr const char* kSinMemoria = "Memoria insuficient";
inline constexpr const char* kIndeterminado = "El sistema es indeterminado";
inline constexpr const char* kNoConverge = "El algoritmo no converge";
inline constexpr std::string_view kErrorFormato = "Error en el formato del documento de entrada: ";
