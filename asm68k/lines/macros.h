#pragma once
// Text put into lines as they are read: a macro call's arguments (split from
// the call's operand field), the names a macro makes private to each
// expansion, string equates, and symbols' values as decimal text.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace asm68k {

// Arguments are separated by commas outside quotes and parentheses; <...>
// quotes an argument that holds commas or blanks. Each is trimmed; an empty
// one stays in its place. False (with `error`) on an unclosed <.
bool SplitMacroArguments(std::string_view field, std::vector<std::string>& arguments,
                         std::string& error);

// One expansion of a macro, as its lines are read.
struct MacroCallText {
  std::vector<std::string> arguments;  // \1 ... \9: what is left after each shift
  // \0: what follows the call's name after a dot, as written: a size letter
  // (push.w), or a word that a macro set dispatches on (Console.WriteLine).
  std::string size;
  std::string unique;                  // \@: a text of its own for each expansion
  // \NAME, and NAME standing alone in code: the names the definition gives
  // its parameters, in order (matched in any case).
  const std::vector<std::string>* parameters = nullptr;
  // local NAME: each name and the text it stands for in this expansion.
  std::vector<std::pair<std::string, std::string>> locals;
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

// Whether two names are the same in any case.
bool SameNameAnyCase(std::string_view a, std::string_view b);

}  // namespace asm68k
