#include "source.h"

#include <cstring>

namespace asm68k {

namespace {

const char* FindByte(const char* from, const char* end, char byte) {
  const void* found = std::memchr(from, byte, static_cast<size_t>(end - from));
  return found ? static_cast<const char*>(found) : end;
}

}  // namespace

LineWalker::LineWalker(const char* begin, const char* end)
    : next_(begin), end_(end), lf_(FindByte(begin, end, '\n')), cr_(FindByte(begin, end, '\r')) {}

bool LineWalker::Next(const char*& lineBegin, const char*& lineEnd) {
  if (next_ >= end_) return false;
  if (lf_ < next_) lf_ = FindByte(next_, end_, '\n');
  if (cr_ < next_) cr_ = FindByte(next_, end_, '\r');
  lineBegin = next_;
  lineEnd = lf_ < cr_ ? lf_ : cr_;
  next_ = lineEnd;
  if (next_ < end_ && *next_++ == '\r' && next_ < end_ && *next_ == '\n') ++next_;
  return true;
}

std::string ToLowerCopy(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = ToLower(c);
  return lower;
}

int RegisterFromName(std::string_view name) {
  if (name.size() == 2) {
    char first = ToLower(name[0]);
    char second = ToLower(name[1]);
    if (second >= '0' && second <= '7') {
      if (first == 'd') return second - '0';
      if (first == 'a') return 8 + (second - '0');
      return kRegNone;
    }
    if (first == 's' && second == 'p') return kRegSp;
    if (first == 'p' && second == 'c') return kRegPc;
    if (first == 's' && second == 'r') return kRegSr;
    return kRegNone;
  }
  if (name.size() == 3) {
    char a = ToLower(name[0]), b = ToLower(name[1]), c = ToLower(name[2]);
    if (a == 'c' && b == 'c' && c == 'r') return kRegCcr;
    if (a == 'u' && b == 's' && c == 'p') return kRegUsp;
  }
  return kRegNone;
}

std::string RegisterName(int reg) {
  if (reg >= 0 && reg < 8) return std::string("d") + static_cast<char>('0' + reg);
  if (reg >= 8 && reg < 16) return std::string("a") + static_cast<char>('0' + reg - 8);
  switch (reg) {
    case kRegPc:
      return "pc";
    case kRegSr:
      return "sr";
    case kRegCcr:
      return "ccr";
    case kRegUsp:
      return "usp";
    default:
      return "?";
  }
}

const char* NameRestAfterDot(const char* p, const char* end) {
  while (end - p >= 2 && *p == '.' && IsIdentChar(p[1])) {
    if (end - p == 2 || !IsIdentChar(p[2])) {
      char size = static_cast<char>(p[1] | 0x20);
      if (size == 'b' || size == 'w' || size == 'l' || size == 's') break;  // a size suffix
    }
    for (p += 2; p < end && IsIdentChar(*p); ++p) {
    }
  }
  return p;
}

bool ReadQuoted(Cursor& c, std::string& out) {
  char quote = *c.p++;
  while (c.p < c.end) {
    char ch = *c.p++;
    if (ch == quote) {
      if (c.p < c.end && *c.p == quote) {
        out += quote;
        ++c.p;
        continue;
      }
      return true;
    }
    out += ch;
  }
  return false;
}

const char* SkipQuoted(const char* p, const char* end) {
  char quote = *p++;
  while (p < end) {
    if (*p == quote) {
      if (p + 1 < end && p[1] == quote) {
        p += 2;
        continue;
      }
      return p + 1;
    }
    ++p;
  }
  return end;
}

namespace {

// The directives whose label field holds the name they define: with them a
// name may stand indented, in front of the directive.
bool IsNamingWord(std::string_view word) {
  if (word == "=") return true;
  if (word.size() < 3 || word.size() > 6) return false;
  std::string lower = ToLowerCopy(word);
  return lower == "equ" || lower == "set" || lower == "macro" || lower == "macros" ||
         lower == "equs" || lower == "substr" || lower == "equr" || lower == "reg";
}

}  // namespace

std::string UnknownSize(std::string_view operation, std::string_view suffix) {
  return "unknown size '." + std::string(suffix) + "' on " + std::string(operation) +
         "; sizes are .b, .w, .l and .s";
}

namespace {

// Reads the operation word at the cursor: a name with an optional size
// suffix, or '='. `nameEnd`, when set, is where the name at the cursor ends.
bool ReadOperation(Cursor& c, LineFields& out, std::string& error, const char* nameEnd = nullptr) {
  if (c.Match('=')) {
    out.operation = std::string_view(c.p - 1, 1);
    return true;
  }
  // An operation may start with '@' (a macro's name), never with '.'.
  if (!IsIdentStart(c.Peek()) || c.Peek() == '.') {
    error = "expected an instruction or directive, found " + Excerpt(c.p, c.end);
    return false;
  }
  if (nameEnd) {
    out.operation = std::string_view(c.p, static_cast<size_t>(nameEnd - c.p));
    c.p = nameEnd;
  } else {
    out.operation = c.Word();  // any dot after it starts its size
  }
  if (c.Match('.')) {
    const char* suffix = c.p;
    while (c.p < c.end && IsIdentChar(*c.p)) ++c.p;
    char letter = suffix + 1 == c.p ? ToLower(*suffix) : 0;
    if (letter == 'b' || letter == 'w' || letter == 'l' || letter == 's') {
      out.size = letter;
    } else if (suffix < c.p) {
      out.suffixLength = static_cast<uint32_t>(c.p - suffix);
    } else {
      error = UnknownSize(out.operation, {});
      return false;
    }
  }
  if (!c.AtEnd() && !IsSpace(*c.p) && *c.p != ';' && *c.p != '=') {
    error = "unexpected " + Excerpt(c.p, c.end) + " after " + std::string(out.operation);
    return false;
  }
  return true;
}

// After a word in column 1: does the rest read as that word's size and
// operands ("mvoe.l d0,d1", "mvoe #1,d0") rather than as an operation?
// Then the word is a mistyped instruction, not a label, and is reported so.
bool LooksLikeOperation(Cursor after) {
  if (after.Peek() == '.') return true;  // a size suffix: a field's dot belongs to the name
  after.SkipSpace();
  if (after.AtEnd() || *after.p == ';' || *after.p == '=') return false;
  if (IsIdentStart(*after.p)) return RegisterFromName(after.Word()) != kRegNone;
  return true;  // '#', '(', '-', a number...: operands, not an operation
}

// After an instruction's name in column 1: is another operation next?
// Then the name is a label ("reset  move.w #1,d0"), as real sources use.
template <typename Test>
bool OperationFollows(Cursor after, Test isOperation) {
  if (after.AtEnd() || !IsSpace(*after.p)) return false;
  after.SkipSpace();
  if (!IsIdentStart(after.Peek())) return false;
  std::string_view next = after.Word();
  return (after.AtEnd() || IsSpace(*after.p) || *after.p == '.') && isOperation(next);
}

}  // namespace

namespace {

const char* NameEnd(const char* p, const char* end) {
  while (p < end && IsIdentChar(*p)) ++p;
  return p;
}

// The character flags of p[0] to p[3], together.
uint8_t FlagsOfFour(const char* p) {
  const uint8_t* flags = kChars.flags;
  return static_cast<uint8_t>(flags[static_cast<uint8_t>(p[0])] | flags[static_cast<uint8_t>(p[1])] |
                              flags[static_cast<uint8_t>(p[2])] | flags[static_cast<uint8_t>(p[3])]);
}

const char* SkipBlanks(const char* p, const char* end) {
  while (p < end && IsSpace(*p)) ++p;
  return p;
}

// Whether blanks and then a directive that names what it defines (equ,
// set, =, macro, ...) stand at `p`.
bool NamingWordAt(const char* p, const char* end) {
  if (p == end || !IsSpace(*p)) return false;
  p = SkipBlanks(p, end);
  if (p < end && *p == '=') return true;
  if (p == end || !IsIdentStart(*p)) return false;
  const char* wordEnd = NameEnd(p + 1, end);
  return (wordEnd == end || IsSpace(*wordEnd)) &&
         IsNamingWord(std::string_view(p, static_cast<size_t>(wordEnd - p)));
}

// A word in column 1 without a colon: a label, or the line's operation.
// Leaves `p` after the label, or where it was for an operation.
template <typename Test>
bool ReadColumnOneWord(const char*& p, const char* end, Test isOperation, LineFields& out,
                       std::string& error) {
  Cursor word{p, end};
  std::string_view name = word.Identifier();
  if (isOperation(name) ? OperationFollows(word, isOperation) : !LooksLikeOperation(word)) {
    out.label = name;
    p = word.p;
    if (p < end && !IsSpace(*p) && *p != ';' && *p != '=') {
      error = "unexpected " + Excerpt(p, end) + " after label " + std::string(name);
      return false;
    }
  }
  return true;
}

// The operation at `p`, for the names most lines have: a name, maybe a size
// suffix of one letter, then a blank, a ';', a '=' or the line's end. False
// for anything else, which ReadOperation reads (and reports) in full.
bool ReadPlainOperation(const char*& p, const char* end, const char* nameEnd, LineFields& out) {
  if (*p == '.') return false;
  const char* q = nameEnd;
  char size = 0;
  if (q < end && *q == '.') {
    if (q + 1 == end) return false;
    size = ToLower(q[1]);
    if (size != 'b' && size != 'w' && size != 'l' && size != 's') return false;
    q += 2;
    if (q < end && IsIdentChar(*q)) return false;
  }
  if (q < end && !IsSpace(*q) && *q != ';' && *q != '=') return false;
  out.operation = std::string_view(p, static_cast<size_t>(nameEnd - p));
  out.size = size;
  p = q;
  return true;
}

}  // namespace

namespace {

// Where the operand field that starts at `p` ends: at a ';' or at the first
// blank outside quotes, parentheses and a <...> macro argument; blanks right
// after a comma belong to it.
[[gnu::always_inline]] inline const char* OperandFieldEnd(const char* p, const char* end) {
  const char* operandsBegin = p;
  // Most fields hold none of the characters that matter (a blank, ';', a
  // quote, '<'): one test a character finds the next one.
  int depth = 0;               // parentheses open up to `counted`
  const char* counted = p;
  while (p < end) {
    // Four characters a test while four are left.
    while (end - p >= 4 && !(FlagsOfFour(p) & kCharFieldEnd)) p += 4;
    while (p < end && !(kChars.flags[static_cast<uint8_t>(*p)] & kCharFieldEnd)) ++p;
    if (p == end || *p == ';') break;
    char ch = *p;
    if (ch == '\'' || ch == '"') {
      p = SkipQuoted(p, end);
      continue;
    }
    const char* before = p;  // the field's last character before this one
    while (before > operandsBegin && IsSpace(before[-1])) --before;
    bool argumentStart = before == operandsBegin || before[-1] == ',';
    if (ch == '<') {
      const char* close = static_cast<const char*>(std::memchr(p, '>', static_cast<size_t>(end - p)));
      p = argumentStart && close ? close + 1 : p + 1;
      continue;
    }
    // A blank: the end, unless it follows a comma or stands in parentheses.
    for (; counted < p; ++counted) {
      if (*counted == '\'' || *counted == '"') {
        counted = SkipQuoted(counted, p) - 1;
      } else if (*counted == '(') {
        ++depth;
      } else if (*counted == ')' && depth > 0) {
        --depth;
      }
    }
    if (!argumentStart && depth == 0) break;
    ++p;
  }
  return p;
}

// The line shapes most sources are made of: an optional "label:" in column
// 1, blanks, an operation name with at most a one-letter size, then a blank
// or the line's end, and something after it. Sets the label and operation
// of `out` and returns where the operand field starts; nullptr for any
// other line, which SplitHead reads (and reports) in full.
// Inlined into both ways SplitLine is compiled.
[[gnu::always_inline]] inline const char* SplitCommonHead(const char* begin, const char* end,
                                                          LineFields& out) {
  const char* p = begin;
  if (p == end) return nullptr;
  std::string_view label;
  if (!IsSpace(*p)) {
    if (!IsIdentStart(*p)) return nullptr;
    const char* labelEnd = NameRest(p + 1, end);
    if (labelEnd == end || *labelEnd != ':') return nullptr;
    label = std::string_view(p, static_cast<size_t>(labelEnd - p));
    p = labelEnd + 1;
  }
  p = SkipBlanks(p, end);
  if (p == end || !IsIdentStart(*p) || *p == '.') return nullptr;
  const char* nameEnd = NameEnd(p + 1, end);
  const char* q = nameEnd;
  char size = 0;
  if (q != end && *q == '.') {
    if (end - q < 2) return nullptr;
    size = ToLower(q[1]);
    if (size != 'b' && size != 'w' && size != 'l' && size != 's') return nullptr;
    q += 2;
  }
  if (q != end && !IsSpace(*q)) return nullptr;
  const char* operands = SkipBlanks(q, end);
  // "name equ value" with the name indented: SplitHead moves the name to
  // the label.
  if (label.empty() && size == 0 && operands != end) {
    if (*operands == '=') return nullptr;
    if (IsIdentStart(*operands)) {
      const char* wordEnd = NameEnd(operands + 1, end);
      if ((wordEnd == end || IsSpace(*wordEnd)) &&
          IsNamingWord(std::string_view(operands, static_cast<size_t>(wordEnd - operands)))) {
        return nullptr;
      }
    }
  }
  out.label = label;
  out.operation = std::string_view(p, static_cast<size_t>(nameEnd - p));
  out.size = size;
  return operands;
}

enum class Head { kError, kNoOperands, kOperands };

// The label and operation of any line, into `out`; with kOperands, `operands`
// is where the operand field starts.
template <typename Test>
Head SplitHead(const char* begin, const char* end, Test isOperation, LineFields& out,
               std::string& error, const char*& operands) {
  out = LineFields();
  const char* p = begin;
  if (p == end || *p == '*' || *p == ';') return Head::kNoOperands;

  if (!IsSpace(*p)) {
    // Column 1 holds a label, unless it is a bare instruction or directive
    // name, so that "rts" typed at the left edge still assembles.
    if (!IsIdentStart(*p)) {
      error = "a line starts with a label, a blank, '*' or ';', not " + Excerpt(p, end);
      return Head::kError;
    }
    const char* nameEnd = NameRest(p + 1, end);
    if (nameEnd < end && *nameEnd == ':') {
      out.label = std::string_view(p, static_cast<size_t>(nameEnd - p));
      p = nameEnd + 1;
    } else if (!ReadColumnOneWord(p, end, isOperation, out, error)) {
      return Head::kError;
    }
  }

  p = SkipBlanks(p, end);
  // '*': a comment, after a label or indented
  if (p == end || *p == ';' || *p == '*') return Head::kNoOperands;

  const char* nameEnd = nullptr;  // where the name at `p` ends, once read
  if (IsIdentStart(*p)) {
    nameEnd = NameEnd(p + 1, end);
    const char* labelEnd = nameEnd < end && *nameEnd == '.' ? NameRest(nameEnd, end) : nameEnd;
    // An indented label needs a colon, or (with a field's dot, which no
    // operation has) a directive that names what it defines after it.
    if (out.label.empty() && labelEnd < end && *labelEnd == ':') {
      out.label = std::string_view(p, static_cast<size_t>(labelEnd - p));
      p = SkipBlanks(labelEnd + 1, end);
      if (p == end || *p == ';' || *p == '*') return Head::kNoOperands;
      nameEnd = IsIdentStart(*p) ? NameEnd(p + 1, end) : nullptr;
    } else if (out.label.empty() && labelEnd != nameEnd && NamingWordAt(labelEnd, end)) {
      out.label = std::string_view(p, static_cast<size_t>(labelEnd - p));
      p = SkipBlanks(labelEnd, end);
      nameEnd = NameEnd(p + 1, end);
    }
  }
  if (!nameEnd || !ReadPlainOperation(p, end, nameEnd, out)) {
    Cursor c{p, end};
    if (!ReadOperation(c, out, error, nameEnd)) return Head::kError;
    p = c.p;
  }
  p = SkipBlanks(p, end);

  // "name equ value" (or "name macro") written with the name indented.
  if (out.label.empty() && out.size == 0 && p < end && out.operation != "=") {
    std::string_view word;
    if (*p == '=') {
      word = "=";
    } else if (IsIdentStart(*p)) {
      const char* wordEnd = NameEnd(p + 1, end);
      if (wordEnd == end || IsSpace(*wordEnd)) word = std::string_view(p, static_cast<size_t>(wordEnd - p));
    }
    if (!word.empty() && IsNamingWord(word)) {
      out.label = out.operation;
      out.operation = std::string_view();
      Cursor c{p, end};
      if (!ReadOperation(c, out, error)) return Head::kError;
      p = SkipBlanks(c.p, end);
    }
  }
  operands = p;
  return Head::kOperands;
}

}  // namespace

namespace {

// SplitLine, whichever way the test is given.
template <typename Test>
[[gnu::always_inline]] inline bool SplitLineWith(const char* begin, const char* end,
                                                 Test isOperation, LineFields& out,
                                                 std::string& error, bool blanksInOperands) {
  const char* p = blanksInOperands ? nullptr : SplitCommonHead(begin, end, out);
  if (!p) {
    Head head = SplitHead(begin, end, isOperation, out, error, p);
    if (head != Head::kOperands) return head == Head::kNoOperands;
    // With blanks in operands, the operand field runs to a ';' comment.
    if (blanksInOperands) {
      const char* operandsBegin = p;
      while (p < end && *p != ';') p = *p == '\'' || *p == '"' ? SkipQuoted(p, end) : p + 1;
      const char* last = p;
      while (last > operandsBegin && IsSpace(last[-1])) --last;
      out.operands = operandsBegin;
      out.operandsEnd = last;
      out.comment = p;
      out.commentEnd = end;
      return true;
    }
  }
  const char* operandsEnd = OperandFieldEnd(p, end);
  out.operands = p;
  out.operandsEnd = operandsEnd;
  out.comment = SkipBlanks(operandsEnd, end);
  out.commentEnd = end;
  return true;
}

}  // namespace

bool SplitLine(const char* begin, const char* end, OperationTest isOperation, LineFields& out,
               std::string& error, bool blanksInOperands) {
  return SplitLineWith(begin, end, isOperation, out, error, blanksInOperands);
}

bool SplitLineInSet(const char* begin, const char* end, OperationSetTest isOperation, int set,
                    LineFields& out, std::string& error, bool blanksInOperands) {
  auto test = [isOperation, set](std::string_view word) { return isOperation(word, set); };
  return SplitLineWith(begin, end, test, out, error, blanksInOperands);
}

namespace {

// Whether `c` is one of `set` (never the NUL that ends it).
bool IsOneOf(char c, const char* set) { return c != '\0' && std::strchr(set, c) != nullptr; }

}  // namespace

bool CommentLooksLikeOperand(const char* begin, const char* end) {
  if (begin == end) return false;
  char op = *begin;
  if (!IsOneOf(op, "+-*/%&|^<>=!")) return false;
  const char* p = begin + 1;
  while (p < end && IsOneOf(*p, "<>=&|")) ++p;  // <<, >=, &&, ...
  while (p < end && IsSpace(*p)) ++p;
  if (p == end) return false;
  char next = *p;
  bool number = IsDigit(next) || next == '$' || next == '%' || next == '(';
  // "* base of the port" is how many sources write a comment: only a number
  // after a '*' looks like arithmetic.
  bool operand = op == '*' ? number
                           : number || IsIdentStart(next) || next == '@' || next == '\'' || next == '"';
  if (!operand) return false;
  // Two operands in a row, with no operator between them, are prose
  // ("+ pixel position", "* 16 bytes"), not an expression.
  bool lastWasOperand = false;
  while (p < end && *p != ';') {
    bool isOperand = false;
    for (; p < end && !IsSpace(*p) && *p != ';'; ++p) {
      if (!IsOneOf(*p, "+-*/%&|^<>=!~")) isOperand = true;
    }
    if (isOperand && lastWasOperand) return false;
    lastWasOperand = isOperand;
    while (p < end && IsSpace(*p)) ++p;
  }
  return true;
}

std::string IgnoredOperandWarning(std::string_view name, const char* begin, const char* end) {
  if (begin == end || !(IsDigit(*begin) || IsOneOf(*begin, "#$%"))) return std::string();
  return Excerpt(begin, end) + " after " + std::string(name) +
         " is taken as a comment: " + std::string(name) + " takes no operands";
}

std::string Excerpt(const char* begin, const char* end) {
  constexpr size_t kLimit = 24;
  size_t length = static_cast<size_t>(end - begin);
  if (length == 0) return "the end of the line";
  std::string text = "'";
  size_t shown = length > kLimit ? kLimit : length;
  // Never cut a UTF-8 character in two.
  while (shown < length && shown > 0 && (static_cast<uint8_t>(begin[shown]) & 0xC0) == 0x80) {
    --shown;
  }
  text.append(begin, shown);
  if (length > kLimit) text += "...";
  text += "'";
  return text;
}

}  // namespace asm68k
