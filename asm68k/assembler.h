#pragma once
// The assembler as a library: source text in, binary image and messages out.
// The command line and the tests both go through here.

#include <cstdint>
#include <string>
#include <vector>

#include "files.h"

namespace asm68k {

struct AssemblyResult {
  std::vector<uint8_t> image;         // empty whenever there are errors
  // "SOURCE:LINE: error: TEXT", in source order: the first kShownPerKind
  // errors and the first kShownPerKind warnings.
  std::vector<std::string> messages;
  std::string notShown;  // "and 20 more errors not shown", or empty
  std::string summary;   // "0 errors, 0 warnings, 4 bytes"
  int64_t errors = 0;    // every one found, shown or not
  int64_t warnings = 0;
  int passes = 0;
};

// Assembles `source`, which is called `name` in messages. Include and incbin
// files are read through `reader`: first as written (relative to the current
// directory), then relative to the including file's folder. When `name`
// names a file the reader knows, that file is taken to be the source.
AssemblyResult AssembleText(std::string source, const std::string& name, FileReader& reader);

}  // namespace asm68k
