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
  bool usedScope = false;        // out: the parse depends on the scope
};

// Parses the line into store.statements and returns the statement's index.
int32_t ParseLine(Assembly& assembly, ParseStore& store, const char* begin, const char* end,
                  LineParse& context);

// Whether a word in column 1 is an instruction or directive rather than a label.
bool IsOperationName(std::string_view word);

// What an operation name (in lower case) stands for: instruction rows, or a
// directive (-1 when none). One lookup answers both, once per line.
struct Operation {
  FormRange forms;
  int directive = -1;
};
Operation FindOperation(std::string_view lowerName);

}  // namespace asm68k
