#include "line_source.h"

#include <algorithm>
#include <cstring>

#include "file_lookup.h"

namespace asm68k {

namespace {

bool IsCommentOrBlank(const char* begin, const char* end) {
  const char* p = begin;
  while (p < end && IsSpace(*p)) ++p;
  return p == end || *p == ';' || *p == '*';
}

}  // namespace

void AppendLine(SourceText& text, const char* begin, const char* end, uint32_t number) {
  if (IsCommentOrBlank(begin, end)) return;
  LineInfo line;
  line.place = static_cast<uint32_t>(text.text.size());
  line.number = number;
  text.text.append(begin, end);
  text.text += '\n';
  text.backslash = -1;
  text.lines.push_back(line);
}

namespace {

std::string FileName(const Assembly& assembly, uint32_t file) {
  return assembly.files[file]->name;
}

}  // namespace

std::string Where(const Assembly& assembly, uint32_t file, uint32_t line) {
  return FileName(assembly, file) + ":" + std::to_string(line);
}

const char* BlockName(const Frame& frame) {
  switch (frame.kind) {
    case Frame::Macro:
      return "the macro";
    case Frame::Rept:
      return "the rept body";
    case Frame::While:
      return "the while body";
    default:
      return "the file";
  }
}

void ErrorAt(PassState& state, uint32_t file, uint32_t line, std::string text) {
  uint32_t savedFile = state.file, savedLine = state.line;
  state.file = file;
  state.line = line;
  PassError(state, std::move(text));
  state.file = savedFile;
  state.line = savedLine;
}

bool NestTooDeep(PassState& state) {
  const LineSource& source = *state.lines;
  if (source.depths[2] >= kMaxExpansionDepth) {
    EndRun(state, "macros and rept blocks nest more than " +
                         std::to_string(kMaxExpansionDepth) + " deep");
    state.lines->Stop();
    return true;
  }
  if (source.depths[1] >= kMaxIncludeDepth) {
    PassError(state, "includes are nested more than " + std::to_string(kMaxIncludeDepth) + " deep");
    return true;
  }
  return false;
}

void PopFrame(LineSource& source) {
  Frame& frame = source.frames.back();
  if (source.conditionals.size() > frame.conditionals) source.conditionals.resize(frame.conditionals);
  --source.DepthOf(frame.kind);
  source.kept -= frame.kept;
  source.frames.pop_back();
}

namespace {

// The top frame has run out of lines: repeat a rept body, or leave the frame.
void EndFrame(LineSource& source) {
  Frame& frame = source.frames.back();
  if (source.conditionals.size() > frame.conditionals && frame.kind == Frame::Macro &&
      frame.macro->opensIf) {
    // The block a one-line macro opened goes on in its caller's lines, and
    // is named there.
    for (size_t i = frame.conditionals; i < source.conditionals.size(); ++i) {
      source.conditionals[i].file = frame.callFile;
      source.conditionals[i].line = frame.callLine;
    }
    frame.conditionals = source.conditionals.size();
  }
  while (source.conditionals.size() > frame.conditionals) {
    const LineSource::Conditional& open = source.conditionals.back();
    ErrorAt(source.state, open.file, open.line,
            std::string("this conditional block has no endif before the end of ") +
                BlockName(frame));
    source.conditionals.pop_back();
  }
  if (frame.kind == Frame::Rept && ++frame.repetition < frame.count) {
    frame.step = 0;
    frame.next = frame.bodyStart;
    if (!source.ReadAgain(frame.bodyText)) frame.next = frame.end;
    return;
  }
  if (frame.kind == Frame::While) {  // its while line decides whether the body comes again
    frame.next = frame.bodyStart;
    return;
  }
  PopFrame(source);
}

}  // namespace

namespace {

// Whether the '&' at `ampersand` stands outside quotes and before any ';'
// comment of the line that starts at `begin`.
bool AmpersandContinues(const char* begin, const char* ampersand) {
  for (const char* p = begin; p < ampersand;) {
    if (*p == ';') return false;
    if (*p == '\'' || *p == '"') {
      p = SkipQuoted(p, ampersand);
      if (p >= ampersand) return false;  // the '&' is inside the string
      continue;
    }
    ++p;
  }
  return true;
}

// Whether a '&' anywhere in the text has only blanks between it and a ';'
// (found once a text, so that lines are searched for a comment after a '&'
// only in a text that may have one).
bool HasAmpersandBeforeSemicolon(const char* p, const char* end) {
  while ((p = static_cast<const char*>(std::memchr(p, '&', static_cast<size_t>(end - p))))) {
    ++p;
    while (p < end && IsSpace(*p)) ++p;
    if (p < end && *p == ';') return true;
  }
  return false;
}

// The '&' that makes a line go on on the next one, or null: the line's last
// character that is no blank, or (when `beforeComments`) the last before its
// ';' comment, outside quotes. [first, last) is the line without its edge
// blanks.
[[gnu::noinline]] const char* ContinuationAmpersand(const char* first, const char* last,
                                                    bool beforeComments) {
  if (last[-1] == '&') return AmpersandContinues(first, last - 1) ? last - 1 : nullptr;
  if (!beforeComments) return nullptr;
  // "name macros &   ; comment": the '&' before the comment continues too.
  for (const char* semicolon = first; (semicolon = static_cast<const char*>(std::memchr(
                                           semicolon, ';', static_cast<size_t>(last - semicolon))));
       ++semicolon) {
    const char* before = semicolon;
    while (before > first && IsSpace(before[-1])) --before;
    if (before > first && before[-1] == '&') {
      return AmpersandContinues(first, before - 1) ? before - 1 : nullptr;
    }
  }
  return nullptr;
}

// The continuing '&' of a line read after a '&', or null (also for a blank
// or comment line, which ends the joined line).
const char* ContinuationOf(const char* begin, const char* end) {
  const char* first = begin;
  while (first < end && IsSpace(*first)) ++first;
  if (first == end || *first == ';' || *first == '*') return nullptr;
  const char* last = end;
  while (IsSpace(last[-1])) --last;
  return ContinuationAmpersand(first, last, true);
}

}  // namespace

namespace {

// How many times `byte` stands in [p, end). A block's count fits a byte, so
// the compiler counts it sixteen or more bytes at a time.
size_t CountByte(const char* p, const char* end, char byte) {
  constexpr size_t kBlock = 240;
  size_t count = 0;
  while (static_cast<size_t>(end - p) >= kBlock) {
    uint8_t inBlock = 0;
    for (size_t i = 0; i < kBlock; ++i) inBlock = static_cast<uint8_t>(inBlock + (p[i] == byte));
    count += inBlock;
    p += kBlock;
  }
  for (; p < end; ++p) count += *p == byte;
  return count;
}

// Walks the lines of a buffer that holds no CR: LF alone ends each one.
class LfLineWalker {
 public:
  LfLineWalker(const char* begin, const char* end) : next_(begin), end_(end) {}
  bool Next(const char*& lineBegin, const char*& lineEnd) {
    if (next_ >= end_) return false;
    lineBegin = next_;
    const void* lf = std::memchr(next_, '\n', static_cast<size_t>(end_ - next_));
    lineEnd = lf ? static_cast<const char*>(lf) : end_;
    next_ = lf ? lineEnd + 1 : end_;
    return true;
  }

