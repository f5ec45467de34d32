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

void NameIndex::Add(std::string_view name, size_t position) {
  if (!index_) index_ = std::make_unique<std::unordered_map<std::string, uint32_t>>();
  index_->emplace(ToLowerCopy(name), static_cast<uint32_t>(position));  // the first one stays
}

int64_t NameIndex::Indexed(std::string_view name) const {
  auto found = index_->find(ToLowerCopy(name));
  return found == index_->end() ? -1 : static_cast<int64_t>(found->second);
}

bool SameNameAnyCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ToLower(a[i]) != ToLower(b[i])) return false;
  }
  return true;
}

size_t CodeEnd(std::string_view line) {
  size_t n = line.size(), i = 0;
  if (n == 0 || line[0] == '*' || line[0] == ';') return 0;
  auto skipBlanks = [&] {
    while (i < n && IsSpace(line[i])) ++i;
  };
  auto skipWord = [&] {
    while (i < n && !IsSpace(line[i]) && line[i] != ';') ++i;
  };
  auto word = [&](size_t from) {
    size_t end = from;
    while (end < n && !IsSpace(line[end]) && line[end] != ';') ++end;
    return line.substr(from, end - from);
  };
  if (!IsSpace(line[0])) skipWord();  // the label
  skipBlanks();
  if (i < n && (line[i] == ';' || line[i] == '*')) return i;
  std::string_view first = word(i);
  if (!first.empty() && first.back() == ':') {  // an indented label
    skipWord();
    skipBlanks();
  }
  skipWord();  // the operation, or the name in front of equ, set, macro, ...
  skipBlanks();
  std::string_view next = word(i);
  bool naming = next == "=";
  for (std::string_view directive :
       {"equ", "set", "macro", "macros", "equs", "substr", "equr", "reg"}) {
    naming = naming || SameNameAnyCase(next, directive);
  }
  if (naming) {
    skipWord();
    skipBlanks();
  }
  // The operand field, as the line splitter reads it.
  size_t start = i;
  int depth = 0;
  while (i < n && line[i] != ';') {
    char c = line[i];
    if (c == '\'' || c == '"') {
      i = static_cast<size_t>(SkipQuoted(line.data() + i, line.data() + n) - line.data());
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')' && depth > 0) --depth;
    if (c == '<') {
      size_t close = line.find('>', i);
      size_t before = i;
      while (before > start && IsSpace(line[before - 1])) --before;
      if (close != std::string_view::npos && (before == start || line[before - 1] == ',')) {
        i = close + 1;
        continue;
      }
    }
    if (IsSpace(c) && depth == 0) {
      size_t before = i;
      while (before > start && IsSpace(line[before - 1])) --before;
      if (before > start && line[before - 1] != ',') return i;
    }
    ++i;
  }
  return i;
}

namespace {

// The index of `name` among the call's parameters, or -1.
int64_t ParameterIndex(const MacroCallText& call, std::string_view name) {
  if (!call.parameters) return -1;
  const std::vector<std::string>& names = *call.parameters;
  return call.parameterIndex->Find(name, names.size(),
                                   [&](size_t i) -> std::string_view { return names[i]; });
}

// What a local name stands for in this expansion, or null.
const std::string* LocalName(const MacroCallText& call, std::string_view name) {
  int64_t at = call.localIndex.Find(name, call.locals.size(), [&](size_t i) -> std::string_view {
    return call.locals[i].first;
  });
  return at < 0 ? nullptr : &call.locals[static_cast<size_t>(at)].second;
}

// What a parameter or local name stands for in this expansion, or null.
const std::string* CallName(const MacroCallText& call, std::string_view name) {
  static const std::string kEmpty;
  int64_t index = ParameterIndex(call, name);
  if (index >= 0) {
    return static_cast<size_t>(index) < call.Count()
               ? &call.Argument(static_cast<size_t>(index))
               : &kEmpty;
  }
  return LocalName(call, name);
}

size_t NameEnd(std::string_view line, size_t from) {
  while (from < line.size() && IsIdentChar(line[from])) ++from;
  return from;
}

struct Substituter {
  std::string_view line;
  LineSubstitution& with;
  std::string& out;
  size_t codeEnd = kNotKnown;  // CodeEnd(line), found when first needed

