#pragma once
// Finding the files an include, incbin or filesize names, and reading them
// once a run.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "assembly.h"

namespace asm68k {

// How a file named by an include or incbin was looked for.
struct FileLookup {
  // OverLimit: the run's file lookups are used up (kMaxFileLookups); the run ends.
  enum Outcome : uint8_t { Found, Missing, NotRegular, TooLarge, Ambiguous, OverLimit };
  Outcome outcome = Missing;
  std::string path;   // where it was found (or refused)
  std::string other;  // Ambiguous: another name that matches as well as `path`
};

// Loads a file named in an include or incbin: first as written, then beside
// the including file, then in each incdir folder; `\` separates folders as
// `/` does. In each of those places the path is spelled as the folders'
// listings spell it: a name that matches as written, else one that matches
// without regard to case (two names that match are an error). Each path is
// looked at once a run, and each file opened and read once, known by its
// identity however a path spells it; one larger than `limit` is refused
// before it is read, and anything but a regular file is never read. Null,
// with `lookup` saying why, when there is no file to take.
SourceFile* LoadFile(Assembly& assembly, const std::string& name, uint32_t includer,
                     const std::vector<std::string>& includeDirs, uint64_t limit,
                     FileLookup& lookup);

// The error for a file an include or incbin (`directive`) could not take
// for want of a file: missing, not a regular file, or ambiguous.
std::string LookupError(std::string_view directive, const std::string& name,
                        const FileLookup& lookup);

}  // namespace asm68k
