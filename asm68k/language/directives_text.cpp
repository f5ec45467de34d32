// Text: string equates (equs, substr, pushp and popp), messages of the
// source's own (inform, fail, fatal).

#include <algorithm>
#include <vector>

#include "directive_families.h"
#include "directive_support.h"
#include "line_source.h"

namespace asm68k {

namespace {

// A text operand: a quoted string, or the bare text as written.
bool ReadText(TextRange item, std::string& text, std::string_view directive, std::string& error) {
  Cursor c{item.begin, item.end};
  c.SkipSpace();
  text.clear();
  if (c.Peek() == '"' || c.Peek() == '\'') {
    if (!ReadQuoted(c, text)) {
      error = "unterminated string";
      return false;
    }
    c.SkipSpace();
    if (!c.AtEnd()) {
      error = "unexpected " + Excerpt(c.p, c.end) + " after the string in " + std::string(directive);
      return false;
    }
    return true;
  }
  const char* end = c.end;
  while (end > c.p && IsSpace(end[-1])) --end;
  text.assign(c.p, end);
  return true;
}

bool NeedsName(DirectiveParse& p, std::string& error) {
  if (!p.label.empty()) return true;
  error = std::string(p.name) + " needs a name in the label field";
  return false;
}

// The field split at its first `parts - 1` commas outside quotes and
// parentheses; the last part takes the rest. Parts may be empty.
std::vector<TextRange> SplitParts(TextRange field, size_t parts) {
  std::vector<TextRange> out;
  const char* start = field.begin;
  int depth = 0;
  for (const char* p = field.begin; p < field.end && out.size() + 1 < parts;) {
    if (*p == '\'' || *p == '"') {
      p = SkipQuoted(p, field.end);
      continue;
    }
    if (*p == '(') ++depth;
    if (*p == ')') --depth;
    if (*p == ',' && depth == 0) {
      out.push_back({start, p});
      start = p + 1;
    }
    ++p;
  }
  out.push_back({start, field.end});
  return out;
}

bool IsBlank(TextRange range) {
  for (const char* p = range.begin; p < range.end; ++p) {
    if (!IsSpace(*p)) return false;
  }
  return true;
}

void DefineTextEquate(LineSource& source, std::string_view name, std::string text) {
  // Text a line puts into an equate counts as text read: a long equate
  // repeated takes far longer than its line.
  if (!source.ReadText(text.size())) return;
  std::string key = source.NameKey(name);
  auto found = source.textEquates.find(key);
  if (found == source.textEquates.end()) {
    if (!source.Keep(key.size() + kEntryCost + text.size(), 0)) return;
    source.textEquates.emplace(std::move(key), std::move(text));
  } else if (source.Keep(text.size(), found->second.size())) {
    found->second = std::move(text);
  }
}

// statement.size bits of substr: which of START and END were left out.
constexpr uint8_t kNoStart = 1, kNoEnd = 2;

}  // namespace

// NAME equs "TEXT": \NAME in later lines is replaced by TEXT.
bool ParseEqus(DirectiveParse& p, std::string& error) {
  if (!NeedsName(p, error)) return false;
  std::string text;
  if (!ReadText(p.operands, text, p.name, error)) return false;
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = 2;
  p.store.operands.push_back(TextOperand(p.store, p.label));
  p.store.operands.push_back(TextOperand(p.store, text));
  return true;
}

void RunEqus(PassState& state, const Statement& statement) {
  LineSource& source = *state.lines;
  const Operand* operands = StatementOperands(state, statement);
  DefineTextEquate(source, OperandText(*state.store, operands[0]),
                   std::string(OperandText(*state.store, operands[1])));
}

// NAME substr [START],[END],TEXT: characters START to END of TEXT, counted
// from 1 and inclusive; START is 1 and END the last character when left out.
// An END past the text stops at its end; a START past it gives no text.
bool ParseSubstr(DirectiveParse& p, std::string& error) {
  if (!NeedsName(p, error)) return false;
  std::vector<TextRange> parts = SplitParts(p.operands, 3);
  if (parts.size() != 3) {
    error = "substr takes a start, an end and a text: NAME substr START,END,\"TEXT\"";
    return false;
  }
  std::string text;
  if (!ReadText(parts[2], text, p.name, error)) return false;
  p.statement.size = 0;
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = 4;
  p.store.operands.push_back(TextOperand(p.store, p.label));
  for (int i = 0; i < 2; ++i) {
    Operand bound;
    bound.kind = kOpValue;
    if (IsBlank(parts[static_cast<size_t>(i)])) {
      p.statement.size |= i == 0 ? kNoStart : kNoEnd;
      bound.expr = ConstantExpr(p.store.expressions, 0);
    } else if (!ParseValue(parts[static_cast<size_t>(i)], p.parser, "substr", bound.expr, error)) {
      return false;
    }
    p.store.operands.push_back(bound);
  }
  p.store.operands.push_back(TextOperand(p.store, text));
  return true;
}

void RunSubstr(PassState& state, const Statement& statement) {
  LineSource& source = *state.lines;
  const Operand* operands = StatementOperands(state, statement);
  std::string_view text = OperandText(*state.store, operands[3]);
  int64_t length = static_cast<int64_t>(text.size());
  EvalResult start = EvaluateExpr(state, operands[1].expr);
  EvalResult end = EvaluateExpr(state, operands[2].expr);
  if (!start.valid || !end.valid) return;
  int64_t first = statement.size & kNoStart ? 1 : start.value;
  int64_t last = statement.size & kNoEnd ? length : end.value;
  if (first < 1) {
    PassError(state, "substr starts at character 1, not " + std::to_string(first));
    return;
  }
  // Past the end it takes what there is: header macros cut a name to a
  // field's width so, whatever the name's length.
  last = std::min(last, length);
  std::string part;
  if (last >= first) part = std::string(text.substr(static_cast<size_t>(first - 1),
                                                    static_cast<size_t>(last - first + 1)));
  DefineTextEquate(source, OperandText(*state.store, operands[0]), std::move(part));
}

// inform LEVEL,"TEXT"[,VALUE...]: TEXT with %d (decimal), %h (hexadecimal)
// and %s (a string) filled from the values. Level 0 is a plain message, 1 a
// warning, 2 an error, 3 an error that ends the assembly here.
bool ParseInform(DirectiveParse& p, std::string& error) {
  std::vector<TextRange> items;
  if (!SplitOperands(p.operands.begin, p.operands.end, items, error)) return false;
  if (items.size() < 2) {
    error = "inform takes a level and a text: inform LEVEL,\"TEXT\"[,VALUE...]";
    return false;
  }
  if (items.size() > kMaxItems) {
    error = "inform has too many values";
    return false;
  }
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = static_cast<uint16_t>(items.size());
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) {
    bool quoted = *items[i].begin == '"' || *items[i].begin == '\'';
    if (i == 1 || (i > 1 && quoted)) {
      if (!ReadText(items[i], text, p.name, error)) return false;
      p.store.operands.push_back(TextOperand(p.store, text));
      continue;
    }
    Operand value;
    value.kind = kOpValue;
    if (!ParseValue(items[i], p.parser, "inform", value.expr, error)) return false;
    p.store.operands.push_back(value);
  }
  return true;
}

