#include "directives.h"

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

std::string SizedName(const char* name, uint8_t size) {
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
    if (p.size == kSizeB && (*item.begin == '\'' || *item.begin == '"')) {
      text.clear();
      Cursor after{item.begin, item.end};
      if (!ReadQuoted(after, text)) {
        error = "unterminated string";
        return false;
      }
      after.SkipSpace();
      if (after.AtEnd()) {
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

bool CheckDataValue(PassState& state, const EvalResult& r, uint8_t size, const char* directive) {
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

void CheckEven(PassState& state, const char* directive, uint8_t size) {
  if (size != kSizeB) CheckAligned(state, SizedName(directive, size));
}

// ds and dcb reserve count*unit bytes; anything over the image limit is refused.
bool CheckBlockSize(PassState& state, const EvalResult& count, uint8_t size, const char* directive,
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

// Padding: zeros once the image has begun, otherwise only a new address.
void Pad(PassState& state, uint64_t count) {
  if (state.image.started) {
    EmitBytes(state, nullptr, count);
  } else {
    AdvanceLocation(state, count);
  }
}

// ---- parse functions ----

// A directive without operands takes what follows it as a comment.
bool ParseNone(DirectiveParse&, std::string&) { return true; }

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
  return ParseExpressions(p, 1, 2, SizedName("dcb", p.size), error);
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
  bool same = texts[0] == texts[1];
  p.statement.size = kIfNonZero;
  Operand operand;
  operand.expr = ConstantExpr(p.store.expressions, (same == (p.name == "ifc")) ? kTrue : 0);
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = 1;
  p.store.operands.push_back(operand);
  return true;
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
  if (FindForms(lower).count > 0 || FindDirective(lower) >= 0) {
    error = "a macro cannot be called '" + std::string(name) + "': that is " +
            (FindDirective(lower) >= 0 ? "a directive" : "an instruction");
    return false;
  }
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = 1;
  p.store.operands.push_back(TextOperand(p.store, lower));
  return true;
}

// ---- run functions ----

void RunOrg(PassState& state, const Statement& statement) {
  const Operand* ops = StatementOperands(state, statement);
  EvalResult r = EvaluateExpr(state, ops[0].expr);
  if (!r.valid) {
    state.locationKnown = false;
    return;
  }
  uint32_t target = static_cast<uint32_t>(r.value);
  if (state.image.started && target < state.location) {
    PassError(state, "org " + Hex(target) + " goes backwards (the program is already at " +
                         Hex(state.location) + ")");
    return;
  }
  state.location = target;
  state.locationKnown = r.known;
}

void Assign(PassState& state, const Statement& statement, SymbolKind kind) {
  EvalResult r = EvaluateExpr(state, StatementOperands(state, statement)[0].expr);
  DefineSymbol(state, statement.label, kind, r.value, r.known && r.valid);
}

void RunEqu(PassState& state, const Statement& statement) { Assign(state, statement, SymbolKind::Equ); }
void RunSet(PassState& state, const Statement& statement) { Assign(state, statement, SymbolKind::Set); }

void RunDc(PassState& state, const Statement& statement) {
  CheckEven(state, "dc", statement.size);
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
  CheckEven(state, "ds", statement.size);
  EvalResult count = EvaluateExpr(state, StatementOperands(state, statement)[0].expr);
  uint64_t bytes;
  CheckBlockSize(state, count, statement.size, "ds", bytes);
  EmitBytes(state, nullptr, bytes);
  if (!count.known) state.locationKnown = false;
}

void RunDcb(PassState& state, const Statement& statement) {
  CheckEven(state, "dcb", statement.size);
  const Operand* ops = StatementOperands(state, statement);
  EvalResult count = EvaluateExpr(state, ops[0].expr);
  EvalResult value;
  if (statement.operandCount > 1) {
    value = EvaluateExpr(state, ops[1].expr);
    CheckDataValue(state, value, statement.size, "dcb");
  }
  uint64_t bytes;
  if (CheckBlockSize(state, count, statement.size, "dcb", bytes) && bytes > 0) {
    uint32_t unit = UnitBytes(statement.size);
    uint8_t element[4];
    StoreBigEndian(element, value.value, unit);
    std::vector<uint8_t> block(static_cast<size_t>(bytes));
    for (size_t i = 0; i < block.size(); ++i) block[i] = element[i % unit];
    EmitBytes(state, block.data(), bytes);
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

void RunIncbin(PassState& state, const Statement& statement) {
  std::string name(OperandText(*state.store, StatementOperands(state, statement)[0]));
  SourceFile* file = LoadFile(*state.assembly, name, state.file);
  if (!file) {
    PassError(state, "cannot open incbin file '" + name + "'");
    return;
  }
  const std::string& bytes = file->text.text;
  if (bytes.size() > kMaxImageSize) {
    PassError(state, "incbin file '" + name + "' is larger than 16 MiB");
    return;
  }
  EmitBytes(state, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// Each row: name, flags, parse, run.
const Directive kDirectives[] = {
    {"org", kLabelAfter, ParseOne, RunOrg},
    {"equ", kNamesSymbol, ParseAssignment, RunEqu},
    {"set", kNamesSymbol, ParseAssignment, RunSet},
    {"=", kNamesSymbol, ParseAssignment, RunSet},
    {"dc", kTakesSize, ParseDc, RunDc},
    {"ds", kTakesSize, ParseDs, RunDs},
    {"dcb", kTakesSize, ParseDcb, RunDcb},
    {"even", kLabelAfter, ParseNone, RunEven},
    {"cnop", kLabelAfter, ParseTwo, RunCnop},
    {"include", 0, ParseNamedFile, RunInclude},
    {"incbin", 0, ParseNamedFile, RunIncbin},
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
    {"else", kElse, ParseNone, RunElse},
    {"elseif", kElseIf, ParseIf, RunElse},
    {"endif", kEndIf, ParseNone, RunEndIf},
    {"endc", kEndIf, ParseNone, RunEndIf},
    {"macro", kNamesSymbol | kOpensMacro, ParseMacro, RunMacro},
    {"endm", kEndMacro, ParseNone, RunEndMacro},
    {"mexit", 0, ParseNone, RunMexit},
    {"rept", kOpensRept, ParseOne, RunRept},
    {"endr", kEndRept, ParseNone, RunEndRept},
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
