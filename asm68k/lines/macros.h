#pragma once
// Text put into lines as they are read: a macro call's arguments (split from
// the call's operand field), the names a macro makes private to each
// expansion, string equates, and symbols' values as decimal text.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace asm68k {

// Arguments are separated by commas outside quotes and parentheses; <...>
// quotes an argument that holds commas or blanks. Each is trimmed; an empty
// one stays in its place. False (with `error`) on an unclosed <.
bool SplitMacroArguments(std::string_view field, std::vector<std::string>& arguments,
                         std::string& error);

// Names looked up without regard to case: a short list is compared name by
// name, a long one (a macro may name 60,000 parameters, an expansion make
// as many local names) through an index of its names in lower case, so
// that each name a line reads costs the same however long the list.
class NameIndex {
 public:
  // Notes that the name at `position` was added (positions count up from 0).
  template <typename NameAt>
  void Added(size_t position, NameAt nameAt) {
    if (position + 1 < kIndexedFrom) return;
    if (position + 1 == kIndexedFrom) {
      for (size_t i = 0; i <= position; ++i) Add(nameAt(i), i);
    } else {
      Add(nameAt(position), position);
    }
  }
  // The first position of `name` among `count` names, or -1.
  template <typename NameAt>
  int64_t Find(std::string_view name, size_t count, NameAt nameAt) const;

 private:
  static constexpr size_t kIndexedFrom = 16;
  void Add(std::string_view name, size_t position);
  int64_t Indexed(std::string_view name) const;
  // Made for a long list only: most expansions name a few locals.
  std::unique_ptr<std::unordered_map<std::string, uint32_t>> index_;
};

// Whether two names are the same in any case.
bool SameNameAnyCase(std::string_view a, std::string_view b);

template <typename NameAt>
int64_t NameIndex::Find(std::string_view name, size_t count, NameAt nameAt) const {
  if (count >= kIndexedFrom) return Indexed(name);
  for (size_t i = 0; i < count; ++i) {
    if (SameNameAnyCase(nameAt(i), name)) return static_cast<int64_t>(i);
  }
  return -1;
}

// One expansion of a macro, as its lines are read.
struct MacroCallText {
  // The call's arguments; shift moves past the first one left, so that \1
  // is arguments[shifted] (moving past costs nothing however many there are).
  std::vector<std::string> arguments;
  size_t shifted = 0;
  // \0: what follows the call's name after a dot, as written: a size letter
  // (push.w), or a word that a macro set dispatches on (Console.WriteLine).
  std::string size;
  std::string unique;                  // \@: a text of its own for each expansion
  // \NAME, and NAME standing alone in code: the names the definition gives
  // its parameters, in order (matched in any case).
  const std::vector<std::string>* parameters = nullptr;
  const NameIndex* parameterIndex = nullptr;
  // local NAME: each name and the text it stands for in this expansion.
  std::vector<std::pair<std::string, std::string>> locals;
  NameIndex localIndex;

  // \N is Argument(N - 1); narg is Count().
  size_t Count() const { return arguments.size() - shifted; }
  const std::string& Argument(size_t index) const { return arguments[shifted + index]; }
};

// Where a line finds string equates and symbol values.
class TextSource {
 public:
  virtual ~TextSource() = default;
  // The text of the string equate NAME, or null when there is none.
  virtual const std::string* TextEquate(std::string_view name) = 0;
  // \#NAME and \$NAME: the value of NAME (a symbol, a time symbol, narg,
  // __RS; any expression) in decimal, or in hexadecimal when `hex`. Reports
  // what it can't evaluate itself (and gives some text, so the line still
  // reads).
  virtual std::string SymbolValueText(std::string_view name, bool hex) = 0;
  // A text of `bytes` that \@! put aside, or (`takenBack`) that \@@ took back.
  virtual void PutAside(size_t bytes, bool takenBack) {
    (void)bytes;
    (void)takenBack;
  }
};

struct LineSubstitution {
  const MacroCallText* call = nullptr;  // null outside a macro expansion
  // Texts kept from one expansion for a later one, so that macros can pair
  // up (an "if" macro's branch and the "endif" macro's label): \@! pushes
  // this expansion's \@ text and puts it in, \@? puts in the top one, \@@
  // takes it off and puts it in.
  std::vector<std::string>* uniqueStack = nullptr;
  TextSource* source = nullptr;
  bool stackEmpty = false;  // out: \@? or \@@ found nothing put aside
  size_t limit = ~size_t{0};  // what the line may grow to
  bool tooLong = false;       // out: it would have grown past that
};

// Puts into `out` what `line` reads as: in a macro expansion \0 to \9, \@
// (and \@! \@? \@@), \# (the argument count), \NAME for each parameter and
// local name (for a local name that names a string equate, the equate's
// text), and each parameter or local name standing as a whole name in the
// code (outside strings and comments); in any line \NAME for a string
// equate, \#NAME and \$NAME for a value in decimal and hexadecimal (of what
// a parameter or local name stands for), and \\ in a string for one
// backslash. \NAME\ ends a name so that text may follow it. Other
// backslashes stay as written. False when the line reads as it is written
// (`out` is then left as it was).
bool SubstituteLine(std::string_view line, LineSubstitution& with, std::string& out);

// Where the code of a line ends: at a ';' comment, or at the blank that ends
// its operand field (outside quotes, parentheses and <...>; blanks right
// after a comma belong to the field). 0 for a comment line.
size_t CodeEnd(std::string_view line);

}  // namespace asm68k
