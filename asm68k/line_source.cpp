#include "line_source.h"

#include <algorithm>
#include <cstring>

#include "directive_table.h"
#include "operation_names.h"
#include "parser.h"

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
  line.offset = static_cast<uint32_t>(text.text.size());
  line.length = static_cast<uint32_t>(end - begin);
  line.number = number;
  text.text.append(begin, end);
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
    default:
      return "the file";
  }
}


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
    PassError(state, "includes are nested more than " + std::to_string(kMaxIncludeDepth) + " deep");
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

namespace {

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
  if (frames.size() < 2) return std::string();  // a line of the source itself
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

}  // namespace asm68k
