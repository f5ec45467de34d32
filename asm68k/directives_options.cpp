#include "directive_families.h"

#include "directive_support.h"

namespace asm68k {

namespace {


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
// opt FLAG,...: listing and debug flags change nothing here; an
// optimisation switched on, or a flag we don't know, is worth a warning.
void RunOpt(PassState& state, const Statement& statement) {
  std::string_view flags = OperandText(*state.store, StatementOperands(state, statement)[0]);
  size_t start = 0;
  while (start <= flags.size()) {
    size_t comma = flags.find(',', start);
    if (comma == std::string_view::npos) comma = flags.size();
    std::string flag = ToLowerCopy(flags.substr(start, comma - start));
    start = comma + 1;
    if (flag.empty()) continue;
    char sign = flag.back();
    std::string name = sign == '+' || sign == '-' ? flag.substr(0, flag.size() - 1) : flag;
    bool optimisation = !name.empty() && name[0] == 'o';
    if (optimisation && sign != '-') {
      PassWarning(state, "opt " + flag + " is ignored: instructions are encoded as written");
    } else if (flag == "c-") {
      PassWarning(state, "opt c- is ignored: labels stay case-sensitive");
    } else if (!optimisation && (name.size() != 1 || std::string_view("acdelmpstwx").find(name[0]) ==
                                                          std::string_view::npos)) {
      PassWarning(state, "unknown opt flag '" + flag + "' is ignored");
    }
  }
}

}  // namespace asm68k