  static constexpr size_t kNotKnown = ~size_t{0};
  size_t Code() {
    if (codeEnd == kNotKnown) codeEnd = CodeEnd(line);
    return codeEnd;
  }

  // The text \NAME stands for, or null; `equate` tells a string equate's.
  const std::string* NamedText(std::string_view name, bool* equate = nullptr) const {
    if (with.call) {
      if (const std::string* text = CallName(*with.call, name)) {
        // A local name that names a string equate (local NAME, then NAME
        // equs TEXT) stands for the equate's text.
        const std::string* named = nullptr;
        if (with.source && LocalName(*with.call, name) == text) {
          named = with.source->TextEquate(*text);
        }
        if (equate) *equate = named != nullptr;
        return named ? named : text;
      }
    }
    if (equate) *equate = true;
    return with.source ? with.source->TextEquate(name) : nullptr;
  }

  // A string equate's text put into a string of the line: the string's
  // quote character in it stays a character (doubled, as the string is
  // read), since the string was already delimited where it was written.
  // So an equate holding ' !"' goes into "\c" whole, as a Mega Drive
  // emulator detector's character table needs.
  void PutEquateText(const std::string& text, size_t at) {
    char quote = 0;
    if (text.find_first_of("'\"") != std::string::npos && (quote = QuoteAround(at)) != 0 &&
        text.find(quote) != std::string::npos) {
      for (char ch : text) {
        out += ch;
        if (ch == quote) out += ch;
      }
      return;
    }
    out += text;
  }

  // The quote of the string of the line's code that `at` is inside, or 0
  // (rarely needed: the line is read from its start for each).
  char QuoteAround(size_t at) {
    if (at >= Code()) return 0;
    char quote = 0;
    for (size_t i = 0; i < at; ++i) {
      if (quote) {
        if (line[i] == quote) quote = 0;
      } else if (line[i] == '\'' || line[i] == '"') {
        quote = line[i];
      }
    }
    return quote;
  }
  bool InString(size_t at) { return QuoteAround(at) != 0; }

  // \#NAME or \$NAME at `at`: a name follows, and a value is put in.
  bool IsValueReference(size_t at) {
    return at + 2 < line.size() && IsIdentStart(line[at + 2]) && line[at + 2] != '@' &&
           at < Code();
  }

  // Whether a backslash at `at` starts a reference that puts text in.
  bool StartsReference(size_t at) {
    if (at + 1 >= line.size() || line[at] != '\\') return false;
    char next = line[at + 1];
    if (with.call && (IsDigit(next) || next == '@')) return true;
    // \# with no name after it (narg) is no reference here: after a name,
    // "\cind\#$" is the equate's text and "#$".
    if (next == '#' || next == '$') return with.source && IsValueReference(at);
    if (!IsIdentStart(next) || next == '.' || next == '@') return false;
    return NamedText(line.substr(at + 1, NameEnd(line, at + 2) - at - 1)) != nullptr;
  }

  // After a reference: a backslash that starts no other one ends it and goes.
  size_t SkipTerminator(size_t at) {
    return at < line.size() && line[at] == '\\' && !StartsReference(at) ? at + 1 : at;
  }

