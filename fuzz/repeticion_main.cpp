// Replays fuzz inputs without libFuzzer, so the harnesses' checks run in the
// ordinary test suite with any compiler: every argument is a file or a
// directory of files, each fed once to LLVMFuzzerTestOneInput.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t n);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  std::vector<fs::path> archivos;
  for (int i = 1; i < argc; ++i) {
    const fs::path ruta = argv[i];
    if (fs::is_directory(ruta)) {
      for (const auto& entrada : fs::directory_iterator(ruta))
        if (entrada.is_regular_file()) archivos.push_back(entrada.path());
    } else if (fs::is_regular_file(ruta)) {
      archivos.push_back(ruta);
    }
  }
  std::sort(archivos.begin(), archivos.end());
  for (const fs::path& a : archivos) {
    std::ifstream f(a, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::fprintf(stderr, "replaying %s\n", a.c_str());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("%zu inputs replayed\n", archivos.size());
  // An empty list means the paths are wrong, not that all is well.
  return archivos.empty() ? 1 : 0;
}
