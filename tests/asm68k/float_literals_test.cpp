// Decimal literals made into the FPU's formats: rounded once, exactly, to
// the nearest value (ties to even), checked against an exact rational
// reference; the places GNU as rounds otherwise are among them.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "float_literals.h"

namespace {

using asm68k::ConvertDecimal;
using asm68k::DecimalNumber;
using asm68k::FloatFormat;
using asm68k::FloatLongs;
using asm68k::ReadDecimalLiteral;

struct Case {
  const char* literal;
  FloatFormat format;
  const char* longs;  // hexadecimal, most significant first; "" when out of range
};

std::string Converted(const char* literal, FloatFormat format) {
  DecimalNumber number;
  std::string text(literal);
  EXPECT_EQ(ReadDecimalLiteral(text, number), text.size()) << literal;
  uint32_t out[3];
  if (!ConvertDecimal(number, format, out)) return "";
  std::string hex;
  for (int i = 0; i < FloatLongs(format); ++i) {
    char buffer[9];
    std::snprintf(buffer, sizeof buffer, "%08x", out[i]);
    hex += buffer;
  }
  return hex;
}

TEST(FloatLiterals, RoundedOnceToTheNearest) {
  constexpr FloatFormat S = FloatFormat::Single, D = FloatFormat::Double,
                        X = FloatFormat::Extended, P = FloatFormat::Packed;
  const Case cases[] = {
      {"1.5", S, "3fc00000"},
      {"1.5", X, "3fff0000c000000000000000"},  // the integer bit written, 16 zero bits
      {"0.1", S, "3dcccccd"},
      {"0.1", D, "3fb999999999999a"},
      {"0.1", X, "3ffb0000cccccccccccccccd"},
      {"-2.5e-3", D, "bf647ae147ae147b"},
      {"-2.5E-3", X, "bff60000a3d70a3d70a3d70a"},
      // Halfway between two values: the even one.
      {"16777217.0", S, "4b800000"},
      {"9007199254740993.0", D, "4340000000000000"},
      {"18446744073709551617.0", X, "403f00008000000000000000"},
      {"16777217.0", X, "401700008000008000000000"},
      // Denormals, the largest values, and past them.
      {"1e-45", S, "00000001"},
      {"4.9e-324", D, "0000000000000001"},
      {"2.4703282292062327e-324", D, "0000000000000000"},
      {"1e-4950", X, "000000000000000000000005"},
      {"3.4028235e38", S, "7f7fffff"},
      {"3.4028236e38", S, ""},
      {"1.18973149535723176502e4932", X, "7ffe0000ffffffffffffffff"},
      {"1.18973149535723176509e4932", X, ""},
      {"-0.0", D, "8000000000000000"},
      // Packed decimal: seventeen digits, one before the point, ties to even.
      {"1.5", P, "000000015000000000000000"},
      {"-2.5e-3", P, "c00300025000000000000000"},
      {"1.23456789012345675", P, "000000012345678901234568"},
      {"9.999999999999999999e998", P, "099900010000000000000000"},  // carried to 1e999
      {"9.999999999999999999e999", P, ""},
      {"0.0", P, "000000000000000000000000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Converted(c.literal, c.format), c.longs) << c.literal;
  }
}

}  // namespace
