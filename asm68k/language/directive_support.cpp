#include "directive_support.h"

#include <vector>

#include "directive_families.h"
#include "encoder.h"

namespace asm68k {

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

void SetOnlyOperand(DirectiveParse& p, const Operand& operand) {
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = 1;
  p.store.operands.push_back(operand);
}

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

bool KnownWhereRead(PassState& state, std::string_view directive, const EvalResult& r) {
  if (r.known || !r.valid) return r.valid;
  std::string why;
  if (r.laterSymbol >= 0) {
    why = "'" + state.assembly->symbols.symbols[static_cast<size_t>(r.laterSymbol)].name +
          "' is defined further down";
  } else {
    why = "it depends on an address that is not settled yet";
  }
  PassError(state, "the value of " + std::string(directive) +
                       " must be known where it is read, but " + why);
  return false;
}

}  // namespace asm68k
