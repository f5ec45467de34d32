#include "directive_families.h"

#include "cpu.h"
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

// p=CPU[/FPU]: the processor, and with /68881 or /68882 the FPU as well.
bool SetProcessor(Options& options, std::string_view value) {
  size_t slash = value.find('/');
  Cpu cpu;
  if (!CpuFromName(value.substr(0, slash), cpu)) return false;
  bool fpu = FpuChosen(options);
  if (slash != std::string_view::npos) {
    std::string_view coprocessor = value.substr(slash + 1);
    if (coprocessor != "68881" && coprocessor != "68882") return false;
    fpu = true;
  }
  ChooseMachine(options, cpu, fpu);
  return true;
}

// Applies one flag, in lower case; false when it is not one we know.
bool SetOption(Options& options, const std::string& flag) {
  if (flag.compare(0, 2, "p=") == 0) return SetProcessor(options, std::string_view(flag).substr(2));
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

// machine CPU: the processor from this line on (kept in the statement's
// size); the FPU stays as it was.
bool ParseMachine(DirectiveParse& p, std::string& error) {
  std::string_view name(p.operands.begin, static_cast<size_t>(p.operands.end - p.operands.begin));
  while (!name.empty() && IsSpace(name.front())) name.remove_prefix(1);
  while (!name.empty() && IsSpace(name.back())) name.remove_suffix(1);
  Cpu cpu;
  if (!CpuFromName(name, cpu)) {
    error = "machine takes 68000, 68010, 68020, 68030, 68040, 68060 or cpu32" +
            (name.empty() ? std::string() : ", not '" + std::string(name) + "'");
    return false;
  }
  p.statement.size = cpu;
  return true;
}

void RunMachine(PassState& state, const Statement& statement) {
  ChooseMachine(state.options, static_cast<Cpu>(statement.size), FpuChosen(state.options));
}

// mc68000 ... mc68060: the processor the directive's name names.
void RunProcessorName(PassState& state, const Statement& statement) {
  Cpu cpu = k68000;
  CpuFromName(DirectiveAt(statement.form).name, cpu);
  ChooseMachine(state.options, cpu, FpuChosen(state.options));
}

// mc68881, mc68882: the FPU is there.
void RunCoprocessorName(PassState& state, const Statement&) {
  ChooseMachine(state.options, ChosenCpu(state.options), true);
}

// fpu [N]: the FPU is there (N not 0), or not (fpu 0).
bool ParseFpu(DirectiveParse& p, std::string& error) {
  Cursor c{p.operands.begin, p.operands.end};
  c.SkipSpace();
  return c.AtEnd() || ParseExpressions(p, 1, 1, p.name, error);
}

void RunFpu(PassState& state, const Statement& statement) {
  bool on = true;
  if (statement.operandCount > 0) {
    EvalResult r = EvaluateExpr(state, StatementOperands(state, statement)[0].expr);
    if (!KnownWhereRead(state, "fpu", r)) return;
    on = r.value != 0;
  }
  ChooseMachine(state.options, ChosenCpu(state.options), on);
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