 private:
  const char* next_;
  const char* end_;
};

template <typename Walker>
void IndexWalkedLines(SourceText& text, Walker& lines, uint64_t& allowance) {
  const char* begin = text.text.data();
  const char* lineBegin;
  const char* lineEnd;
  uint64_t left = allowance;
  const bool beforeComments = HasAmpersandBeforeSemicolon(begin, begin + text.text.size());
  for (uint32_t number = 1; lines.Next(lineBegin, lineEnd); ++number) {
    // A line's first and last characters that are no blanks tell a comment
    // or blank line, and one that may go on on the next ('&').
    const char* first = lineBegin;
    while (first < lineEnd && IsSpace(*first)) ++first;
    if (first == lineEnd || *first == ';' || *first == '*') continue;
    if (left == 0) {
      text.truncated = true;
      break;
    }
    --left;
    const char* last = lineEnd;
    while (IsSpace(last[-1])) --last;  // stops at `first` at the latest
    LineInfo line;
    line.number = number;
    // Most texts have no '&' before a comment: only a line that ends in one
    // may go on.
    const char* ampersand = last[-1] == '&' || beforeComments
                                ? ContinuationAmpersand(first, last, beforeComments)
                                : nullptr;
    if (!ampersand) {
      line.place = static_cast<uint32_t>(lineBegin - begin);
      text.lines.push_back(line);
      continue;
    }
    // Lines joined by '&' become one, numbered as the first; each is taken up
    // to its '&', and a comment after it goes.
    line.place = static_cast<uint32_t>(text.joined.size()) | LineInfo::kJoined;
    uint32_t spanBegin = static_cast<uint32_t>(lineBegin - begin);
    text.joined.append(lineBegin, ampersand);
    while (lines.Next(lineBegin, lineEnd)) {
      ++number;
      ampersand = ContinuationOf(lineBegin, lineEnd);
      if (!ampersand) {
        text.joined.append(lineBegin, lineEnd);
        break;
      }
      text.joined.append(lineBegin, ampersand);
    }
    text.joined += '\n';
    text.joinedSpans.push_back(
        {line.Offset(), spanBegin, static_cast<uint32_t>(lineEnd - begin)});
    text.lines.push_back(line);
  }
  allowance = left;
}

}  // namespace

void IndexLines(SourceText& text, uint64_t& allowance) {
  text.lines.clear();
  text.joined.clear();
  text.joinedSpans.clear();
  text.backslash = -1;
  text.indexed = true;
  const char* begin = text.text.data();
  const char* end = begin + text.text.size();
  // Room for every line at once, unless lines are so short that most must
  // be blank (a file of empty lines reserves nothing).
  size_t newlines = CountByte(begin, end, '\n');
  if (newlines * 8 <= text.text.size()) text.lines.reserve(newlines + 1);
  text.loneCr = false;
  const char* firstCr = static_cast<const char*>(std::memchr(begin, '\r', text.text.size()));
  for (const char* p = firstCr; p;
       p = static_cast<const char*>(std::memchr(p + 1, '\r', static_cast<size_t>(end - p - 1)))) {
    if (p + 1 == end || p[1] != '\n') {
      text.loneCr = true;
      break;
    }
  }
  if (!firstCr) {
    LfLineWalker lines(begin, end);
    IndexWalkedLines(text, lines, allowance);
  } else {
    LineWalker lines(begin, end);
    IndexWalkedLines(text, lines, allowance);
  }
}

int32_t LineSource::ArgumentCount() {
  MacroCallText* call = CurrentCall();
  return call ? static_cast<int32_t>(call->Count()) : 0;
}

MacroCallText* LineSource::CurrentCall() {
  if (frames.empty() || frames.back().expansion < 0) return nullptr;
  return frames[static_cast<size_t>(frames.back().expansion)].call.get();
}

TextRange LineSource::ReadWithSubstitution(const SourceText& text, const LineInfo& line) {
  const char* begin = text.LineBegin(line);
  const char* end = text.LineEnd(line);
  MacroCallText* call = CurrentCall();
  LineSubstitution with;
  with.call = call;
  with.uniqueStack = &uniqueStack;
  with.source = this;
  with.limit = kMaxLineText;
  substituted.clear();
  readChanged = SubstituteLine(std::string_view(begin, static_cast<size_t>(end - begin)), with,
                               substituted);
  if (readChanged && (with.tooLong || !ReadText(substituted.size()))) {
    if (with.tooLong) {
      EndRun(state, "this line grows past 1 MiB as text is put into it");
    }
    substituted.clear();  // nothing of it runs
    return {substituted.data(), substituted.data()};
  }
  if (with.stackEmpty) {
    PassError(state, "macro " + frames[static_cast<size_t>(frames.back().expansion)].macro->name +
                         " uses \\@@ or \\@? with nothing put aside by an earlier \\@!");
  }
  if (!readChanged) return {begin, end};
  return {substituted.data(), substituted.data() + substituted.size()};
}

void LineSource::PutAside(size_t bytes, bool takenBack) {
  // Kept until \@@ takes it back (past the limit, the run ends after this line).
  if (takenBack) {
    Keep(0, bytes + kEntryCost);
  } else {
    Keep(bytes + kEntryCost, 0);
  }
}

std::string LineSource::NameKey(std::string_view name) const {
  return state.options.caseSensitive ? std::string(name) : ToLowerCopy(name);
}

const std::string* LineSource::TextEquate(std::string_view name) {
  if (textEquates.empty()) return nullptr;
  auto found = textEquates.find(NameKey(name));
  return found == textEquates.end() ? nullptr : &found->second;
}

bool LineSource::FileSize(const std::string& name, uint64_t& size, std::string& error) {
  FileLookup lookup;
  SourceFile* file = LoadFile(assembly, name, state.file, includeDirs, kMaxImageSize, lookup);
  if (!file) {
    error = lookup.outcome == FileLookup::TooLarge ? "filesize: '" + name + "' is larger than 16 MiB"
                                                   : "filesize: " + LookupError("the", name, lookup);
    // The parse gives the error later: ended first, the run then shows it as the reason.
    if (lookup.outcome == FileLookup::OverLimit) state.fatal = true;
    return false;
  }
  size = file->text.text.size();
  return true;
}

std::string LineSource::SymbolValueText(std::string_view name, bool hex) {
  // Read as an expression, so that every name one knows has a value here:
  // the time symbols, narg and __RS too.
  if (assembly.symbols.full) SymbolsExhausted(state);
  ExprPool pool;
  ExprParser parser{pool, assembly.symbols, state.scope, ArgumentCount(),
                    state.options.caseSensitive};
  parser.environment = this;
  parser.atStartsLocal = state.options.atStartsLocal;
  if (!assembly.registerEquates.bySymbol.empty()) parser.registers = &assembly.registerEquates;
  Cursor c{name.data(), name.data() + name.size()};
  Expr expr;
  std::string error;
  bool read = ParseExpression(c, parser, expr, error);
  c.SkipSpace();
  if (!read || !c.AtEnd()) {
    PassError(state, read ? "unexpected " + Excerpt(c.p, c.end) + " after the value of \\" +
                                std::string(hex ? "$" : "#")
                          : error);
    return "0";
  }
  int32_t value = EvaluatePool(state, pool, expr).value;
  return hex ? Hex(static_cast<uint32_t>(value)).substr(1) : std::to_string(value);
}

bool LineSource::WholeText(const SourceText& text) {
  if (!text.truncated) return true;
  EndRun(state, "more than 10,000,000 lines that hold something in the source and its "
                   "includes");
  return false;
}

void LineSource::Start(SourceFile& root) {
  state.file = root.text.file;
  state.line = 1;
  ReadText(root.text.text.size());
  WholeText(root.text);
  Frame frame;
  frame.kind = Frame::File;
  frame.text = &root.text;
  frame.end = static_cast<uint32_t>(root.text.lines.size());
  PushFrame(*this, std::move(frame));
}

bool LineSource::Next(SourceText*& text, LineInfo*& line) {
  // A limit that was hit ends the pass, and the run, after its line.
  if (state.fatal) {
    Stop();
    return false;
  }
  while (!frames.empty()) {
    Frame& frame = frames.back();
    if (frame.next < frame.end) {
      text = frame.text;
      line = &frame.text->lines[frame.next++];
      if (++assembly.linesRead > kMaxLinesRead) {
        state.file = text->file;
        state.line = line->number;
        LinesExhausted();
        Stop();
        return false;
      }
      return true;
    }
    EndFrame(*this);
  }
  return false;
}

void LineSource::LinesExhausted() {
  EndRun(state, "more than 40,000,000 lines to read in all passes; do macros, rept blocks "
                   "or includes repeat without end?");
}

bool LineSource::StepOver(uint64_t lines) {
  assembly.linesRead += lines;
  if (assembly.linesRead <= kMaxLinesRead || state.fatal) return !state.fatal;
  LinesExhausted();
  return false;
}

bool LineSource::KeptExhausted() {
  if (state.fatal) return false;
  EndRun(state, "what this pass keeps (macros, string equates, sections, orgs and section "
                "changes, stacks, macro arguments) holds more than 64 MiB in all (each name or "
                "entry counting 64 bytes besides its text)");
  return false;
}

bool LineSource::ReadText(uint64_t bytes) {
  assembly.textRead += bytes;
  if (assembly.textRead <= kMaxSourceBytes || state.fatal) return !state.fatal;
  EndRun(state, "more than 256 MiB of source text to read in all passes (files, each time "
                   "they are included, the lines that expansions put text into, and the text of "
                   "string equates and messages)");
  return false;
}

bool LineSource::RepeatedTextExhausted() {
  if (!state.fatal) EndRun(state, "more than 1 GiB of macro and rept bodies to read again in all passes");
  return false;
}

uint64_t TextBetween(const SourceText& text, uint32_t first, uint32_t end) {
  if (first >= end) return 0;
  uint32_t begin = text.SpanInText(text.lines[first]).first;
  uint32_t last = text.SpanInText(text.lines[end - 1]).second;
  return last > begin ? last - begin : 0;
}

uint32_t LineSource::ContextStepHere(bool forMessage) {
  std::vector<ContextStep>& steps = state.contextSteps;
  if (steps.empty()) steps.emplace_back();  // 0: none
  // The frames whose step is not made yet (or stands for an earlier
  // repetition): most often none, or only the top one.
  size_t from = frames.size();
  while (from > 1) {
    const Frame& frame = frames[from - 1];
    if (frame.kind != Frame::File && frame.step != 0) {
      break;
    }
    --from;
  }
  uint32_t parent = from > 1 ? frames[from - 1].step : 0;
  if (!forMessage && steps.size() + frames.size() > kMaxContextSteps) return parent;
  for (size_t i = std::max<size_t>(from, 1); i < frames.size(); ++i) {
    Frame& frame = frames[i];
    if (frame.kind == Frame::File) {  // a command-line item: it stands alone
      frame.step = parent;
      continue;
    }
    ContextStep step;
    step.parent = parent;
    step.file = frame.callFile;
    step.line = frame.callLine;
    step.repetition = frame.repetition;
    step.count = frame.count;
    step.kind = frame.kind;
    if (frame.kind == Frame::Macro) step.macro = frame.macro;
    steps.push_back(std::move(step));
    frame.step = parent = static_cast<uint32_t>(steps.size() - 1);
  }
  return frames.size() > 1 ? frames.back().step : 0;
}

std::string LineSource::Context() { return ContextText(state, ContextStepHere(true)); }

namespace {

// A name in a line of a message's context, cut short past 64 characters.
std::string ShownName(const std::string& name) {
  constexpr size_t kShown = 64;
  return name.size() <= kShown ? name : name.substr(0, kShown) + "...";
}

}  // namespace

std::string ContextText(const PassState& state, uint32_t step) {
  const Assembly& assembly = *state.assembly;
  const std::vector<ContextStep>& steps = state.contextSteps;
  // Its lines, innermost first, each said once with how many more times it repeats.
  std::vector<std::pair<std::string, size_t>> lines;
  for (; step != 0 && step < steps.size(); step = steps[step].parent) {
    const ContextStep& at = steps[step];
    std::string where = Where(assembly, at.file, at.line);
    std::string line;
    switch (at.kind) {
      case Frame::Macro:
        line = "\n  in macro " + ShownName(at.macro->name) + " called at " + where;
        break;
      case Frame::Rept:
        line = "\n  in rept at " + where + " (repetition " + std::to_string(at.repetition + 1) +
               " of " + std::to_string(at.count) + ")";
        break;
      case Frame::While:
        line = "\n  in while at " + where + " (repetition " + std::to_string(at.repetition + 1) + ")";
        break;
      default:
        line = "\n  included from " + where;
        break;
    }
    // A macro calling itself: say so once, not a few hundred times.
    if (!lines.empty() && lines.back().first == line) {
      ++lines.back().second;
    } else {
      lines.emplace_back(std::move(line), 0);
    }
  }
  // A long way: its innermost and outermost lines, so that a message stays short.
  constexpr size_t kEnds = 20;
  std::string context;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i == kEnds && lines.size() > 2 * kEnds) {
      size_t skipped = 0;
      for (; i < lines.size() - kEnds; ++i) skipped += 1 + lines[i].second;
      context += "\n  (and " + std::to_string(skipped) + " more levels)";
    }
    context += lines[i].first;
    if (lines[i].second > 0) {
      context += "\n  (and " + std::to_string(lines[i].second) + " more times the line above)";
    }
  }
  return context;
}

void LineSource::Stop() {
  while (!frames.empty()) PopFrame(*this);
  stopped = true;
}

}  // namespace asm68k
