#include "directive_families.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "directive_support.h"
#include "layout.h"
#include "encoder.h"

namespace asm68k {

namespace {

bool CheckDataValue(PassState& state, const EvalResult& r, uint8_t size, std::string_view directive) {
  if (!r.valid) return true;
  if (size == kSizeB && (r.value < -128 || r.value > 255)) {
    PassError(state, SizedName(directive, size) + " value " + std::to_string(r.value) +
                         " does not fit in a byte (-128..255)");
    return false;
  }
  if (size == kSizeW && (r.value < -32768 || r.value > 65535)) {
    PassError(state, SizedName(directive, size) + " value " + std::to_string(r.value) +
                         " does not fit in a word (-32768..65535)");
    return false;
  }
  return true;
}

int StoreBigEndian(uint8_t* out, int32_t value, uint32_t unit) {
  uint32_t v = static_cast<uint32_t>(value);
  for (uint32_t i = 0; i < unit; ++i) out[i] = static_cast<uint8_t>(v >> (8 * (unit - 1 - i)));
  return static_cast<int>(unit);
}

// ds and dcb reserve count*unit bytes; anything over the image limit is
// refused: dcb's bytes are held (16 MiB), ds's zeros at the image's end
// are not (2 GiB).
bool CheckBlockSize(PassState& state, const EvalResult& count, uint8_t size, std::string_view directive,
                    uint64_t& bytes) {
  const bool held = directive != "ds";
  bytes = 0;
  if (!count.valid) return false;
  if (count.value < 0) {
    PassError(state, SizedName(directive, size) + " count cannot be negative (" +
                         std::to_string(count.value) + ")");
    return false;
  }
  bytes = static_cast<uint64_t>(count.value) * UnitBytes(size);
  if (bytes > (held ? kMaxImageSize : kMaxImageLength)) {
    PassError(state, SizedName(directive, size) + " of " + std::to_string(count.value) +
                         (held ? " would make the image larger than 16 MiB"
                               : " would make the image longer than 2 GiB"));
    bytes = 0;
    return false;
  }
  return true;
}
}  // namespace

// dc items: expressions, and in dc.b whole strings, which give their bytes.
bool ParseDc(DirectiveParse& p, std::string& error) {
  // Kept: data lines are common, and a heap allocation costs more on
  // Windows than the rest of a short line's parse.
  static std::vector<TextRange> items;
  if (!SplitOperands(p.operands.begin, p.operands.end, items, error)) return false;
  const std::string name = SizedName("dc", p.size);
  if (items.empty()) {
    error = name + " needs at least one value";
    return false;
  }
  if (items.size() > kMaxItems) {
    error = name + " has more than " + std::to_string(kMaxItems) + " values on one line";
    return false;
  }
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = static_cast<uint16_t>(items.size());
  std::string text;
  for (const TextRange& item : items) {
    Operand operand;
    if (*item.begin == '\'' || *item.begin == '"') {
      text.clear();
      Cursor after{item.begin, item.end};
      if (!ReadQuoted(after, text)) {
        error = "unterminated string";
        return false;
      }
      after.SkipSpace();
      // In dc.w and dc.l a string longer than one unit gives its characters,
      // padded with zeros to a whole unit; a shorter one is a number.
      if (after.AtEnd() && (p.size == kSizeB || text.size() > UnitBytes(p.size))) {
        p.store.operands.push_back(TextOperand(p.store, text));
        continue;
      }
    }
    operand.kind = kOpValue;
    if (!ParseValue(item, p.parser, name, operand.expr, error)) return false;
    p.store.operands.push_back(operand);
  }
  return true;
}
// equ, set and =: the label field names the symbol.
bool ParseAssignment(DirectiveParse& p, std::string& error) {
  if (p.label.empty()) {
    error = std::string(p.name) + " needs a name in the label field";
    return false;
  }
  return ParseExpressions(p, 1, 1, p.name, error);
}

bool ParseDs(DirectiveParse& p, std::string& error) {
  return ParseExpressions(p, 1, 1, SizedName("ds", p.size), error);
}

bool ParseRorg(DirectiveParse& p, std::string& error) {
  return ParseExpressions(p, 1, 2, p.name, error);
}

bool ParseDcb(DirectiveParse& p, std::string& error) {
  return ParseExpressions(p, 1, 2, SizedName(p.name, p.size), error);
}

void RunOrg(PassState& state, const Statement& statement) {
  const Operand* ops = StatementOperands(state, statement);
  EvalResult r = EvaluateExpr(state, ops[0].expr);
  LeaveOffset(state);
  LeaveObj(state);
  // org may go anywhere, backwards too; two lines placing bytes at one
  // address are reported when the pass ends.
  state.location = static_cast<uint32_t>(r.value);
  state.locationKnown = r.valid && r.known;
  state.labelsAbove.clear();
  StartRun(state);
}

namespace {

void Assign(PassState& state, const Statement& statement, SymbolKind kind) {
  const Expr expr = StatementOperands(state, statement)[0].expr;
  EvalResult r = EvaluateExpr(state, expr);
  // After an error that says why, it keeps a value (0), so that its uses
  // say nothing more; with a value only further down (the first pass), none.
  bool hasValue = r.valid || r.problem != EvalProblem::None;
  DefineSymbol(state, statement.label, kind, r.value, r.known && r.valid, r.section, hasValue);
  NoteGrounding(state, statement.label, r.grounded, state.store->expressions, expr);
}

// An equ whose expression names a symbol that is undefined, or has no
// value, gets no value, and that is an error only where it is used: the
// Sega CD sources define equates of names they never define, and never use
// them (GA_COM_FLAGS EQU GA_BASE+gaFlags). One that names an undefined
// symbol is warned at its line; one that leads back to itself is an error
// at the run's end (see ReportSelfDefined).
[[gnu::noinline]] void KeepEquateWithoutValue(PassState& state, const Statement& statement,
                                          const EvalResult& r) {
  const uint32_t symbol = static_cast<uint32_t>(statement.label);
  EquateWithoutValue& equate = state.assembly->equatesWithoutValue[symbol];
  equate.file = state.file;
  equate.line = state.line;
  equate.cause = r.problem != EvalProblem::None ? static_cast<int64_t>(r.symbol) : r.laterSymbol;
  if (r.problem == EvalProblem::Undefined) PassWarning(state, NoValueText(state, symbol, true));
}

}  // namespace

void RunEqu(PassState& state, const Statement& statement) {
  // The command line's /e equates are read as written: a name there that
  // is undefined is an error.
  if (statement.label < 0 || IsCommandLineFile(*state.assembly, state.file)) {
    Assign(state, statement, SymbolKind::Equ);
    return;
  }
  const Expr expr = StatementOperands(state, statement)[0].expr;
  EvalResult r = EvaluateEquate(state, expr);
  bool hasValue = r.valid || r.problem == EvalProblem::DivideByZero;
  if (!hasValue) KeepEquateWithoutValue(state, statement, r);
  DefineSymbol(state, statement.label, SymbolKind::Equ, r.value, r.known && r.valid, r.section,
               hasValue);
  NoteGrounding(state, statement.label, r.grounded, state.store->expressions, expr);
}
void RunSet(PassState& state, const Statement& statement) { Assign(state, statement, SymbolKind::Set); }

void RunDc(PassState& state, const Statement& statement) {
  if (!PlacesBytes(state, SizedName("dc", statement.size))) return;
  if (!CountTerms(state, statement.operandCount)) return;
  const Operand* ops = StatementOperands(state, statement);
  const uint64_t start = state.location;
  uint32_t unit = UnitBytes(statement.size);
  uint8_t buffer[256];
  int used = 0;
  for (uint16_t i = 0; i < statement.operandCount; ++i) {
    const Operand& item = ops[i];
    if (item.kind == kOpBytes) {
      EmitBytes(state, buffer, static_cast<uint64_t>(used));
      used = 0;
      EmitBytes(state, state.store->bytes.data() + item.expr.first, item.expr.count);
      EmitBytes(state, nullptr, (unit - item.expr.count % unit) % unit);
      continue;
    }
    // '*' is the address of the statement, whichever item it is in.
    uint64_t here = state.location;
    state.location = start;
    EvalResult r = EvaluateExpr(state, item.expr);
    state.location = here;
    CheckDataValue(state, r, statement.size, "dc");
    if (used + 4 > static_cast<int>(sizeof(buffer))) {
      EmitBytes(state, buffer, static_cast<uint64_t>(used));
      used = 0;
    }
    used += StoreBigEndian(buffer + used, r.value, unit);
  }
  EmitBytes(state, buffer, static_cast<uint64_t>(used));
}

void RunDs(PassState& state, const Statement& statement) {
  EvalResult count = EvaluateExpr(state, StatementOperands(state, statement)[0].expr);
  uint64_t bytes;
  CheckBlockSize(state, count, statement.size, "ds", bytes);
  ReserveSpace(state, bytes);
  if (!count.known) state.locationKnown = false;
}

void RunDcb(PassState& state, const Statement& statement) {
  std::string_view name = DirectiveAt(statement.form).name;  // dcb or blk
  if (!PlacesBytes(state, SizedName(name, statement.size))) return;
  const Operand* ops = StatementOperands(state, statement);
  EvalResult count = EvaluateExpr(state, ops[0].expr);
  EvalResult value;
  if (statement.operandCount > 1) {
    value = EvaluateExpr(state, ops[1].expr);
    CheckDataValue(state, value, statement.size, name);
  }
  uint64_t bytes;
  if (CheckBlockSize(state, count, statement.size, name, bytes) && bytes > 0) {
    // Filled where it lands, by doubling copies: no second block, and no
    // work at all once the image is over its limit.
    uint32_t unit = UnitBytes(statement.size);
    if (uint8_t* block = EmitBytes(state, nullptr, bytes)) {
      StoreBigEndian(block, value.value, unit);
      for (uint64_t filled = unit; filled < bytes; filled *= 2) {
        std::memcpy(block + filled, block, static_cast<size_t>(std::min(filled, bytes - filled)));
      }
    }
  }
  if (!count.known) state.locationKnown = false;
}

// obj ADDR ... objend: code assembled for another address (copied there to
// run), its labels taking that address; its bytes go where it stands.
void RunObj(PassState& state, const Statement& statement) {
  EvalResult r = EvaluateExpr(state, StatementOperands(state, statement)[0].expr);
  state.inObj = true;  // also after an error, so that its objend still matches it
  state.objOffset = KnownWhereRead(state, "obj", r)
                        ? static_cast<uint32_t>(r.value) - static_cast<uint32_t>(state.location)
                        : 0;
  state.labelsAbove.clear();
  // Its addresses are another block's: the sizes optimisations choose in it
  // are measured apart from the lines around it.
  if (!state.inOffset) StartRun(state);
}

void RunObjEnd(PassState& state, const Statement&) {
  if (!state.inObj) {
    PassError(state, "objend without obj");
    return;
  }
  LeaveObj(state);
  state.labelsAbove.clear();
  if (!state.inOffset) StartRun(state);
}

// rorg OFFSET[,FILL]: on to OFFSET past the start of the section, the bytes
// between filled with FILL (0 when left out).
void RunRorg(PassState& state, const Statement& statement) {
  const Operand* ops = StatementOperands(state, statement);
  EvalResult offset = EvaluateExpr(state, ops[0].expr);
  EvalResult fill;
  if (statement.operandCount > 1) {
    fill = EvaluateExpr(state, ops[1].expr);
    if (fill.valid && (fill.value < -128 || fill.value > 255)) {
      PassError(state, "rorg fills with a byte (-128..255), not " + std::to_string(fill.value));
      return;
    }
  }
  if (!offset.valid || !fill.valid) return;
  if (state.inOffset) {
    PassError(state, "rorg moves within a section, not in an offset block");
    return;
  }
  const Section& section = state.sections[state.section];
  if (!offset.known || !section.baseKnown) state.locationKnown = false;
  uint64_t target = section.base + static_cast<uint32_t>(offset.value);
  if (target < state.location) {
    if (state.locationKnown) {
      PassError(state, "rorg " + Hex(static_cast<uint32_t>(offset.value)) + " is behind " +
                           HexAddress(state.location - section.base) +
                           ", where the section has got to: rorg only moves on");
    }
    return;
  }
  uint64_t count = target - state.location;
  if (uint8_t* block = EmitBytes(state, nullptr, count)) {
    std::memset(block, static_cast<uint8_t>(fill.value), static_cast<size_t>(count));
  }
}

void RunEven(PassState& state, const Statement&) {
  if (state.location & 1) Pad(state, 1);
}

void RunCnop(PassState& state, const Statement& statement) {
  const Operand* ops = StatementOperands(state, statement);
  EvalResult offset = EvaluateExpr(state, ops[0].expr);
  EvalResult align = EvaluateExpr(state, ops[1].expr);
  if (!offset.known || !align.known) state.locationKnown = false;
  if (!offset.valid || !align.valid) return;
  // Up to 2 GiB ($80000000, negative in 32 bits): a disc image padded to its size.
  const uint32_t alignment = static_cast<uint32_t>(align.value);
  if (alignment < 1 || alignment > kMaxImageLength) {
    PassError(state, "cnop alignment must be 1 to 2 GiB ($80000000), not " +
                         std::to_string(align.value));
    return;
  }
  if (offset.value < 0) {
    PassError(state, "cnop offset cannot be negative (" + std::to_string(offset.value) + ")");
    return;
  }
  // The next address at or after this one that is `offset` past a multiple of `align`.
  uint64_t a = alignment;
  uint64_t pad = (static_cast<uint64_t>(offset.value) % a + a - state.location % a) % a;
  Pad(state, pad);
}

// The simulator's halt: two words of $FFFF.
void RunSimhalt(PassState& state, const Statement&) {
  static const uint8_t kHalt[] = {0xFF, 0xFF, 0xFF, 0xFF};
  if (PlacesBytes(state, "simhalt")) EmitBytes(state, kHalt, sizeof(kHalt));
}

// section NAME[,TYPE[,MEMORY]]: the type is code (or text), data or bss, with
// any _c, _f or _p memory suffix; without one, a name that is a type names it.
bool ParseSection(DirectiveParse& p, std::string& error) {
  std::vector<TextRange> items;
  if (!SplitOperands(p.operands.begin, p.operands.end, items, error)) return false;
  std::string name;
  if (items.empty() || items.size() > 3 || !ParseFileName(items[0], name, error)) {
    error = "section needs a name, and may have a type: section NAME[,code|data|bss]";
    return false;
  }
  std::string type = ToLowerCopy(items.size() > 1 ? std::string_view(items[1].begin,
                                                                     static_cast<size_t>(items[1].end - items[1].begin))
                                                  : std::string_view(name));
  for (const char* suffix : {"_c", "_f", "_p"}) {
    if (type.size() > 2 && type.compare(type.size() - 2, 2, suffix) == 0) type.resize(type.size() - 2);
  }
  SectionKind kind = SectionKind::Code;
  if (type == "data") {
    kind = SectionKind::Data;
  } else if (type == "bss") {
    kind = SectionKind::Bss;
  } else if (items.size() > 1 && type != "code" && type != "text") {
    error = "unknown section type '" + type + "': use code, data or bss";
    return false;
  }
  p.statement.size = static_cast<uint8_t>(kind);
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = 1;
  p.store.operands.push_back(TextOperand(p.store, ToLowerCopy(name)));
  return true;
}

// code, text, data and bss: short for a section of that name and type.
bool ParseNamedSection(DirectiveParse& p, std::string&) {
  std::string_view name = p.name == "text" ? std::string_view("code") : p.name;
  p.statement.size = static_cast<uint8_t>(name == "data"  ? SectionKind::Data
                                          : name == "bss" ? SectionKind::Bss
                                                          : SectionKind::Code);
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = 1;
  p.store.operands.push_back(TextOperand(p.store, name));
  return true;
}

void RunSection(PassState& state, const Statement& statement) {
  std::string name(OperandText(*state.store, StatementOperands(state, statement)[0]));
  EnterSection(state, name, static_cast<SectionKind>(statement.size));
}

bool ParseOffset(DirectiveParse& p, std::string& error) {
  return ParseExpressions(p, 0, 1, p.name, error);
}

void RunOffset(PassState& state, const Statement& statement) {
  EvalResult start;
  start.value = 0;
  if (statement.operandCount > 0) start = EvaluateExpr(state, StatementOperands(state, statement)[0].expr);
  EnterOffset(state, static_cast<uint32_t>(start.value), start.valid && start.known);
}

namespace {

// The rs counter lives in the symbol __RS, set like a set symbol.
Symbol& RsCounter(PassState& state) {
  return state.assembly->symbols.symbols[state.assembly->rsCounter];
}

}  // namespace

namespace {

void SetRsCounter(PassState& state, int32_t value, bool known) {
  DefineSymbol(state, static_cast<int32_t>(state.assembly->rsCounter), SymbolKind::Set, value,
               known);
}

}  // namespace

void RunRsReset(PassState& state, const Statement&) { SetRsCounter(state, 0, true); }

void RunRsSet(PassState& state, const Statement& statement) {
  EvalResult r = EvaluateExpr(state, StatementOperands(state, statement)[0].expr);
  SetRsCounter(state, r.value, r.valid && r.known);
}

// NAME rs.w COUNT: NAME is the counter (made even first for .w and .l), and
// the counter moves by COUNT units.
void RunRs(PassState& state, const Statement& statement) {
  EvalResult count = EvaluateExpr(state, StatementOperands(state, statement)[0].expr);
  Symbol& counter = RsCounter(state);
  uint32_t value = static_cast<uint32_t>(counter.value);
  bool known = counter.known && count.valid && count.known;
  if (statement.size != kSizeB && (value & 1)) ++value;
  DefineSymbol(state, statement.label, SymbolKind::Equ, static_cast<int32_t>(value),
               counter.known);
  // A negative count moves the counter down, as sources use it to lay out a
  // block from its end.
  value += static_cast<uint32_t>(count.value) * UnitBytes(statement.size);
  SetRsCounter(state, static_cast<int32_t>(value), known);
}

// align N: to a multiple of 2^N bytes.
void RunAlign(PassState& state, const Statement& statement) {
  EvalResult bits = EvaluateExpr(state, StatementOperands(state, statement)[0].expr);
  if (!bits.known) state.locationKnown = false;
  if (!bits.valid) return;
  if (bits.value < 0 || bits.value > 31) {
    PassError(state, "align takes a number of bits from 0 to 31 (a multiple of 2^N bytes), not " +
                         std::to_string(bits.value));
    return;
  }
  uint64_t unit = 1ull << bits.value;
  Pad(state, (unit - state.location % unit) % unit);
}

// hex DIGITS[,DIGITS...]: the bytes the pairs of hexadecimal digits write.
bool ParseHex(DirectiveParse& p, std::string& error) {
  std::string bytes;
  int high = -1;  // the first digit of a pair, once read
  for (const char* c = p.operands.begin; c < p.operands.end; ++c) {
    if (*c == ',' && high < 0) continue;
    if (!IsHexDigit(*c)) {
      error = "hex takes pairs of hexadecimal digits, not " + Excerpt(c, p.operands.end);
      return false;
    }
    int digit = IsDigit(*c) ? *c - '0' : ToLower(*c) - 'a' + 10;
    if (high < 0) {
      high = digit;
    } else {
      bytes += static_cast<char>(high * 16 + digit);
      high = -1;
    }
  }
  if (high >= 0 || bytes.empty()) {
    error = bytes.empty() && high < 0 ? "hex needs at least one pair of digits"
                                      : "hex needs an even number of digits";
    return false;
  }
  SetOnlyOperand(p, TextOperand(p.store, bytes));
  return true;
}

void RunHex(PassState& state, const Statement& statement) {
  if (!PlacesBytes(state, "hex")) return;
  const Operand& bytes = StatementOperands(state, statement)[0];
  EmitBytes(state, state.store->bytes.data() + bytes.expr.first, bytes.expr.count);
}

}  // namespace asm68k
