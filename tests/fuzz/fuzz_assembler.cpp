// libFuzzer target: any bytes, assembled in memory as a source with the
// files it may include or incbin. Aborts when a result breaks a rule every
// run must keep:
//   - an image only without errors, its bytes never more than 16 MiB and
//     with the zeros that end it never more than 2 GiB;
//   - each message is a printable line "NAME:LINE: error: TEXT" (or
//     warning:, or neither for a message of the source's own), LINE at least
//     1, then perhaps printable lines that say how the line was reached
//     ("  in macro ...", "  in rept at ...", "  included from ...",
//     "  (and N more times ...)");
//   - at most 100 errors and 100 warnings are shown, and one more error
//     when a limit ended the run after the first 100; the summary counts
//     every message, shown or not, and the image's bytes, and the line
//     before it says how many of each kind were not shown.
//
// The input is the main source (main.asm), optionally followed by files,
// each introduced by a line "@@file NAME"; its contents run to the next
// such line. Nothing touches the disk.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>

#include "assembler.h"
#include "image.h"
#include "messages.h"

namespace {

constexpr std::string_view kFileMarker = "\n@@file ";

void Check(bool holds, const char* rule, const std::string& detail) {
  if (holds) return;
  std::fprintf(stderr, "broken: %s\n%s\n", rule, detail.c_str());
  std::abort();
}

bool Printable(std::string_view line) {
  for (char c : line) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

bool AllDigits(std::string_view text) {
  if (text.empty() || text.size() > 10) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// The severity of a well-formed message ("error" or "warning"), or "".
// The file name and the text may hold anything printable, so the first
// place that reads as ":LINE: SEVERITY: " after a name decides.
std::string_view Severity(std::string_view message) {
  size_t best = std::string_view::npos;
  std::string_view found;
  for (std::string_view severity : {std::string_view("error"), std::string_view("warning")}) {
    std::string tag = ": " + std::string(severity) + ": ";
    for (size_t at = message.find(tag); at != std::string_view::npos && at < best;
         at = message.find(tag, at + 1)) {
      size_t colon = message.rfind(':', at - 1);
      if (colon == std::string_view::npos || colon == 0) continue;
      std::string_view line = message.substr(colon + 1, at - colon - 1);
      if (!AllDigits(line) || std::strtoul(std::string(line).c_str(), nullptr, 10) == 0) continue;
      if (at + tag.size() == message.size()) continue;  // no text
      best = at;
      found = severity;
      break;
    }
  }
  return found;
}

// Whether a message reads "NAME:LINE: TEXT": a message of the source's own
// (inform 0), neither an error nor a warning.
bool Located(std::string_view message) {
  for (size_t at = message.find(": "); at != std::string_view::npos; at = message.find(": ", at + 1)) {
    size_t colon = message.rfind(':', at - 1);
    if (colon == std::string_view::npos || colon == 0) continue;
    std::string_view line = message.substr(colon + 1, at - colon - 1);
    if (AllDigits(line) && std::strtoul(std::string(line).c_str(), nullptr, 10) != 0) return true;
  }
  return false;
}

std::string Count(uint64_t n, const char* what) {
  return std::to_string(n) + ' ' + what + (n == 1 ? "" : "s");
}

// "N error(s), M warning(s)[, K byte(s)]"
std::string Summary(uint64_t errors, uint64_t warnings, bool success, uint64_t bytes) {
  std::string text = Count(errors, "error") + ", " + Count(warnings, "warning");
  if (success) text += ", " + Count(bytes, "byte");
  return text;
}

// "and N more error(s)[ and M more warning(s)] not shown", or "".
std::string NotShown(uint64_t errors, uint64_t warnings) {
  if (errors == 0 && warnings == 0) return std::string();
  std::string text = "and ";
  if (errors > 0) text += Count(errors, "more error");
  if (errors > 0 && warnings > 0) text += " and ";
  if (warnings > 0) text += Count(warnings, "more warning");
  return text + " not shown";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t marker = input.find(kFileMarker);
  std::string source(input.substr(0, marker));
  std::map<std::string, std::string> files;
  while (marker != std::string_view::npos) {
    size_t nameStart = marker + kFileMarker.size();
    size_t nameEnd = input.find('\n', nameStart);
    if (nameEnd == std::string_view::npos) nameEnd = input.size();
    marker = input.find(kFileMarker, nameEnd);
    size_t contentStart = nameEnd < input.size() ? nameEnd + 1 : nameEnd;
    size_t contentEnd = marker == std::string_view::npos ? input.size() : marker;
    files[std::string(input.substr(nameStart, nameEnd - nameStart))] =
        std::string(input.substr(contentStart, contentEnd - contentStart));
  }

  asm68k::MemoryFiles reader(files);
  asm68k::AssemblyResult result = asm68k::AssembleText(std::move(source), "main.asm", reader);

  Check(result.errors == 0 || result.image.empty(), "no image when there are errors",
        result.summary);
  Check(result.image.size() <= asm68k::kMaxImageSize, "image held within 16 MiB",
        std::to_string(result.image.size()));
  Check(result.image.size() + result.imageZeros <= asm68k::kMaxImageLength,
        "image within 2 GiB with its zeros", std::to_string(result.imageZeros));
  uint64_t errors = 0, warnings = 0;
  for (const std::string& whole : result.messages) {
    std::string_view message = whole;
    size_t newline = message.find('\n');
    for (std::string_view rest = message.substr(newline == std::string_view::npos ? message.size() : newline);
         !rest.empty();) {
      rest.remove_prefix(1);
      std::string_view line = rest.substr(0, rest.find('\n'));
      rest.remove_prefix(line.size());
      bool known = false;
      for (std::string_view start : {"  in macro ", "  in rept at ", "  included from ", "  (and "}) {
        known |= line.substr(0, start.size()) == start;
      }
      Check(known && Printable(line), "a message's later lines say how its line was reached", whole);
    }
    message = message.substr(0, newline);
    Check(Printable(message), "a message's first line is printable", whole);
    std::string_view severity = Severity(message);
    Check(!severity.empty() || Located(message),
          "a message reads NAME:LINE: [error: |warning: ]TEXT", whole);
    if (!severity.empty()) ++(severity == "error" ? errors : warnings);
  }
  const uint64_t shown = asm68k::kShownPerKind;
  Check(errors <= shown + 1 && warnings <= shown,
        "at most 100 errors (and the one that ended the run) and 100 warnings shown",
        result.summary);
  Check(static_cast<uint64_t>(result.errors) >= errors &&
            static_cast<uint64_t>(result.warnings) >= warnings,
        "every message shown is counted", result.summary);
  uint64_t hiddenErrors = static_cast<uint64_t>(result.errors) - errors;
  uint64_t hiddenWarnings = static_cast<uint64_t>(result.warnings) - warnings;
  Check((hiddenErrors == 0 || errors >= shown) && (hiddenWarnings == 0 || warnings == shown),
        "messages go unshown only past the first 100 of their kind", result.summary);
  Check(result.notShown == NotShown(hiddenErrors, hiddenWarnings),
        "the line before the summary says what was not shown", result.notShown);
  bool success = result.errors == 0;
  std::string expected = Summary(static_cast<uint64_t>(result.errors),
                                 static_cast<uint64_t>(result.warnings), success,
                                 result.image.size() + result.imageZeros);
  Check(result.summary == expected, "the summary counts the messages and bytes",
        result.summary + " instead of " + expected);
  return 0;
}
