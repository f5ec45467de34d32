#pragma once
// The names an operation field can hold: instruction mnemonics and directive
// names, found in one table with one lookup a line.

#include <string_view>

#include "cpu.h"
#include "instruction_table.h"
#include "source.h"

namespace asm68k {

// What an operation name (in lower case) stands for: instruction rows, or a
// directive (-1 when none).
struct Operation {
  FormRange forms;
  int directive = -1;
};

// An operation looked up for every machine: the rows of all processors.
Operation FindOperation(std::string_view lowerName);

// An operation looked up for one machine (Options::machineIndex): the rows
// that machine has; none for a mnemonic only other processors have.
Operation FindOperationOn(std::string_view lowerName, uint8_t machineIndex);

// The operation a line's operation field names, as written (in any case),
// on the 68000 (FindOperationOn looks it up again on another machine). The
// text from the name's start up to `readableEnd` (the line's end) may be
// read. The name in lower case goes into `buffer`, and `lower` views it
// there; a name too long to be ours finds nothing.
Operation FindWrittenOperation(std::string_view written, const char* readableEnd, char (&buffer)[16],
                               std::string_view& lower);

// The directive's index, or -1.
int FindDirective(std::string_view lowerName);

// Whether a word in column 1 is an instruction or directive rather than a
// label: on the 68000, or on one machine (Options::machineIndex; a mnemonic
// only other processors have is a label there, as it is on the 68000).
bool IsOperationName(std::string_view word);
bool IsOperationNameOn(std::string_view word, int machineIndex);

// SplitLine for the machine chosen: the 68000's test is the one the
// compiler sees in nearly every call.
inline bool SplitLineOn(uint8_t machineIndex, const char* begin, const char* end, LineFields& out,
                        std::string& error, bool blanksInOperands) {
  if (machineIndex == 0) return SplitLine(begin, end, IsOperationName, out, error, blanksInOperands);
  return SplitLineInSet(begin, end, IsOperationNameOn, machineIndex, out, error, blanksInOperands);
}

// Copies a word into `buffer` in lower case; false when too long to be a name we know.
inline bool LowerWord(std::string_view word, char* buffer, size_t capacity, std::string_view& out) {
  if (word.size() >= capacity) return false;
  for (size_t i = 0; i < word.size(); ++i) buffer[i] = ToLower(word[i]);
  out = std::string_view(buffer, word.size());
  return true;
}

}  // namespace asm68k
