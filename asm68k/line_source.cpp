#include "line_source.h"

#include <algorithm>
#include <cstring>

#include "directives.h"
#include "encoder.h"
#include "macros.h"
#include "parser.h"

namespace asm68k {

namespace {

bool IsCommentOrBlank(const char* begin, const char* end) {
  const char* p = begin;
  while (p < end && IsSpace(*p)) ++p;
  return p == end || *p == ';' || *p == '*';
}

void AppendLine(SourceText& text, const char* begin, const char* end, uint32_t number) {
  if (IsCommentOrBlank(begin, end)) return;
  LineInfo line;
  line.offset = static_cast<uint32_t>(text.text.size());
  line.length = static_cast<uint32_t>(end - begin);
  line.number = number;
  text.text.append(begin, end);
  text.lines.push_back(line);
}

std::string FileName(const Assembly& assembly, uint32_t file) {
  return assembly.files[file]->name;
}

std::string Where(const Assembly& assembly, uint32_t file, uint32_t line) {
  return FileName(assembly, file) + ":" + std::to_string(line);
}

const char* BlockName(const Frame& frame) {
  switch (frame.kind) {
    case Frame::Macro:
      return "the macro";
    case Frame::Rept:
      return "the rept body";
    default:
      return "the file";
  }
}

// Expansions number their own local scope below the global one.
int32_t ExpansionScope(uint32_t expansion) { return -2 - static_cast<int32_t>(expansion); }

// In the top frame, from its next line on: the index of the line that ends
// the block (kind `closes`), counting blocks (kind `opens`) nested inside; -1
// when the frame runs out first.
int64_t FindBlockEnd(const Frame& frame, uint16_t opens, uint16_t closes) {
  int depth = 0;
  for (uint32_t i = frame.next; i < frame.end; ++i) {
    int directive = ClassifyLine(*frame.text, i);
    if (directive < 0) continue;
    uint16_t flags = DirectiveAt(directive).flags;
    if (flags & opens) {
      ++depth;
    } else if (flags & closes) {
      if (depth == 0) return i;
      --depth;
    }
  }
  return -1;
}

void ErrorAt(PassState& state, uint32_t file, uint32_t line, std::string text) {
  uint32_t savedFile = state.file, savedLine = state.line;
  state.file = file;
  state.line = line;
  PassError(state, std::move(text));
  state.file = savedFile;
  state.line = savedLine;
}

// Whether a conditional block is open in the top frame (not one around it).
bool OpenHere(const LineSource& source) {
  return source.conditionals.size() > source.frames.back().conditionals;
}

bool ConditionKnown(PassState& state, std::string_view directive, const EvalResult& r) {
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
  if (!ConditionKnown(state, directive.name, r)) return false;
  return Test(static_cast<IfTest>(statement.size), r.value);
}

// Skips a false branch: on to the else that starts the next branch, an
// elseif whose condition holds, or the endif that closes the block.
// `elsesCount` is false when an earlier branch was taken; `sawElse` when the
// block's else has been passed already (another else is then an error).
void SkipBranch(PassState& state, uint32_t ifFile, uint32_t ifLine, bool elsesCount,
                bool sawElse) {
  LineSource& source = *state.lines;
  Frame& frame = source.frames.back();
  int depth = 0;
  for (uint32_t i = frame.next; i < frame.end; ++i) {
    LineInfo& line = frame.text->lines[i];
    int directive = ClassifyLine(*frame.text, i);
    if (directive < 0) continue;
    uint16_t flags = DirectiveAt(directive).flags;
    if (flags & kOpensIf) {
      ++depth;
      continue;
    }
    if (flags & kEndIf) {
      if (depth-- > 0) continue;
      frame.next = i + 1;
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
  }
  ErrorAt(state, ifFile, ifLine,
          std::string("this conditional block has no endif before the end of ") + BlockName(frame));
  frame.next = frame.end;
}

void EnterIf(PassState& state, bool truth) {
  if (truth) {
    state.lines->conditionals.push_back({state.file, state.line, false});
  } else {
    SkipBranch(state, state.file, state.line, true, false);
  }
}

// " (include chain: main.asm:3 > a.asm:7 > b.asm:2)": the files open, each
// with the line reached in it, when the line being run is in an include.
std::string IncludeChain(const PassState& state) {
  const LineSource& source = *state.lines;
  std::string chain;
  int files = 0;
  for (size_t i = 0; i < source.frames.size(); ++i) {
    const Frame& frame = source.frames[i];
    if (frame.kind != Frame::File && frame.kind != Frame::Include) continue;
    uint32_t line = i + 1 < source.frames.size() ? source.frames[i + 1].callLine : state.line;
    chain += (files++ ? " > " : "") + Where(*state.assembly, frame.text->file, line);
  }
  return files < 2 ? std::string() : " (include chain: " + chain + ")";
}

bool NestTooDeep(PassState& state) {
  const LineSource& source = *state.lines;
  int expansions = 0, includes = 0;
  for (const Frame& frame : source.frames) {
    if (frame.kind == Frame::Macro || frame.kind == Frame::Rept) ++expansions;
    if (frame.kind == Frame::Include) ++includes;
  }
  if (expansions >= kMaxExpansionDepth) {
    PassError(state, "macros and rept blocks nest more than " +
                         std::to_string(kMaxExpansionDepth) + " deep");
    state.fatal = true;
    state.lines->Stop();
    return true;
  }
  if (includes >= kMaxIncludeDepth) {
    PassError(state,
              "includes are nested more than " + std::to_string(kMaxIncludeDepth) + " deep" +
                  IncludeChain(state));
    return true;
  }
  return false;
}

void PopFrame(LineSource& source) {
  Frame& frame = source.frames.back();
  if (source.conditionals.size() > frame.conditionals) source.conditionals.resize(frame.conditionals);
  if (frame.kind != Frame::Macro) {
    source.frames.pop_back();
    return;
  }
  source.state.scope = frame.callerScope;
  ParseStore::Mark mark = frame.mark;
  source.spareTexts.push_back(std::move(frame.expansion));
  source.frames.pop_back();
  // The expansion's parses die with its text.
  source.assembly.transient.CutBack(mark);
}

// The top frame has run out of lines: repeat a rept body, or leave the frame.
void EndFrame(LineSource& source) {
  Frame& frame = source.frames.back();
  while (source.conditionals.size() > frame.conditionals) {
    const LineSource::Conditional& open = source.conditionals.back();
    ErrorAt(source.state, open.file, open.line,
            std::string("this conditional block has no endif before the end of ") +
                BlockName(frame));
    source.conditionals.pop_back();
  }
  if (frame.kind == Frame::Rept && ++frame.repetition < frame.count) {
    frame.next = frame.bodyStart;
    return;
  }
  PopFrame(source);
}

}  // namespace

void IndexLines(SourceText& text) {
  text.lines.clear();
  text.indexed = true;
  const char* begin = text.text.data();
  const char* lineBegin;
  const char* lineEnd;
  // Room for every line at once, unless lines are so short that most must
  // be blank (a file of empty lines reserves nothing).
  size_t newlines = static_cast<size_t>(std::count(text.text.begin(), text.text.end(), '\n'));
  if (newlines * 8 <= text.text.size()) text.lines.reserve(newlines + 1);
  LineWalker lines(begin, begin + text.text.size());
  for (uint32_t number = 1; lines.Next(lineBegin, lineEnd); ++number) {
    if (IsCommentOrBlank(lineBegin, lineEnd)) continue;
    LineInfo line;
    line.offset = static_cast<uint32_t>(lineBegin - begin);
    line.length = static_cast<uint32_t>(lineEnd - lineBegin);
    line.number = number;
    text.lines.push_back(line);
  }
}

namespace {

// The next blank-separated word of a line; empty at its end or at a comment.
std::string_view NextWord(const char*& p, const char* end) {
  while (p < end && IsSpace(*p)) ++p;
  const char* start = p;
  if (p < end && *p == ';') return std::string_view();
  while (p < end && !IsSpace(*p) && *p != ';') ++p;
  return std::string_view(start, static_cast<size_t>(p - start));
}

int DirectiveNamed(std::string_view word) {
  size_t dot = word.find('.');  // a size suffix
  if (dot != std::string_view::npos && dot > 0) word = word.substr(0, dot);
  if (word.empty() || word.size() > 8) return -1;
  return FindDirective(ToLowerCopy(word));
}

}  // namespace

int ClassifyLine(SourceText& text, uint32_t index) {
  constexpr int16_t kNotClassified = -2;
  if (text.classes.empty()) text.classes.assign(text.lines.size(), kNotClassified);
  if (text.classes[index] != kNotClassified) return text.classes[index];
  // Only the words matter, not whether the rest would parse: a macro body
  // still holds its \1 parameters.
  const LineInfo& line = text.lines[index];
  const char* p = text.LineBegin(line);
  const char* end = text.LineEnd(line);
  bool column1 = p < end && !IsSpace(*p);
  std::string_view first = NextWord(p, end);
  int directive = DirectiveNamed(first);
  bool labelled = (column1 && directive < 0) || (!first.empty() && first.back() == ':');
  if (labelled || directive < 0) {
    // After a label, or an indented name in front of "macro" (or equ, set).
    directive = DirectiveNamed(NextWord(p, end));
    if (!labelled && directive >= 0 && !(DirectiveAt(directive).flags & kNamesSymbol)) directive = -1;
  }
  text.classes[index] = static_cast<int16_t>(directive);
  return directive;
}

Statement StatementAt(PassState& state, SourceText& text, LineInfo& line) {
  ParseStore& store = text.transient ? state.assembly->transient : state.assembly->persistent;
  state.store = &store;
  if (line.statement >= 0) {
    const Statement& parsed = store.statements[static_cast<size_t>(line.statement)];
    if (parsed.scope == kAnyScope || parsed.scope == state.scope) return parsed;
  }
  LineParse context;
  context.scope = state.scope;
  context.narg = text.narg;
  line.statement = ParseLine(*state.assembly, store, text.LineBegin(line), text.LineEnd(line),
                             context);
  Statement& parsed = store.statements[static_cast<size_t>(line.statement)];
  parsed.scope = context.usedScope ? state.scope : kAnyScope;
  return parsed;
}

void LineSource::Start(SourceFile& root) {
  sourceEntered = root.text.text.size();
  Frame frame;
  frame.kind = Frame::File;
  frame.text = &root.text;
  frame.end = static_cast<uint32_t>(root.text.lines.size());
  frames.push_back(std::move(frame));
}

bool LineSource::Next(SourceText*& text, LineInfo*& line) {
  while (!frames.empty()) {
    Frame& frame = frames.back();
    if (frame.next < frame.end) {
      text = frame.text;
      line = &frame.text->lines[frame.next++];
      if (++lines > kMaxLinesPerPass) {
        state.file = text->file;
        state.line = line->number;
        PassError(state, "more than " + std::to_string(kMaxLinesPerPass) +
                             " lines to assemble in one pass; do macros, rept blocks or "
                             "includes repeat without end?");
        state.fatal = true;
        Stop();
        return false;
      }
      return true;
    }
    EndFrame(*this);
  }
  return false;
}

std::string LineSource::Context() const {
  bool expanding = false;
  for (const Frame& frame : frames) expanding |= frame.kind >= Frame::Macro;
  if (!expanding) return std::string();
  std::string context, previous;
  size_t repeats = 0;
  auto flush = [&] {
    if (repeats > 0) context += "\n  (and " + std::to_string(repeats) + " more times the line above)";
    repeats = 0;
  };
  for (size_t i = frames.size(); i-- > 1;) {
    const Frame& frame = frames[i];
    std::string where = Where(assembly, frame.callFile, frame.callLine);
    std::string line;
    switch (frame.kind) {
      case Frame::Macro:
        line = "\n  in macro " + *frame.name + " called at " + where;
        break;
      case Frame::Rept:
        line = "\n  in rept at " + where + " (repetition " + std::to_string(frame.repetition + 1) +
               " of " + std::to_string(frame.count) + ")";
        break;
      default:
        line = "\n  included from " + where;
        break;
    }
    // A macro calling itself: say so once, not a few hundred times.
    if (line == previous) {
      ++repeats;
      continue;
    }
    flush();
    context += line;
    previous = std::move(line);
  }
  flush();
  return context;
}

void LineSource::Stop() {
  while (!frames.empty()) PopFrame(*this);
  stopped = true;
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
  if (ConditionKnown(state, "rept", r)) {
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

void RunInclude(PassState& state, const Statement& statement) {
  LineSource& source = *state.lines;
  std::string name(OperandText(*state.store, StatementOperands(state, statement)[0]));
  if (++source.includes > kMaxIncludes) {
    PassError(state, "more than " + std::to_string(kMaxIncludes) + " includes in all" +
                         IncludeChain(state));
    state.fatal = true;
    source.Stop();
    return;
  }
  ReadResult result;
  SourceFile* file =
      LoadFile(*state.assembly, name, state.file, source.includeDirs, kMaxSourceBytes, result);
  if (!file) {
    PassError(state, result == ReadResult::Missing
                         ? "cannot open include file '" + name + "'"
                         : "include file '" + name + "' is larger than 256 MiB");
    return;
  }
  for (const Frame& frame : source.frames) {
    if (frame.text == &file->text) {
      PassError(state, "'" + name + "' includes itself" + IncludeChain(state));
      return;
    }
  }
  source.sourceEntered += file->text.text.size();
  if (source.sourceEntered > kMaxSourceBytes) {
    PassError(state, "more than 256 MiB of source text to read in all" + IncludeChain(state));
    state.fatal = true;
    source.Stop();
    return;
  }
  if (NestTooDeep(state)) return;
  if (!file->text.indexed) IndexLines(file->text);
  Frame frame;
  frame.kind = Frame::Include;
  frame.text = &file->text;
  frame.end = static_cast<uint32_t>(file->text.lines.size());
  frame.conditionals = source.conditionals.size();
  frame.callFile = state.file;
  frame.callLine = state.line;
  source.frames.push_back(std::move(frame));
}

void RunEnd(PassState& state, const Statement&) { state.lines->Stop(); }

namespace {

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool IsAbsolutePath(const std::string& path) {
  if (path.empty()) return false;
  if (path[0] == '/' || path[0] == '\\') return true;
  return path.size() > 1 && path[1] == ':';
}

// The file at `path` if there is one: read the first time, else the one
// read before under any spelling. Null, with `result` saying why, otherwise.
SourceFile* Load(Assembly& assembly, const std::string& name, const std::string& path,
                 uint64_t limit, ReadResult& result) {
  FileId id;
  result = ReadResult::Missing;
  if (!assembly.reader->Identify(path, id)) return nullptr;
  auto known = assembly.fileById.find(id);
  if (known != assembly.fileById.end()) {
    SourceFile* file = assembly.files[known->second].get();
    result = file->text.text.size() > limit ? ReadResult::TooLarge : ReadResult::Ok;
    return result == ReadResult::Ok ? file : nullptr;
  }
  auto file = std::make_unique<SourceFile>();
  result = assembly.reader->Read(path, limit, file->text.text);
  if (result != ReadResult::Ok) return nullptr;
  file->name = name;
  file->path = path;
  file->text.file = static_cast<uint32_t>(assembly.files.size());
  assembly.fileById.emplace(id, file->text.file);
  assembly.files.push_back(std::move(file));
  return assembly.files.back().get();
}

}  // namespace

SourceFile* LoadFile(Assembly& assembly, const std::string& name, uint32_t includer,
                     const std::vector<std::string>& includeDirs, uint64_t limit,
                     ReadResult& result) {
  std::vector<std::string> paths{name};
  if (!IsAbsolutePath(name)) {
    std::string folder = DirectoryOf(assembly.files[includer]->path);
    if (!folder.empty()) paths.push_back(folder + name);
    for (const std::string& dir : includeDirs) {
      std::string path = dir;
      if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
      paths.push_back(path + name);
    }
  }
  for (const std::string& path : paths) {
    SourceFile* file = Load(assembly, name, path, limit, result);
    if (file || result != ReadResult::Missing) return file;
  }
  return nullptr;
}

}  // namespace asm68k
