#pragma once
// The reader: turns the source file, and every file it includes, into one
// list of parsed statements. Everything that does not depend on addresses
// (syntax, addressing modes, the instruction row, symbol definitions) is
// settled and reported here, once.

#include "assembly.h"

namespace asm68k {

// Reads `source`, called `name` in messages, and through include the files
// it names, with assembly.reader.
void ReadSource(Assembly& assembly, std::string source, const std::string& name);

}  // namespace asm68k
