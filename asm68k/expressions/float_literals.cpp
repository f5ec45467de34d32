#include "float_literals.h"

#include <algorithm>
#include <vector>

namespace asm68k {

namespace {

// A natural number as 32-bit limbs, least significant first, with no zero
// limb at the top: just what exact conversion needs.
struct Natural {
  std::vector<uint32_t> limbs;

  bool IsZero() const { return limbs.empty(); }
  void Trim() {
    while (!limbs.empty() && limbs.back() == 0) limbs.pop_back();
  }

  void MultiplyAdd(uint32_t factor, uint32_t addend) {
    uint64_t carry = addend;
    for (uint32_t& limb : limbs) {
      uint64_t product = static_cast<uint64_t>(limb) * factor + carry;
      limb = static_cast<uint32_t>(product);
      carry = product >> 32;
    }
    if (carry) limbs.push_back(static_cast<uint32_t>(carry));
  }

  // Times 10^power.
  void MultiplyPowerOfTen(int64_t power) {
    for (; power >= 9; power -= 9) MultiplyAdd(1000000000u, 0);
    static const uint32_t kSmall[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
    if (power > 0) MultiplyAdd(kSmall[power], 0);
  }

  int64_t BitLength() const {
    if (limbs.empty()) return 0;
    uint32_t top = limbs.back();
    int bits = 0;
    while (top) {
      ++bits;
      top >>= 1;
    }
    return static_cast<int64_t>(limbs.size() - 1) * 32 + bits;
  }

  void ShiftLeft(int64_t bits) {
    if (limbs.empty() || bits <= 0) return;
    size_t whole = static_cast<size_t>(bits / 32);
    int part = static_cast<int>(bits % 32);
    limbs.insert(limbs.begin(), whole, 0);
    if (part) {
      uint32_t carry = 0;
      for (size_t i = whole; i < limbs.size(); ++i) {
        uint32_t limb = limbs[i];
        limbs[i] = (limb << part) | carry;
        carry = limb >> (32 - part);
      }
      if (carry) limbs.push_back(carry);
    }
  }

  void ShiftRightOne() {
    for (size_t i = 0; i < limbs.size(); ++i) {
      uint32_t high = i + 1 < limbs.size() ? limbs[i + 1] << 31 : 0;
      limbs[i] = (limbs[i] >> 1) | high;
    }
    Trim();
  }

  // this -= other, which is not larger.
  void Subtract(const Natural& other) {
    int64_t borrow = 0;
    for (size_t i = 0; i < limbs.size(); ++i) {
      int64_t difference = static_cast<int64_t>(limbs[i]) - borrow -
                           (i < other.limbs.size() ? static_cast<int64_t>(other.limbs[i]) : 0);
      borrow = difference < 0 ? 1 : 0;
      limbs[i] = static_cast<uint32_t>(difference + (borrow << 32));
    }
    Trim();
  }
};

int Compare(const Natural& a, const Natural& b) {
  if (a.limbs.size() != b.limbs.size()) return a.limbs.size() < b.limbs.size() ? -1 : 1;
  for (size_t i = a.limbs.size(); i-- > 0;) {
    if (a.limbs[i] != b.limbs[i]) return a.limbs[i] < b.limbs[i] ? -1 : 1;
  }
  return 0;
}

Natural FromDigits(const std::string& digits) {
  Natural n;
  size_t first = digits.size() % 9 == 0 ? 9 : digits.size() % 9;
  for (size_t at = 0; at < digits.size(); at = at == 0 ? first : at + 9) {
    size_t length = at == 0 ? first : 9;
    uint32_t group = 0, scale = 1;
    for (size_t i = 0; i < length; ++i) {
      group = group * 10 + static_cast<uint32_t>(digits[at + i] - '0');
      scale *= 10;
    }
    n.MultiplyAdd(scale, group);
  }
  return n;
}

// floor(numerator / denominator), which is below 2^66; `numerator` is left
// holding the remainder.
uint64_t SmallQuotient(Natural& numerator, Natural denominator, bool& carryBit) {
  int64_t shift = std::max<int64_t>(0, numerator.BitLength() - denominator.BitLength());
  denominator.ShiftLeft(shift);
  uint64_t quotient = 0;
  carryBit = false;  // bit 64 of the quotient
  for (int64_t i = shift; i >= 0; --i) {
    carryBit = carryBit || (quotient >> 63);
    quotient <<= 1;
    if (Compare(numerator, denominator) >= 0) {
      numerator.Subtract(denominator);
      quotient |= 1;
    }
    denominator.ShiftRightOne();
  }
  return quotient;
}

// The binary formats: `precision` bits of mantissa (the top one implied
// unless `explicitInteger`), values down to 2^(minExponent) at full
// precision and denormal below, up to just under 2^(maxExponent + 1).
struct BinaryFormat {
  int precision;
  int minExponent;
  int maxExponent;
  int bias;
  bool explicitInteger;
};

// Extended precision as the 68881 reads it: a biased exponent of 0 stands
// for 2^-16383 (not 2^-16382), whatever the integer bit, so the smallest
// denormal is 2^-16446.
constexpr BinaryFormat kSingle{24, -126, 127, 127, false};
constexpr BinaryFormat kDouble{53, -1022, 1023, 1023, false};
constexpr BinaryFormat kExtended{64, -16383, 16383, 16383, true};

// Decimal exponents beyond any format's reach either way: the number is
// then too large, or rounds to zero, without working it out.
constexpr int64_t kBeyondLargest = 5000;
constexpr int64_t kBelowSmallest = -5000;

void Store(const BinaryFormat& format, bool negative, uint64_t mantissa, int64_t biased,
           uint32_t (&out)[3]) {
  uint32_t sign = negative ? 0x80000000u : 0;
  if (format.explicitInteger) {
    out[0] = sign | static_cast<uint32_t>(biased) << 16;
    out[1] = static_cast<uint32_t>(mantissa >> 32);
    out[2] = static_cast<uint32_t>(mantissa);
  } else if (format.precision == 53) {
    uint64_t bits = static_cast<uint64_t>(biased) << 52 | (mantissa & ((1ull << 52) - 1));
    out[0] = sign | static_cast<uint32_t>(bits >> 32);
    out[1] = static_cast<uint32_t>(bits);
  } else {
    out[0] = sign | static_cast<uint32_t>(biased) << 23 | static_cast<uint32_t>(mantissa & 0x7FFFFF);
  }
}

bool ConvertBinary(const BinaryFormat& format, bool negative, const std::string& digits,
                   int64_t exponent, uint32_t (&out)[3]) {
  int64_t magnitude = exponent + static_cast<int64_t>(digits.size()) - 1;
  if (magnitude > kBeyondLargest) return false;
  if (magnitude < kBelowSmallest) {
    Store(format, negative, 0, 0, out);
    return true;
  }
  // value = numerator / denominator
  Natural numerator = FromDigits(digits), denominator;
  denominator.limbs.push_back(1);
  if (exponent >= 0) {
    numerator.MultiplyPowerOfTen(exponent);
  } else {
    denominator.MultiplyPowerOfTen(-exponent);
  }
  // 2^top <= value < 2^(top+1)
  int64_t top = numerator.BitLength() - denominator.BitLength();
  {
    Natural scaled = top >= 0 ? denominator : numerator;
    scaled.ShiftLeft(top >= 0 ? top : -top);
    bool below = top >= 0 ? Compare(numerator, scaled) < 0 : Compare(scaled, denominator) < 0;
    if (below) --top;
  }
  // The place of the mantissa's last bit: value / 2^last is the mantissa.
  int64_t last = std::max<int64_t>(top, format.minExponent) - (format.precision - 1);
  if (last < 0) {
    numerator.ShiftLeft(-last);
  } else {
    denominator.ShiftLeft(last);
  }
  bool carryBit;
  uint64_t mantissa = SmallQuotient(numerator, denominator, carryBit);
  // Ties to even: the remainder against half the denominator.
  numerator.ShiftLeft(1);
  int half = Compare(numerator, denominator);
  if (half > 0 || (half == 0 && (mantissa & 1))) {
    ++mantissa;
    carryBit = carryBit || mantissa == 0;
  }
  bool full = format.precision == 64 ? carryBit : (mantissa >> format.precision) != 0;
  if (full) {  // rounded up to the next power of two
    mantissa = format.precision == 64 ? 1ull << 63 : mantissa >> 1;
    ++last;
  }
  bool normal = (mantissa >> (format.precision - 1)) & 1;
  int64_t exponentOfTop = last + format.precision - 1;
  if (normal && exponentOfTop > format.maxExponent) return false;
  int64_t biased;
  if (format.explicitInteger) {
    biased = exponentOfTop + format.bias;  // 0 at the smallest, integer bit set or not
  } else {
    biased = normal ? exponentOfTop + format.bias : 0;
  }
  Store(format, negative, mantissa, biased, out);
  return true;
}

uint32_t BcdDigits(const std::string& digits, size_t from, size_t count) {
  uint32_t bcd = 0;
  for (size_t i = 0; i < count; ++i) bcd = bcd << 4 | static_cast<uint32_t>(digits[from + i] - '0');
  return bcd;
}

// Packed decimal: a sign, a three-digit decimal exponent with its sign,
// and seventeen digits, one before the point; the digits rounded to
// seventeen, ties to even.
bool ConvertPacked(bool negative, std::string digits, int64_t exponent, uint32_t (&out)[3]) {
  uint32_t sign = negative ? 0x80000000u : 0;
  if (digits.empty()) {
    out[0] = sign;
    out[1] = out[2] = 0;
    return true;
  }
  int64_t magnitude = exponent + static_cast<int64_t>(digits.size()) - 1;
  constexpr size_t kDigits = 17;
  if (digits.size() > kDigits) {
    char next = digits[kDigits];
    bool beyond = std::any_of(digits.begin() + kDigits + 1, digits.end(), [](char c) { return c != '0'; });
    bool odd = (digits[kDigits - 1] - '0') & 1;
    digits.resize(kDigits);
    if (next > '5' || (next == '5' && (beyond || odd))) {
      size_t i = kDigits;
      while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
      if (i == 0) {
        digits.insert(digits.begin(), '1');
        digits.pop_back();
        ++magnitude;
      } else {
        ++digits[i - 1];
      }
    }
  }
  digits.resize(kDigits, '0');
  if (magnitude > 999 || magnitude < -999) return false;
  uint32_t exponentSign = magnitude < 0 ? 0x40000000u : 0;
  std::string exponentDigits = std::to_string(magnitude < 0 ? -magnitude : magnitude);
  exponentDigits.insert(0, 3 - exponentDigits.size(), '0');
  out[0] = sign | exponentSign | BcdDigits(exponentDigits, 0, 3) << 16 | BcdDigits(digits, 0, 1);
  out[1] = BcdDigits(digits, 1, 8);
  out[2] = BcdDigits(digits, 9, 8);
  return true;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int FloatLongs(FloatFormat format) {
  switch (format) {
    case FloatFormat::Single:
      return 1;
    case FloatFormat::Double:
      return 2;
    default:
      return 3;
  }
}

size_t ReadDecimalLiteral(std::string_view text, DecimalNumber& out) {
  out = DecimalNumber();
  size_t at = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) out.negative = text[at++] == '-';
  bool anyDigit = false, point = false, exponentWritten = false, dropped = false;
  int64_t exponent = 0;
  auto take = [&](char digit, bool afterPoint) {
    anyDigit = true;
    if (out.digits.empty() && digit == '0') {
      if (afterPoint) --exponent;
      return;
    }
    if (out.digits.size() < kMaxSignificantDigits) {
      out.digits += digit;
      if (afterPoint) --exponent;
    } else {
      if (!afterPoint) ++exponent;
      dropped = dropped || digit != '0';
    }
  };
  for (; at < text.size() && IsDigit(text[at]); ++at) take(text[at], false);
  if (at < text.size() && text[at] == '.') {
    point = true;
    for (++at; at < text.size() && IsDigit(text[at]); ++at) take(text[at], true);
  }
  if (!anyDigit) return 0;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    size_t mark = at++;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    if (at == text.size() || !IsDigit(text[at])) {
      at = mark;  // not an exponent after all
    } else {
      int64_t written = 0;
      for (; at < text.size() && IsDigit(text[at]); ++at) {
        written = std::min<int64_t>(written * 10 + (text[at] - '0'), 1000000000);
      }
      exponent += negative ? -written : written;
      exponentWritten = true;
    }
  }
  if (!point && !exponentWritten) return 0;
  // One nonzero digit for those past the limit: the number is then above the
  // digits kept, and below the next, as the whole is.
  if (dropped) {
    out.digits += '1';
    --exponent;
  }
  while (!out.digits.empty() && out.digits.back() == '0') {
    out.digits.pop_back();
    ++exponent;
  }
  out.exponent = out.digits.empty() ? 0 : exponent;
  return at;
}

bool ConvertDecimal(const DecimalNumber& number, FloatFormat format, uint32_t (&out)[3]) {
  out[0] = out[1] = out[2] = 0;
  size_t first = number.digits.find_first_not_of('0');
  std::string digits = first == std::string::npos ? std::string() : number.digits.substr(first);
  switch (format) {
    case FloatFormat::Packed:
      return ConvertPacked(number.negative, digits, number.exponent, out);
    case FloatFormat::Single:
    case FloatFormat::Double:
    case FloatFormat::Extended: {
      const BinaryFormat& binary = format == FloatFormat::Single   ? kSingle
                                   : format == FloatFormat::Double ? kDouble
                                                                   : kExtended;
      if (digits.empty()) {
        Store(binary, number.negative, 0, 0, out);
        return true;
      }
      return ConvertBinary(binary, number.negative, digits, number.exponent, out);
    }
  }
  return false;
}

bool ConvertInteger(int64_t value, FloatFormat format, uint32_t (&out)[3]) {
  DecimalNumber number;
  number.negative = value < 0;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  if (magnitude != 0) number.digits = std::to_string(magnitude);
  return ConvertDecimal(number, format, out);
}

}  // namespace asm68k
