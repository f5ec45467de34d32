#pragma once
// A line's statement as the pass meets it (parsed once where it can be), and
// the scans of the line source that recognise directives without running
// them.

#include <cstdint>

#include "assembly.h"
#include "line_source.h"

namespace asm68k {

// The line's statement, read as it stands here (see LineSource::Read):
// parsed the first time it reads as written (and again when a parse that
// depends on the local scope, the argument count or the options meets
// others), and afresh each time text is put into it. Sets state.store and
// the line's text in state.lineBegin and lineEnd.
Statement StatementAt(PassState& state, SourceText& text, LineInfo& line);

// The directive at a text's line (ignoring what it would do), or -1; kept
// in the text's classes.
int ClassifyLine(SourceText& text, uint32_t index);

// The one-line macro that opens a conditional block which the text's line
// calls, or null (see MacroDefinition::opensIf).
const MacroDefinition* IfMacroCalled(const LineSource& source, const SourceText& text,
                                     const LineInfo& line);

// In the top frame, from its next line on: the index of the line that ends
// the block (kind `closes`), counting blocks (kind `opens`) nested inside; -1
// when the frame runs out first.
// The lines scanned count as lines read.
int64_t FindBlockEnd(LineSource& source, uint16_t opens, uint16_t closes);

}  // namespace asm68k
