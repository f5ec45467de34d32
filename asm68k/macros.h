#pragma once
// Macro calls as text: splitting a call's operand field into arguments, and
// putting them into the lines of the macro's body.

#include <string>
#include <string_view>
#include <vector>

namespace asm68k {

// Arguments are separated by commas outside quotes and parentheses; <...>
// quotes an argument that holds commas or blanks. Each is trimmed; an empty
// one stays in its place. False (with `error`) on an unclosed <.
bool SplitMacroArguments(std::string_view field, std::vector<std::string>& arguments,
                         std::string& error);

struct MacroCallText {
  const std::vector<std::string>& arguments;   // \1 ... \9
  char size;                                   // \0: the call's size letter, or 0
  std::string_view unique;                     // \@: a text of its own for each expansion
  const std::vector<std::string>& parameters;  // \NAME: the names the definition gives
  // Texts kept from one expansion for a later one, so that macros can pair
  // up (an "if" macro's branch and the "endif" macro's label): \@! pushes
  // this expansion's \@ text and puts it in, \@? puts in the top one, \@@
  // takes it off and puts it in.
  std::vector<std::string>& uniqueStack;
};

// Appends `line` to `out` with \0 to \9, \@ (and \@! \@? \@@), \# (the
// argument count) and \NAME for each named parameter put in; a missing
// argument is empty, and other backslashes stay as written. False when \@?
// or \@@ finds nothing pushed (it then puts in nothing).
bool SubstituteLine(std::string_view line, const MacroCallText& call, std::string& out);

}  // namespace asm68k
