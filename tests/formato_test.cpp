// Number formats of the report: exact strings at padding, rounding and
// exponent-width edges.
#include "report/formato.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace {

std::string g(double v, int ancho, int precision) {
  char b[kMaxNumero];
  return std::string(b, formatoG(b, v, ancho, precision));
}

std::string e(double v) {
  char b[kMaxNumero];
  return std::string(b, formatoE(b, v, 5, 5));
}

const double kInf = std::numeric_limits<double>::infinity();
const double kNan = std::numeric_limits<double>::quiet_NaN();

std::string d(int v) {
  char b[kMaxNumero];
  return std::string(b, formatoEntero(b, v, 6));
}

struct CasoG {
  double v;
  int ancho, precision;
  const char* texto;
};

TEST(Formato, GeneralMatchesPrintfWithWideExponent) {
  const CasoG casos[] = {
      {1234.5, 6, 3, "1.23e+003 "},  // the field grows past six
      {0.00001, 6, 2, "1e-005 "},    // exactly six after widening
      {0.00001, 5, 3, "1e-005 "},    // widening overflows a width of five
      {1.0 / 3.0, 6, 2, "0.33   "},
      {10, 6, 3, "10     "},
      {10, 5, 3, "10    "},
      {0, 6, 2, "0      "},
      {1, 6, 2, "1      "},
      {-0.0, 6, 3, "-0     "},
      {-0.0, 5, 3, "-0    "},
      {100, 6, 3, "100    "},
      {99950, 6, 3, "1e+005 "},  // rounds up into exponent notation
      {123456, 6, 3, "1.23e+005 "},
      {0.0001, 6, 3, "0.0001 "},  // smallest fixed-notation magnitude
      {0.00001234, 6, 3, "1.23e-005 "},
      {1e100, 6, 3, "1e+100 "},
      {-2.5e-300, 6, 3, "-2.5e-300 "},
      {4.9406564584124654e-324, 6, 3, "4.94e-324 "},
      {1e12, 5, 3, "1e+012 "},
      {-7, 6, 3, "-7     "},
      {0.5, 6, 2, "0.5    "},
      {kInf, 6, 3, "inf    "},
      {-kInf, 5, 3, "-inf  "},
      {kNan, 6, 3, "nan    "},
      {std::copysign(kNan, -1.0), 6, 3, "nan    "},  // one spelling whatever the sign bit
      {std::copysign(kNan, -1.0), 5, 3, "nan   "},
  };
  for (const CasoG& c : casos)
    EXPECT_EQ(g(c.v, c.ancho, c.precision), c.texto) << c.v << " width " << c.ancho;
}

TEST(Formato, ExponentAlwaysWithThreeDigits) {
  EXPECT_EQ(e(5), "5.00000e+000 ");
  EXPECT_EQ(e(7), "7.00000e+000 ");
  EXPECT_EQ(e(-0.0), "-0.00000e+000 ");
  EXPECT_EQ(e(0.0), "0.00000e+000 ");
  EXPECT_EQ(e(-1), "-1.00000e+000 ");
  EXPECT_EQ(e(1e-8), "1.00000e-008 ");
  EXPECT_EQ(e(123456789), "1.23457e+008 ");
  EXPECT_EQ(e(1e300), "1.00000e+300 ");
  EXPECT_EQ(e(std::numeric_limits<double>::max()), "1.79769e+308 ");
  EXPECT_EQ(e(9.999995), "1.00000e+001 ");  // rounding carries into the exponent
  EXPECT_EQ(e(-kInf), "-inf  ");
  EXPECT_EQ(e(std::copysign(kNan, -1.0)), "nan   ");
}

TEST(Formato, IntegersPaddedToSix) {
  EXPECT_EQ(d(0), "0      ");
  EXPECT_EQ(d(2), "2      ");
  EXPECT_EQ(d(123456), "123456 ");
  EXPECT_EQ(d(-2147483647 - 1), "-2147483648 ");
}

