#pragma once
// Messages: how errors and warnings are recorded while assembling and how
// they, and the closing summary line, are worded on standard output.

#include <cstdint>
#include <string>

namespace asm68k {

// Info: a message of the source's own (inform 0), neither error nor warning.
enum class Severity : uint8_t { Error, Warning, Info };

// One diagnostic. `order` is the place in the pass of the line it belongs to.
struct Message {
  uint32_t order = 0;
  uint32_t file = 0;
  uint32_t line = 0;
  Severity severity = Severity::Error;
  std::string text;
  std::string context;  // "\n  in macro NAME called at FILE:LINE" lines, or empty
  bool fromParse = false;  // found by reading the line alone: true whatever the addresses
};

// Only this many errors are shown; the rest of a hopeless source is noise.
constexpr int kMaxErrors = 100;

// "SOURCE:LINE: error: TEXT" and the context's lines after it ("\n  in
// macro NAME called at FILE:LINE"), with control characters shown as \xNN.
std::string FormatMessage(const std::string& fileName, uint32_t line, Severity severity,
                          const std::string& text, const std::string& context = std::string());
// "FILE: error: TEXT": a problem with a whole file, such as the source or the output.
std::string FormatFileMessage(const std::string& fileName, const std::string& text);

// "0 errors, 0 warnings, 4 bytes" on success, "2 errors, 0 warnings" otherwise;
// "100 errors (more not shown), 0 warnings" when the error limit was hit.
std::string FormatSummary(int errors, int warnings, bool moreErrors, bool success, uint64_t bytes);

// "$1A2B": how addresses and large values appear in messages.
std::string Hex(uint32_t value);

}  // namespace asm68k
