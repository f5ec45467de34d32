#pragma once
// Messages: how errors and warnings are recorded while assembling and how
// they, and the closing summary line, are worded on standard output.

#include <cstddef>
#include <cstdint>
#include <string>

namespace asm68k {

// Info: a message of the source's own (inform 0), neither error nor warning.
enum class Severity : uint8_t { Error, Warning, Info };

// One diagnostic. `order` is the place in the pass of the line it belongs to;
// `sequence` numbers the pass's messages as they were found, so that those of
// one line keep their order.
struct Message {
  uint32_t order = 0;
  uint64_t sequence = 0;
  uint32_t file = 0;
  uint32_t line = 0;
  Severity severity = Severity::Error;
  std::string text;
  std::string context;  // "\n  in macro NAME called at FILE:LINE" lines, or empty
  bool fromParse = false;  // found by reading the line alone: true whatever the addresses
};

// Only this many errors, and this many warnings, are shown (the first ones
// in source order); the rest are counted.
constexpr size_t kShownPerKind = 100;

// "SOURCE:LINE: error: TEXT" and the context's lines after it ("\n  in
// macro NAME called at FILE:LINE"), with control characters shown as \xNN.
std::string FormatMessage(const std::string& fileName, uint32_t line, Severity severity,
                          const std::string& text, const std::string& context = std::string());
// "FILE: error: TEXT": a problem with a whole file, such as the source or the output.
std::string FormatFileMessage(const std::string& fileName, const std::string& text);

// "0 errors, 0 warnings, 4 bytes" on success, "2 errors, 0 warnings"
// otherwise: every message counted, shown or not.
std::string FormatSummary(uint64_t errors, uint64_t warnings, bool success, uint64_t bytes);

// "and 20 more errors not shown", "and 1 more warning not shown", "and 20 more
// errors and 5 more warnings not shown"; empty when every message was shown.
std::string FormatNotShown(uint64_t errors, uint64_t warnings);

// "$1A2B": how addresses and large values appear in messages.
std::string Hex(uint32_t value);
// The same for a location, which may lie past $FFFFFFFF ("$100000000").
std::string HexAddress(uint64_t value);

}  // namespace asm68k