  // The backslash at `at`: puts in what it stands for and returns where the
  // line goes on; `at` itself when it stays as written.
  size_t Backslash(size_t at) {
    char next = line[at + 1];
    const MacroCallText* call = with.call;
    if (call && IsDigit(next)) {
      if (next == '0') {
        out += call->size;
      } else if (static_cast<size_t>(next - '1') < call->Count()) {
        out += call->Argument(static_cast<size_t>(next - '1'));
      }
      return SkipTerminator(at + 2);
    }
    if (call && next == '@') {
      char stack = at + 2 < line.size() ? line[at + 2] : 0;
      std::vector<std::string>& pushed = *with.uniqueStack;
      if (stack == '!') {
        if (with.source) with.source->PutAside(call->unique.size(), false);
        pushed.push_back(call->unique);
        out += call->unique;
        return at + 3;
      }
      if (stack == '?' || stack == '@') {
        if (pushed.empty()) {
          with.stackEmpty = true;
        } else {
          out += pushed.back();
          if (stack == '@') {
            if (with.source) with.source->PutAside(pushed.back().size(), true);
            pushed.pop_back();
          }
        }
        return at + 3;
      }
      out += call->unique;
      return at + 2;
    }
    if (next == '#' || next == '$') {
      if (at + 2 < line.size() && IsIdentStart(line[at + 2]) && line[at + 2] != '@') {
        // \#NAME, \$NAME: only in code, so that a comment can't make an error.
        if (!with.source || at >= Code()) return at;
        size_t end = NameEnd(line, at + 3);
        std::string_view name = line.substr(at + 2, end - at - 2);
        // Of a parameter or local name: the value of what it stands for.
        const std::string* text = call ? CallName(*call, name) : nullptr;
        out += with.source->SymbolValueText(text ? std::string_view(*text) : name, next == '$');
        return SkipTerminator(end);
      }
      if (!call || next == '$') return at;
      out += std::to_string(call->Count());
      return at + 2;
    }
    if (IsIdentStart(next) && next != '.' && next != '@') {
      size_t end = NameEnd(line, at + 2);
      bool equate = false;
      const std::string* text = NamedText(line.substr(at + 1, end - at - 1), &equate);
      if (!text) return at;
      if (equate) {
        PutEquateText(*text, at);
      } else {
        out += *text;
      }
      return SkipTerminator(end);
    }
    return at;
  }

  // `bare`: names stand for parameters and locals without a backslash too.
  bool Run(bool bare) {
    bool changed = false;
    char quote = 0;
    size_t copied = 0;  // line[copied, i) is still to be copied
    size_t i = 0;
    auto flush = [&](size_t upTo) {
      out.append(line.data() + copied, upTo - copied);
    };
    while (i < line.size()) {
      if (out.size() > with.limit) {  // the line would grow without end: stop here
        with.tooLong = true;
        return true;
      }
      char c = line[i];
      if (c == '\\' && i + 1 < line.size()) {
        flush(i);
        size_t next = Backslash(i);
        if (next == i) {
          out += '\\';
          copied = i = i + 1;
          if (line[i] == '\\' && (bare ? quote != 0 : InString(i))) {  // "\\" is one backslash
            changed = true;
            copied = i = i + 1;
          }
        } else {
          changed = true;
          copied = i = next;
        }
        continue;
      }
      if (!bare || i >= Code()) {
        ++i;
        continue;
      }
      if (quote) {
        if (c == quote) quote = 0;
        ++i;
        continue;
      }
      if (c == '\'' || c == '"') {
        quote = c;
        ++i;
        continue;
      }
      // A number: its digits are no name. A '%' before a letter is no
      // binary number but the modulo operator, and a name follows it
      // ("(\num)%mask" with a local name mask).
      if (c == '$' || (c == '%' && !(i + 1 < line.size() && IsIdentStart(line[i + 1]))) ||
          IsDigit(c)) {
        ++i;
        while (i < line.size() && IsIdentChar(line[i])) ++i;
        continue;
      }
      bool startsName = (IsIdentStart(c) && c != '.' && c != '@') &&
                        (i == 0 || !(IsIdentChar(line[i - 1]) || line[i - 1] == '.' ||
                                     line[i - 1] == '@'));
      if (!startsName) {
        ++i;
        continue;
      }
      size_t end = NameEnd(line, i + 1);
      const std::string* text = CallName(*with.call, line.substr(i, end - i));
      if (text) {
        flush(i);
        out += *text;
        changed = true;
        copied = end;
      }
      i = end;
    }
    if (changed) flush(line.size());
    return changed;
  }
};

}  // namespace

bool SubstituteLine(std::string_view line, LineSubstitution& with, std::string& out) {
  bool hasBackslash = line.find('\\') != std::string_view::npos;
  bool bare = with.call && ((with.call->parameters && !with.call->parameters->empty()) ||
                            !with.call->locals.empty());
  if (!hasBackslash && !bare) return false;
  size_t start = out.size();
  Substituter substituter{line, with, out};
  // Bare names are looked for only in the code of a macro that names some.
  if (substituter.Run(bare)) return true;
  out.resize(start);
  return false;
}

}  // namespace asm68k
