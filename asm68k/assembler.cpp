#include "assembler.h"

#include <algorithm>

#include "assembly.h"
#include "directives.h"
#include "encoder.h"
#include "parser.h"

namespace asm68k {

namespace {

// Enough to know whether more than kMaxErrors exist without storing thousands.
constexpr size_t kStoredMessages = kMaxErrors + 1;

void AddMessage(PassState& state, Severity severity, std::string text) {
  if (state.messages.size() >= kStoredMessages * 4) return;
  const Statement& statement = state.assembly->statements[state.statement];
  // One line using one undefined name twice gets one message.
  if (!state.messages.empty()) {
    const Message& last = state.messages.back();
    if (last.order == state.statement && last.text == text) return;
  }
  Message message;
  message.order = state.statement;
  message.file = statement.file;
  message.line = statement.line;
  message.severity = severity;
  message.text = std::move(text);
  state.messages.push_back(std::move(message));
}

void DefineLabelHere(PassState& state, const Statement& statement) {
  if (statement.label >= 0) {
    DefineSymbol(state, statement.label, static_cast<int32_t>(state.location), state.locationKnown);
  }
}

void AssembleInstruction(PassState& state, const Statement& statement) {
  const InstructionForm& form = FormAt(statement.form);
  CheckAligned(state, std::string(form.name));
  DefineLabelHere(state, statement);
  uint16_t words[kMaxInstructionWords];
  int count = EncodeInstruction(state, form, statement.size,
                                state.assembly->operands.data() + statement.firstOperand, words);
  uint8_t bytes[kMaxInstructionWords * 2];
  for (int i = 0; i < count; ++i) {
    bytes[2 * i] = static_cast<uint8_t>(words[i] >> 8);
    bytes[2 * i + 1] = static_cast<uint8_t>(words[i]);
  }
  EmitBytes(state, bytes, static_cast<uint64_t>(count) * 2);
}

void RunPass(Assembly& assembly, PassState& state, int pass) {
  state.pass = pass;
  state.location = 0;
  state.locationKnown = true;
  state.image.started = false;
  state.image.base = 0;
  state.image.bytes.clear();  // keeps its capacity from the previous pass
  state.imageFull = false;
  state.unsettled = false;
  state.addressOverflow = false;
  state.oddReported = false;
  state.messages.clear();
  state.forwardUsed.clear();
  state.unresolvedForward = false;

  const Statement* statements = assembly.statements.data();
  uint32_t count = static_cast<uint32_t>(assembly.statements.size());
  for (uint32_t i = 0; i < count; ++i) {
    const Statement& statement = statements[i];
    state.statement = i;
    switch (statement.kind) {
      case StatementKind::Instruction:
        AssembleInstruction(state, statement);
        break;
      case StatementKind::Equ:
      case StatementKind::Set:
        RunDirective(state, statement);
        break;
      case StatementKind::Org:
      case StatementKind::Even:
      case StatementKind::Cnop:
        // The label names the address the directive moves to.
        RunDirective(state, statement);
        DefineLabelHere(state, statement);
        break;
      case StatementKind::Empty:
      case StatementKind::Invalid:
        DefineLabelHere(state, statement);
        break;
      default:
        DefineLabelHere(state, statement);
        RunDirective(state, statement);
        break;
    }
  }
}

// The pass is the last one when every forward reference it made saw the
// value the symbol ended up with.
int64_t FirstUnsettledSymbol(const PassState& state) {
  const std::vector<Symbol>& symbols = state.assembly->symbols.symbols;
  for (uint32_t index : state.forwardUsed) {
    const Symbol& symbol = symbols[index];
    if (!symbol.forwardSeenValid || symbol.value != symbol.forwardSeenValue) return index;
  }
  return -1;
}

}  // namespace

void PassError(PassState& state, std::string text) {
  AddMessage(state, Severity::Error, std::move(text));
}

void PassWarning(PassState& state, std::string text) {
  AddMessage(state, Severity::Warning, std::move(text));
}

EvalResult EvaluateExpr(PassState& state, Expr expr) {
  EvalContext context{&state.assembly->symbols, state.pass,         state.location,
                      state.locationKnown,      &state.forwardUsed, &state.unresolvedForward};
  EvalResult result = Evaluate(state.assembly->expressions, expr, context);
  if (result.problem == EvalProblem::Undefined) {
    const Symbol& symbol = state.assembly->symbols.symbols[result.symbol];
    PassError(state, "undefined symbol '" + symbol.name + "'");
  } else if (result.problem == EvalProblem::DivideByZero) {
    PassError(state, "division by zero");
  }
  return result;
}

void CheckAligned(PassState& state, const std::string& what) {
  if (!(state.location & 1)) {
    state.oddReported = false;
    return;
  }
  if (state.oddReported) return;
  state.oddReported = true;
  PassError(state, what + " at odd address " + Hex(state.location) + "; add even before it");
}

void DefineSymbol(PassState& state, int32_t symbol, int32_t value, bool known) {
  if (symbol < 0) return;
  Symbol& entry = state.assembly->symbols.symbols[static_cast<size_t>(symbol)];
  // A label or equ is defined once a pass, so a forward reference to it that
  // saw another value means another pass. (A set name may still change back.)
  if (entry.kind != SymbolKind::Set && entry.forwardPass == state.pass &&
      (!entry.forwardSeenValid || entry.forwardSeenValue != value)) {
    state.unsettled = true;
  }
  entry.value = value;
  entry.known = known;
  entry.definedPass = state.pass;
}

uint8_t* EmitBytes(PassState& state, const uint8_t* data, uint64_t count) {
  if (count == 0) return nullptr;
  uint8_t* placed = nullptr;
  if (static_cast<uint64_t>(state.location) + count > 0x100000000ull) {
    if (!state.addressOverflow) PassError(state, "the program runs past address $FFFFFFFF");
    state.addressOverflow = true;
  } else if (!state.imageFull && !state.unsettled && !state.unresolvedForward) {
    if (PlaceBytes(state.image, state.location, data, count)) {
      placed = state.image.bytes.data() + (state.location - state.image.base);
    } else {
      PassError(state, "the image would be larger than 16 MiB");
      state.imageFull = true;
    }
  }
  state.location = static_cast<uint32_t>(state.location + count);
  return placed;
}

void AdvanceLocation(PassState& state, uint64_t count) {
  if (static_cast<uint64_t>(state.location) + count > 0x100000000ull) {
    if (!state.addressOverflow) PassError(state, "the program runs past address $FFFFFFFF");
    state.addressOverflow = true;
  }
  state.location += static_cast<uint32_t>(count);
}

AssemblyResult AssembleText(std::string source, const std::string& name, FileReader& reader) {
  Assembly assembly;
  assembly.reader = &reader;
  ReadSource(assembly, std::move(source), name);

  AssemblyResult result;
  PassState state;
  state.assembly = &assembly;
  int64_t unsettled = -1;
  for (int pass = 1; pass <= kMaxPasses; ++pass) {
    RunPass(assembly, state, pass);
    result.passes = pass;
    unsettled = state.unresolvedForward ? 0 : FirstUnsettledSymbol(state);
    if (!state.unresolvedForward && unsettled < 0) break;
  }

  // Unsettled addresses make the last pass's own findings unreliable.
  bool settled = !state.unresolvedForward && unsettled < 0;
  if (!settled) state.messages.clear();
  std::vector<Message> messages;
  messages.reserve(assembly.readMessages.size() + state.messages.size() + 1);
  std::merge(assembly.readMessages.begin(), assembly.readMessages.end(), state.messages.begin(),
             state.messages.end(), std::back_inserter(messages),
             [](const Message& a, const Message& b) { return a.order < b.order; });
  if (!settled) {
    Message message;
    std::string culprit;
    if (unsettled >= 0) {
      const Symbol& symbol = assembly.symbols.symbols[static_cast<size_t>(unsettled)];
      message.order = symbol.definedAt;
      culprit = "; '" + symbol.name + "' keeps changing";
    }
    if (message.order < assembly.statements.size()) {
      message.file = assembly.statements[message.order].file;
      message.line = assembly.statements[message.order].line;
    }
    message.text =
        "addresses do not settle after " + std::to_string(kMaxPasses) + " passes" + culprit;
    messages.insert(
        std::upper_bound(messages.begin(), messages.end(), message,
                         [](const Message& a, const Message& b) { return a.order < b.order; }),
        message);
  }

  bool moreErrors = false;
  for (const Message& message : messages) {
    if (message.severity == Severity::Error) {
      if (result.errors == kMaxErrors) {
        moreErrors = true;
        break;
      }
      ++result.errors;
    } else {
      ++result.warnings;
    }
    result.messages.push_back(FormatMessage(assembly.files[message.file]->name, message.line,
                                            message.severity, message.text));
  }
  bool success = result.errors == 0;
  if (success) result.image = std::move(state.image.bytes);
  result.summary =
      FormatSummary(result.errors, result.warnings, moreErrors, success, result.image.size());
  return result;
}

}  // namespace asm68k
