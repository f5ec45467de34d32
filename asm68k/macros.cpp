#include "macros.h"

#include <algorithm>

#include "source.h"

namespace asm68k {

bool SplitMacroArguments(std::string_view field, std::vector<std::string>& arguments,
                         std::string& error) {
  arguments.clear();
  const char* p = field.data();
  const char* end = p + field.size();
  while (p < end && IsSpace(*p)) ++p;
  if (p == end) return true;
  for (;;) {
    while (p < end && IsSpace(*p)) ++p;
    std::string argument;
    if (p < end && *p == '<') {
      const char* close = p + 1;
      while (close < end && *close != '>') ++close;
      if (close == end) {
        error = "macro argument " + std::to_string(arguments.size() + 1) + " has no closing '>'";
        return false;
      }
      argument.assign(p + 1, close);
      p = close + 1;
      while (p < end && IsSpace(*p)) ++p;
    } else {
      const char* start = p;
      int depth = 0;
      while (p < end && !(*p == ',' && depth == 0)) {
        if (*p == '\'' || *p == '"') {
          p = SkipQuoted(p, end);  // an unclosed one is reported where the argument lands
          continue;
        }
        if (*p == '(') ++depth;
        if (*p == ')' && depth > 0) --depth;
        ++p;
      }
      const char* stop = p;
      while (stop > start && IsSpace(stop[-1])) --stop;
      argument.assign(start, stop);
    }
    arguments.push_back(std::move(argument));
    if (p >= end) return true;
    if (*p != ',') {
      error = "unexpected " + Excerpt(p, end) + " after macro argument " +
              std::to_string(arguments.size());
      return false;
    }
    ++p;
  }
}

bool SubstituteLine(std::string_view line, const MacroCallText& call, std::string& out) {
  bool ok = true;
  size_t i = 0;
  while (i < line.size()) {
    size_t slash = line.find('\\', i);
    if (slash == std::string_view::npos || slash + 1 == line.size()) {
      out.append(line.data() + i, line.size() - i);
      return ok;
    }
    out.append(line.data() + i, slash - i);
    char next = line[slash + 1];
    i = slash + 2;
    if (next == '0') {
      if (call.size) out += call.size;
    } else if (next >= '1' && next <= '9') {
      size_t index = static_cast<size_t>(next - '1');
      if (index < call.arguments.size()) out += call.arguments[index];
    } else if (next == '@') {
      char stack = i < line.size() ? line[i] : 0;
      std::vector<std::string>& pushed = call.uniqueStack;
      if (stack == '!') {
        pushed.emplace_back(call.unique);
        out += call.unique;
        ++i;
      } else if (stack == '?' || stack == '@') {
        ++i;
        if (pushed.empty()) {
          ok = false;
        } else {
          out += pushed.back();
          if (stack == '@') pushed.pop_back();
        }
      } else {
        out += call.unique;
      }
    } else if (next == '#') {
      out += std::to_string(call.arguments.size());
    } else if (IsIdentStart(next) && next != '.' && !call.parameters.empty()) {
      size_t nameEnd = slash + 2;
      while (nameEnd < line.size() && IsIdentChar(line[nameEnd])) ++nameEnd;
      std::string_view name = line.substr(slash + 1, nameEnd - slash - 1);
      auto found = std::find(call.parameters.begin(), call.parameters.end(), name);
      size_t index = static_cast<size_t>(found - call.parameters.begin());
      if (found == call.parameters.end()) {
        out += '\\';  // not one of the names: kept as written
        i = slash + 1;
      } else {
        if (index < call.arguments.size()) out += call.arguments[index];
        i = nameEnd;
      }
    } else {
      out += '\\';  // not a parameter: kept as written
      i = slash + 1;
    }
  }
  return ok;
}

}  // namespace asm68k
