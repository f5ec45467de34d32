#include "messages.h"

namespace asm68k {

namespace {

std::string Count(uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

// Control characters (a NUL, a stray escape or carriage return from the
// source or a file name) appear as \xNN, so every message is one printable
// line and nothing after it can be cut off.
// `keep` is a control character to keep as it is (-1: none).
void AppendVisible(std::string& out, const std::string& text, int keep = -1) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (char c : text) {
    uint8_t byte = static_cast<uint8_t>(c);
    if ((byte < 0x20 || byte == 0x7F) && byte != keep) {
      out += "\\x";
      out += kDigits[byte >> 4];
      out += kDigits[byte & 15];
    } else {
      out += c;
    }
  }
}

}  // namespace

std::string FormatMessage(const std::string& fileName, uint32_t line, Severity severity,
                          const std::string& text, const std::string& context) {
  std::string out;
  out.reserve(fileName.size() + text.size() + context.size() + 24);
  AppendVisible(out, fileName);
  out += ':';
  out += std::to_string(line);
  out += severity == Severity::Error     ? ": error: "
         : severity == Severity::Warning ? ": warning: "
                                         : ": ";
  AppendVisible(out, text);
  AppendVisible(out, context, '\n');  // its lines stay lines
  return out;
}

std::string FormatFileMessage(const std::string& fileName, const std::string& text) {
  std::string out;
  AppendVisible(out, fileName);
  out += ": error: ";
  AppendVisible(out, text);
  return out;
}

std::string FormatSummary(uint64_t errors, uint64_t warnings, bool success, uint64_t bytes) {
  std::string out = Count(errors, "error", "errors");
  out += ", ";
  out += Count(warnings, "warning", "warnings");
  if (success) {
    out += ", ";
    out += Count(bytes, "byte", "bytes");
  }
  return out;
}

std::string FormatNotShown(uint64_t errors, uint64_t warnings) {
  if (errors == 0 && warnings == 0) return std::string();
  std::string out = "and ";
  if (errors > 0) out += Count(errors, "more error", "more errors");
  if (errors > 0 && warnings > 0) out += " and ";
  if (warnings > 0) out += Count(warnings, "more warning", "more warnings");
  return out + " not shown";
}

std::string Hex(uint32_t value) { return HexAddress(value); }

std::string HexAddress(uint64_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  char buffer[16];
  int length = 0;
  do {
    buffer[length++] = kDigits[value & 15];
    value >>= 4;
  } while (value != 0);
  std::string out = "$";
  while (length > 0) out += buffer[--length];
  return out;
}

}  // namespace asm68k
