#pragma once
// The names an operation field can hold: instruction mnemonics and directive
// names, found in one table with one lookup a line.

#include <string_view>

#include "instruction_table.h"
#include "source.h"

namespace asm68k {

// What an operation name (in lower case) stands for: instruction rows, or a
// directive (-1 when none).
struct Operation {
  FormRange forms;
  int directive = -1;
};
Operation FindOperation(std::string_view lowerName);

// The operation a line's operation field names, as written (in any case).
// The text from the name's start up to `readableEnd` (the line's end) may
// be read. The name in lower case goes into `buffer`, and `lower` views it
// there; a name too long to be ours finds nothing.
Operation FindWrittenOperation(std::string_view written, const char* readableEnd, char (&buffer)[16],
                               std::string_view& lower);

// The directive's index, or -1.
int FindDirective(std::string_view lowerName);

// Whether a word in column 1 is an instruction or directive rather than a label.
bool IsOperationName(std::string_view word);

// Copies a word into `buffer` in lower case; false when too long to be a name we know.
inline bool LowerWord(std::string_view word, char* buffer, size_t capacity, std::string_view& out) {
  if (word.size() >= capacity) return false;
  for (size_t i = 0; i < word.size(); ++i) buffer[i] = ToLower(word[i]);
  out = std::string_view(buffer, word.size());
  return true;
}

}  // namespace asm68k
