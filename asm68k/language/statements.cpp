// A line's statement as the pass meets it, and the scans of the line source
// that recognise directives: where a block ends, a line's directive, a call
// of a one-line macro that opens a conditional.

#include "statements.h"

#include "directive_table.h"
#include "operation_names.h"
#include "parser.h"

namespace asm68k {

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
  // A size suffix is a dot and one letter; any other dot is a field's (a label's).
  if (word.size() > 2 && word[word.size() - 2] == '.') word.remove_suffix(2);
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

const MacroDefinition* IfMacroCalled(const LineSource& source, const SourceText& text,
                                     const LineInfo& line) {
  const char* p = text.LineBegin(line);
  const char* end = text.LineEnd(line);
  bool column1 = p < end && !IsSpace(*p);
  std::string_view word = NextWord(p, end);
  if (column1 || (!word.empty() && word.back() == ':')) word = NextWord(p, end);  // after a label
  size_t dot = word.find('.');
  if (dot != std::string_view::npos) word = word.substr(0, dot);  // its size
  if (word.empty()) return nullptr;
  auto found = source.macros.find(ToLowerCopy(word));
  return found != source.macros.end() && found->second->opensIf ? found->second.get() : nullptr;
}

Statement StatementAt(PassState& state, SourceText& text, LineInfo& line) {
  LineSource& source = *state.lines;
  TextRange read = source.Read(text, line);
  state.lineBegin = read.begin;
  state.lineEnd = read.end;
  // A parse is kept for a line read again: in a macro or rept body, or in
  // the passes after the first (which most sources don't need). Else, and
  // for a line text was put into, it is made in the store that is emptied
  // after each line, so that a long source costs no room a line.
  bool keep = false;
  if (!source.readChanged && !text.transient) {
    if (line.statement >= 0) {
      const Statement& parsed =
          state.assembly->persistent.statements[static_cast<size_t>(line.statement)];
      if ((parsed.scope == kAnyScope || parsed.scope == state.scope) &&
          parsed.parseMode == state.options.ParseMode() &&
          (parsed.narg < 0 || parsed.narg == source.ArgumentCount())) {
        state.store = &state.assembly->persistent;
        return parsed;
      }
    } else {
      if (line.statement == -1) ++state.assembly->linesReached;
      int32_t readOnce = -2 - state.pass;
      keep = state.pass > 1 || line.statement == readOnce;
      if (!keep) line.statement = readOnce;
    }
  } else if (line.statement == -1 && !text.transient) {
    line.statement = -2;  // reached, read with text put into it
    ++state.assembly->linesReached;
  }
  // Symbols are entered only by a parse: the next one after the symbols
  // went past their limit ends the run.
  if (state.assembly->symbols.full) SymbolsExhausted(state);
  LineParse context;
  context.scope = state.scope;
  context.narg = source.ArgumentCount();
  context.caseSensitive = state.options.caseSensitive;
  context.blanksInOperands = state.options.blanksInOperands;
  context.atStartsLocal = state.options.atStartsLocal;
  context.machineIndex = state.options.machineIndex;
  context.environment = &source;
  if (!keep) {
    ParseStore& store = state.assembly->transient;
    state.store = &store;
    return ParseLine(*state.assembly, store, read.begin, read.end, context);
  }
  ParseStore& store = state.assembly->persistent;
  state.store = &store;
  store.statements.push_back(ParseLine(*state.assembly, store, read.begin, read.end, context));
  line.statement = static_cast<int32_t>(store.statements.size() - 1);
  Statement& parsed = store.statements.back();
  parsed.scope = context.usedScope ? state.scope : kAnyScope;
  parsed.narg = context.usedNarg ? context.narg : -1;
  parsed.parseMode = state.options.ParseMode();
  return parsed;
}

int64_t FindBlockEnd(LineSource& source, uint16_t opens, uint16_t closes) {
  const Frame& frame = source.frames.back();
  int depth = 0;
  int64_t end = -1;
  uint32_t i = frame.next;
  for (; i < frame.end && end < 0; ++i) {
    int directive = ClassifyLine(*frame.text, i);
    if (directive < 0) continue;
    uint16_t flags = DirectiveAt(directive).flags;
    if (flags & opens) {
      ++depth;
    } else if (flags & closes) {
      if (depth == 0) end = i;
      --depth;
    }
  }
  source.StepOver(i - frame.next);
  return end;
}

}  // namespace asm68k
