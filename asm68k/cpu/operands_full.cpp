// The operands the 68000's parse leaves: register pairs (d1:d0, (a0):(a1)),
// bit fields ({offset:width}) and the 68020's full extension word, with its
// base and outer displacements, suppressed registers and memory
// indirection. Read only after the common parse refused an operand, so a
// 68000 source pays nothing for them.

#include "operands.h"

#include <vector>

namespace asm68k {

namespace {

// A data or address register (0-15), written alone in `text`; kRegNone else.
int GeneralRegister(TextRange text) {
  text = Trimmed(text);
  int reg =
      RegisterFromName(std::string_view(text.begin, static_cast<size_t>(text.end - text.begin)));
  return reg >= 0 && reg <= 15 ? reg : kRegNone;
}

// Rn:Rn, and (Rn):(Rn) with `indirect`.
bool ParsePair(TextRange text, bool indirect, Operand& out) {
  const char* colon = text.begin;
  while (colon < text.end && *colon != ':') ++colon;
  if (colon == text.end) return false;
  TextRange first = Trimmed({text.begin, colon}), second = Trimmed({colon + 1, text.end});
  if (indirect) {
    auto inside = [](TextRange& part) {
      if (part.end - part.begin < 2 || *part.begin != '(' || part.end[-1] != ')') return false;
      part = {part.begin + 1, part.end - 1};
      return true;
    };
    if (!inside(first) || !inside(second)) return false;
  }
  int high = GeneralRegister(first), low = GeneralRegister(second);
  if (high == kRegNone || low == kRegNone) return false;
  out = Operand();
  out.kind = indirect ? kOpIndPair : kOpRegPair;
  out.reg = static_cast<uint8_t>(high);
  out.indexReg = static_cast<uint8_t>(low);
  return true;
}

// A register that the full extension word names: d0-a7, pc, and the
// suppressed ones za0-za7, zd0-zd7 (zsp as za7) and zpc.
struct FullRegister {
  int reg = kRegNone;  // 0-15, or kRegPc
  bool suppressed = false;
  bool sized = false;  // written with .w or .l, or scaled: only an index is
  bool isLong = false;
  uint8_t scale = 0;
};

// False when `text` is no register; with `failed` set when it is one
// written wrongly (a scale the processor lacks).
bool ReadFullRegister(TextRange text, uint16_t machine, FullRegister& out, bool& failed) {
  text = Trimmed(text);
  Cursor c{text.begin, text.end};
  if (!IsIdentStart(c.Peek())) return false;
  std::string_view word = c.Word();
  if (word.size() >= 3 && ToLower(word[0]) == 'z') {
    int reg = RegisterFromName(word.substr(1));
    if (reg == kRegNone || (reg > 15 && reg != kRegPc)) return false;
    out.reg = reg;
    out.suppressed = true;
  } else {
    out.reg = RegisterFromName(word);
    if (out.reg == kRegNone || (out.reg > 15 && out.reg != kRegPc)) return false;
  }
  c.SkipSpace();
  if (c.Match('.')) {
    char size = ToLower(c.Peek());
    if ((size != 'w' && size != 'l') || IsIdentChar(c.Peek(1))) return false;
    ++c.p;
    out.sized = true;
    out.isLong = size == 'l';
    c.SkipSpace();
  }
  if (c.Match('*')) {
    if (!(machine & kScaledIndexMachines)) {
      // The common parse has said so in its words.
      failed = true;
      return false;
    }
    c.SkipSpace();
    char digit = c.AtEnd() ? '\0' : *c.p++;
    if (digit != '1' && digit != '2' && digit != '4' && digit != '8') return false;
    out.scale = digit == '1' ? 0 : digit == '2' ? 1 : digit == '4' ? 2 : 3;
    out.sized = true;
    c.SkipSpace();
  }
  return c.AtEnd() && (!out.sized || out.reg != kRegPc);
}

// The elements of a list, split at the commas outside brackets and quotes;
// a bracketed group is one element. False when the text is not that.
bool SplitElements(TextRange text, std::vector<TextRange>& parts) {
  parts.clear();
  int depth = 0;
  const char* start = text.begin;
  for (const char* p = text.begin; p < text.end;) {
    char ch = *p;
    if (ch == '\'' || ch == '"') {
      p = SkipQuoted(p, text.end);
      continue;
    }
    if (ch == '(' || ch == '[') ++depth;
    if (ch == ')' || ch == ']') --depth;
    if (depth < 0) return false;
    if (ch == ',' && depth == 0) {
      parts.push_back(Trimmed({start, p}));
      start = p + 1;
    }
    ++p;
  }
  if (depth != 0) return false;
  parts.push_back(Trimmed({start, text.end}));
  for (const TextRange& part : parts) {
    if (part.begin == part.end) return false;
  }
  return true;
}

// A displacement: an expression, maybe sized .w or .l.
bool ParseDisplacement(TextRange text, ExprParser& parser, Expr& expr, char& size,
                       std::string& error) {
  Cursor c{text.begin, text.end};
  if (!ParseExpression(c, parser, expr, error)) return false;
  c.SkipSpace();
  size = 0;
  if (c.Match('.')) {
    char letter = ToLower(c.Peek());
    if ((letter != 'w' && letter != 'l') || IsIdentChar(c.Peek(1))) {
      error = "a displacement is .w or .l, not " + Excerpt(c.p - 1, c.end);
      return false;
    }
    ++c.p;
    size = letter;
    c.SkipSpace();
  }
  if (!c.AtEnd()) {
    error = "unexpected " + Excerpt(c.p, c.end) + " in operand";
    return false;
  }
  return true;
}

// What a full-format operand holds while it is read.
struct FullParts {
  bool hasBase = false, hasIndex = false;
  bool memory = false, preIndexed = false;
  FullRegister base, index;
  TextRange bd{nullptr, nullptr}, od{nullptr, nullptr};
};

// The elements of one list (inside the brackets, or the whole operand
// without them): a displacement (first, where `displacement` may be set),
// then the base, then the index. Of two registers the first is the base;
// one alone is the base when it is an unsized address register or pc
// (suppressed or not), else the index. `indexHere` is set when the list
// holds the index.
bool ReadElements(const std::vector<TextRange>& parts, TextRange* displacement, uint16_t machine,
                  FullParts& full, bool& indexHere, bool& failed) {
  FullRegister regs[2];
  size_t count = 0;
  indexHere = false;
  for (size_t i = 0; i < parts.size(); ++i) {
    FullRegister reg;
    if (ReadFullRegister(parts[i], machine, reg, failed)) {
      if (count == 2) return false;
      regs[count++] = reg;
      continue;
    }
    if (failed || !displacement || i != 0) return false;
    *displacement = parts[i];
  }
  auto canBase = [](const FullRegister& reg) {
    return !reg.sized && (reg.reg == kRegPc || reg.reg >= 8);
  };
  if (count == 2 && !canBase(regs[0])) return false;
  if (count == 0) return true;
  const FullRegister& last = regs[count - 1];
  if (count == 1 && canBase(last)) {
    full.base = last;
    full.hasBase = true;
    return true;
  }
  if (count == 2) {
    full.base = regs[0];
    full.hasBase = true;
  }
  if (last.reg == kRegPc) return false;
  full.index = last;
  full.hasIndex = true;
  indexHere = true;
  return true;
}

// (bd,An,Xn), ([bd,An,Xn],od), ([bd,An],Xn,od) with any part left out,
// and bd(An,Xn) with its displacement in front.
bool SplitFull(TextRange text, uint16_t machine, FullParts& full, bool& failed) {
  const char* open = text.begin;
  while (open < text.end && *open != '(') ++open;
  if (open == text.end || text.end[-1] != ')') return false;
  TextRange prefix = Trimmed({text.begin, open});
  static std::vector<TextRange> parts, inside;  // a line is parsed at a time
  if (open + 1 == text.end - 1 || !SplitElements({open + 1, text.end - 1}, parts)) return false;
  if (*parts[0].begin == '[') {
    if (prefix.begin != prefix.end || parts[0].end[-1] != ']') return false;
    full.memory = true;
    if (parts[0].end - parts[0].begin < 3 ||
        !SplitElements({parts[0].begin + 1, parts[0].end - 1}, inside)) {
      return false;
    }
    bool indexInside = false;
    if (!ReadElements(inside, &full.bd, machine, full, indexInside, failed)) return false;
    full.preIndexed = indexInside;
    size_t next = 1;
    // After the brackets: the index (post-indexed), then the outer displacement.
    if (next < parts.size()) {
      FullRegister reg;
      if (ReadFullRegister(parts[next], machine, reg, failed)) {
        if (indexInside || reg.reg == kRegPc) return false;
        full.index = reg;
        full.hasIndex = true;
        ++next;
      } else if (failed) {
        return false;
      }
    }
    if (next < parts.size()) full.od = parts[next++];
    return next == parts.size();
  }
  bool indexHere = false;
  if (!ReadElements(parts, prefix.begin == prefix.end ? &full.bd : nullptr, machine, full,
                    indexHere, failed)) {
    return false;
  }
  if (prefix.begin != prefix.end) full.bd = prefix;
  return true;
}

bool Sized(TextRange text) {
  return text.begin && text.end - text.begin > 2 && text.end[-2] == '.' &&
         (ToLower(text.end[-1]) == 'w' || ToLower(text.end[-1]) == 'l');
}

// Whether the operand uses what only the full extension word has, written
// out: brackets, a suppressed register, a sized displacement. Without
// these, an operand the 68000's parse refused keeps that parse's message
// on a processor without the full word ((d0) is a mistake there).
bool WrittenAsFull(const FullParts& full) {
  return full.memory || (full.hasBase && full.base.suppressed) ||
         (full.hasIndex && full.index.suppressed) || Sized(full.bd);
}

// The name of the form, for the message that says which processor has it.
const char* FullFormName(const FullParts& full) {
  if (!full.memory) return "(bd,An,Xn)";
  if (!full.hasIndex) return "([bd,An],od)";
  return full.preIndexed ? "([bd,An,Xn],od)" : "([bd,An],Xn,od)";
}

// The two expressions of a full-format operand or a bit field in one:
// a constant node that counts the first's nodes, then them, then the
// second's (FirstOfTwo, SecondOfTwo).
Expr TwoExpressions(ExprPool& pool, uint32_t header, uint32_t firstCount) {
  pool.nodes[header].value = static_cast<int32_t>(firstCount);
  return {header, static_cast<uint32_t>(pool.nodes.size()) - header};
}

bool BuildFull(const FullParts& full, ExprParser& parser, Operand& out, std::string& error) {
  out = Operand();
  const bool pc = full.hasBase && full.base.reg == kRegPc;
  out.kind = pc ? kOpPcFull : kOpFull;
  uint16_t features = 0;
  if (!full.hasBase || full.base.suppressed) features |= kFullBaseSuppressed;
  if (full.hasBase && !pc) out.reg = static_cast<uint8_t>(full.base.reg - 8);
  if (!full.hasIndex || full.index.suppressed) {
    features |= kFullIndexSuppressed;
  } else {
    out.indexReg = static_cast<uint8_t>(full.index.reg | full.index.scale << 4);
    out.indexLong = full.index.isLong;
  }
  if (full.memory) {
    features |= (full.preIndexed || !full.hasIndex) ? kFullPreIndexed : kFullPostIndexed;
  }
  ExprPool& pool = parser.pool;
  const uint32_t header = ConstantExpr(pool, 0).first;
  uint32_t bdCount = 0;
  if (full.bd.begin) {
    Expr bd;
    if (!ParseDisplacement(full.bd, parser, bd, out.absSize, error)) return false;
    bdCount = bd.count;
    if (bd.first != header + 1) {
      error = "internal: a displacement's nodes are apart";
      return false;
    }
  }
  if (full.od.begin) {
    Expr od;
    char size = 0;
    if (!ParseDisplacement(full.od, parser, od, size, error)) return false;
    if (size == 'w') features |= kFullOdWord;
    if (size == 'l') features |= kFullOdLong;
  }
  out.expr = TwoExpressions(pool, header, bdCount);
  out.regMask = features;
  // A word displacement on a base register alone is d16(An) or d16(pc),
  // which holds it (its size kept in absSize, so that it stays a word).
  if (!full.memory && full.hasBase && !full.base.suppressed && !full.hasIndex &&
      out.absSize == 'w') {
    out.kind = pc ? kOpPcDisp : kOpDisp;
    out.regMask = 0;
    out.expr = FirstOfTwo(pool, out.expr);
  }
  return true;
}

}  // namespace

Expr FirstOfTwo(const ExprPool& pool, Expr expr) {
  return {expr.first + 1, static_cast<uint32_t>(pool.nodes[expr.first].value)};
}

Expr SecondOfTwo(const ExprPool& pool, Expr expr) {
  uint32_t first = static_cast<uint32_t>(pool.nodes[expr.first].value);
  return {expr.first + 1 + first, expr.count - 1 - first};
}

bool ParseLaterOperand(TextRange text, ExprParser& parser, Operand& out, std::string& error) {
  text = Trimmed(text);
  if (text.begin == text.end) return false;
  const uint16_t machine = MachineOfIndex(parser.machineIndex);
  if ((*text.begin != '(' && *text.begin != '-' && ParsePair(text, false, out)) ||
      (*text.begin == '(' && ParsePair(text, true, out))) {
    error.clear();
    return true;
  }
  FullParts full;
  bool failed = false;
  if (!SplitFull(text, machine, full, failed)) return false;
  if (!(machine & kFullFormatMachines)) {
    if (WrittenAsFull(full)) {
      error = std::string(FullFormName(full)) + " needs " +
              MachinesNeeded(kFullFormatMachines, machine);
    }
    return false;
  }
  std::string parseError;
  if (!BuildFull(full, parser, out, parseError)) {
    error = parseError;
    return false;
  }
  error.clear();  // the common parse's, which this one answers
  return true;
}

bool ParseBitField(TextRange text, ExprParser& parser, Operand& out, std::string& error) {
  text = Trimmed(text);
  const char* colon = text.begin;
  while (colon < text.end && *colon != ':') ++colon;
  if (text.end - text.begin < 2 || *text.begin != '{' || text.end[-1] != '}' ||
      colon == text.end) {
    error = "a bit field is {offset:width}, not " + Excerpt(text.begin, text.end);
    return false;
  }
  out = Operand();
  out.kind = kOpBitField;
  ExprPool& pool = parser.pool;
  const uint32_t header = ConstantExpr(pool, 0).first;
  uint32_t offsetCount = 0;
  const TextRange parts[2] = {Trimmed({text.begin + 1, colon}), Trimmed({colon + 1, text.end - 1})};
  for (int i = 0; i < 2; ++i) {
    int reg = GeneralRegister(parts[i]);
    if (reg >= 0 && reg < 8) {
      if (i == 0) {
        out.reg = static_cast<uint8_t>(reg);
        out.regMask |= kFieldOffsetRegister;
      } else {
        out.indexReg = static_cast<uint8_t>(reg);
        out.regMask |= kFieldWidthRegister;
      }
      continue;
    }
    Cursor c{parts[i].begin, parts[i].end};
    Expr value;
    if (parts[i].begin == parts[i].end || !ParseExpression(c, parser, value, error)) {
      if (error.empty()) {
        error = "a bit field is {offset:width}, not " + Excerpt(text.begin, text.end);
      }
      return false;
    }
    c.SkipSpace();
    if (!c.AtEnd()) {
      error = "a bit field's offset and width are numbers or data registers, not " +
              Excerpt(parts[i].begin, parts[i].end);
      return false;
    }
    if (i == 0) offsetCount = value.count;
  }
  out.expr = TwoExpressions(pool, header, offsetCount);
  return true;
}

void SplitBitFields(std::vector<TextRange>& pieces) {
  for (size_t i = 0; i < pieces.size(); ++i) {
    TextRange piece = pieces[i];
    if (piece.end - piece.begin < 3 || piece.end[-1] != '}') continue;
    const char* open = piece.end - 1;
    while (open > piece.begin && *open != '{') --open;
    if (open == piece.begin || *open != '{') continue;
    pieces[i] = Trimmed({piece.begin, open});
    pieces.insert(pieces.begin() + static_cast<long>(i) + 1, TextRange{open, piece.end});
    ++i;
  }
}

}  // namespace asm68k
