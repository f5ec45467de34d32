#pragma once
// Source lexer: walking lines, splitting a line into its label, operation
// and operand fields, and the character-level scanning the expression and
// operand parsers build on. Source text is 8-bit (Latin-1); bytes are never
// converted.

#include <cstdint>
#include <string>
#include <string_view>

// The hot paths' small helpers pay only when inlined whole.
#if defined(__GNUC__) || defined(__clang__)
#define ASM68K_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define ASM68K_ALWAYS_INLINE inline
#endif

namespace asm68k {

// Walks the lines of a buffer. CR LF, LF and CR alone (old Mac files) each
// end one line; the last line may have no ending.
class LineWalker {
 public:
  LineWalker(const char* begin, const char* end);
  bool Next(const char*& lineBegin, const char*& lineEnd);

 private:
  const char* next_;
  const char* end_;
  // The next LF and CR at or after next_ (end_ when none), each found once,
  // so a file with only one kind of line end is still scanned in one sweep.
  const char* lf_;
  const char* cr_;
};

// kCharFieldEnd: a character the operand field's end depends on;
// kCharInList: one that splitting operands at commas looks at.
enum : uint8_t {
  kCharSpace = 1,
  kCharIdentStart = 2,
  kCharIdent = 4,
  kCharFieldEnd = 8,
  kCharInList = 16,
};

struct CharTable {
  uint8_t flags[256];
  constexpr CharTable() : flags() {
    flags[static_cast<uint8_t>(' ')] = kCharSpace;
    flags[static_cast<uint8_t>('\t')] = kCharSpace;
    flags[static_cast<uint8_t>('\r')] = kCharSpace;
    flags[static_cast<uint8_t>('\f')] = kCharSpace;
    flags[static_cast<uint8_t>('\v')] = kCharSpace;
    for (char c : {' ', '\t', '\r', '\f', '\v', ';', '\'', '"', '<'}) {
      flags[static_cast<uint8_t>(c)] |= kCharFieldEnd;
    }
    for (char c : {'\'', '"', '(', ')', ','}) flags[static_cast<uint8_t>(c)] |= kCharInList;
    for (int c = 'a'; c <= 'z'; ++c) flags[c] = kCharIdentStart | kCharIdent;
    for (int c = 'A'; c <= 'Z'; ++c) flags[c] = kCharIdentStart | kCharIdent;
    for (int c = '0'; c <= '9'; ++c) flags[c] = kCharIdent;
    flags[static_cast<uint8_t>('_')] = kCharIdentStart | kCharIdent;
    // A leading dot makes a local label. A dot later in a word joins a
    // structure's field to a name (Ent.Cmd), unless a size letter alone
    // follows it (move.l, label.w): see NameRest.
    flags[static_cast<uint8_t>('.')] = kCharIdentStart;
    // "@name" is a local label too ("@" and a digit is an octal number).
    flags[static_cast<uint8_t>('@')] = kCharIdentStart;
  }
};
inline constexpr CharTable kChars{};

inline bool IsSpace(char c) { return kChars.flags[static_cast<uint8_t>(c)] & kCharSpace; }
inline bool IsIdentStart(char c) { return kChars.flags[static_cast<uint8_t>(c)] & kCharIdentStart; }
inline bool IsIdentChar(char c) { return kChars.flags[static_cast<uint8_t>(c)] & kCharIdent; }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
// A local label: ".name", or "@name" unless opt l. made '@' start a global
// name; owned by the global label above.
inline bool IsLocalName(std::string_view name, bool atStartsLocal = true) {
  return !name.empty() && (name[0] == '.' || (name[0] == '@' && atStartsLocal));
}
inline char ToLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
std::string ToLowerCopy(std::string_view text);

// Where the rest of a name ends, from `p` (past its first character):
// letters, digits and '_', and a '.' with more of them after it, so that a
// structure's fields are names (DMAEntry.Reg94, Ent.Cmd). A '.' and one size
// letter, b w l or s, then no more of a name, is a size suffix that ends it
// (label.w, d0.l, Ent.Cmd.w).
const char* NameRestAfterDot(const char* dot, const char* end);
ASM68K_ALWAYS_INLINE const char* NameRest(const char* p, const char* end) {
  while (p < end && IsIdentChar(*p)) ++p;
  return p < end && *p == '.' ? NameRestAfterDot(p, end) : p;
}

// A position inside one line (or one operand) of source.
struct Cursor {
  const char* p;
  const char* end;

