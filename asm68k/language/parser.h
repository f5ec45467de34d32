#pragma once
// The parser: turns one source line into a statement. Everything that does
// not depend on addresses (syntax, addressing modes, the instruction row,
// the symbols named) is settled here, once per line of a file and once per
// line of a macro expansion, and kept with the messages it found.

#include "assembly.h"
#include "instruction_table.h"

namespace asm68k {

struct LineParse {
  int32_t scope = kGlobalScope;  // the local-label scope the line is read in
  int32_t narg = 0;              // the macro's argument count, in an expansion
  bool caseSensitive = false;    // names match only as written (opt c+)
  bool blanksInOperands = false; // opt ws+
  bool atStartsLocal = true;     // '@' starts a local name (opt l.: a global one)
  uint8_t machineIndex = 0;      // the processor and FPU chosen (Options::machineIndex)
  ExprEnvironment* environment = nullptr;
  bool usedScope = false;        // out: the parse depends on the scope
  bool usedNarg = false;         // out: and on the argument count
};

// Parses the line, its operands, expressions and messages going into
// `store`; the statement itself is the caller's to keep.
Statement ParseLine(Assembly& assembly, ParseStore& store, const char* begin, const char* end,
                    LineParse& context);

}  // namespace asm68k
