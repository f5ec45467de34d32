#include "operands.h"

#include <utility>

namespace asm68k {

namespace {

TextRange Trim(const char* begin, const char* end) {
  while (begin < end && IsSpace(*begin)) ++begin;
  while (end > begin && IsSpace(end[-1])) --end;
  return {begin, end};
}

bool AtEndAfterSpace(Cursor& c) {
  c.SkipSpace();
  return c.AtEnd();
}

bool Unexpected(const Cursor& c, std::string& error) {
  error = "unexpected " + Excerpt(c.p, c.end) + " in operand";
  return false;
}

// Reads a register name at the cursor, if there is one.
int PeekRegister(Cursor& c) {
  if (!IsIdentStart(c.Peek())) return kRegNone;
  Cursor probe = c;
  int reg = RegisterFromName(probe.Word());
  if (reg != kRegNone) c = probe;
  return reg;
}

// The register when the whole range, blanks aside, is exactly one register
// name (all of which are two or three letters and digits).
int WholeRegister(TextRange range) {
  TextRange name = Trim(range.begin, range.end);
  size_t size = static_cast<size_t>(name.end - name.begin);
  if (size != 2 && size != 3) return kRegNone;
  return RegisterFromName(std::string_view(name.begin, size));
}

bool IsAddressRegister(int reg) { return reg >= 8 && reg <= 15; }
bool IsDataRegister(int reg) { return reg >= 0 && reg <= 7; }

// Dn, An or sp as two characters at `p`; kRegNone for anything else.
int ShortRegister(const char* p) {
  char first = static_cast<char>(p[0] | 0x20);  // lower case, for letters
  char second = p[1];
  if (second >= '0' && second <= '7') {
    if (first == 'd') return second - '0';
    if (first == 'a') return 8 + (second - '0');
    return kRegNone;
  }
  if (first == 's' && (second | 0x20) == 'p') return kRegSp;
  return kRegNone;
}

// An address register or pc as two characters at `p`; kRegNone for
// anything else.
int BaseRegisterAt(const char* p) {
  int reg = ShortRegister(p);
  if (IsAddressRegister(reg)) return reg;
  if ((p[0] | 0x20) == 'p' && (p[1] | 0x20) == 'c') return kRegPc;
  return kRegNone;
}

// An index register written plainly ("d0", "a1.l", "d2.w"), read straight
// from the characters; false for anything else.
bool ShortIndex(TextRange range, Operand& out) {
  size_t size = static_cast<size_t>(range.end - range.begin);
  if (size != 2 && (size != 4 || range.begin[2] != '.')) return false;
  int reg = ShortRegister(range.begin);
  char suffix = size == 4 ? static_cast<char>(range.begin[3] | 0x20) : 'w';
  if (reg == kRegNone || (suffix != 'w' && suffix != 'l')) return false;
  out.indexReg = static_cast<uint8_t>(reg);
  out.indexLong = suffix == 'l';
  return true;
}

// "*SCALE" after an index register, up to the index's end.
[[gnu::noinline]] bool ParseScale(Cursor& c, uint8_t machineIndex, Operand& out,
                                  std::string& error) {
  const uint16_t machine = MachineOfIndex(machineIndex);
  if (!(machine & kScaledIndexMachines)) {
    // On the 68000 in the words it has always had.
    error = machine == MachineOfIndex(0)
                ? std::string("a scaled index needs a 68020; the 68000 has none")
                : "a scaled index needs " + MachinesNeeded(kScaledIndexMachines, machine);
    return false;
  }
  ++c.p;
  c.SkipSpace();
  const char* written = c.p;
  char digit = c.Peek();
  c.p += c.AtEnd() ? 0 : 1;
  if ((digit != '1' && digit != '2' && digit != '4' && digit != '8') || !AtEndAfterSpace(c)) {
    error = "an index is scaled by 1, 2, 4 or 8, not " + Excerpt(written, c.end);
    return false;
  }
  int scale = digit == '1' ? 0 : digit == '2' ? 1 : digit == '4' ? 2 : 3;
  out.indexReg = static_cast<uint8_t>(out.indexReg | scale << 4);
  return true;
}

// Xn[.w|.l][*SCALE] inside an indexed operand.
bool ParseIndex(TextRange range, uint8_t machineIndex, Operand& out, std::string& error) {
  if (ShortIndex(range, out)) return true;
  Cursor c{range.begin, range.end};
  c.SkipSpace();
  int reg = PeekRegister(c);
  if (!IsDataRegister(reg) && !IsAddressRegister(reg)) {
    error = "the index must be a data or address register, not " + Excerpt(range.begin, range.end);
    return false;
  }
  out.indexReg = static_cast<uint8_t>(reg);
  out.indexLong = false;
  if (c.Match('.')) {
    char size = ToLower(c.Peek());
    if ((size != 'w' && size != 'l') || IsIdentChar(c.Peek(1))) {
      error = "an index register is .w or .l, not " + Excerpt(c.p - 1, c.end);
      return false;
    }
    ++c.p;
    out.indexLong = size == 'l';
  }
  c.SkipSpace();
  if (c.Peek() == '*') return ParseScale(c, machineIndex, out, error);
  if (!c.AtEnd()) return Unexpected(c, error);
  return true;
}

// The base register of a displacement form: an address register or pc.
bool SetBase(int reg, bool hasIndex, TextRange text, Operand& out, std::string& error) {
  if (reg == kRegPc) {
    out.kind = hasIndex ? kOpPcIndex : kOpPcDisp;
    return true;
  }
  if (IsAddressRegister(reg)) {
    out.kind = hasIndex ? kOpIndex : kOpDisp;
    out.reg = static_cast<uint8_t>(reg - 8);
    return true;
  }
  if (IsDataRegister(reg)) {
    error = RegisterName(reg) + " cannot be a base register; use an address register";
    return false;
  }
  error = "expected an address register or pc in " + Excerpt(text.begin, text.end);
  return false;
}

// "An)" "An,Xn)" "pc)" "pc,Xn)" from `p` to the operand's end, written
// plainly: the rest of a displacement form after its '(' or after its
// displacement's comma, read straight from the characters. False for
// anything else, which the general parse reads (and words any error of).
bool ShortBaseAndIndex(const char* p, const char* end, Operand& out) {
  size_t size = static_cast<size_t>(end - p);
  if (size < 3 || end[-1] != ')') return false;
  int reg = BaseRegisterAt(p);
  if (reg == kRegNone) return false;
  bool hasIndex = size != 3;
  if (hasIndex && (p[2] != ',' || !ShortIndex({p + 3, end - 1}, out))) return false;
  if (reg == kRegPc) {
    out.kind = hasIndex ? kOpPcIndex : kOpPcDisp;
  } else {
    out.kind = hasIndex ? kOpIndex : kOpDisp;
    out.reg = static_cast<uint8_t>(reg - 8);
  }
  return true;
}

// (d,An) (d,An,Xn) (d,pc) (d,pc,Xn) written plainly, whose displacement
// holds no comma, parenthesis, quote or edge blank and is no register: the
// base and index are read straight from the characters and
// `displacementEnd` is set to the comma after the displacement. False for
// anything else, left to the general parse.
[[gnu::always_inline]] inline bool ShortDisplacementForm(TextRange text, Operand& out,
                                                  const char*& displacementEnd) {
  const char* first = text.begin + 1;
  const char* comma = first;
  while (comma < text.end && !(kChars.flags[static_cast<uint8_t>(*comma)] & kCharInList)) ++comma;
  if (comma == text.end || *comma != ',' || comma == first) return false;
  if (IsSpace(*first) || IsSpace(comma[-1])) return false;
  if (WholeRegister({first, comma}) != kRegNone) return false;
  if (!ShortBaseAndIndex(comma + 1, text.end, out)) return false;
  displacementEnd = comma;
  return true;
}

// d0-d3/a0/a6. Registers count d0..d7 then a0..a7, so d0-a6 runs across
// both kinds; d0-7 is short for d0-d7. Inlined into both its callers, so
// that reg's parse costs the operand parse nothing.
[[gnu::always_inline]] inline bool ParseRegisterList(Cursor& c, Operand& out,
                                                     std::string& error) {
  uint16_t mask = 0;
  for (;;) {
    c.SkipSpace();
    int first = PeekRegister(c);
    if (first < 0 || first > 15) {
      error = "a register list holds data and address registers, not " + Excerpt(c.p, c.end);
      return false;
    }
    int last = first;
    c.SkipSpace();
    if (c.Match('-')) {
      c.SkipSpace();
      const char* lastText = c.p;
      if (c.Peek() >= '0' && c.Peek() <= '7' && !IsIdentChar(c.Peek(1))) {
        last = (first & 8) | (*c.p++ - '0');
      } else {
        last = PeekRegister(c);
      }
      if (last < 0 || last > 15) {
        error = "a register range ends in a data or address register, not " +
                Excerpt(lastText, c.end);
        return false;
      }
      if (last < first) std::swap(first, last);  // a6-a0 is the same set as a0-a6
    }
    for (int reg = first; reg <= last; ++reg) mask = static_cast<uint16_t>(mask | (1u << reg));
    c.SkipSpace();
    if (c.AtEnd()) break;
    if (!c.Match('/')) return Unexpected(c, error);
  }
  out.kind = kOpRegList;
  out.regMask = mask;
  return true;
}

// The comma-separated parts between the '(' at `open` and its ')'; `close`
// is set to the ')'. Empty parentheses are an error in every form. One
// sweep finds both the parts and the ')'; a missing ')' is the error told
// first, as the parts are only looked at once it is found.
bool SplitParenthesized(const char* open, const char* end, std::vector<TextRange>& parts,
                        const char*& close, std::string& error) {
  parts.clear();
  bool emptyBeforeComma = false;
  int depth = 0;
  const char* start = open + 1;
  for (const char* p = open + 1; p < end;) {
    char ch = *p;
    if (!(kChars.flags[static_cast<uint8_t>(ch)] & kCharInList)) {
      ++p;
      continue;
    }
    if (ch == '\'' || ch == '"') {
      p = SkipQuoted(p, end);
      continue;
    }
    if (ch == '(') {
      ++depth;
    } else if (ch == ')' && depth > 0) {
      --depth;
    } else if (ch == ')') {
      close = p;
      TextRange last = Trim(start, p);
      if (emptyBeforeComma) {
        error = "missing operand before ','";
        return false;
      }
      if (last.begin == last.end) {
        error = parts.empty() ? "empty parentheses in operand" : "missing operand after ','";
        return false;
      }
      parts.push_back(last);
      return true;
    } else if (ch == ',' && depth == 0) {
      TextRange piece = Trim(start, p);
      if (piece.begin == piece.end) emptyBeforeComma = true;
      parts.push_back(piece);
      start = p + 1;
    }
    ++p;
  }
  error = "missing ')' in operand";
  return false;
}

[[gnu::always_inline]] inline bool ParseWholeExpression(TextRange range, ExprParser& parser, Expr& out, std::string& error) {
  Cursor c{range.begin, range.end};
  if (!ParseExpression(c, parser, out, error)) return false;
  if (!AtEndAfterSpace(c)) return Unexpected(c, error);
  return true;
}

// (d,An) (d,An,Xn) (An,Xn) (d,pc) (d,pc,Xn) (pc,Xn)
bool ParseParenthesized(TextRange whole, const std::vector<TextRange>& parts, ExprParser& parser,
                        Operand& out, std::string& error) {
  size_t next = 0;
  int baseReg = WholeRegister(parts[0]);
  if (baseReg == kRegNone) {
    if (!ParseWholeExpression(parts[0], parser, out.expr, error)) return false;
    next = 1;
  } else {
    out.expr = ConstantExpr(parser.pool, 0);
  }
  size_t remaining = parts.size() - next;
  if (remaining < 1 || remaining > 2) {
    error = "expected (displacement,An) or (displacement,An,Xn), not " +
            Excerpt(whole.begin, whole.end);
    return false;
  }
  if (next == 1) baseReg = WholeRegister(parts[1]);
  if (!SetBase(baseReg, remaining == 2, parts[next], out, error)) return false;
  if (remaining == 2) return ParseIndex(parts[next + 1], parser.machineIndex, out, error);
  return true;
}

// "(An)" "(An,Xn)" "(pc)" "(pc,Xn)" after a displacement.
[[gnu::always_inline]] inline bool ParseBaseSuffix(Cursor& c, uint8_t machineIndex, Operand& out, std::string& error) {
  if (ShortBaseAndIndex(c.p + 1, c.end, out)) return true;
  const char* close;
  static std::vector<TextRange> parts;  // kept: most operands pass through here
  if (!SplitParenthesized(c.p, c.end, parts, close, error)) return false;
  Cursor after{close + 1, c.end};
  if (!AtEndAfterSpace(after)) return Unexpected(after, error);
  if (parts.size() > 2) {
    error = "expected (An) or (An,Xn) after the displacement";
    return false;
  }
  int reg = WholeRegister(parts[0]);
  if (!SetBase(reg, parts.size() == 2, parts[0], out, error)) return false;
  if (parts.size() == 2) return ParseIndex(parts[1], machineIndex, out, error);
  return true;
}

// A register alone as an operand; false for pc, which is none alone.
bool SetRegisterOperand(int reg, Operand& out) {
  if (IsDataRegister(reg)) {
    out.kind = kOpDataReg;
    out.reg = static_cast<uint8_t>(reg);
  } else if (IsAddressRegister(reg)) {
    out.kind = kOpAddrReg;
    out.reg = static_cast<uint8_t>(reg - 8);
  } else if (reg == kRegSr) {
    out.kind = kOpSr;
  } else if (reg == kRegCcr) {
    out.kind = kOpCcr;
  } else if (reg == kRegUsp) {
    out.kind = kOpUsp;
  } else {
    return false;
  }
  return true;
}

// The commonest operands, read straight from their characters: a register
// alone, (An), (An)+ and -(An), written without blanks. False for anything
// else, which the general parse below reads (and words any error of).
[[gnu::always_inline]] inline bool ParseShortForm(TextRange text, Operand& out) {
  const char* p = text.begin;
  size_t size = static_cast<size_t>(text.end - text.begin);
  int reg = kRegNone;
  if (size == 2 || size == 3) {
    reg = RegisterFromName(std::string_view(p, size));
    if (reg == kRegNone || reg == kRegPc) return false;
    out = Operand();
    return SetRegisterOperand(reg, out);
  }
  OperandKind kind;
  if (size == 4 && p[0] == '(' && p[3] == ')') {
    reg = ShortRegister(p + 1);
    kind = kOpIndirect;
  } else if (size == 5 && p[0] == '(' && p[3] == ')' && p[4] == '+') {
    reg = ShortRegister(p + 1);
    kind = kOpPostInc;
  } else if (size == 5 && p[0] == '-' && p[1] == '(' && p[4] == ')') {
    reg = ShortRegister(p + 2);
    kind = kOpPreDec;
  } else {
    return false;
  }
  if (!IsAddressRegister(reg)) return false;
  out = Operand();
  out.kind = kind;
  out.reg = static_cast<uint8_t>(reg - 8);
  return true;
}

}  // namespace

bool SplitOperands(const char* begin, const char* end, std::vector<TextRange>& out,
                   std::string& error) {
  out.clear();
  TextRange all = Trim(begin, end);
  if (all.begin == all.end) return true;
  int depth = 0;
  const char* start = all.begin;
  for (const char* p = all.begin; p < all.end;) {
    char ch = *p;
    if (!(kChars.flags[static_cast<uint8_t>(ch)] & kCharInList)) {
      ++p;
      continue;
    }
    if (ch == '\'' || ch == '"') {
      p = SkipQuoted(p, all.end);
      continue;
    }
    if (ch == '(') ++depth;
    if (ch == ')') --depth;
    if (ch == ',' && depth == 0) {
      TextRange piece = Trim(start, p);
      if (piece.begin == piece.end) {
        error = "missing operand before ','";
        return false;
      }
      out.push_back(piece);
      start = p + 1;
    }
    ++p;
  }
  TextRange piece = Trim(start, all.end);
  if (piece.begin == piece.end) {
    error = "missing operand after ','";
    return false;
  }
  out.push_back(piece);
  return true;
}

TextRange WithRegisterEquates(TextRange text, ExprParser& parser) {
  static std::string written;  // a line is parsed at a time
  bool any = false;
  written.clear();
  const char* copied = text.begin;
  for (const char* p = text.begin; p < text.end;) {
    char c = *p;
    if (c == '\'' || c == '"') {
      p = SkipQuoted(p, text.end);
      continue;
    }
    // A name starts here unless it goes on from a name or a number ("x.w",
    // "$add"); "@" and a digit is an octal number.
    char before = p > text.begin ? p[-1] : ' ';
    if (!IsIdentStart(c) || IsIdentChar(before) || before == '.' || before == '$' ||
        before == '%' || before == '@' || (c == '@' && p + 1 < text.end && IsDigit(p[1]))) {
      ++p;
      continue;
    }
    Cursor name{p, text.end};
    std::string_view word = name.Identifier();
    const RegisterEquate* equate = word != "." ? FindRegisterEquate(parser, word) : nullptr;
    p = name.p;
    if (!equate) continue;
    written.append(copied, word.data());
    if (equate->reg >= 0) {
      written += RegisterName(equate->reg);
    } else {
      std::string list;
      for (int reg = 0; reg < 16; ++reg) {
        if (equate->mask & (1u << reg)) list += (list.empty() ? "" : "/") + RegisterName(reg);
      }
      written += list;
    }
    copied = p;
    any = true;
  }
  if (!any) return text;
  written.append(copied, text.end);
  return {written.data(), written.data() + written.size()};
}

bool ParseRegisterSet(TextRange text, ExprParser& parser, bool list, uint16_t& mask) {
  if (parser.registers) text = WithRegisterEquates(text, parser);
  TextRange trimmed = Trim(text.begin, text.end);
  int reg = WholeRegister(trimmed);
  if (IsDataRegister(reg) || IsAddressRegister(reg)) {
    mask = static_cast<uint16_t>(1u << reg);
    return true;
  }
  Cursor c{trimmed.begin, trimmed.end};
  Operand out;
  std::string error;
  if (!list || c.AtEnd() || !ParseRegisterList(c, out, error)) return false;
  mask = out.regMask;
  return true;
}

namespace {

// What a form's parser made of an operand: the operand, an error, or nothing
// when the text is another form after all (a parenthesized expression).
enum class FormParse : uint8_t { Done, Failed, NotThisForm };

// #expression
bool ParseImmediate(Cursor& c, ExprParser& parser, Operand& out, std::string& error) {
  out.kind = kOpImmediate;
  if (!ParseExpression(c, parser, out.expr, error)) return false;
  if (!AtEndAfterSpace(c)) return Unexpected(c, error);
  return true;
}

// A register `reg`, read up to `probe`, alone or starting a register list.
[[gnu::always_inline]] inline bool ParseRegisterForm(Cursor& c, Cursor& probe, int reg, Operand& out, std::string& error) {
  probe.SkipSpace();
  if (probe.AtEnd()) {
    if (SetRegisterOperand(reg, out)) return true;
    error = "pc alone is not an operand; write label(pc)";
    return false;
  }
  if ((probe.Peek() == '/' || probe.Peek() == '-') && reg <= 15) {
    return ParseRegisterList(c, out, error);
  }
  if (std::string_view("+*&|^<>%").find(probe.Peek()) != std::string_view::npos) {
    error = "register " + RegisterName(reg) + " cannot be used as a value here";
    return false;
  }
  if (probe.Peek() == '.') {
    error = "a size after " + RegisterName(reg) + " belongs only to an index register";
    return false;
  }
  return Unexpected(probe, error);
}

// -(Rn) at `c` (a '-'): its register, and `after` past the ')'. False for a
// negated expression.
[[gnu::always_inline]] inline bool IsPredecrement(const Cursor& c, int& reg, Cursor& after) {
  after = Cursor{c.p + 1, c.end};
  after.SkipSpace();
  if (!after.Match('(')) return false;
  after.SkipSpace();
  reg = PeekRegister(after);
  after.SkipSpace();
  return reg != kRegNone && after.Match(')');
}

// -(An)
bool ParsePredecrement(int reg, Cursor& after, Operand& out, std::string& error) {
  if (!AtEndAfterSpace(after)) return Unexpected(after, error);
  if (!IsAddressRegister(reg)) {
    error = "predecrement needs an address register, not " + RegisterName(reg);
    return false;
  }
  out.kind = kOpPreDec;
  out.reg = static_cast<uint8_t>(reg - 8);
  return true;
}

// A register alone in parentheses: (An), (An)+, or the error that says why
// the register can't stand there.
bool ParseRegisterInParentheses(int reg, Cursor& after, Operand& out, std::string& error) {
  if (IsAddressRegister(reg)) {
    out.reg = static_cast<uint8_t>(reg - 8);
    if (after.AtEnd()) {
      out.kind = kOpIndirect;
      return true;
    }
    if (after.Match('+') && AtEndAfterSpace(after)) {
      out.kind = kOpPostInc;
      return true;
    }
    return Unexpected(after, error);
  }
  if (IsDataRegister(reg)) {
    error = "(" + RegisterName(reg) +
            ") is not an addressing mode; memory is addressed through address registers";
  } else if (reg == kRegPc) {
    error = "(pc) needs a target; write label(pc)";
  } else {
    error = RegisterName(reg) + " cannot be used inside parentheses";
  }
  return false;
}

// The forms that begin with a parenthesis; a parenthesized expression is
// not one of them.
[[gnu::always_inline]] inline FormParse ParseParenthesisForm(TextRange text, Cursor& c,
                                                             ExprParser& parser, Operand& out,
                                                             std::string& error) {
  auto result = [](bool parsed) { return parsed ? FormParse::Done : FormParse::Failed; };
  const char* displacementEnd;
  if (c.p == text.begin && ShortDisplacementForm(text, out, displacementEnd)) {
    return result(
        ParseWholeExpression({text.begin + 1, displacementEnd}, parser, out.expr, error));
  }
  const char* close;
  static std::vector<TextRange> parts;  // kept: most operands pass through here
  if (!SplitParenthesized(c.p, c.end, parts, close, error)) return FormParse::Failed;
  Cursor after{close + 1, c.end};
  after.SkipSpace();
  if (parts.size() > 1) {
    if (!after.AtEnd()) return result(Unexpected(after, error));
    return result(ParseParenthesized(text, parts, parser, out, error));
  }
  int reg = WholeRegister(parts[0]);
  if (reg == kRegNone) return FormParse::NotThisForm;
  return result(ParseRegisterInParentheses(reg, after, out, error));
}

// expression, expression.w, expression.l, expression(An...), expression(pc...)
[[gnu::always_inline]] inline bool ParseExpressionForm(Cursor& c, ExprParser& parser, Operand& out,
                                                std::string& error) {
  if (!ParseExpression(c, parser, out.expr, error)) return false;
  c.SkipSpace();
  if (c.AtEnd()) {
    out.kind = kOpAbsolute;
    return true;
  }
  if (c.Peek() == '.') {
    const char* suffix = c.p;
    ++c.p;
    char size = ToLower(c.Peek());
    if ((size != 'w' && size != 'l') || IsIdentChar(c.Peek(1))) {
      error = "an absolute address is .w or .l, not " + Excerpt(suffix, c.end);
      return false;
    }
    ++c.p;
    if (!AtEndAfterSpace(c)) return Unexpected(c, error);
    out.kind = kOpAbsolute;
    out.absSize = size;
    return true;
  }
  if (c.Peek() == '(') return ParseBaseSuffix(c, parser.machineIndex, out, error);
  return Unexpected(c, error);
}

}  // namespace

namespace {

// The whole parse, in both its callers.
[[gnu::always_inline]] inline bool ParseOperandHere(TextRange text, ExprParser& parser,
                                                    Operand& out, std::string& error) {
  if (ParseShortForm(text, out)) return true;
  out = Operand();
  Cursor c{text.begin, text.end};
  c.SkipSpace();
  if (c.Match('#')) return ParseImmediate(c, parser, out, error);
  Cursor probe = c;
  int reg = PeekRegister(probe);
  if (reg != kRegNone) return ParseRegisterForm(c, probe, reg, out, error);
  Cursor after = c;
  if (c.Peek() == '-' && IsPredecrement(c, reg, after)) {
    return ParsePredecrement(reg, after, out, error);
  }
  if (c.Peek() == '(') {
    FormParse parsed = ParseParenthesisForm(text, c, parser, out, error);
    if (parsed != FormParse::NotThisForm) return parsed == FormParse::Done;
  }
  return ParseExpressionForm(c, parser, out, error);
}

}  // namespace

bool ParseOperand(TextRange text, ExprParser& parser, Operand& out, std::string& error) {
  return ParseOperandHere(text, parser, out, error);
}

bool ParseOperandApart(TextRange text, ExprParser& parser, Operand& out, std::string& error) {
  return ParseOperandHere(text, parser, out, error);
}

std::string_view OperandKindName(OperandKind kind) {
  switch (kind) {
    case kOpDataReg:
      return "a data register";
    case kOpAddrReg:
      return "an address register";
    case kOpIndirect:
      return "(An)";
    case kOpPostInc:
      return "(An)+";
    case kOpPreDec:
      return "-(An)";
    case kOpDisp:
      return "d16(An)";
    case kOpIndex:
      return "d8(An,Xn)";
    case kOpAbsolute:
      return "an absolute address";
    case kOpPcDisp:
      return "d16(pc)";
    case kOpPcIndex:
      return "d8(pc,Xn)";
    case kOpImmediate:
      return "an immediate value";
    case kOpSr:
      return "sr";
    case kOpCcr:
      return "ccr";
    case kOpUsp:
      return "usp";
    case kOpRegList:
      return "a register list";
    case kOpFull:
      return "(bd,An,Xn)";
    case kOpPcFull:
      return "(bd,pc,Xn)";
    case kOpRegPair:
      return "a register pair";
    case kOpIndPair:
      return "(Rn):(Rn)";
    case kOpBitField:
      return "a bit field";
    case kOpMmuReg:
      return "an MMU register";
    case kOpCache:
      return "a cache";
    case kOpFpReg:
      return "a floating-point register";
    case kOpFpList:
      return "a floating-point register list";
    case kOpFpCtrl:
      return "an FPU control register";
    case kOpFpPair:
      return "a register pair fpc:fps";
    default:
      return "this operand";
  }
}

}  // namespace asm68k
