#include "directive_families.h"

#include <algorithm>
#include <vector>

#include "directive_support.h"
#include "line_source.h"
#include "macros.h"
#include "operation_names.h"

namespace asm68k {

namespace {

// Expansions number their own local scope below the global one.
int32_t ExpansionScope(uint32_t expansion) { return -2 - static_cast<int32_t>(expansion); }
}  // namespace

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
void RunMacro(PassState& state, const Statement& statement) {
  LineSource& source = *state.lines;
  std::string name(OperandText(*state.store, StatementOperands(state, statement)[0]));
  Frame& frame = source.frames.back();
  int64_t end = FindBlockEnd(frame, kOpensMacro, kEndMacro);
  if (end < 0) {
    PassError(state, "macro " + name + " has no endm before the end of " + BlockName(frame));
    frame.next = frame.end;
    return;
  }
  Macro macro;
  const Operand* operands = StatementOperands(state, statement);
  for (uint16_t i = 1; i < statement.operandCount; ++i) {
    macro.parameters.emplace_back(OperandText(*state.store, operands[i]));
  }
  macro.text = frame.text;
  macro.first = frame.next;
  macro.end = static_cast<uint32_t>(end);
  if (frame.text->transient) {
    // Defined by an expansion, whose text goes when it ends: keep a copy.
    macro.copy = std::make_unique<SourceText>();
    macro.copy->file = frame.text->file;
    for (uint32_t i = macro.first; i < macro.end; ++i) {
      const LineInfo& line = frame.text->lines[i];
      AppendLine(*macro.copy, frame.text->LineBegin(line), frame.text->LineEnd(line), line.number);
    }
    macro.text = macro.copy.get();
    macro.first = 0;
    macro.end = static_cast<uint32_t>(macro.copy->lines.size());
  }
  state.assembly->macroLines.emplace(name, state.line);
  source.macros[name] = std::move(macro);
  frame.next = static_cast<uint32_t>(end) + 1;
}

void RunMacroCall(PassState& state, const Statement&) {
  LineSource& source = *state.lines;
  // The line parsed once already; its fields are all the call needs.
  LineFields fields;
  std::string error;
  SplitLine(state.lineBegin, state.lineEnd, IsOperationName, fields, error);
  // The name with its size as written: \0 gives the size in its own case.
  std::string written(fields.operation.data(), fields.operation.size() + (fields.size ? 2 : 0));
  size_t dot = written.find('.');
  std::string name = ToLowerCopy(written.substr(0, dot));
  auto found = source.macros.find(name);
  if (found == source.macros.end()) {
    auto later = state.assembly->macroLines.find(name);
    if (later != state.assembly->macroLines.end()) {
      PassError(state, "macro " + written + " is used before its definition on line " +
                           std::to_string(later->second));
    } else {
      PassError(state, "unknown instruction '" + written + "'");
      // A macro of that name further down would make this message wrong:
      // one more pass knows.
      if (state.pass == 1) state.unresolvedForward = true;
    }
    return;
  }
  std::vector<std::string>& arguments = source.arguments;
  std::string_view field(fields.operands, static_cast<size_t>(fields.operandsEnd - fields.operands));
  if (!SplitMacroArguments(field, arguments, error)) {
    PassError(state, error);
    return;
  }
  if (NestTooDeep(state)) return;
  const Macro& macro = found->second;
  uint32_t expansion = ++source.expansions;
  // \@: "_" and the expansion's number, six digits at least.
  std::string unique = std::to_string(expansion);
  if (unique.size() < 6) unique.insert(0, 6 - unique.size(), '0');
  unique.insert(0, 1, '_');
  char size = dot == std::string::npos ? 0 : written[dot + 1];
  MacroCallText call{arguments, size, unique, macro.parameters, source.uniqueStack};

  std::unique_ptr<SourceText> text;
  if (source.spareTexts.empty()) {
    text = std::make_unique<SourceText>();
  } else {
    text = std::move(source.spareTexts.back());
    source.spareTexts.pop_back();
    text->text.clear();
    text->lines.clear();
    text->classes.clear();
  }
  text->file = macro.text->file;
  text->transient = true;
  text->indexed = true;
  text->narg = static_cast<int32_t>(arguments.size());
  std::string& line = source.substituted;
  bool stackOk = true;
  for (uint32_t i = macro.first; i < macro.end; ++i) {
    const LineInfo& body = macro.text->lines[i];
    line.clear();
    stackOk &= SubstituteLine(std::string_view(macro.text->LineBegin(body), body.length), call, line);
    AppendLine(*text, line.data(), line.data() + line.size(), body.number);
  }
  if (!stackOk) {
    PassError(state, "macro " + written +
                         " uses \\@@ or \\@? with nothing put aside by an earlier \\@!");
  }

  Frame frame;
  frame.kind = Frame::Macro;
  frame.text = text.get();
  frame.end = static_cast<uint32_t>(text->lines.size());
  frame.conditionals = source.conditionals.size();
  frame.callFile = state.file;
  frame.callLine = state.line;
  frame.callerScope = state.scope;
  frame.name = &found->first;
  frame.expansion = std::move(text);
  frame.mark = state.assembly->transient.Watermark();
  source.frames.push_back(std::move(frame));
  state.scope = ExpansionScope(expansion);
}

void RunMexit(PassState& state, const Statement&) {
  LineSource& source = *state.lines;
  size_t macro = source.frames.size();
  while (macro > 0 && source.frames[macro - 1].kind != Frame::Macro) --macro;
  if (macro == 0) {
    PassError(state, "mexit outside a macro");
    return;
  }
  while (source.frames.size() >= macro) PopFrame(source);
}

void RunEndMacro(PassState& state, const Statement&) { PassError(state, "endm without macro"); }

void RunRept(PassState& state, const Statement& statement) {
  LineSource& source = *state.lines;
  EvalResult r = EvaluateExpr(state, StatementOperands(state, statement)[0].expr);
  uint32_t count = 0;
  if (KnownWhereRead(state, "rept", r)) {
    if (r.value < 0) {
      PassError(state, "rept count cannot be negative (" + std::to_string(r.value) + ")");
    } else {
      count = static_cast<uint32_t>(r.value);
    }
  }
  Frame& frame = source.frames.back();
  int64_t end = FindBlockEnd(frame, kOpensRept, kEndRept);
  if (end < 0) {
    PassError(state, std::string("rept has no endr before the end of ") + BlockName(frame));
    frame.next = frame.end;
    return;
  }
  uint32_t bodyStart = frame.next;
  frame.next = static_cast<uint32_t>(end) + 1;
  if (count == 0 || bodyStart == static_cast<uint32_t>(end) || NestTooDeep(state)) return;
  Frame rept;
  rept.kind = Frame::Rept;
  rept.text = source.frames.back().text;
  rept.next = rept.bodyStart = bodyStart;
  rept.end = static_cast<uint32_t>(end);
  rept.count = count;
  rept.conditionals = source.conditionals.size();
  rept.callFile = state.file;
  rept.callLine = state.line;
  source.frames.push_back(std::move(rept));
}

void RunEndRept(PassState& state, const Statement&) { PassError(state, "endr without rept"); }
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
void RunEnd(PassState& state, const Statement&) { state.lines->Stop(); }
}  // namespace asm68k
