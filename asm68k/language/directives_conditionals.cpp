#include "directive_families.h"

#include <unordered_map>
#include <vector>

#include "directive_support.h"
#include "line_source.h"
#include "statements.h"

namespace asm68k {

namespace {

// Whether a conditional block is open in the top frame (not one around it).
bool OpenHere(const LineSource& source) {
  return source.conditionals.size() > source.frames.back().conditionals;
}

bool Test(IfTest test, int32_t value) {
  switch (test) {
    case kIfZero:
      return value == 0;
    case kIfGreater:
      return value > 0;
    case kIfGreaterEqual:
      return value >= 0;
    case kIfLess:
      return value < 0;
    case kIfLessEqual:
      return value <= 0;
    default:
      return value != 0;
  }
}

// The truth of an if/elseif statement in this pass; an unknown value counts
// as false after its error.
bool Condition(PassState& state, const Statement& statement) {
  const Directive& directive = DirectiveAt(statement.form);
  EvalResult r = EvaluateExpr(state, StatementOperands(state, statement)[0].expr);
  if (!KnownWhereRead(state, directive.name, r)) return false;
  return Test(static_cast<IfTest>(statement.size), r.value);
}

// Skips a false branch: on to the else that starts the next branch, an
// elseif whose condition holds, or the endif that closes the block.
// `elsesCount` is false when an earlier branch was taken; `sawElse` when the
// block's else has been passed already (another else is then an error).
// The lines stepped over count as lines read. A block that a one-line
// macro opened goes on in the lines of the frame that called it.
void SkipBranch(PassState& state, uint32_t ifFile, uint32_t ifLine, bool elsesCount,
                bool sawElse) {
  LineSource& source = *state.lines;
  int depth = 0;
  for (;;) {
    Frame& frame = source.frames.back();
    uint32_t start = frame.next;
    // A call of a one-line macro that opens a block opens one here too.
    const bool ifMacros = source.ifMacros > 0;
    for (uint32_t i = frame.next; i < frame.end; ++i) {
      LineInfo& line = frame.text->lines[i];
      int directive = ClassifyLine(*frame.text, i);
      if (directive < 0) {
        if (ifMacros && IfMacroCalled(source, *frame.text, line)) ++depth;
        continue;
      }
      uint16_t flags = DirectiveAt(directive).flags;
      if (flags & kOpensIf) {
        ++depth;
        continue;
      }
      if (flags & kEndIf) {
        if (depth-- > 0) continue;
        frame.next = i + 1;
        source.StepOver(frame.next - start);
        return;
      }
      if (depth > 0 || !(flags & (kElse | kElseIf))) continue;
      if (sawElse) {
        ErrorAt(state, frame.text->file, line.number,
                std::string(DirectiveAt(directive).name) + " after the else of the if on line " +
                    std::to_string(ifLine));
      }
      sawElse |= (flags & kElse) != 0;
      if (!elsesCount) continue;
      frame.next = i + 1;
      source.StepOver(frame.next - start);
      state.file = frame.text->file;
      state.line = line.number;
      if (flags & kElse) {
        source.conditionals.push_back({ifFile, ifLine, true});
        return;
      }
      Statement elseif = StatementAt(state, *frame.text, line);
      if (elseif.kind == StatementKind::Directive && Condition(state, elseif)) {
        source.conditionals.push_back({ifFile, ifLine, false});
        return;
      }
      start = frame.next;  // the lines up to it are counted
    }
    source.StepOver(frame.end - start);
    if (frame.kind == Frame::Macro && frame.macro->opensIf &&
        source.conditionals.size() == frame.conditionals && source.frames.size() > 1) {
      ifFile = frame.callFile;
      ifLine = frame.callLine;
      PopFrame(source);
      continue;
    }
    ErrorAt(state, ifFile, ifLine,
            std::string("this conditional block has no endif before the end of ") +
                BlockName(frame));
    frame.next = frame.end;
    return;
  }
}

void EnterIf(PassState& state, bool truth) {
  if (truth) {
    state.lines->conditionals.push_back({state.file, state.line, false});
  } else {
    SkipBranch(state, state.file, state.line, true, false);
  }
}

// " (include chain: main.asm:3 > a.asm:7 > b.asm:2)": the files open, each
}  // namespace


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
  bool local = IsLocalName(name, p.parser.atStartsLocal);
  if (local) p.parser.used |= kUsedScope;
  operand.expr.first =
      p.parser.symbols.Intern(name, local ? p.parser.scope : kGlobalScope,
                              p.parser.caseSensitive);
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = 1;
  p.store.operands.push_back(operand);
  return true;
}

namespace {

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

}  // namespace

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


void RunIf(PassState& state, const Statement& statement) {
  EnterIf(state, Condition(state, statement));
}

void RunIfDefined(PassState& state, const Statement& statement) {
  const Operand& operand = StatementOperands(state, statement)[0];
  const Symbol& symbol = state.assembly->symbols.symbols[operand.expr.first];
  bool defined = symbol.definedPass == state.pass;  // above this line, in this pass
  EnterIf(state, Test(static_cast<IfTest>(statement.size), defined ? 1 : 0));
}

void RunElse(PassState& state, const Statement& statement) {
  LineSource& source = *state.lines;
  std::string name(DirectiveAt(statement.form).name);
  if (!OpenHere(source)) {
    PassError(state, name + " without if");
    return;
  }
  // The branch before this one was taken: skip the rest of the block.
  LineSource::Conditional open = source.conditionals.back();
  source.conditionals.pop_back();
  if (open.inElse) {
    PassError(state, name + " after the else of the if on line " + std::to_string(open.line));
  }
  SkipBranch(state, open.file, open.line, false,
             open.inElse || (DirectiveAt(statement.form).flags & kElse));
}

void RunEndIf(PassState& state, const Statement& statement) {
  LineSource& source = *state.lines;
  if (!OpenHere(source)) {
    PassError(state, std::string(DirectiveAt(statement.form).name) + " without if");
    return;
  }
  source.conditionals.pop_back();
}
}  // namespace asm68k
