#pragma once
// Floating-point numbers in the formats the FPU reads from memory (single,
// double, extended and packed decimal), made exactly from the decimal
// number a source writes: rounded once, to the nearest value the format
// holds, ties to the even one.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace asm68k {

enum class FloatFormat : uint8_t { Single, Double, Extended, Packed };

// The longs a format takes in memory: 1, 2, 3 and 3.
int FloatLongs(FloatFormat format);

// (-1)^negative x digits x 10^exponent.
struct DecimalNumber {
  bool negative = false;
  std::string digits;    // decimal digits, most significant first; "" for 0
  int64_t exponent = 0;
};

// More significant digits than any of the formats needs to round right
// (the halfway points between extended values have up to about 11,500):
// past them a literal keeps one nonzero digit for all the others, which
// rounds as they do.
constexpr size_t kMaxSignificantDigits = 12000;

// A decimal literal at the start of `text`: an optional sign, digits with
// a point or an exponent or both (1.5, .5, 5., 1e10, 2.5E-3). The
// characters read, or 0 when the text starts with none.
size_t ReadDecimalLiteral(std::string_view text, DecimalNumber& out);

// The number in `format`, in out[0..FloatLongs(format)-1], most significant
// long first. False when it is beyond the format's largest value (for
// packed decimal, when its decimal exponent is beyond 999 either way);
// a number below the smallest rounds to a denormal or to zero.
bool ConvertDecimal(const DecimalNumber& number, FloatFormat format, uint32_t (&out)[3]);

// The same for a whole number.
bool ConvertInteger(int64_t value, FloatFormat format, uint32_t (&out)[3]);

}  // namespace asm68k
