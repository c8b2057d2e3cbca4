// The page in a real browser: headless Chromium loads cascade.html of the
// cascada example; the DOM it built holds one element per node, the legend
// and the rounds chart, and its screenshot shows the drawing's colours.
// Skipped where Chromium is not installed.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "proceso.h"

namespace fs = std::filesystem;

namespace {

std::string buscaNavegador() {
  const char* ruta = std::getenv("PATH");
  std::string directorios = ruta == nullptr ? "/usr/bin" : ruta;
  for (const char* nombre : {"chromium", "chromium-browser"}) {
    std::size_t inicio = 0;
    for (;;) {
      const std::size_t fin = std::min(directorios.find(':', inicio), directorios.size());
      const fs::path candidato = fs::path(directorios.substr(inicio, fin - inicio)) / nombre;
      if (fs::exists(candidato)) return candidato.string();
      if (fin == directorios.size()) break;
      inicio = fin + 1;
    }
  }
  return "";
}

Salida abreEnNavegador(const std::string& navegador, const fs::path& dir,
                       const std::vector<std::string>& orden) {
  const fs::path perfil = directorioTemporal();
  std::vector<std::string> argumentos = {"--headless",
                                         "--no-sandbox",
                                         "--disable-gpu",
                                         "--disable-quic",
                                         "--no-first-run",
                                         "--disable-background-networking",
                                         "--disable-component-update",
                                         "--disable-sync",
                                         "--user-data-dir=" + perfil.string()};
  argumentos.insert(argumentos.end(), orden.begin(), orden.end());
  argumentos.push_back("file://" + (dir / "cascade.html").string());
  Salida s = ejecutaConErrores(navegador, dir, argumentos);
  fs::remove_all(perfil);
  return s;
}

std::size_t cuenta(const std::string& texto, const std::string& que) {
  std::size_t n = 0;
  for (std::size_t i = texto.find(que); i != std::string::npos; i = texto.find(que, i + 1)) ++n;
  return n;
}

struct Imagen {
  png_uint_32 ancho = 0, alto = 0;
  std::vector<png_byte> rgb;
};

bool leePng(const fs::path& ruta, Imagen& imagen) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, ruta.c_str())) return false;
  png.format = PNG_FORMAT_RGB;
  imagen.ancho = png.width;
  imagen.alto = png.height;
  imagen.rgb.resize(PNG_IMAGE_SIZE(png));
  return png_image_finish_read(&png, nullptr, imagen.rgb.data(), 0, nullptr) != 0;
}

// Pixels within a small distance of the colour #rrggbb.
std::size_t pixelesDe(const Imagen& imagen, int r, int g, int b) {
  std::size_t n = 0;
  for (std::size_t k = 0; k + 2 < imagen.rgb.size(); k += 3) {
    if (std::abs(imagen.rgb[k] - r) + std::abs(imagen.rgb[k + 1] - g) +
            std::abs(imagen.rgb[k + 2] - b) <
        12)
      ++n;
  }
  return n;
}

TEST(Browser, CascadaPageRenders) {
  const std::string navegador = buscaNavegador();
  if (navegador.empty()) GTEST_SKIP() << "chromium is not installed";
  const fs::path ejemplo = fs::path(CLEARING_TEST_DIR) / ".." / "examples" / "cascada";
  const fs::path dir = directorioTemporal();
  fs::copy_file(ejemplo / "input.txt", dir / "input.txt");
  fs::copy_file(ejemplo / "expected" / "output.txt", dir / "output.txt");
  ASSERT_EQ(ejecutaConErrores(CLEARING_EXPORT, dir).estado, 0);

  const Salida dom = abreEnNavegador(navegador, dir, {"--dump-dom"});
  ASSERT_EQ(dom.estado, 0) << dom.stderrTexto;
  EXPECT_EQ(cuenta(dom.stdoutTexto, "class=\"node nodo "), 5u);
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(cuenta(dom.stdoutTexto, "id=\"nodo-" + std::to_string(i) + "\""), 1u) << i;
  EXPECT_EQ(cuenta(dom.stdoutTexto, "class=\"edge deuda"), 9u);  // the nonzero obligations
  EXPECT_EQ(cuenta(dom.stdoutTexto, "id=\"leyenda\""), 1u);
  EXPECT_EQ(cuenta(dom.stdoutTexto, "class=\"entrada-leyenda leyenda-ronda\""), 3u);
  EXPECT_EQ(cuenta(dom.stdoutTexto, "id=\"grafico-rondas\""), 1u);
  EXPECT_EQ(cuenta(dom.stdoutTexto, "class=\"barra-ronda\""), 3u);
  EXPECT_EQ(cuenta(dom.stdoutTexto, "class=\"fila-deficit\""), 3u);

  const Salida foto = abreEnNavegador(navegador, dir,
                                      {"--screenshot=" + (dir / "foto.png").string(),
                                       "--window-size=1200,900", "--hide-scrollbars"});
  ASSERT_EQ(foto.estado, 0) << foto.stderrTexto;
  Imagen imagen;
  ASSERT_TRUE(leePng(dir / "foto.png", imagen));
  EXPECT_EQ(imagen.ancho, 1200u);
  const std::size_t total = imagen.rgb.size() / 3;
  EXPECT_LT(pixelesDe(imagen, 255, 255, 255), total * 95 / 100) << "blank page";
  // Round 1's dark red fills node 0 and a bar; the never-default green fills nodes 3 and 4.
  EXPECT_GT(pixelesDe(imagen, 0x7f, 0x00, 0x00), 2000u);
  EXPECT_GT(pixelesDe(imagen, 0x9c, 0xcf, 0xb0), 2000u);
  fs::remove_all(dir);
}

}  // namespace
