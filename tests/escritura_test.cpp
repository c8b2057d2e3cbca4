// The report's matrices formatted on 1, 2 and 3 threads in pieces of a few
// rows that do not divide the matrix evenly: the bytes must be those of the
// numbers formatted one by one in row order.
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>

#include "base/hilos.h"
#include "base/pruebas.h"
#include "report/diagonal.h"
#include "report/matrices.h"

namespace {

// A 37 × 5 matrix with the values whose texts differ most in length.
Matrix matrizDePrueba() {
  const double valores[] = {
      0.0,     -0.0,   1.0 / 3.0, 1e-300, -2.5e12,
      99950.0, 0.0001, 1e100,     -7.0,   std::numeric_limits<double>::quiet_NaN()};
  Matrix M(37, Vector(5));
  for (std::size_t i = 0; i < M.size(); ++i)
    for (std::size_t j = 0; j < M[i].size(); ++j)
      M[i][j] = valores[(i * 7 + j * 3) % 10] * static_cast<double>(i + 1);
  return M;
}

std::string esperado(const Matrix& M, const Vector* factores, FormatoReal f) {
  std::string texto;
  char numero[kMaxNumero];
  for (std::size_t i = 0; i < M.size(); ++i) {
    for (double v : M[i]) {
      const double x = factores != nullptr ? v * (*factores)[i] : v;
      texto.append(numero, formatoReal(numero, x, f));
    }
    texto += "\r\n";
  }
  return texto;
}

// What escribe writes into a stream.
template <typename Escribe>
std::string escrito(const Escribe& escribe) {
  Informe informe;
  informe.archivo = std::tmpfile();
  std::FILE* out = informe.archivo;
  if (out == nullptr) return "no temporary file";
  escribe(informe);
  std::string texto(static_cast<std::size_t>(std::ftell(out)), '\0');
  std::rewind(out);
  const std::size_t leidos = std::fread(texto.data(), 1, texto.size(), out);
  texto.resize(leidos);
  return texto;
}

class EscrituraHilos : public ::testing::TestWithParam<unsigned> {
 protected:
  // Every matrix on threads, two rows (of 5 · kMaxNumero + 2 bytes of room) a piece.
  void SetUp() override {
    ControlPruebas& control = controlPruebas();
    control.hilos = GetParam();
    control.celdasParaRepartir = 1;
    control.bytesPorPieza = 2 * (5 * kMaxNumero + 2);
  }
  void TearDown() override { controlPruebas() = {}; }
};

INSTANTIATE_TEST_SUITE_P(Hilos, EscrituraHilos, ::testing::Values(1U, 2U, 3U),
                         [](const ::testing::TestParamInfo<unsigned>& info) {
                           return std::to_string(info.param) + "hilos";
                         });

TEST_P(EscrituraHilos, MatrixInRowOrder) {
  const Matrix M = matrizDePrueba();
  EXPECT_EQ(escrito([&](Informe& out) { escribeMatriz(out, M, kFormatoPI); }),
            esperado(M, nullptr, kFormatoPI));
}

TEST_P(EscrituraHilos, ScaledMatrixInRowOrder) {
  const Matrix M = matrizDePrueba();
  Vector factores(M.size());
  for (std::size_t i = 0; i < factores.size(); ++i) factores[i] = 1.0 / static_cast<double>(i + 3);
  EXPECT_EQ(escrito([&](Informe& out) { escribeMatrizEscalada(out, M, factores, kFormatoL); }),
            esperado(M, &factores, kFormatoL));
}

}  // namespace

// Default matrices of 1000 nodes go out in more than one stretch of rows:
// the marks at a stretch's edges land in their cells, and a second matrix
// shows none of the first one's.
TEST(Escritura, DefaultMatricesAcrossStretchesOfRows) {
  constexpr std::size_t n = 1000;
  const auto texto = [&](const Marcas& marcas) {
    std::string t;
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t j = 0; j < n; ++j) t += (i == j && marcas[i] != 0) ? "1      " : "0      ";
      t += "\r\n";
    }
    return t;
  };
  Marcas primera(n, 0);
  Marcas segunda(n, 0);
  for (const std::size_t i : {0, 1, 148, 149, 150, 597, 598, 599, 600, 894, 998, 999})
    primera[i] = 1;
  for (const std::size_t i : {2, 149, 599, 700}) segunda[i] = 1;
  EXPECT_EQ(escrito([&](Informe& out) {
              escribeMatrizMarcasAparte(out, primera);
              escribeMatrizMarcasAparte(out, segunda);
              esperaAparte(out);
            }),
            texto(primera) + texto(segunda));
}
