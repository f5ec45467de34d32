// The operands of the FPU's mnemonics: its registers, which are names only
// there (a label's anywhere else), register lists and pairs, floating-point
// literals and fmove.p's k-factor; any other operand as the common parse
// reads it.

#include "float_literals.h"
#include "operands.h"

namespace asm68k {

namespace {

// fp0-fp7 at the start of `text` (any case), its number, or -1.
int FpRegisterAt(std::string_view text, size_t at) {
  if (text.size() < at + 3) return -1;
  if (ToLower(text[at]) != 'f' || ToLower(text[at + 1]) != 'p') return -1;
  char digit = text[at + 2];
  if (digit < '0' || digit > '7') return -1;
  if (text.size() > at + 3 && IsIdentChar(text[at + 3])) return -1;
  return digit - '0';
}

// fpcr, fpsr, fpiar: their bits in a control register list (4, 2, 1), or 0.
uint16_t FpControlBit(std::string_view name) {
  std::string lower = ToLowerCopy(name);
  return lower == "fpcr" ? 4 : lower == "fpsr" ? 2 : lower == "fpiar" ? 1 : 0;
}

// A list of control registers joined by '/', or fp registers and ranges of
// them (fp0-fp3/fp7), or a pair fpc:fps. False when the text is none of them.
bool ParseFpRegisters(std::string_view text, Operand& out, std::string& error) {
  if (FpRegisterAt(text, 0) < 0 && FpControlBit(text.substr(0, text.find('/'))) == 0) return false;
  size_t colon = text.find(':');
  if (colon != std::string_view::npos) {
    int cosine = FpRegisterAt(text, 0), sine = FpRegisterAt(text, colon + 1);
    if (colon != 3 || sine < 0 || text.size() != colon + 4) {
      error = "a register pair is fpc:fps, not '" + std::string(text) + "'";
      return true;
    }
    out.kind = kOpFpPair;
    out.reg = static_cast<uint8_t>(cosine);
    out.indexReg = static_cast<uint8_t>(sine);
    return true;
  }
  bool control = FpRegisterAt(text, 0) < 0;
  uint16_t mask = 0;
  int items = 0;
  for (size_t at = 0; at <= text.size(); ++items) {
    size_t end = text.find('/', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view item = text.substr(at, end - at);
    at = end + 1;
    if (control) {
      uint16_t bit = FpControlBit(item);
      if (bit == 0 || (mask & bit)) {
        error = "'" + std::string(item) + "' in a control register list: fpcr, fpsr or fpiar, once each";
        return true;
      }
      mask = static_cast<uint16_t>(mask | bit);
      continue;
    }
    int low = FpRegisterAt(item, 0), high = low;
    if (item.size() == 7 && item[3] == '-') high = FpRegisterAt(item, 4);
    if (low < 0 || high < low || (item.size() != 3 && item.size() != 7)) {
      error = "'" + std::string(item) + "' in a floating-point register list: fpn or fpm-fpn, m below n";
      return true;
    }
    for (int n = low; n <= high; ++n) mask = static_cast<uint16_t>(mask | 1u << n);
  }
  out.regMask = mask;
  if (control) {
    out.kind = kOpFpCtrl;
  } else if (items == 1 && text.size() == 3) {
    out.kind = kOpFpReg;
    out.reg = static_cast<uint8_t>(FpRegisterAt(text, 0));
  } else {
    out.kind = kOpFpList;
  }
  return true;
}

// #1.5, #-2.5e-3, #0r1.5: a decimal literal with a point or an exponent,
// made into the format of `size` (extended when none is written). False
// when the immediate is another expression.
bool ParseFloatLiteral(std::string_view text, uint8_t size, ExprParser& parser, Operand& out,
                       std::string& error) {
  std::string_view number = text.substr(1);
  while (!number.empty() && IsSpace(number.front())) number.remove_prefix(1);
  bool prefixed = number.size() > 2 && number[0] == '0' && ToLower(number[1]) == 'r';
  if (prefixed) number.remove_prefix(2);
  DecimalNumber decimal;
  if (ReadDecimalLiteral(number, decimal) != number.size() || number.empty()) {
    if (prefixed) error = "'" + std::string(text.substr(1)) + "' is not a decimal floating-point number";
    return prefixed;
  }
  FloatFormat format = size == kSizeS   ? FloatFormat::Single
                       : size == kSizeD ? FloatFormat::Double
                       : size == kSizeP ? FloatFormat::Packed
                                        : FloatFormat::Extended;
  if (size != kSizeNone && size != kSizeS && size != kSizeD && size != kSizeX && size != kSizeP) {
    error = "a floating-point literal needs .s, .d, .x or .p, not ." + std::string(1, "bwl"[size >> 1]);
    return true;
  }
  uint32_t longs[3];
  if (!ConvertDecimal(decimal, format, longs)) {
    error = "'" + std::string(number) + "' is beyond the largest value of ." +
            std::string(1, "sdxp"[static_cast<int>(format)]);
    return true;
  }
  out.kind = kOpImmediate;
  out.absSize = kFloatLiteral;
  out.expr = ConstantExpr(parser.pool, static_cast<int32_t>(longs[0]));
  for (int i = 1; i < FloatLongs(format); ++i) {
    ConstantExpr(parser.pool, static_cast<int32_t>(longs[i]));
    ++out.expr.count;
  }
  return true;
}

// {#k} (-64 to 63) or {Dn} after fmove.p's destination: into regMask.
bool ParseKFactor(TextRange text, ExprParser& parser, uint16_t& mask, std::string& error) {
  std::string_view inside = ViewOf(Trimmed(text));
  int reg = RegisterFromName(inside);
  if (reg >= 0 && reg < 8) {
    mask = static_cast<uint16_t>(kKFactorDynamic | reg);
    return true;
  }
  Cursor c{text.begin, text.end};
  c.SkipSpace();
  Expr expr;
  int32_t k = 0;
  if (!c.Match('#') || !ParseExpression(c, parser, expr, error) || (c.SkipSpace(), !c.AtEnd()) ||
      !IsConstant(parser.pool, expr, k) || k < -64 || k > 63) {
    error = "a k-factor is {#k} with k a constant from -64 to 63, or {Dn}";
    return false;
  }
  mask = static_cast<uint16_t>(k & 0x7F);
  return true;
}

}  // namespace

bool ParseFpuOperand(std::string_view mnemonic, int index, TextRange written, uint8_t writtenSize,
                     ExprParser& parser, Operand& out, std::string& error) {
  TextRange text = Trimmed(written);
  out = Operand();
  // fmove.p fpn,<ea>{k}: the k-factor apart, then the address.
  uint16_t kFactor = 0;
  if (text.end > text.begin && text.end[-1] == '}') {
    const char* open = text.end - 1;
    while (open > text.begin && *open != '{') --open;
    if (*open != '{' || mnemonic != "fmove" || writtenSize != kSizeP || index != 1) {
      error = "a k-factor {...} follows only the destination of fmove.p";
      return false;
    }
    if (!ParseKFactor({open + 1, text.end - 1}, parser, kFactor, error)) return false;
    text = Trimmed({text.begin, open});
  }
  std::string_view view = ViewOf(text);
  if (!view.empty() && view.front() != '#' && ParseFpRegisters(view, out, error)) {
    return error.empty();
  }
  if (!view.empty() && view.front() == '#' && ParseFloatLiteral(view, writtenSize, parser, out, error)) {
    return error.empty();
  }
  // The 68020's memory indirect and full-word forms too, as any line's.
  if (!ParseOperandApart(text, parser, out, error) &&
      !ParseLaterOperand(text, parser, out, error)) {
    return false;
  }
  out.regMask = static_cast<uint16_t>(out.regMask | kFactor);
  return true;
}

}  // namespace asm68k