// printf with its two-digit exponents widened by hand, the way the report wants it.
std::string printfAncho(const char* formato, int ancho, int precision, double v) {
  char b[64];
  std::snprintf(b, sizeof b, formato, ancho, precision, v);
  std::string s =
      std::regex_replace(std::string(b), std::regex("e([+-])(\\d\\d)(?!\\d)"), "e$010$2");
  std::string valor = s.substr(0, s.find(' '));
  while (static_cast<int>(valor.size()) < ancho) valor += ' ';
  return valor + ' ';
}

TEST(Formato, AgreesWithPrintfOnRandomValues) {
  std::mt19937_64 azar(12345);
  for (int n = 0; n < 5000; ++n) {
    const double mantisa = std::uniform_real_distribution<double>(-10, 10)(azar);
    const double v = std::ldexp(mantisa, static_cast<int>(azar() % 200) - 100);
    ASSERT_EQ(g(v, 6, 3), printfAncho("%-*.*g ", 6, 3, v)) << v;
    ASSERT_EQ(g(v, 6, 2), printfAncho("%-*.*g ", 6, 2, v)) << v;
    ASSERT_EQ(e(v), printfAncho("%-*.*e ", 5, 5, v)) << v;
  }
}

// printf's "%.{precision}g" with the exponent widened to three digits,
// padded to ancho, then the blank: what formatoG must write.
std::string comoPrintf(double v, int ancho, int precision) {
  char b[64];
  std::string t(b, static_cast<std::size_t>(std::snprintf(b, sizeof b, "%.*g", precision, v)));
  const std::size_t marca = t.find('e');
  if (marca != std::string::npos && t.size() - marca - 2 < 3)
    t.insert(marca + 2, 3 - (t.size() - marca - 2), '0');
  if (static_cast<int>(t.size()) < ancho) t.append(static_cast<std::size_t>(ancho) - t.size(), ' ');
  return t + ' ';
}

// The digits the report's matrices take by scaling with one power of ten,
// against printf: exact ties (settled to even), values a few ulps from a tie
// whichever way the scaling rounds, binary fractions whose decimal digits end
// in 5, carries into the next power of ten, the edges of the scalable range.
TEST(Formato, ScaledDigitsAgreeWithPrintf) {
  std::vector<double> valores;
  const auto conVecinos = [&](double v) {
    for (double w : {std::nextafter(std::nextafter(v, 0.0), 0.0), std::nextafter(v, 0.0), v,
                     std::nextafter(v, kInf), std::nextafter(std::nextafter(v, kInf), kInf)})
      valores.insert(valores.end(), {w, -w});
  };
  for (int digitos = 2; digitos <= 4; ++digitos)
    for (int m = 2 * static_cast<int>(std::pow(10, digitos - 1)) + 1;
         m < 2 * static_cast<int>(std::pow(10, digitos)); m += digitos == 4 ? 14 : 2)
      for (int decada = -28; decada <= 28; ++decada)
        conVecinos(m / 2.0 * std::pow(10.0, decada));  // m / 2: x.5
  for (int j = 1; j <= 12; ++j)
    for (int k = 1; k < 1 << j; k += 2) conVecinos(std::ldexp(k, -j));
  for (int decada = -30; decada <= 30; ++decada)
    for (double casi : {9.5, 9.95, 9.995, 9.9995, 1.0}) conVecinos(casi * std::pow(10.0, decada));
  std::mt19937_64 azar(99);
  for (int n = 0; n < 100000; ++n)
    valores.push_back(std::ldexp(std::uniform_real_distribution<double>(-1, 1)(azar),
                                 static_cast<int>(azar() % 180) - 90));
  for (const double v : valores)
    for (const int precision : {1, 2, 3, 4, 5})
      ASSERT_EQ(g(v, 6, precision), comoPrintf(v, 6, precision))
          << std::hexfloat << v << " precision " << precision;
}

}  // namespace