void RunInform(PassState& state, const Statement& statement) {
  const Operand* operands = StatementOperands(state, statement);
  EvalResult level = EvaluateExpr(state, operands[0].expr);
  if (!level.valid) return;
  if (level.value < 0 || level.value > 3) {
    PassError(state, "inform's level is 0 (a message), 1 (a warning), 2 (an error) or 3 (an "
                     "error that ends the assembly), not " + std::to_string(level.value));
    return;
  }
  std::string_view format = OperandText(*state.store, operands[1]);
  if (!state.lines->ReadText(format.size())) return;  // as a line read again
  std::string text;
  uint16_t next = 2;
  for (size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    char field = i + 1 < format.size() ? ToLower(format[i + 1]) : 0;
    if (c != '%' || (field != 'd' && field != 'h' && field != 's' && field != '%')) {
      text += c;
      continue;
    }
    ++i;
    if (field == '%') {
      text += '%';
      continue;
    }
    if (next >= statement.operandCount) {
      PassError(state, "inform's text has more % fields than values");
      return;
    }
    const Operand& value = operands[next++];
    if (value.kind == kOpBytes) {
      if (field != 's') {
        PassError(state, std::string("inform's %") + field + " needs a value, not a string");
        return;
      }
      text += OperandText(*state.store, value);
      continue;
    }
    EvalResult r = EvaluateExpr(state, value.expr);
    text += field == 'h' ? Hex(static_cast<uint32_t>(r.value)).substr(1) : std::to_string(r.value);
  }
  switch (level.value) {
    case 0:
      PassMessage(state, Severity::Info, std::move(text));
      break;
    case 1:
      PassWarning(state, std::move(text));
      break;
    case 3:
      EndRun(state, std::move(text));
      state.lines->Stop();
      break;
    default:
      PassError(state, std::move(text));
  }
}

