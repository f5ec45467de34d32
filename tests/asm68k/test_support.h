#pragma once
// Helpers shared by the assembler's unit tests.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "assembler.h"

namespace asm68k_test {

// One line of source and the words it must assemble to.
struct LineCase {
  const char* source;
  std::vector<uint16_t> words;
};

// One line of source and a piece of the error it must give.
struct ErrorCase {
  const char* source;
  const char* message;
};

// Files an include or incbin can find, by name.
using FileMap = std::map<std::string, std::string>;

// Assembles `source` (lines are indented as written) with no files around.
asm68k::AssemblyResult Assemble(const std::string& source, const FileMap& files = FileMap());

// The image as big-endian words.
std::vector<uint16_t> Words(const std::vector<uint8_t>& image);

// Each line, indented by a tab (several lines may be given with '\n'),
// must assemble without messages to exactly its words.
void ExpectWords(const std::vector<LineCase>& cases);

// Each line must fail, and its first message must contain the text.
void ExpectErrors(const std::vector<ErrorCase>& cases);

// Indents every line of `text` with a tab.
std::string Indent(const std::string& text);

// While it lives, an allocation fails with std::bad_alloc once more than
// `live` bytes would be held at once, or more than `total` allocated in all
// (the work a run does with memory).
class AllocationLimit {
 public:
  explicit AllocationLimit(size_t live, size_t total = SIZE_MAX);
  ~AllocationLimit();
  AllocationLimit(const AllocationLimit&) = delete;
  AllocationLimit& operator=(const AllocationLimit&) = delete;
};

}  // namespace asm68k_test
