#pragma once
// The line source: where a pass takes its lines from. A stack of frames (the
// source file, an include, a macro expansion, a rept body), each reading its
// own lines, with the conditional blocks open in them and the macros the
// pass has defined so far. The directives that shape the stream (if/else/
// endif, macro/endm/mexit, rept/endr, include, end) act on it.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "assembly.h"
#include "macros.h"

namespace asm68k {

// A macro as defined: the body's lines, read afresh by each expansion.
struct MacroDefinition {
  std::string name;  // as written in the definition
  SourceText* text = nullptr;  // the body: lines [first, end) of text
  uint32_t first = 0;
  uint32_t end = 0;
  std::unique_ptr<SourceText> copy;  // a body defined inside an expansion is kept here
  std::vector<std::string> parameters;  // NAME macro A,B: \A is the first argument
  NameIndex parameterIndex;
  uint64_t bodyText = 0;  // the bytes of its body's text, read again in each expansion
  // A one-line macro (macros) whose line opens a conditional block: the
  // caller's lines go on with the block (ifarg macros / if strlen("\1")>0).
  bool opensIf = false;
};

struct Frame {
  enum Kind : uint8_t { File, Include, Macro, Rept, While };
  Kind kind = File;
  // Its step in PassState::contextSteps, once one was made for its
  // repetition (0 again when the next one starts).
  uint32_t step = 0;
  SourceText* text = nullptr;
  uint32_t next = 0;  // the next line to read, and the end of the range
  uint32_t end = 0;
  uint32_t bodyStart = 0;  // rept: the body, repeated `count` times; while: its while line
  uint32_t repetition = 0;
  uint32_t count = 0;
  // What it keeps until it ends (its arguments and local names), counted in
  // LineSource::kept: at most the pass's limit and a line's.
  uint32_t kept = 0;
  uint64_t bodyText = 0;  // rept: the bytes of the body's text
  size_t conditionals = 0;       // conditional blocks open when the frame began
  uint32_t callFile = 0;         // the line that made the frame: include, call or rept
  uint32_t callLine = 0;
  // The macro expansion whose arguments its lines are read with (its own
  // index for a macro frame, the enclosing one's for a rept inside it), or -1.
  int32_t expansion = -1;
  // macro: the definition (kept alive while it expands, even if purged) and
  // what its lines are read with.
  std::shared_ptr<const MacroDefinition> macro;
  std::unique_ptr<MacroCallText> call;
};

struct LineSource : TextSource, ExprEnvironment {
  struct Conditional {
    uint32_t file, line;  // the line that opened it
    bool inElse;          // its else has been passed
  };

  Assembly& assembly;
  PassState& state;
  std::vector<Frame> frames;
  // Frames open of each kind the nesting limits count (see PushFrame): the
  // source and command-line items, includes, and expansions.
  int depths[3] = {};
  int& DepthOf(Frame::Kind kind) {
    static constexpr uint8_t kCounted[] = {0, 1, 2, 2, 2};  // by Frame::Kind
    return depths[kCounted[kind]];
  }
  std::vector<Conditional> conditionals;
  // The macros defined so far in the pass, by lower-case name, and the
  // directive names they take over.
  std::unordered_map<std::string, std::shared_ptr<const MacroDefinition>> macros;
  std::vector<bool> directiveMacros;
  std::unordered_map<std::string, uint32_t> purged;  // macros purge removed, and its line
  // String equates (equs, substr) by name, in lower case unless opt c+.
  std::unordered_map<std::string, std::string> textEquates;
  uint32_t expansions = 0;  // numbers each macro expansion of the pass
  std::string substituted;  // the line being read, when text was put into it
  std::vector<std::string> uniqueStack;  // \@! ... \@@ across expansions
  std::vector<std::string> pushedTexts;  // pushp ... popp
  std::vector<std::string> includeDirs;  // incdir folders, in order
  std::unordered_set<std::string> includeDirsSeen;  // the same, to find one already there
  // Counted against the run's bounds; false, after the error, when one is
  // passed (the pass then ends after the line being run).
  bool StepOver(uint64_t lines);  // lines a scan read past
  bool ReadText(uint64_t bytes);  // text entered: a file, a line text was put into, an equate, a message
  // A macro or rept body expanded again (kept in line: macro calls are common).
  bool ReadAgain(uint64_t bytes) {
    assembly.repeatedText += bytes;
    return assembly.repeatedText <= kMaxRepeatedText || RepeatedTextExhausted();
  }
  bool RepeatedTextExhausted();
  void LinesExhausted();
  // False, after the error, for a text whose lines ran past the allowance.
  bool WholeText(const SourceText& text);
  // What the pass keeps as it runs (see kMaxKeptByPass): `added` bytes
  // replace `removed` ones. False, after the error, past the limit.
  bool Keep(uint64_t added, uint64_t removed) {
    kept = kept + added - removed;
    return (kept <= kMaxKeptByPass && !state.fatal) || KeptExhausted();
  }
  bool KeptExhausted();
  uint64_t kept = 0;
  bool stopped = false;  // end, or a limit that makes the rest of the pass pointless
  uint32_t ifMacros = 0;  // one-line macros defined in the pass that open a conditional block