// fail MESSAGE: the message is the rest of the line, blanks and all.
bool ParseFail(DirectiveParse& p, std::string&) {
  const char* end = p.operands.begin;
  while (end < p.lineEnd && *end != ';') {
    end = *end == '\'' || *end == '"' ? SkipQuoted(end, p.lineEnd) : end + 1;
  }
  while (end > p.operands.begin && IsSpace(end[-1])) --end;
  SetOnlyOperand(p, TextOperand(p.store, std::string_view(p.operands.begin,
                                                          static_cast<size_t>(end - p.operands.begin))));
  return true;
}

// fatal TEXT: an error with TEXT (quoted, or the rest of the line) that
// ends the assembly at its line.
bool ParseFatal(DirectiveParse& p, std::string& error) {
  Cursor c{p.operands.begin, p.operands.end};
  c.SkipSpace();
  if (c.Peek() != '"' && c.Peek() != '\'') return ParseFail(p, error);
  std::string text;
  if (!ReadText(p.operands, text, p.name, error)) return false;
  SetOnlyOperand(p, TextOperand(p.store, text));
  return true;
}

void RunFatal(PassState& state, const Statement& statement) {
  std::string_view message = OperandText(*state.store, StatementOperands(state, statement)[0]);
  EndRun(state, message.empty() ? std::string("fatal") : std::string(message));
  state.lines->Stop();
}

// pushp TEXT puts TEXT (quoted, or bare) on a stack; popp NAME takes the
// last one off into the string equate NAME. Macros so keep lines of code
// to write out later in the other order.
bool ParsePushp(DirectiveParse& p, std::string& error) {
  std::string text;
  if (!ReadText(p.operands, text, p.name, error)) return false;
  SetOnlyOperand(p, TextOperand(p.store, text));
  return true;
}

void RunPushp(PassState& state, const Statement& statement) {
  LineSource& source = *state.lines;
  std::string_view text = OperandText(*state.store, StatementOperands(state, statement)[0]);
  if (source.Keep(text.size() + kEntryCost, 0)) source.pushedTexts.emplace_back(text);
}

bool ParsePopp(DirectiveParse& p, std::string& error) {
  Cursor c{p.operands.begin, p.operands.end};
  c.SkipSpace();
  std::string_view name;
  if (IsIdentStart(c.Peek()) && c.Peek() != '.' && c.Peek() != '@') name = c.Identifier();
  c.SkipSpace();
  if (name.empty() || !c.AtEnd()) {
    error = "popp needs the name of the string equate it defines: popp NAME";
    return false;
  }
  SetOnlyOperand(p, TextOperand(p.store, name));
  return true;
}

void RunPopp(PassState& state, const Statement& statement) {
  LineSource& source = *state.lines;
  if (source.pushedTexts.empty()) {
    PassError(state, "popp without a text put aside by pushp");
    return;
  }
  std::string text = std::move(source.pushedTexts.back());
  source.pushedTexts.pop_back();
  source.Keep(0, text.size() + kEntryCost);
  DefineTextEquate(source, OperandText(*state.store, StatementOperands(state, statement)[0]),
                   std::move(text));
}

void RunFail(PassState& state, const Statement& statement) {
  std::string_view message = OperandText(*state.store, StatementOperands(state, statement)[0]);
  if (!state.lines->ReadText(message.size())) return;  // as a line read again
  PassError(state, message.empty() ? std::string("fail") : "fail: " + std::string(message));
}

}  // namespace asm68k
