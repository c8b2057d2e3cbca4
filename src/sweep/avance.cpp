#include "sweep/avance.h"

#include <cstdio>

void Avance::muestra(std::size_t hechos) {
  if (!activo) return;
  const auto ahora = std::chrono::steady_clock::now();
  if (hechos < total && ahora - ultimo < std::chrono::milliseconds(200)) return;
  ultimo = ahora;
  (void)std::fprintf(stderr, "\rclearing-sweep: %zu/%zu scenarios", hechos, total);
  if (hechos == total) (void)std::fputs("\r\033[K", stderr);
}
