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
#include <vector>

#include "assembly.h"

namespace asm68k {

struct Frame {
  enum Kind : uint8_t { File, Include, Macro, Rept };
  Kind kind = File;
  SourceText* text = nullptr;
  uint32_t next = 0;  // the next line to read, and the end of the range
  uint32_t end = 0;
  uint32_t bodyStart = 0;  // rept: the body, repeated `count` times
  uint32_t repetition = 0;
  uint32_t count = 0;
  size_t conditionals = 0;       // conditional blocks open when the frame began
  uint32_t callFile = 0;         // the line that made the frame: include, call or rept
  uint32_t callLine = 0;
  int32_t callerScope = kGlobalScope;  // macro: the local scope to go back to
  const std::string* name = nullptr;   // macro name (the key in the macro table)
  std::unique_ptr<SourceText> expansion;  // macro: its own text
  ParseStore::Mark mark{};                // macro: the transient store before it
};

struct Macro {
  const SourceText* text = nullptr;  // the body: lines [first, end) of text
  uint32_t first = 0;
  uint32_t end = 0;
  std::unique_ptr<SourceText> copy;  // a body defined inside an expansion is kept here
  std::vector<std::string> parameters;  // NAME macro A,B: \A is the first argument
};

struct LineSource {
  struct Conditional {
    uint32_t file, line;  // the line that opened it
    bool inElse;          // its else has been passed
  };

  Assembly& assembly;
  PassState& state;
  std::vector<Frame> frames;
  std::vector<Conditional> conditionals;
  std::unordered_map<std::string, Macro> macros;  // by lower-case name
  uint32_t expansions = 0;  // numbers each macro expansion of the pass
  // Texts of finished expansions, kept for their capacity, and the call's
  // arguments and a line being substituted: a macro call allocates nothing
  // once these have grown.
  std::vector<std::unique_ptr<SourceText>> spareTexts;
  std::vector<std::string> arguments;
  std::string substituted;
  std::vector<std::string> uniqueStack;  // \@! ... \@@ across expansions
  std::vector<std::string> includeDirs;  // incdir folders, in order
  uint32_t lines = 0;  // the pass's work so far: lines, includes, source entered
  uint32_t includes = 0;
  uint64_t sourceEntered = 0;
  bool stopped = false;  // end, or a limit that makes the rest of the pass pointless

  LineSource(Assembly& assembly, PassState& state) : assembly(assembly), state(state) {}

  void Start(SourceFile& root);
  // The next line to assemble; false at the end of the pass.
  bool Next(SourceText*& text, LineInfo*& line);
  // How the current line was reached, innermost first: "\n  in macro NAME
  // called at FILE:LINE", "\n  in rept at FILE:LINE (repetition 2 of 4)",
  // "\n  included from FILE:LINE" lines; empty for a line of the source itself.
  std::string Context() const;
  // Ends the pass here.
  void Stop();
};

// The directive at a text's line (ignoring what it would do), or -1; kept
// in the text's classes.
int ClassifyLine(SourceText& text, uint32_t index);

// The line's statement, parsed the first time (and again when a parse that
// depends on the local scope meets another scope); sets state.store.
Statement StatementAt(PassState& state, SourceText& text, LineInfo& line);

// Primitives of the line stream, for the directives that shape it.

// Appends a line (unless blank or a comment) to a text being built.
void AppendLine(SourceText& text, const char* begin, const char* end, uint32_t number);
// "FILE:LINE", as messages name a place.
std::string Where(const Assembly& assembly, uint32_t file, uint32_t line);
// "the macro", "the rept body" or "the file": what a frame is, for messages.
const char* BlockName(const Frame& frame);
// In the top frame, from its next line on: the index of the line that ends
// the block (kind `closes`), counting blocks (kind `opens`) nested inside; -1
// when the frame runs out first.
int64_t FindBlockEnd(const Frame& frame, uint16_t opens, uint16_t closes);
// An error reported at another line than the one being run, in the same
// frame (its context is the current line's).
void ErrorAt(PassState& state, uint32_t file, uint32_t line, std::string text);
// Reports, and is true, when one more frame would nest too deep.
bool NestTooDeep(PassState& state);
// Leaves the top frame.
void PopFrame(LineSource& source);

}  // namespace asm68k
