// Macros and repetition: macro, macros, the call of a macro, mexit, endm,
// shift, local, purge, rept, endr, while, endw, and end.

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "directive_families.h"
#include "directive_support.h"
#include "line_source.h"
#include "statements.h"
#include "macros.h"
#include "operation_names.h"

namespace asm68k {

namespace {

// The directives a macro can't take the name of: those that shape blocks
// or name what they define, which the line source must always see.
constexpr uint16_t kReservedDirective = kOpensIf | kElse | kElseIf | kEndIf | kOpensMacro |
                                        kEndMacro | kOpensRept | kEndRept | kOpensWhile |
                                        kEndWhile | kNamesSymbol | kMacroName;

// statement.size of a `macros` line whose body is the rest of the line.
constexpr uint8_t kBodyOnTheLine = 1;

// On the machine chosen (Options::machineIndex), the mnemonics only other
// processors have may name macros, as on the 68000.
bool CanNameMacro(std::string_view name, uint8_t machineIndex, std::string& error) {
  std::string lower = ToLowerCopy(name);
  if (name.empty() || name[0] == '.' || RegisterFromName(name) != kRegNone) {
    error = "'" + std::string(name) + "' cannot name a macro";
    return false;
  }
  Operation operation = FindOperationOn(lower, machineIndex);
  if (operation.forms.count > 0) {
    error = "a macro cannot be called '" + std::string(name) + "': that is an instruction";
    return false;
  }
  if (operation.directive >= 0 && (DirectiveAt(operation.directive).flags & kReservedDirective)) {
    error = "a macro cannot be called '" + std::string(name) + "': that is a directive";
    return false;
  }
  return true;
}

// Reads "A,B,C" into `names`; false, with `error` set when `strict`, when
// the text is no list of names.
// Names a macro or local line may list: each becomes an operand, counted in 16 bits.
constexpr size_t kMaxNames = 60000;

bool ReadParameterNames(TextRange text, std::vector<std::string_view>& names, bool strict,
                        std::string& error) {
  Cursor c{text.begin, text.end};
  auto notNames = [&] {
    if (strict) {
      error = "macro parameters are names separated by commas, not " + Excerpt(c.p, c.end);
    }
    return false;
  };
  // Names already read, in lower case: a long list is checked for one named
  // twice in a time that grows with its length, not with its square.
  std::unordered_set<std::string> seen;
  c.SkipSpace();
  while (!c.AtEnd()) {
    if (names.size() >= kMaxNames) {
      error = "more than 60,000 names on one line";
      return false;
    }
    if (!names.empty()) {  // after a name: a comma, then the next name
      if (!c.Match(',')) return notNames();
      c.SkipSpace();
      if (c.AtEnd()) {
        if (strict) error = "macro parameters end with a comma";
        return false;
      }
    }
    if (!IsIdentStart(c.Peek()) || c.Peek() == '.' || c.Peek() == '@') return notNames();
    std::string_view name = c.Identifier();
    if (!strict && IsOperationName(name)) return false;  // "macros rts" is a body
    if (!seen.insert(ToLowerCopy(name)).second) {
      error = "macro parameter '" + std::string(name) + "' is named twice";
      return false;
    }
    names.push_back(name);
    c.SkipSpace();
  }
  return true;
}

// The rest of a line after its operation, up to a ';' comment.
std::string_view RestOfLine(const char* begin, const char* lineEnd) {
  const char* end = begin;
  while (end < lineEnd && *end != ';') {
    end = *end == '\'' || *end == '"' ? SkipQuoted(end, lineEnd) : end + 1;
  }
  while (begin < end && IsSpace(*begin)) ++begin;
  while (end > begin && IsSpace(end[-1])) --end;
  return std::string_view(begin, static_cast<size_t>(end - begin));
}

// A body made of lines read here, so that what this expansion puts into
// them stays when it ends, or of one line of text.
std::unique_ptr<SourceText> CopiedBody(LineSource& source, SourceText& text, uint32_t first,
                                       uint32_t end) {
  auto copy = std::make_unique<SourceText>();
  copy->file = text.file;
  copy->indexed = true;
  copy->transient = true;
  for (uint32_t i = first; i < end; ++i) {
    const LineInfo& line = text.lines[i];
    TextRange read = source.Read(text, line);
    AppendLine(*copy, read.begin, read.end, line.number);
  }
  return copy;
}

// What a macro keeps of its own (see kMaxKeptByPass): its parameters, and
// a body copied from an expansion. Its name is counted apart, once for
// each name the pass defined or purged.
uint64_t KeptBy(const MacroDefinition* macro) {
  if (!macro) return 0;
  uint64_t kept = macro->copy ? macro->copy->text.size() + macro->copy->joined.size() : 0;
  for (const std::string& parameter : macro->parameters) kept += parameter.size() + kEntryCost;
  return kept;
}

void Register(PassState& state, std::shared_ptr<MacroDefinition> macro) {
  LineSource& source = *state.lines;
  std::string key = ToLowerCopy(macro->name);
  auto earlier = source.macros.find(key);
  const bool newName = earlier == source.macros.end() && source.purged.count(key) == 0;
  if (!source.Keep(KeptBy(macro.get()) + (newName ? key.size() + kEntryCost : 0),
                   earlier == source.macros.end() ? 0 : KeptBy(earlier->second.get()))) {
    return;
  }
  int directive = FindDirective(key);
  if (directive >= 0) {
    source.directiveMacros.resize(static_cast<size_t>(DirectiveCount()));
    source.directiveMacros[static_cast<size_t>(directive)] = true;
  }
  state.assembly->macroLines.emplace(key, state.line);
  source.purged.erase(key);
  source.macros[key] = std::move(macro);
}

}  // namespace

// NAME macro [A,B...], NAME: macro, or macro NAME; and NAME macros [A,B...],
// whose body is the next line, or NAME macros BODY, whose body is the rest
// of its line. Operands: the name as written, then the parameters' names,
// then (kBodyOnTheLine) the body.
bool ParseMacro(DirectiveParse& p, std::string& error) {
  std::string_view name = p.label;
  bool oneLine = p.name == "macros";
  if (name.empty() && !oneLine) {
    Cursor c{p.operands.begin, p.operands.end};
    c.SkipSpace();
    if (IsIdentStart(c.Peek())) name = c.Word();
    c.SkipSpace();
    if (name.empty() || !c.AtEnd()) {
      error = "macro needs a name: NAME macro, or macro NAME";
      return false;
    }
  }
  if (name.empty()) {
    error = "macros needs a name: NAME macros";
    return false;
  }
  if (!CanNameMacro(name, p.parser.machineIndex, error)) return false;
  std::vector<std::string_view> parameters;
  std::string_view body;
  if (oneLine) {
    std::string_view rest = RestOfLine(p.operands.begin, p.lineEnd);
    TextRange restRange{rest.data(), rest.data() + rest.size()};
    if (!ReadParameterNames(restRange, parameters, false, error)) {
      if (!error.empty()) return false;
      parameters.clear();
      body = rest;
    }
  } else if (!p.label.empty() && !ReadParameterNames(p.operands, parameters, true, error)) {
    return false;
  }
  p.statement.size = body.empty() ? 0 : kBodyOnTheLine;
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = static_cast<uint16_t>(1 + parameters.size() + (body.empty() ? 0 : 1));
  p.store.operands.push_back(TextOperand(p.store, name));
  for (std::string_view parameter : parameters) {
    p.store.operands.push_back(TextOperand(p.store, parameter));
  }
  if (!body.empty()) p.store.operands.push_back(TextOperand(p.store, body));
  return true;
}

void RunMacro(PassState& state, const Statement& statement) {
  LineSource& source = *state.lines;
  const Operand* operands = StatementOperands(state, statement);
  auto macro = std::make_shared<MacroDefinition>();
  macro->name = std::string(OperandText(*state.store, operands[0]));
  bool bodyOnTheLine = statement.size == kBodyOnTheLine;
  uint16_t parameters = static_cast<uint16_t>(statement.operandCount - (bodyOnTheLine ? 1 : 0));
  for (uint16_t i = 1; i < parameters; ++i) {
    macro->parameters.emplace_back(OperandText(*state.store, operands[i]));
    macro->parameterIndex.Added(macro->parameters.size() - 1, [&](size_t at) -> std::string_view {
      return macro->parameters[at];
    });
  }
  Frame& frame = source.frames.back();
  if (bodyOnTheLine) {
    std::string_view body = OperandText(*state.store, operands[parameters]);
    macro->copy = std::make_unique<SourceText>();
    macro->copy->file = state.file;
    macro->copy->indexed = true;
    macro->copy->transient = true;
    AppendLine(*macro->copy, body.data(), body.data() + body.size(), state.line);
  } else if (DirectiveAt(statement.form).flags & kOpensMacro) {
    int64_t end = FindBlockEnd(source, kOpensMacro, kEndMacro);
    if (end < 0) {
      PassError(state, "macro " + macro->name + " has no endm before the end of " +
                           BlockName(frame));
      frame.next = frame.end;
      return;
    }
    macro->text = frame.text;
    macro->first = frame.next;
    macro->end = static_cast<uint32_t>(end);
    frame.next = static_cast<uint32_t>(end) + 1;
  } else {  // macros: the next line
    macro->text = frame.text;
    macro->first = frame.next;
    macro->end = std::min(frame.next + 1, frame.end);
    frame.next = macro->end;
  }
  // Defined inside an expansion: its lines are read here, with what this
  // expansion puts in, and kept, since the expansion's text may go first.
  if (macro->text && (source.CurrentCall() || frame.text->transient)) {
    macro->copy = CopiedBody(source, *frame.text, macro->first, macro->end);
  }
  if (macro->copy) {
    macro->text = macro->copy.get();
    macro->first = 0;
    macro->end = static_cast<uint32_t>(macro->copy->lines.size());
  }
  macro->bodyText = TextBetween(*macro->text, macro->first, macro->end);
  if (!(DirectiveAt(statement.form).flags & kOpensMacro) && macro->first < macro->end) {
    int directive = ClassifyLine(*macro->text, macro->first);
    macro->opensIf = directive >= 0 && (DirectiveAt(directive).flags & kOpensIf);
    if (macro->opensIf) ++source.ifMacros;
  }
  Register(state, std::move(macro));
}

void RunMacroCall(PassState& state, const Statement&) {
  LineSource& source = *state.lines;
  // The line parsed once already; its fields are all the call needs.
  LineFields fields;
  std::string error;
  SplitLineOn(state.options.machineIndex, state.lineBegin, state.lineEnd, fields, error,
              state.options.blanksInOperands);
  // The name with its size as written: \0 gives the size in its own case.
  std::string written(fields.operation.data(),
                      fields.operation.size() + (fields.size ? 2 : 0) +
                          (fields.suffixLength == 0 ? 0 : 1 + fields.suffixLength));
  size_t dot = written.find('.');
  std::string name = ToLowerCopy(written.substr(0, dot));
  auto found = source.macros.find(name);
  if (found == source.macros.end()) {
    auto purged = source.purged.find(name);
    auto later = state.assembly->macroLines.find(name);
    if (purged != source.purged.end()) {
      PassError(state, "macro " + written + " was removed by the purge on line " +
                           std::to_string(purged->second));
    } else if (later != state.assembly->macroLines.end()) {
      PassError(state, "macro " + written + " is used before its definition on line " +
                           std::to_string(later->second));
    } else {
      // Another processor's mnemonic: the message names the one that has it.
      uint16_t machines = 0;
      FormRange rows = FindOperation(name).forms;
      for (uint16_t i = 0; i < rows.count; ++i) {
        machines |= FormAt(static_cast<uint16_t>(rows.first + i)).machines;
      }
      const uint16_t chosen = ChosenMachine(state.options);
      PassError(state, machines ? name + " needs " + MachinesNeeded(machines, chosen)
                                : "unknown instruction '" + written + "'");
      // A macro of that name further down would make this message wrong:
      // one more pass knows.
      if (state.pass == 1) {
        state.unresolvedForward = true;
        state.redoPossible = false;
      }
    }
    return;
  }
  auto call = std::make_unique<MacroCallText>();
  std::string_view field(fields.operands, static_cast<size_t>(fields.operandsEnd - fields.operands));
  if (!SplitMacroArguments(field, call->arguments, error)) {
    PassError(state, error);
    return;
  }
  if (NestTooDeep(state)) return;
  std::shared_ptr<const MacroDefinition> macro = found->second;
  if (!source.ReadAgain(macro->bodyText)) return;
  // The arguments are kept until the expansion ends: calls nested 256 deep
  // with a long list each hold them all.
  if (dot != std::string::npos) {
    call->size = written.substr(dot + 1);
    // A word after the dot names what the macro is to do (Console.Run), and
    // the macros that take one compare it in lower case (strcmp("\0","run")):
    // unless labels are case-sensitive, it is given in lower case. A size
    // letter stays as written.
    if (call->size.size() > 1 && !state.options.caseSensitive) call->size = ToLowerCopy(call->size);
  }
  uint64_t kept = call->size.size();
  for (const std::string& argument : call->arguments) kept += argument.size() + kEntryCost;
  if (!source.Keep(kept, 0)) return;
  // \@: "_" and the expansion's number, six digits at least.
  call->unique = std::to_string(++source.expansions);
  if (call->unique.size() < 6) call->unique.insert(0, 6 - call->unique.size(), '0');
  call->unique.insert(0, 1, '_');
  call->parameters = &macro->parameters;
  call->parameterIndex = &macro->parameterIndex;

  Frame frame;
  frame.kind = Frame::Macro;
  frame.text = macro->text;
  frame.next = macro->first;
  frame.end = macro->end;
  frame.conditionals = source.conditionals.size();
  frame.callFile = state.file;
  frame.callLine = state.line;
  frame.expansion = static_cast<int32_t>(source.frames.size());
  frame.macro = std::move(macro);
  frame.call = std::move(call);
  frame.kept = static_cast<uint32_t>(kept);
  PushFrame(source, std::move(frame));
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

// shift: \1 becomes the old \2, and narg goes down by one.
void RunShift(PassState& state, const Statement&) {
  MacroCallText* call = state.lines->CurrentCall();
  if (!call) {
    PassError(state, "shift outside a macro");
    return;
  }
  if (call->Count() > 0) ++call->shifted;
}

// local NAME,...: names private to each expansion, put in as NAME and the
// expansion's \@ text.
bool ParseLocal(DirectiveParse& p, std::string& error) {
  std::vector<std::string_view> names;
  if (!ReadParameterNames(p.operands, names, true, error) || names.empty()) {
    if (error.empty() || names.empty()) error = "local needs names separated by commas";
    return false;
  }
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = static_cast<uint16_t>(names.size());
  for (std::string_view name : names) p.store.operands.push_back(TextOperand(p.store, name));
  return true;
}

void RunLocal(PassState& state, const Statement& statement) {
  MacroCallText* call = state.lines->CurrentCall();
  if (!call) {
    PassError(state, "local outside a macro");
    return;
  }
  const Operand* operands = StatementOperands(state, statement);
  for (uint16_t i = 0; i < statement.operandCount; ++i) {
    std::string name(OperandText(*state.store, operands[i]));
    // A name costs more than a term: it counts as one for each character it makes.
    if (!CountTerms(state, 2 * name.size() + call->unique.size())) return;
    // Kept until the expansion ends.
    const uint64_t kept = 2 * name.size() + call->unique.size() + kEntryCost;
    Frame& expansion = state.lines->frames[static_cast<size_t>(state.lines->frames.back().expansion)];
    if (!state.lines->Keep(kept, 0)) return;
    expansion.kept += static_cast<uint32_t>(kept);
    call->locals.emplace_back(name, name + call->unique);
    call->localIndex.Added(call->locals.size() - 1, [&](size_t at) -> std::string_view {
      return call->locals[at].first;
    });
  }
}

// purge NAME: the macro is gone from here on.
bool ParsePurge(DirectiveParse& p, std::string& error) {
  Cursor c{p.operands.begin, p.operands.end};
  c.SkipSpace();
  std::string_view name;
  if (IsIdentStart(c.Peek())) name = c.Word();
  c.SkipSpace();
  if (name.empty() || !c.AtEnd()) {
    error = "purge needs the name of a macro";
    return false;
  }
  SetOnlyOperand(p, TextOperand(p.store, name));
  return true;
}

// Pushes a rept or while frame whose body, from its `next` line to its `end`,
// is read again from the text being read, with the same arguments as the
// lines around it. Nothing is pushed once the text read again reaches its
// bound (that is the error).
static void PushRepetition(PassState& state, Frame frame) {
  LineSource& source = *state.lines;
  frame.text = source.frames.back().text;
  frame.bodyText = TextBetween(*frame.text, frame.next, frame.end);
  if (!source.ReadAgain(frame.bodyText)) return;
  frame.conditionals = source.conditionals.size();
  frame.callFile = state.file;
  frame.callLine = state.line;
  frame.expansion = source.frames.back().expansion;
  PushFrame(source, std::move(frame));
}

void RunPurge(PassState& state, const Statement& statement) {
  LineSource& source = *state.lines;
  std::string_view name = OperandText(*state.store, StatementOperands(state, statement)[0]);
  std::string key = ToLowerCopy(name);
  auto found = source.macros.find(key);
  if (found != source.macros.end()) source.Keep(0, KeptBy(found->second.get()));
  if (source.macros.erase(key) == 0) {
    PassError(state, "purge: no macro '" + std::string(name) + "' is defined here");
    return;
  }
  source.purged[key] = state.line;
  int directive = FindDirective(key);
  if (directive >= 0 && static_cast<size_t>(directive) < source.directiveMacros.size()) {
    source.directiveMacros[static_cast<size_t>(directive)] = false;
  }
}

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
  int64_t end = FindBlockEnd(source, kOpensRept, kEndRept);
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
  rept.next = rept.bodyStart = bodyStart;
  rept.end = static_cast<uint32_t>(end);
  rept.count = count;
  PushRepetition(state, std::move(rept));
}

void RunEndRept(PassState& state, const Statement&) { PassError(state, "endr without rept"); }

// while COND ... endw: the body again and again while COND is not 0. Its
// frame holds the while line and the body, so that the line is read (and
// counted against the run's bounds) before each repetition.
void RunWhile(PassState& state, const Statement& statement) {
  LineSource& source = *state.lines;
  Frame& frame = source.frames.back();
  const uint32_t here = frame.next - 1;  // this line, in its text
  EvalResult r = EvaluateExpr(state, StatementOperands(state, statement)[0].expr);
  bool holds = KnownWhereRead(state, "while", r) && r.value != 0;
  if (frame.kind == Frame::While && frame.bodyStart == here) {  // read again: once more?
    if (holds) {
      ++frame.repetition;
      frame.step = 0;
      if (!source.ReadAgain(frame.bodyText)) PopFrame(source);
    } else {
      PopFrame(source);
    }
    return;
  }
  int64_t end = FindBlockEnd(source, kOpensWhile, kEndWhile);
  if (end < 0) {
    PassError(state, std::string("while has no endw before the end of ") + BlockName(frame));
    frame.next = frame.end;
    return;
  }
  frame.next = static_cast<uint32_t>(end) + 1;
  if (!holds || NestTooDeep(state)) return;
  Frame loop;
  loop.kind = Frame::While;
  loop.bodyStart = here;
  loop.next = here + 1;
  loop.end = static_cast<uint32_t>(end);
  PushRepetition(state, std::move(loop));
}

void RunEndWhile(PassState& state, const Statement&) { PassError(state, "endw without while"); }

void RunEnd(PassState& state, const Statement&) { state.lines->Stop(); }

}  // namespace asm68k
