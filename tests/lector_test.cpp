// Reading the input: every accepted notation, every rejection, and tokens
// that cross the reader's block boundary.
#include "clearing/lector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "proceso.h"

namespace {

struct CasoReal {
  const char* token;
  double valor;
};

TEST(Lector, AcceptsDecimalNotations) {
  const CasoReal casos[] = {
      {"+3", 3},          {"-0", -0.0},       {".5", 0.5},
      {"5.", 5},          {"1e1", 10},        {"1E+01", 10},
      {"2.5e-3", 0.0025}, {"0.1", 0.1},       {"-.25", -0.25},
      {"007", 7},         {"1e-400", 0},      {"-1e-400", -0.0},
      {"4.9e-324", 4.9406564584124654e-324},  {"1.7976931348623157e308", 1.7976931348623157e308},
      {"0.333333333333333314829616256247390992939472198486328125", 1.0 / 3.0},
  };
  for (const CasoReal& c : casos) {
    double v = 123;
    ASSERT_TRUE(esRealValido(c.token, v)) << c.token;
    EXPECT_EQ(v, c.valor) << c.token;
    EXPECT_EQ(std::signbit(v), std::signbit(c.valor)) << c.token;
  }
}

TEST(Lector, RejectsEverythingElse) {
  const char* casos[] = {"2,5", "nan", "NaN", "inf", "-inf", "infinity", "1e999", "-1e400",
                         "0x10", "0X1p3", "abc", "+", "-", ".", "e5", "1e", "1e+", "1.2.3",
                         "++1", "+-1", "1d0", "1,000", "1_000", "5e1.5", "--5", "1e5e5"};
  for (const char* c : casos) {
    double v = 0;
    EXPECT_FALSE(esRealValido(c, v)) << c;
  }
}

TEST(Lector, IntegersForDim) {
  const std::pair<const char*, int> buenos[] = {
      {"3", 3}, {"+3", 3}, {"-5", -5}, {"007", 7}, {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1}};
  for (const auto& [token, esperado] : buenos) {
    std::int32_t v = 0;
    ASSERT_TRUE(esEnteroValido(token, v)) << token;
    EXPECT_EQ(v, esperado);
  }
  for (const char* malo : {"2147483648", "-2147483649", "3.0", "1e3", "+", "-", "+-3", "3a", "0x3", ""}) {
    std::int32_t v = 0;
    EXPECT_FALSE(esEnteroValido(malo, v)) << malo;
  }
}

// All tokens of a file with the given bytes.
std::vector<std::string> tokensDe(const std::string& bytes) {
  const auto dir = directorioTemporal();
  escribeArchivo(dir / "input.txt", bytes);
  Lector lector;
  EXPECT_TRUE(abreLector(lector, (dir / "input.txt").c_str()));
  std::vector<std::string> tokens;
  for (std::string_view t = siguienteToken(lector); !t.empty(); t = siguienteToken(lector))
    tokens.emplace_back(t);
  cierraLector(lector);
  std::filesystem::remove_all(dir);
  return tokens;
}

TEST(Lector, TokensAreMaximalRunsOfNonBlanks) {
  EXPECT_EQ(tokensDe("\xEF\xBB\xBF" "2\r\n1\t2 \v3\f4\r5"),
            (std::vector<std::string>{"2", "1", "2", "3", "4", "5"}));
  EXPECT_EQ(tokensDe(" \xEF\xBB\xBF" "2"), (std::vector<std::string>{"\xEF\xBB\xBF" "2"}));
  EXPECT_TRUE(tokensDe("").empty());
  EXPECT_TRUE(tokensDe(" \r\n\t ").empty());
  EXPECT_EQ(tokensDe(std::string("1\0" "2", 3)), (std::vector<std::string>{std::string("1\0" "2", 3)}));
}

TEST(Lector, TokensAcrossBlockBoundaries) {
  const std::size_t bloque = sizeof(Lector::bufer);
  for (std::size_t desplazamiento : {bloque - 3, bloque - 1, bloque, bloque + 1}) {
    std::string bytes(desplazamiento, ' ');
    bytes += "12345.678 9";
    EXPECT_EQ(tokensDe(bytes), (std::vector<std::string>{"12345.678", "9"})) << desplazamiento;
  }
  const std::string largo(3 * bloque + 17, '7');
  EXPECT_EQ(tokensDe("1 " + largo + "\n2"), (std::vector<std::string>{"1", largo, "2"}));
  EXPECT_EQ(tokensDe(largo), (std::vector<std::string>{largo}));
}

TEST(Lector, DirectoryIsNotAnInput) {
  const auto dir = directorioTemporal();
  Lector lector;
  EXPECT_FALSE(abreLector(lector, dir.c_str()));
  EXPECT_FALSE(abreLector(lector, (dir / "missing.txt").c_str()));
  std::filesystem::remove_all(dir);
}

}  // namespace
