#include "directives.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "encoder.h"

namespace asm68k {

namespace {

struct DirectiveName {
  std::string_view name;
  Directive directive;
};

constexpr DirectiveName kDirectives[] = {
    {"org", Directive::Org},         {"equ", Directive::Equ},       {"set", Directive::Set},
    {"=", Directive::Equ},           {"dc", Directive::Dc},         {"ds", Directive::Ds},
    {"dcb", Directive::Dcb},         {"even", Directive::Even},     {"cnop", Directive::Cnop},
    {"include", Directive::Include}, {"incbin", Directive::Incbin}, {"end", Directive::End},
};

// A statement counts its operands in 16 bits.
constexpr size_t kMaxItems = 65535;

uint32_t UnitBytes(uint8_t size) { return size == kSizeB ? 1 : size == kSizeW ? 2 : 4; }

std::string SizedName(const char* name, uint8_t size) {
  return std::string(name) + '.' + SizeLetter(size);
}

bool ParseExpressions(TextRange field, size_t minimum, size_t maximum, std::string_view name,
                      Assembly& assembly, ExprParser& parser, Statement& statement,
                      std::string& error) {
  std::vector<TextRange> items;
  if (!SplitOperands(field.begin, field.end, items, error)) return false;
  if (items.size() < minimum || items.size() > maximum) {
    std::string expected = minimum == maximum
                               ? std::to_string(minimum)
                               : std::to_string(minimum) + " or " + std::to_string(maximum);
    error = std::string(name) + " takes " + expected + (maximum == 1 ? " value" : " values");
    return false;
  }
  statement.firstOperand = static_cast<uint32_t>(assembly.operands.size());
  statement.operandCount = static_cast<uint16_t>(items.size());
  for (const TextRange& item : items) {
    Operand operand;
    operand.kind = kOpValue;
    Cursor c{item.begin, item.end};
    if (!ParseExpression(c, parser, operand.expr, error)) return false;
    c.SkipSpace();
    if (!c.AtEnd()) {
      error = "unexpected " + Excerpt(c.p, c.end) + " in " + std::string(name);
      return false;
    }
    assembly.operands.push_back(operand);
  }
  return true;
}

// dc items: expressions, and in dc.b whole strings, which give their bytes.
bool ParseDcItems(TextRange field, uint8_t size, Assembly& assembly, ExprParser& parser,
                  Statement& statement, std::string& error) {
  std::vector<TextRange> items;
  if (!SplitOperands(field.begin, field.end, items, error)) return false;
  if (items.empty()) {
    error = SizedName("dc", size) + " needs at least one value";
    return false;
  }
  if (items.size() > kMaxItems) {
    error = SizedName("dc", size) + " has more than " + std::to_string(kMaxItems) +
            " values on one line";
    return false;
  }
  statement.firstOperand = static_cast<uint32_t>(assembly.operands.size());
  statement.operandCount = static_cast<uint16_t>(items.size());
  std::string text;
  for (const TextRange& item : items) {
    Operand operand;
    Cursor c{item.begin, item.end};
    if (size == kSizeB && (*c.p == '\'' || *c.p == '"')) {
      text.clear();
      Cursor after = c;
      if (!ReadQuoted(after, text)) {
        error = "unterminated string";
        return false;
      }
      after.SkipSpace();
      if (after.AtEnd()) {
        operand.kind = kOpBytes;
        operand.expr.first = static_cast<uint32_t>(assembly.bytes.size());
        operand.expr.count = static_cast<uint32_t>(text.size());
        assembly.bytes.insert(assembly.bytes.end(), text.begin(), text.end());
        assembly.operands.push_back(operand);
        continue;
      }
    }
    operand.kind = kOpValue;
    if (!ParseExpression(c, parser, operand.expr, error)) return false;
    c.SkipSpace();
    if (!c.AtEnd()) {
      error = "unexpected " + Excerpt(c.p, c.end) + " in " + SizedName("dc", size);
      return false;
    }
    assembly.operands.push_back(operand);
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

}  // namespace

Directive FindDirective(std::string_view lowerName) {
  for (const DirectiveName& entry : kDirectives) {
    if (entry.name == lowerName) return entry.directive;
  }
  return Directive::None;
}

bool ParseDirective(Directive directive, std::string_view name, uint8_t writtenSize,
                    TextRange operands, Assembly& assembly, ExprParser& parser,
                    Statement& statement, std::string& error) {
  bool sized =
      directive == Directive::Dc || directive == Directive::Ds || directive == Directive::Dcb;
  if (!sized && writtenSize != kSizeNone) {
    error = std::string(name) + " takes no size";
    return false;
  }
  if (sized && writtenSize == kSizeS) {
    error = std::string(name) + ".s does not exist: use .b, .w or .l";
    return false;
  }
  uint8_t size = writtenSize == kSizeNone ? static_cast<uint8_t>(kSizeW) : writtenSize;
  statement.size = size;
  switch (directive) {
    case Directive::Org:
      statement.kind = StatementKind::Org;
      return ParseExpressions(operands, 1, 1, name, assembly, parser, statement, error);
    case Directive::Equ:
      statement.kind = StatementKind::Equ;
      return ParseExpressions(operands, 1, 1, name, assembly, parser, statement, error);
    case Directive::Set:
      statement.kind = StatementKind::Set;
      return ParseExpressions(operands, 1, 1, name, assembly, parser, statement, error);
    case Directive::Dc:
      statement.kind = StatementKind::Dc;
      return ParseDcItems(operands, size, assembly, parser, statement, error);
    case Directive::Ds:
      statement.kind = StatementKind::Ds;
      return ParseExpressions(operands, 1, 1, SizedName("ds", size), assembly, parser, statement,
                              error);
    case Directive::Dcb:
      statement.kind = StatementKind::Dcb;
      return ParseExpressions(operands, 1, 2, SizedName("dcb", size), assembly, parser, statement,
                              error);
    case Directive::Even:
      statement.kind = StatementKind::Even;
      if (operands.begin != operands.end) {
        error = "even takes no operands";
        return false;
      }
      return true;
    case Directive::Cnop:
      statement.kind = StatementKind::Cnop;
      return ParseExpressions(operands, 2, 2, name, assembly, parser, statement, error);
    default:
      error = std::string(name) + " is handled by the reader";
      return false;
  }
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

void RunDirective(PassState& state, const Statement& statement) {
  Assembly& assembly = *state.assembly;
  const Operand* ops = assembly.operands.data() + statement.firstOperand;
  switch (statement.kind) {
    case StatementKind::Org: {
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
      return;
    }
    case StatementKind::Equ:
    case StatementKind::Set: {
      EvalResult r = EvaluateExpr(state, ops[0].expr);
      DefineSymbol(state, statement.label, r.value, r.known && r.valid);
      return;
    }
    case StatementKind::Dc: {
      CheckEven(state, "dc", statement.size);
      const uint32_t start = state.location;
      uint32_t unit = UnitBytes(statement.size);
      uint8_t buffer[256];
      int used = 0;
      for (uint16_t i = 0; i < statement.operandCount; ++i) {
        const Operand& item = ops[i];
        if (item.kind == kOpBytes) {
          EmitBytes(state, buffer, static_cast<uint64_t>(used));
          used = 0;
          EmitBytes(state, assembly.bytes.data() + item.expr.first, item.expr.count);
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
      return;
    }
    case StatementKind::Ds: {
      CheckEven(state, "ds", statement.size);
      EvalResult count = EvaluateExpr(state, ops[0].expr);
      uint64_t bytes;
      CheckBlockSize(state, count, statement.size, "ds", bytes);
      EmitBytes(state, nullptr, bytes);
      if (!count.known) state.locationKnown = false;
      return;
    }
    case StatementKind::Dcb: {
      CheckEven(state, "dcb", statement.size);
      EvalResult count = EvaluateExpr(state, ops[0].expr);
      EvalResult value;
      if (statement.operandCount > 1) {
        value = EvaluateExpr(state, ops[1].expr);
        CheckDataValue(state, value, statement.size, "dcb");
      }
      uint64_t bytes;
      CheckBlockSize(state, count, statement.size, "dcb", bytes);
      // The block is zeroed where it lands in the image and filled there,
      // doubling what is filled with each copy.
      uint8_t* block = EmitBytes(state, nullptr, bytes);
      if (block && value.value != 0) {
        uint64_t filled =
            static_cast<uint64_t>(StoreBigEndian(block, value.value, UnitBytes(statement.size)));
        for (; filled < bytes; filled *= 2) {
          std::memcpy(block + filled, block, static_cast<size_t>(std::min(filled, bytes - filled)));
        }
      }
      if (!count.known) state.locationKnown = false;
      return;
    }
    case StatementKind::Even:
      if (state.location & 1) Pad(state, 1);
      return;
    case StatementKind::Cnop: {
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
      return;
    }
    case StatementKind::Incbin: {
      const std::string& contents = assembly.texts[ops[0].expr.first]->text;
      EmitBytes(state, reinterpret_cast<const uint8_t*>(contents.data()), contents.size());
      return;
    }
    default:
      return;
  }
}

}  // namespace asm68k
