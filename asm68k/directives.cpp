#include "directives.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "encoder.h"
#include "instruction_table.h"
#include "line_source.h"
#include "parser.h"

namespace asm68k {

namespace {

// A statement counts its operands in 16 bits.
constexpr size_t kMaxItems = 65535;

uint32_t UnitBytes(uint8_t size) { return size == kSizeB ? 1 : size == kSizeW ? 2 : 4; }

std::string SizedName(std::string_view name, uint8_t size) {
  return std::string(name) + '.' + SizeLetter(size);
}

bool ParseValue(TextRange item, ExprParser& parser, std::string_view name, Expr& out,
                std::string& error) {
  Cursor c{item.begin, item.end};
  if (!ParseExpression(c, parser, out, error)) return false;
  c.SkipSpace();
  if (!c.AtEnd()) {
    error = "unexpected " + Excerpt(c.p, c.end) + " in " + std::string(name);
    return false;
  }
  return true;
}

// dc items: expressions, and in dc.b whole strings, which give their bytes.
bool ParseDc(DirectiveParse& p, std::string& error) {
  std::vector<TextRange> items;
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

// ds and dcb reserve count*unit bytes; anything over the image limit is refused.
bool CheckBlockSize(PassState& state, const EvalResult& count, uint8_t size, std::string_view directive,
                    uint64_t& bytes) {
  bytes = 0;
  if (!count.valid) return false;
  if (count.value < 0) {
    PassError(state, SizedName(directive, size) + " count cannot be negative (" +
                         std::to_string(count.value) + ")");
    return false;
  }
  bytes = static_cast<uint64_t>(count.value) * UnitBytes(size);
  if (bytes > kMaxImageSize) {
    PassError(state, SizedName(directive, size) + " of " + std::to_string(count.value) +
                         " would make the image larger than 16 MiB");
    bytes = 0;
    return false;
  }
  return true;
}

// ---- parse functions ----

// A directive without operands takes what follows it as a comment.
bool ParseNone(DirectiveParse& p, std::string&) {
  p.warning = IgnoredOperandWarning(p.name, p.operands.begin, p.operands.end);
  return true;
}

bool ParseOne(DirectiveParse& p, std::string& error) {
  return ParseExpressions(p, 1, 1, p.name, error);
}

bool ParseTwo(DirectiveParse& p, std::string& error) {
  return ParseExpressions(p, 2, 2, p.name, error);
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

bool ParseDcb(DirectiveParse& p, std::string& error) {
  return ParseExpressions(p, 1, 2, SizedName(p.name, p.size), error);
}

bool ParseNamedFile(DirectiveParse& p, std::string& error) {
  std::string name;
  if (!ParseFileName(p.operands, name, error)) {
    error = std::string(p.name) + ": " + error;
    return false;
  }
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = 1;
  p.store.operands.push_back(TextOperand(p.store, name));
  return true;
}

bool ParseIf(DirectiveParse& p, std::string& error) {
  static const std::unordered_map<std::string_view, IfTest> kTests = {
      {"if", kIfNonZero},   {"ifne", kIfNonZero},      {"elseif", kIfNonZero},
      {"ifeq", kIfZero},    {"ifgt", kIfGreater},      {"ifge", kIfGreaterEqual},
      {"iflt", kIfLess},    {"ifle", kIfLessEqual},
  };
  p.statement.size = kTests.at(p.name);
  return ParseExpressions(p, 1, 1, p.name, error);
}

// ifd and ifnd: one symbol name.
bool ParseIfDefined(DirectiveParse& p, std::string& error) {
  Cursor c{p.operands.begin, p.operands.end};
  c.SkipSpace();
  if (!IsIdentStart(c.Peek())) {
    error = std::string(p.name) + " needs a symbol name";
    return false;
  }
  std::string_view name = c.Identifier();
  c.SkipSpace();
  if (!c.AtEnd()) {
    error = "unexpected " + Excerpt(c.p, c.end) + " after the name in " + std::string(p.name);
    return false;
  }
  p.statement.size = p.name == "ifd" || p.name == "ifdef" ? kIfNonZero : kIfZero;
  Operand operand;
  if (IsLocalName(name)) p.parser.usedScope = true;
  operand.expr.first =
      p.parser.symbols.Intern(name, IsLocalName(name) ? p.parser.scope : kGlobalScope);
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = 1;
  p.store.operands.push_back(operand);
  return true;
}

// A condition already known when its line is read (in a macro, per call).
bool SettledCondition(DirectiveParse& p, bool truth) {
  p.statement.size = kIfNonZero;
  Operand operand;
  operand.expr = ConstantExpr(p.store.expressions, truth ? kTrue : 0);
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = 1;
  p.store.operands.push_back(operand);
  return true;
}

// ifc and ifnc compare two texts, quoted or bare; in a macro they are
// compared after the arguments are put in, so the answer is known here.
bool ParseIfSame(DirectiveParse& p, std::string& error) {
  std::vector<TextRange> items;
  if (!SplitOperands(p.operands.begin, p.operands.end, items, error)) return false;
  if (items.size() != 2) {
    error = std::string(p.name) + " compares two strings, written 'a','b'";
    return false;
  }
  std::string texts[2];
  for (int i = 0; i < 2; ++i) {
    Cursor c{items[i].begin, items[i].end};
    if (*c.p == '\'' || *c.p == '"') {
      if (!ReadQuoted(c, texts[i])) {
        error = "unterminated string";
        return false;
      }
      c.SkipSpace();
      if (!c.AtEnd()) {
        error = "unexpected " + Excerpt(c.p, c.end) + " after the string in " + std::string(p.name);
        return false;
      }
    } else {
      texts[i].assign(c.p, c.end);
    }
  }
  return SettledCondition(p, (texts[0] == texts[1]) == (p.name == "ifc"));
}

// ifb and ifnb: whether the operand field is blank (a macro argument left out).
bool ParseIfBlank(DirectiveParse& p, std::string&) {
  Cursor c{p.operands.begin, p.operands.end};
  c.SkipSpace();
  return SettledCondition(p, c.AtEnd() == (p.name == "ifb"));
}

// NAME macro, NAME: macro, or macro NAME.
bool ParseMacro(DirectiveParse& p, std::string& error) {
  std::string_view name = p.label;
  if (name.empty()) {
    Cursor c{p.operands.begin, p.operands.end};
    c.SkipSpace();
    if (IsIdentStart(c.Peek())) name = c.Identifier();
    c.SkipSpace();
    if (name.empty() || !c.AtEnd()) {
      error = "macro needs a name: NAME macro, or macro NAME";
      return false;
    }
  }
  std::string lower = ToLowerCopy(name);
  if (IsLocalName(name) || RegisterFromName(name) != kRegNone) {
    error = "'" + std::string(name) + "' cannot name a macro";
    return false;
  }
  if (FindOperation(lower).forms.count > 0 || FindDirective(lower) >= 0) {
    error = "a macro cannot be called '" + std::string(name) + "': that is " +
            (FindDirective(lower) >= 0 ? "a directive" : "an instruction");
    return false;
  }
  // NAME macro A,B names its parameters: \A in the body is the first argument.
  std::vector<std::string_view> parameters;
  if (!p.label.empty()) {
    Cursor c{p.operands.begin, p.operands.end};
    auto notNames = [&] {
      error = "macro parameters are names separated by commas, not " + Excerpt(c.p, c.end);
      return false;
    };
    c.SkipSpace();
    while (!c.AtEnd()) {
      if (!parameters.empty()) {  // after a name: a comma, then the next name
        if (!c.Match(',')) return notNames();
        c.SkipSpace();
        if (c.AtEnd()) {
          error = "macro parameters end with a comma";
          return false;
        }
      }
      if (!IsIdentStart(c.Peek()) || c.Peek() == '.') return notNames();
      std::string_view parameter = c.Identifier();
      if (std::find(parameters.begin(), parameters.end(), parameter) != parameters.end()) {
        error = "macro parameter '" + std::string(parameter) + "' is named twice";
        return false;
      }
      parameters.push_back(parameter);
      c.SkipSpace();
    }
  }
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = static_cast<uint16_t>(1 + parameters.size());
  p.store.operands.push_back(TextOperand(p.store, lower));
  for (std::string_view parameter : parameters) {
    p.store.operands.push_back(TextOperand(p.store, parameter));
  }
  return true;
}

// ---- run functions ----

void RunOrg(PassState& state, const Statement& statement) {
  const Operand* ops = StatementOperands(state, statement);
  EvalResult r = EvaluateExpr(state, ops[0].expr);
  LeaveOffset(state);
  // org may go anywhere, backwards too; two lines placing bytes at one
  // address are reported when the pass ends.
  state.location = static_cast<uint32_t>(r.value);
  state.locationKnown = r.valid && r.known;
}

void Assign(PassState& state, const Statement& statement, SymbolKind kind) {
  EvalResult r = EvaluateExpr(state, StatementOperands(state, statement)[0].expr);
  DefineSymbol(state, statement.label, kind, r.value, r.known && r.valid);
}

void RunEqu(PassState& state, const Statement& statement) { Assign(state, statement, SymbolKind::Equ); }
void RunSet(PassState& state, const Statement& statement) { Assign(state, statement, SymbolKind::Set); }

void RunDc(PassState& state, const Statement& statement) {
  if (!PlacesBytes(state, SizedName("dc", statement.size))) return;
  const Operand* ops = StatementOperands(state, statement);
  const uint32_t start = state.location;
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
    uint32_t here = state.location;
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
  // Space, not bytes: zeros between bytes, but no room at either end of the
  // image (so "org RAM" with ds reserves variables without filling to RAM).
  AdvanceLocation(state, bytes);
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

void RunEven(PassState& state, const Statement&) {
  if (state.location & 1) Pad(state, 1);
}

void RunCnop(PassState& state, const Statement& statement) {
  const Operand* ops = StatementOperands(state, statement);
  EvalResult offset = EvaluateExpr(state, ops[0].expr);
  EvalResult align = EvaluateExpr(state, ops[1].expr);
  if (!offset.known || !align.known) state.locationKnown = false;
  if (!offset.valid || !align.valid) return;
  if (align.value < 1 || align.value > static_cast<int32_t>(kMaxImageSize)) {
    PassError(state, "cnop alignment must be 1 to 16 MiB, not " + std::to_string(align.value));
    return;
  }
  if (offset.value < 0) {
    PassError(state, "cnop offset cannot be negative (" + std::to_string(offset.value) + ")");
    return;
  }
  // The next address at or after this one that is `offset` past a multiple of `align`.
  uint64_t a = static_cast<uint64_t>(align.value);
  uint64_t pad = (static_cast<uint64_t>(offset.value) % a + a - state.location % a) % a;
  Pad(state, pad);
}

// incbin "FILE"[,OFFSET[,LENGTH]]
bool ParseIncbin(DirectiveParse& p, std::string& error) {
  std::vector<TextRange> items;
  if (!SplitOperands(p.operands.begin, p.operands.end, items, error)) return false;
  std::string name;
  if (items.empty() || !ParseFileName(items[0], name, error)) {
    error = "incbin: " + (items.empty() ? std::string("missing file name") : error);
    return false;
  }
  if (items.size() > 3) {
    error = "incbin takes a file name, an offset and a length";
    return false;
  }
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = static_cast<uint16_t>(items.size());
  p.store.operands.push_back(TextOperand(p.store, name));
  for (size_t i = 1; i < items.size(); ++i) {
    Operand operand;
    if (!ParseValue(items[i], p.parser, "incbin", operand.expr, error)) return false;
    p.store.operands.push_back(operand);
  }
  return true;
}

void RunIncbin(PassState& state, const Statement& statement) {
  const Operand* ops = StatementOperands(state, statement);
  std::string name(OperandText(*state.store, ops[0]));
  // Offset and length first: evaluating can't move the operands afterwards.
  EvalResult offset, length;
  if (statement.operandCount > 1) offset = EvaluateExpr(state, ops[1].expr);
  if (statement.operandCount > 2) length = EvaluateExpr(state, ops[2].expr);
  if (!PlacesBytes(state, "incbin")) return;
  // Every incbin lands in the image: a file that can't fit is refused before it is read.
  ReadResult result;
  SourceFile* file = LoadFile(*state.assembly, name, state.file, state.lines->includeDirs,
                              kMaxImageSize, result);
  if (!file) {
    PassError(state, result == ReadResult::Missing
                         ? "cannot open incbin file '" + name + "'"
                         : "incbin file '" + name + "' would make the image larger than 16 MiB");
    return;
  }
  const std::string& bytes = file->text.text;
  uint64_t from = 0, count = bytes.size();
  if (statement.operandCount > 1) {
    if (!offset.valid) return;
    if (offset.value < 0 || static_cast<uint64_t>(offset.value) > bytes.size()) {
      PassError(state, "incbin offset " + std::to_string(offset.value) + " is outside '" + name +
                           "' (" + std::to_string(bytes.size()) + " bytes)");
      return;
    }
    from = static_cast<uint64_t>(offset.value);
    count = bytes.size() - from;
  }
  if (statement.operandCount > 2) {
    if (!length.valid) return;
    if (length.value < 0 || static_cast<uint64_t>(length.value) > count) {
      PassError(state, "incbin length " + std::to_string(length.value) + " runs past the end of '" +
                           name + "' (" + std::to_string(count) + " bytes from the offset)");
      return;
    }
    count = static_cast<uint64_t>(length.value);
  }
  if (state.image.placed + count > kMaxImageSize) {
    PassError(state, "incbin file '" + name + "' would make the image larger than 16 MiB");
    return;
  }
  EmitBytes(state, reinterpret_cast<const uint8_t*>(bytes.data()) + from, count);
}

void RunIncdir(PassState& state, const Statement& statement) {
  state.lines->includeDirs.emplace_back(
      OperandText(*state.store, StatementOperands(state, statement)[0]));
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

// The rs counter lives in the symbol __RS, set like a set symbol.
Symbol& RsCounter(PassState& state) {
  return state.assembly->symbols.symbols[state.assembly->rsCounter];
}

void SetRsCounter(PassState& state, int32_t value, bool known) {
  DefineSymbol(state, static_cast<int32_t>(state.assembly->rsCounter), SymbolKind::Set, value,
               known);
}

void RunRsReset(PassState& state, const Statement&) { SetRsCounter(state, 0, true); }

void RunRsSet(PassState& state, const Statement& statement) {
  EvalResult r = EvaluateExpr(state, StatementOperands(state, statement)[0].expr);
  SetRsCounter(state, r.value, r.valid && r.known);
}

// NAME rs.w COUNT: NAME is the counter (made even first for .w and .l), and
// the counter moves past COUNT units.
void RunRs(PassState& state, const Statement& statement) {
  EvalResult count = EvaluateExpr(state, StatementOperands(state, statement)[0].expr);
  Symbol& counter = RsCounter(state);
  uint32_t value = static_cast<uint32_t>(counter.value);
  bool known = counter.known && count.valid && count.known;
  if (statement.size != kSizeB && (value & 1)) ++value;
  DefineSymbol(state, statement.label, SymbolKind::Equ, static_cast<int32_t>(value),
               counter.known);
  if (count.valid && count.value < 0) {
    PassError(state, SizedName("rs", statement.size) + " count cannot be negative (" +
                         std::to_string(count.value) + ")");
    return;
  }
  value += static_cast<uint32_t>(count.value) * UnitBytes(statement.size);
  SetRsCounter(state, static_cast<int32_t>(value), known);
}

// align N: to a multiple of 2^N bytes.
void RunAlign(PassState& state, const Statement& statement) {
  EvalResult bits = EvaluateExpr(state, StatementOperands(state, statement)[0].expr);
  if (!bits.known) state.locationKnown = false;
  if (!bits.valid) return;
  if (bits.value < 0 || bits.value > 24) {
    PassError(state, "align takes a number of bits from 0 to 24 (a multiple of 2^N bytes), not " +
                         std::to_string(bits.value));
    return;
  }
  uint32_t unit = 1u << bits.value;
  Pad(state, (unit - state.location % unit) % unit);
}

// Directives that mean nothing for a flat image: linking, listings, the CPU.
bool ParseAnything(DirectiveParse&, std::string&) { return true; }
void RunNothing(PassState&, const Statement&) {}

bool ParseOpt(DirectiveParse& p, std::string&) {
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = 1;
  p.store.operands.push_back(TextOperand(
      p.store, std::string_view(p.operands.begin, static_cast<size_t>(p.operands.end - p.operands.begin))));
  return true;
}

// fail MESSAGE: the message is the rest of the line, blanks and all.
bool ParseFail(DirectiveParse& p, std::string&) {
  const char* end = p.operands.begin;
  while (end < p.lineEnd && *end != ';') {
    end = *end == '\'' || *end == '"' ? SkipQuoted(end, p.lineEnd) : end + 1;
  }
  while (end > p.operands.begin && IsSpace(end[-1])) --end;
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = 1;
  p.store.operands.push_back(
      TextOperand(p.store, std::string_view(p.operands.begin, static_cast<size_t>(end - p.operands.begin))));
  return true;
}

void RunFail(PassState& state, const Statement& statement) {
  std::string_view message = OperandText(*state.store, StatementOperands(state, statement)[0]);
  PassError(state, message.empty() ? std::string("fail") : "fail: " + std::string(message));
}

// opt FLAG,...: listing and debug flags change nothing here; an
// optimisation switched on, or a flag we don't know, is worth a warning.
void RunOpt(PassState& state, const Statement& statement) {
  std::string_view flags = OperandText(*state.store, StatementOperands(state, statement)[0]);
  size_t start = 0;
  while (start <= flags.size()) {
    size_t comma = flags.find(',', start);
    if (comma == std::string_view::npos) comma = flags.size();
    std::string flag = ToLowerCopy(flags.substr(start, comma - start));
    start = comma + 1;
    if (flag.empty()) continue;
    char sign = flag.back();
    std::string name = sign == '+' || sign == '-' ? flag.substr(0, flag.size() - 1) : flag;
    bool optimisation = !name.empty() && name[0] == 'o';
    if (optimisation && sign != '-') {
      PassWarning(state, "opt " + flag + " is ignored: instructions are encoded as written");
    } else if (flag == "c-") {
      PassWarning(state, "opt c- is ignored: labels stay case-sensitive");
    } else if (!optimisation && (name.size() != 1 || std::string_view("acdelmpstwx").find(name[0]) ==
                                                          std::string_view::npos)) {
      PassWarning(state, "unknown opt flag '" + flag + "' is ignored");
    }
  }
}

// Each row: name, flags, parse, run.
const Directive kDirectives[] = {
    {"org", kLabelAfter, ParseOne, RunOrg},
    {"equ", kNamesSymbol, ParseAssignment, RunEqu},
    {"set", kNamesSymbol, ParseAssignment, RunSet},
    {"=", kNamesSymbol, ParseAssignment, RunSet},
    {"dc", kTakesSize | kWordAligned, ParseDc, RunDc},
    {"ds", kTakesSize | kWordAligned, ParseDs, RunDs},
    {"dcb", kTakesSize | kWordAligned, ParseDcb, RunDcb},
    {"blk", kTakesSize | kWordAligned, ParseDcb, RunDcb},
    {"even", kLabelAfter, ParseNone, RunEven},
    {"cnop", kLabelAfter, ParseTwo, RunCnop},
    {"include", 0, ParseNamedFile, RunInclude},
    {"incbin", 0, ParseIncbin, RunIncbin},
    {"incdir", 0, ParseNamedFile, RunIncdir},
    {"end", 0, ParseNone, RunEnd},
    {"if", kOpensIf, ParseIf, RunIf},
    {"ifne", kOpensIf, ParseIf, RunIf},
    {"ifeq", kOpensIf, ParseIf, RunIf},
    {"ifgt", kOpensIf, ParseIf, RunIf},
    {"ifge", kOpensIf, ParseIf, RunIf},
    {"iflt", kOpensIf, ParseIf, RunIf},
    {"ifle", kOpensIf, ParseIf, RunIf},
    {"ifd", kOpensIf, ParseIfDefined, RunIfDefined},
    {"ifdef", kOpensIf, ParseIfDefined, RunIfDefined},
    {"ifnd", kOpensIf, ParseIfDefined, RunIfDefined},
    {"ifndef", kOpensIf, ParseIfDefined, RunIfDefined},
    {"ifc", kOpensIf, ParseIfSame, RunIf},
    {"ifnc", kOpensIf, ParseIfSame, RunIf},
    {"ifb", kOpensIf, ParseIfBlank, RunIf},
    {"ifnb", kOpensIf, ParseIfBlank, RunIf},
    {"else", kElse, ParseNone, RunElse},
    {"elseif", kElseIf, ParseIf, RunElse},
    {"endif", kEndIf, ParseNone, RunEndIf},
    {"endc", kEndIf, ParseNone, RunEndIf},
    {"macro", kNamesSymbol | kOpensMacro, ParseMacro, RunMacro},
    {"endm", kEndMacro, ParseNone, RunEndMacro},
    {"mexit", 0, ParseNone, RunMexit},
    {"rept", kOpensRept, ParseOne, RunRept},
    {"endr", kEndRept, ParseNone, RunEndRept},
    {"section", 0, ParseSection, RunSection},
    {"code", 0, ParseNamedSection, RunSection},
    {"text", 0, ParseNamedSection, RunSection},
    {"data", 0, ParseNamedSection, RunSection},
    {"bss", 0, ParseNamedSection, RunSection},
    {"offset", 0, ParseOffset, RunOffset},
    {"rsreset", 0, ParseNone, RunRsReset},
    {"rsset", 0, ParseOne, RunRsSet},
    {"rs", kTakesSize | kNamesSymbol, ParseOne, RunRs},
    {"align", kLabelAfter, ParseOne, RunAlign},
    {"simhalt", kWordAligned, ParseNone, RunSimhalt},
    {"opt", 0, ParseOpt, RunOpt},
    {"fail", 0, ParseFail, RunFail},
    {"xdef", 0, ParseAnything, RunNothing},
    {"xref", 0, ParseAnything, RunNothing},
    {"public", 0, ParseAnything, RunNothing},
    {"global", 0, ParseAnything, RunNothing},
    {"cpu", 0, ParseAnything, RunNothing},
    {"machine", 0, ParseAnything, RunNothing},
    {"list", 0, ParseAnything, RunNothing},
    {"nolist", 0, ParseAnything, RunNothing},
    {"page", 0, ParseAnything, RunNothing},
    {"nopage", 0, ParseAnything, RunNothing},
    {"title", 0, ParseAnything, RunNothing},
    {"ttl", 0, ParseAnything, RunNothing},
    {"spc", 0, ParseAnything, RunNothing},
    {"llen", 0, ParseAnything, RunNothing},
    {"plen", 0, ParseAnything, RunNothing},
    {"output", 0, ParseAnything, RunNothing},
    {"module", 0, ParseAnything, RunNothing},
};

}  // namespace

int FindDirective(std::string_view lowerName) { return FindOperation(lowerName).directive; }

const Directive& DirectiveAt(int index) { return kDirectives[index]; }

int DirectiveCount() { return static_cast<int>(sizeof(kDirectives) / sizeof(kDirectives[0])); }

bool ParseExpressions(DirectiveParse& p, size_t minimum, size_t maximum, std::string_view name,
                      std::string& error) {
  std::vector<TextRange> items;
  if (!SplitOperands(p.operands.begin, p.operands.end, items, error)) return false;
  if (items.size() < minimum || items.size() > maximum) {
    std::string expected = minimum == maximum
                               ? std::to_string(minimum)
                               : std::to_string(minimum) + " or " + std::to_string(maximum);
    error = std::string(name) + " takes " + expected + (maximum == 1 ? " value" : " values");
    return false;
  }
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = static_cast<uint16_t>(items.size());
  for (const TextRange& item : items) {
    Operand operand;
    operand.kind = kOpValue;
    if (!ParseValue(item, p.parser, name, operand.expr, error)) return false;
    p.store.operands.push_back(operand);
  }
  return true;
}

bool ParseFileName(TextRange operands, std::string& name, std::string& error) {
  Cursor c{operands.begin, operands.end};
  c.SkipSpace();
  name.clear();
  if (c.AtEnd()) {
    error = "missing file name";
    return false;
  }
  if (*c.p == '"' || *c.p == '\'') {
    if (!ReadQuoted(c, name)) {
      error = "unterminated string";
      return false;
    }
    c.SkipSpace();
    if (!c.AtEnd()) {
      error = "unexpected " + Excerpt(c.p, c.end) + " after the file name";
      return false;
    }
  } else {
    name.assign(c.p, c.end);
  }
  if (name.empty()) {
    error = "missing file name";
    return false;
  }
  return true;
}

Operand TextOperand(ParseStore& store, std::string_view text) {
  Operand operand;
  operand.kind = kOpBytes;
  operand.expr.first = static_cast<uint32_t>(store.bytes.size());
  operand.expr.count = static_cast<uint32_t>(text.size());
  store.bytes.insert(store.bytes.end(), text.begin(), text.end());
  return operand;
}

std::string_view OperandText(const ParseStore& store, const Operand& operand) {
  return std::string_view(reinterpret_cast<const char*>(store.bytes.data()) + operand.expr.first,
                          operand.expr.count);
}

const Operand* StatementOperands(const PassState& state, const Statement& statement) {
  return state.store->operands.data() + statement.firstOperand;
}

}  // namespace asm68k
