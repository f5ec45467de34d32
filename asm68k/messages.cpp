#include "messages.h"

namespace asm68k {

namespace {

std::string Count(uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

}  // namespace

std::string FormatMessage(const std::string& fileName, uint32_t line, Severity severity,
                          const std::string& text) {
  std::string out;
  out.reserve(fileName.size() + text.size() + 24);
  out += fileName;
  out += ':';
  out += std::to_string(line);
  out += severity == Severity::Error ? ": error: " : ": warning: ";
  out += text;
  return out;
}

std::string FormatSummary(int errors, int warnings, bool moreErrors, bool success, uint64_t bytes) {
  std::string out = Count(static_cast<uint64_t>(errors), "error", "errors");
  if (moreErrors) out += " (more not shown)";
  out += ", ";
  out += Count(static_cast<uint64_t>(warnings), "warning", "warnings");
  if (success) {
    out += ", ";
    out += Count(bytes, "byte", "bytes");
  }
  return out;
}

std::string Hex(uint32_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  char buffer[12];
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