  LineSource(Assembly& assembly, PassState& state) : assembly(assembly), state(state) {}

  void Start(SourceFile& root);
  // The next line to assemble; false at the end of the pass.
  bool Next(SourceText*& text, LineInfo*& line);
  // How the current line was reached: a step in PassState::contextSteps
  // (0 for a line of the source itself), and its text (see ContextText).
  // Past kMaxContextSteps, steps are made only for a message (a few hundred
  // at most are shown).
  uint32_t ContextStepHere(bool forMessage = false);
  std::string Context();
  // Ends the pass here.
  void Stop();

  // The expansion the top frame's lines are read with, or null, and its
  // argument count (narg; 0 outside a macro).
  MacroCallText* CurrentCall();
  int32_t ArgumentCount();
  // The line as it reads here: with the current expansion's arguments, the
  // string equates and symbol values put in. Points into the text itself
  // when nothing was put in, else into `substituted` (until the next line).
  TextRange Read(const SourceText& text, const LineInfo& line) {
    readChanged = false;
    // Most lines: no expansion, and no backslash anywhere in their text.
    if ((frames.empty() || frames.back().expansion < 0) && !text.HasBackslash()) {
      return {text.LineBegin(line), text.LineEnd(line)};
    }
    return ReadWithSubstitution(text, line);
  }
  TextRange ReadWithSubstitution(const SourceText& text, const LineInfo& line);
  // Whether the last Read put text into its line.
  bool readChanged = false;

  const std::string* TextEquate(std::string_view name) override;
  std::string SymbolValueText(std::string_view name, bool hex) override;
  void PutAside(size_t bytes, bool takenBack) override;
  bool FileSize(const std::string& name, uint64_t& size, std::string& error) override;
  const std::tm& AssemblyTime() override { return assembly.time; }
  // The key a string equate or a macro is known by.
  std::string NameKey(std::string_view name) const;
};

// The bytes of text lines [first, end) of `text` span, as read.
uint64_t TextBetween(const SourceText& text, uint32_t first, uint32_t end);

// Fills text.lines from text.text, taking at most `allowance` lines (and
// counting them off it); a text with more is marked `truncated`.
void IndexLines(SourceText& text, uint64_t& allowance);

// Primitives of the line stream, for the directives that shape it.

// Appends a line (unless blank or a comment) to a text being built.
void AppendLine(SourceText& text, const char* begin, const char* end, uint32_t number);
// How a line was reached, from its step in state.contextSteps, innermost
// first: "\n  in macro NAME called at FILE:LINE", "\n  in rept at FILE:LINE
// (repetition 2 of 4)", "\n  included from FILE:LINE" lines; empty for none.
// A line repeated is said once with how many more times; past 40 lines, the
// innermost and outermost 20 are shown; a long macro name is cut short.
std::string ContextText(const PassState& state, uint32_t step);

// "FILE:LINE", as messages name a place.
std::string Where(const Assembly& assembly, uint32_t file, uint32_t line);
// "the macro", "the rept body" or "the file": what a frame is, for messages.
const char* BlockName(const Frame& frame);
// An error reported at another line than the one being run, in the same
// frame (its context is the current line's).
void ErrorAt(PassState& state, uint32_t file, uint32_t line, std::string text);
// Reports, and is true, when one more frame would nest too deep.
bool NestTooDeep(PassState& state);
// Enters a frame, and leaves the top frame: the only ways frames change,
// so that the nesting depths stay counted.
inline void PushFrame(LineSource& source, Frame&& frame) {
  ++source.DepthOf(frame.kind);
  source.frames.push_back(std::move(frame));
}
void PopFrame(LineSource& source);

}  // namespace asm68k
