// Reading the input: every accepted notation, every rejection, and tokens
// that cross the reader's block boundary.
#include "lectura/lector.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "base/hilos.h"
#include "base/pruebas.h"
#include "lectura/reales.h"
#include "proceso.h"

namespace {

struct CasoReal {
  const char* token;
  double valor;
};

TEST(Lector, AcceptsDecimalNotations) {
  const CasoReal casos[] = {
      {"+3", 3},
      {"-0", -0.0},
      {".5", 0.5},
      {"5.", 5},
      {"1e1", 10},
      {"1E+01", 10},
      {"2.5e-3", 0.0025},
      {"0.1", 0.1},
      {"-.25", -0.25},
      {"007", 7},
      {"1e-400", 0},
      {"-1e-400", -0.0},
      {"4.9e-324", 4.9406564584124654e-324},
      {"1.7976931348623157e308", 1.7976931348623157e308},
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
  const char* casos[] = {"2,5",    "nan",   "NaN",   "inf",   "-inf", "infinity", "1e999",
                         "-1e400", "0x10",  "0X1p3", "abc",   "+",    "-",        ".",
                         "e5",     "1e",    "1e+",   "1.2.3", "++1",  "+-1",      "1d0",
                         "1,000",  "1_000", "5e1.5", "--5",   "1e5e5"};
  for (const char* c : casos) {
    double v = 0;
    EXPECT_FALSE(esRealValido(c, v)) << c;
  }
}

TEST(Lector, IntegersForDim) {
  const std::pair<const char*, int> buenos[] = {{"3", 3},
                                                {"+3", 3},
                                                {"-5", -5},
                                                {"007", 7},
                                                {"2147483647", 2147483647},
                                                {"-2147483648", -2147483647 - 1}};
  for (const auto& [token, esperado] : buenos) {
    std::int32_t v = 0;
    ASSERT_TRUE(esEnteroValido(token, v)) << token;
    EXPECT_EQ(v, esperado);
  }
  for (const char* malo :
       {"2147483648", "-2147483649", "3.0", "1e3", "+", "-", "+-3", "3a", "0x3", ""}) {
    std::int32_t v = 0;
    EXPECT_FALSE(esEnteroValido(malo, v)) << malo;
  }
}

struct Leido {
  std::string texto, muestra;
};

// All tokens of a file with the given bytes, as the reader hands them over.
std::vector<Leido> leeTokens(const std::string& bytes) {
  const auto dir = directorioTemporal();
  escribeArchivo(dir / "input.txt", bytes);
  Lector lector;
  EXPECT_TRUE(abreLector(lector, (dir / "input.txt").c_str()));
  std::vector<Leido> tokens;
  for (Token t = siguienteToken(lector); !t.texto.empty(); t = siguienteToken(lector))
    tokens.push_back({std::string(t.texto), std::string(t.muestra)});
  cierraLector(lector);
  std::filesystem::remove_all(dir);
  return tokens;
}

std::vector<std::string> tokensDe(const std::string& bytes) {
  std::vector<std::string> textos;
  for (const Leido& t : leeTokens(bytes)) textos.push_back(t.texto);
  return textos;
}

TEST(Lector, TokensAreMaximalRunsOfNonBlanks) {
  EXPECT_EQ(tokensDe("\xEF\xBB\xBF"
                     "2\r\n1\t2 \v3\f4\r5"),
            (std::vector<std::string>{"2", "1", "2", "3", "4", "5"}));
  EXPECT_EQ(tokensDe(" \xEF\xBB\xBF"
                     "2"),
            (std::vector<std::string>{"\xEF\xBB\xBF"
                                      "2"}));
  EXPECT_TRUE(tokensDe("").empty());
  EXPECT_TRUE(tokensDe(" \r\n\t ").empty());
  EXPECT_EQ(tokensDe(std::string("1\0"
                                 "2",
                                 3)),
            (std::vector<std::string>{std::string("1\0"
                                                  "2",
                                                  3)}));
}

TEST(Lector, TokensAcrossBlockBoundaries) {
  for (std::size_t desplazamiento :
       {kBytesPorRecarga - 3, kBytesPorRecarga - 1, kBytesPorRecarga, kBytesPorRecarga + 1}) {
    std::string bytes(desplazamiento, ' ');
    bytes += "12345.678 9";
    const std::vector<Leido> t = leeTokens(bytes);
    ASSERT_EQ(t.size(), 2u) << desplazamiento;
    double v = 0;
    EXPECT_TRUE(esRealValido(t[0].texto, v));
    EXPECT_EQ(v, 12345.678) << desplazamiento;
    EXPECT_EQ(t[0].muestra, "12345.678");
    EXPECT_EQ(t[1].texto, "9");
  }
}

// The exact decimal digits of m·2^e, as "<digits>e<exponent>".
std::string decimalExacto(std::uint64_t m, int e) {
  std::vector<int> cifras;  // least significant first
  for (; m > 0; m /= 10) cifras.push_back(static_cast<int>(m % 10));
  for (int k = 0; k < (e < 0 ? -e : e); ++k) {  // ×5 then /10 for 2^-1; ×2 for 2
    int acarreo = 0;
    for (int& c : cifras) {
      const int v = c * (e < 0 ? 5 : 2) + acarreo;
      c = v % 10;
      acarreo = v / 10;
    }
    for (; acarreo > 0; acarreo /= 10) cifras.push_back(acarreo % 10);
  }
  std::string texto;
  for (auto c = cifras.rbegin(); c != cifras.rend(); ++c) texto += static_cast<char>('0' + *c);
  return texto + "e" + std::to_string(e < 0 ? e : 0);
}

// A token whose bytes cross several refills reads as the whole token does:
// the same acceptance by both conversions, the same bits, its first 32 bytes
// as the sample.
TEST(Lector, LongTokensReadAsTheWholeToken) {
  const std::string ceros(3 * kBytesPorRecarga + 5, '0');
  const std::string unos(3 * kBytesPorRecarga, '1');
  // Halfway points between neighbouring doubles, and digit counts near the
  // decisive ones: past 1, between 0 and the least subnormal, past the
  // largest subnormal (767 significant digits), past the largest double.
  const std::string mitades[] = {decimalExacto((1ULL << 53) + 1, -53), decimalExacto(1, -1075),
                                 decimalExacto((1ULL << 53) - 1, -1075),
                                 decimalExacto((1ULL << 54) - 1, 970)};
  std::vector<std::string> tokens;
  for (const std::string& m : mitades) {
    const std::string cifras = m.substr(0, m.find('e'));
    const long exponente = std::stol(m.substr(m.find('e') + 1));
    const auto largo = static_cast<long>(ceros.size());
    const auto numero = [](std::initializer_list<std::string_view> partes, long e) {
      std::string t;
      for (const std::string_view p : partes) t += p;
      t += 'e';
      t += std::to_string(e);
      return t;
    };
    tokens.push_back(numero({cifras, ".", ceros}, exponente));       // the tie itself
    tokens.push_back(numero({cifras, ".", ceros, "1"}, exponente));  // just above it
    tokens.push_back(numero({"-", ceros, cifras}, exponente));       // leading zeros
    tokens.push_back(
        numero({".", ceros, cifras}, exponente + largo + static_cast<long>(cifras.size())));
    tokens.push_back(numero({cifras.substr(0, cifras.size() - 1), ceros}, exponente - largo + 1));
  }
  const std::string mas = "+" + unos;
  tokens.insert(tokens.end(),
                {unos, unos + "e-999999999999999999999", unos + "e+99999999999999999999",
                 "0." + unos + "e-1", ceros, "-" + ceros, "-" + ceros + ".", ceros + "e" + unos,
                 ceros + "2147483647", "+" + ceros + "2147483648", "-" + ceros + "2147483648",
                 ceros + "1e", ceros + "1e+", "." + ceros + ".", unos + "x", mas + "-", mas + ".",
                 std::string(3 * kBytesPorRecarga, 'x'), std::string(kBytesPorRecarga, '\0')});
  for (const std::string& token : tokens) {
    SCOPED_TRACE(token.substr(0, 40) + "… " + std::to_string(token.size()) + " bytes");
    // After a blank-padded prefix, so the token starts in the first block and
    // runs across the next ones; the token after it must still come whole.
    const std::vector<Leido> leidos = leeTokens(std::string(1000, ' ') + token + " 7");
    ASSERT_EQ(leidos.size(), 2u);
    EXPECT_EQ(leidos[1].texto, "7");
    const Leido& t = leidos[0];
    EXPECT_EQ(t.muestra, token.substr(0, kMuestra));
    EXPECT_LT(t.texto.size(), kCifrasDecisivas + 32);
    double leido = 0, entero = 0;
    const bool aceptado = esRealValido(t.texto, leido);
    ASSERT_EQ(aceptado, esRealValido(token, entero));
    if (aceptado) {
      // Bits, not ==: the sign of a zero counts.
      EXPECT_EQ(std::bit_cast<std::uint64_t>(leido), std::bit_cast<std::uint64_t>(entero))
          << leido << " vs " << entero;
    }
    std::int32_t dimLeida = 0, dimEntera = 0;
    ASSERT_EQ(esEnteroValido(t.texto, dimLeida), esEnteroValido(token, dimEntera));
    EXPECT_EQ(dimLeida, dimEntera);
  }
}

// Every number of a file as the run reads it: leeReales while it hands values
// over, one token by siguienteToken when it does not, at most `cuantos`.
// `parada` is the text of the first token not taken.
struct Lotes {
  std::vector<std::uint64_t> bits;
  std::string parada;
};

Lotes leeEnLotes(const std::string& bytes, std::size_t cuantos) {
  const auto dir = directorioTemporal();
  escribeArchivo(dir / "input.txt", bytes);
  Lector lector;
  EXPECT_TRUE(abreLector(lector, (dir / "input.txt").c_str()));
  ampliaLector(lector, kRecargaGrande);
  Lotes leido;
  double valor = 0;
  while (leido.bits.size() < cuantos) {
    for (const double v : leeReales(lector, cuantos - leido.bits.size()))
      leido.bits.push_back(std::bit_cast<std::uint64_t>(v));
    if (leido.bits.size() == cuantos) break;
    const Token t = siguienteToken(lector);
    if (t.texto.empty() || !esRealValido(t.texto, valor)) {
      leido.parada = t.texto;
      break;
    }
    leido.bits.push_back(std::bit_cast<std::uint64_t>(valor));
  }
  if (leido.bits.size() == cuantos) leido.parada = siguienteToken(lector).texto;
  cierraLector(lector);
  std::filesystem::remove_all(dir);
  return leido;
}

// About 2.3 MB of numbers in every notation, between every kind of blank, with
// underflows (converted on a second try) and long tokens among them.
std::vector<std::string> numerosVariados() {
  std::mt19937_64 azar(7);
  std::vector<std::string> tokens;
  for (int k = 0; k < 300000; ++k) {
    const auto r = static_cast<long long>(azar() % 2000000) - 1000000;
    switch (azar() % 8) {
      case 0:
        tokens.push_back("0");
        break;
      case 1:
        tokens.push_back(std::to_string(r));
        break;
      case 2:
        tokens.push_back(std::to_string(r) + "." + std::to_string(azar() % 1000));
        break;
      case 3:
        tokens.push_back("+." + std::to_string(azar()) + "e" + std::to_string(r % 300));
        break;
      case 4:
        tokens.push_back(std::to_string(r) + "E-" + std::to_string(azar() % 400));
        break;
      case 5:
        tokens.push_back("-0.000" + std::to_string(azar()) + std::to_string(azar()));
        break;
      case 6:
        tokens.push_back(std::to_string(r) + "e-330");
        break;
      default:
        tokens.push_back(std::to_string(azar() % 10) + ".");
        break;
    }
  }
  return tokens;
}

std::string juntos(const std::vector<std::string>& tokens) {
  static const char kBlancos[] = " \t\n\r\v\f";
  std::string bytes;
  for (std::size_t k = 0; k < tokens.size(); ++k) {
    bytes += tokens[k];
    bytes.append(1 + k % 3, kBlancos[k % 6]);
  }
  return bytes;
}

// Whole blocks converted on 1, 2 and 3 threads give the bits of the tokens
// read one by one, stop where `cuantos` ends, and stop before a token that is
// not a number, wherever it falls in a thread's share.
TEST(Lector, NumbersReadInBlocksAreTheTokensOneByOne) {
  std::vector<std::string> tokens = numerosVariados();
  std::vector<std::uint64_t> uno;
  for (const std::string& t : tokens) {
    double v = 0;
    ASSERT_TRUE(esRealValido(t, v)) << t;
    uno.push_back(std::bit_cast<std::uint64_t>(v));
  }
  const std::string bytes = juntos(tokens);
  const std::size_t total = tokens.size();
  const std::size_t corte = total * 4 / 10;  // in the first block's last share
  const std::size_t malos[] = {5, corte, total / 2 + 3, total - 1};
  for (const unsigned h : {1u, 2u, 3u}) {
    SCOPED_TRACE(std::to_string(h) + " threads");
    controlPruebas().hilos = h;
    const Lotes todo = leeEnLotes(bytes, total);
    EXPECT_EQ(todo.bits, uno);
    EXPECT_EQ(todo.parada, "");
    const Lotes parte = leeEnLotes(bytes, corte);
    EXPECT_EQ(parte.bits, std::vector<std::uint64_t>(uno.begin(), uno.begin() + corte));
    EXPECT_EQ(parte.parada, tokens[corte]);
    for (const std::size_t k : malos) {
      std::vector<std::string> conMalo = tokens;
      conMalo[k] = "1.2.3";
      const Lotes hasta = leeEnLotes(juntos(conMalo), total);
      EXPECT_EQ(hasta.bits, std::vector<std::uint64_t>(uno.begin(), uno.begin() + k)) << k;
      EXPECT_EQ(hasta.parada, "1.2.3") << k;
    }
    // One-digit numbers one blank apart: as many per byte as there can be.
    std::string densos;
    std::vector<std::uint64_t> cifras;
    for (int k = 0; k < 1200000; ++k) {
      densos += static_cast<char>('0' + k % 10);
      densos += ' ';
      cifras.push_back(std::bit_cast<std::uint64_t>(static_cast<double>(k % 10)));
    }
    EXPECT_EQ(leeEnLotes(densos, cifras.size()).bits, cifras);
  }
  controlPruebas() = {};
}

TEST(Lector, DirectoryIsNotAnInput) {
  const auto dir = directorioTemporal();
  Lector lector;
  EXPECT_FALSE(abreLector(lector, dir.c_str()));
  EXPECT_FALSE(abreLector(lector, (dir / "missing.txt").c_str()));
  std::filesystem::remove_all(dir);
}

}  // namespace