  bool AtEnd() const { return p >= end; }
  char Peek(size_t ahead = 0) const { return p + ahead < end ? p[ahead] : '\0'; }
  void SkipSpace() {
    while (p < end && IsSpace(*p)) ++p;
  }
  bool Match(char c) {
    if (p < end && *p == c) {
      ++p;
      return true;
    }
    return false;
  }
  // Reads a name up to any dot: a register's or an operation's, which have
  // no fields; the caller has checked IsIdentStart(Peek()).
  ASM68K_ALWAYS_INLINE std::string_view Word() {
    const char* start = p++;
    while (p < end && IsIdentChar(*p)) ++p;
    return std::string_view(start, static_cast<size_t>(p - start));
  }
  // Reads a name, fields and all (see NameRest); the caller has checked
  // IsIdentStart(Peek()).
  ASM68K_ALWAYS_INLINE std::string_view Identifier() {
    const char* start = p;
    p = NameRest(p + 1, end);
    return std::string_view(start, static_cast<size_t>(p - start));
  }
};

// Register numbers: 0-7 are d0-d7, 8-15 are a0-a7 (sp is a7).
enum : int { kRegNone = -1, kRegSp = 15, kRegPc = 16, kRegSr = 17, kRegCcr = 18, kRegUsp = 19 };
int RegisterFromName(std::string_view name);  // case-insensitive; kRegNone if not a register
std::string RegisterName(int reg);

// Reads a string whose opening quote (' or ") is at the cursor; a doubled
// quote inside stands for itself. False when the closing quote is missing.
bool ReadQuoted(Cursor& c, std::string& out);

// Skips a quoted string starting at `p`, returning the position after it
// (or `end` if it is unterminated).
const char* SkipQuoted(const char* p, const char* end);

// The fields of one source line. Pointers refer into the line.
struct LineFields {
  std::string_view label;          // empty when the line defines no label
  std::string_view operation;      // as written; "=" for the assignment form
  char size = 0;                   // lower-case size letter after '.', or 0
  // The length of a word after '.' that is no size letter: only a macro
  // call takes one (its \0), so the parser refuses it on an instruction or
  // directive. A length, not a view, keeps the record small: every line
  // makes one, and the word always starts right after the operation's dot.
  uint32_t suffixLength = 0;
  const char* operands = nullptr;  // operand field, comment and trailing blanks removed
  const char* operandsEnd = nullptr;
  const char* comment = nullptr;  // what follows the operands after a blank (to the line's end)
  const char* commentEnd = nullptr;

  std::string_view Suffix() const {
    return {operation.data() + operation.size() + 1, suffixLength};
  }
};

// The error for an instruction or directive with a word after its dot.
std::string UnknownSize(std::string_view operation, std::string_view suffix);

// Decides whether a word in column 1 is an operation rather than a label.
using OperationTest = bool (*)(std::string_view word);

// Splits a line into fields. A comment line yields empty fields.
// False (with `error` set) when the line has no valid shape.
// With `blanksInOperands` (opt ws+), the operand field runs to a ';'
// comment, blanks and all.
bool SplitLine(const char* begin, const char* end, OperationTest isOperation, LineFields& out,
               std::string& error, bool blanksInOperands = false);

// SplitLine with a test that takes a set of operations as well (the
// instructions of one processor), `set`, given to it as is. Apart from
// SplitLine, whose callers nearly all give it the same test.
using OperationSetTest = bool (*)(std::string_view word, int set);
bool SplitLineInSet(const char* begin, const char* end, OperationSetTest isOperation, int set,
                    LineFields& out, std::string& error, bool blanksInOperands);

// Whether the text a blank cut off as a comment starts like more of the
// operand ("+ 2" after "dc.w 1"): worth a warning.
bool CommentLooksLikeOperand(const char* begin, const char* end);

// For an instruction or directive that takes no operands but has text in
// its operand field ("nop 0,8"): a warning when that text starts like an
// operand (a number or '#'), else empty: "rts  back" is just a comment.
std::string IgnoredOperandWarning(std::string_view name, const char* begin, const char* end);

// Shows a piece of source in a message, shortened if long.
std::string Excerpt(const char* begin, const char* end);

}  // namespace asm68k
