#include "directive_families.h"

#include "directive_support.h"
#include "line_source.h"

namespace asm68k {

namespace {

struct OptFlag {
  std::string_view name;
  bool Options::*setting;  // null: accepted, and changes nothing in a flat image
};

// clang-format off
const OptFlag kOptFlags[] = {
    {"c", &Options::caseSensitive},
    {"ws", &Options::blanksInOperands},
    {"ae", &Options::autoEven},
    {"w", &Options::warnings},
    {"omq", &Options::moveq},
    {"oaq", &Options::addq},
    {"osq", &Options::subq},
    {"oz", &Options::zeroDisplacement},
    {"ow", &Options::absoluteWord},
    {"op", &Options::pcRelative},
    {"os", &Options::shortBranch},
    {"v", &Options::localSymbols},
    // How numbers are written (all forms are always taken).
    {"an", nullptr},
    // Listing, symbol and debugger output, and messages' detail.
    {"a", nullptr}, {"d", nullptr}, {"e", nullptr}, {"m", nullptr}, {"p", nullptr},
    {"s", nullptr}, {"t", nullptr}, {"x", nullptr}, {"mex", nullptr},
};
// clang-format on

// Applies one flag, in lower case; false when it is not one we know.
bool SetOption(Options& options, const std::string& flag) {
  char sign = flag.back();
  bool on = sign != '-';
  std::string_view name(flag);
  // Which character starts a local label: '.' always does; l. (or l+)
  // makes "@name" a global name, l@ (or l-) a local one again.
  if (flag == "l." || flag == "l@") {
    options.atStartsLocal = flag == "l@";
    return true;
  }
  if (sign == '+' || sign == '-') name.remove_suffix(1);
  if (name == "l") {
    options.atStartsLocal = !on;
    return true;
  }
  for (const OptFlag& known : kOptFlags) {
    if (known.name != name) continue;
    if (known.setting) options.*known.setting = on;
    return true;
  }
  return false;
}

}  // namespace

// Directives that mean nothing for a flat image: linking, listings, the CPU.
bool ParseAnything(DirectiveParse&, std::string&) { return true; }
void RunNothing(PassState&, const Statement&) {}

bool ParseOpt(DirectiveParse& p, std::string&) {
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = 1;
  p.store.operands.push_back(TextOperand(
      p.store, std::string_view(p.operands.begin, static_cast<size_t>(p.operands.end - p.operands.begin))));
  return true;
}
// opt FLAG,...: each flag is NAME+ or NAME- (a bare NAME is NAME+). The
// flags this dialect's listings and debuggers use are accepted and change
// nothing here; an unknown flag gets a warning that names it.
void RunOpt(PassState& state, const Statement& statement) {
  std::string_view flags = OperandText(*state.store, StatementOperands(state, statement)[0]);
  size_t start = 0;
  while (start <= flags.size()) {
    size_t comma = flags.find(',', start);
    if (comma == std::string_view::npos) comma = flags.size();
    std::string_view written = flags.substr(start, comma - start);
    start = comma + 1;
    // A flag costs more than a term: it counts as one for each character.
    if (!CountTerms(state, written.size() + 1)) return;
    while (!written.empty() && IsSpace(written.front())) written.remove_prefix(1);
    while (!written.empty() && IsSpace(written.back())) written.remove_suffix(1);
    if (written.empty()) continue;
    if (!SetOption(state.options, ToLowerCopy(written))) {
      PassWarning(state, "unknown opt flag '" + std::string(written) + "' is ignored");
    }
  }
}

// pusho and popo: all the options put aside, and taken back.
void RunPushOptions(PassState& state, const Statement&) {
  if (state.lines->Keep(kEntryCost, 0)) state.savedOptions.push_back(state.options);
}

void RunPopOptions(PassState& state, const Statement&) {
  if (state.savedOptions.empty()) {
    PassError(state, "popo without pusho");
    return;
  }
  state.options = state.savedOptions.back();
  state.savedOptions.pop_back();
  state.lines->Keep(0, kEntryCost);
}

}  // namespace asm68k
