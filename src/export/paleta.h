// Colours shared by the drawing, its legend and the rounds chart.
#pragma once

#include <cstdint>
#include <string>

inline constexpr const char* kColorSolvente = "#9ccfb0";  // never defaults
inline constexpr const char* kColorPagado = "#3568b8";    // the paid part of an obligation
inline constexpr const char* kColorImpagado = "#e4572e";  // the unpaid part
inline constexpr const char* kColorTextoPagina = "#1a1a1a";  // text on the light page

// Round k of rondas with defaults (k >= 1): dark red for the first round
// through to light orange for the last; kColorSolvente for round 0.
std::string colorDeRonda(std::int32_t ronda, std::int32_t rondas);

// Text that reads on colorDeRonda's fill.
const char* colorDeTexto(std::int32_t ronda, std::int32_t rondas);
