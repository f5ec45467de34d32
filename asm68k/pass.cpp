// The model's own operations, which every stage calls: the messages of a
// pass, evaluating with the pass's symbols and location, and defining symbols.

#include "assembly.h"

#include <algorithm>
#include <string>

namespace asm68k {

namespace {

void KeepDefinitionContext(PassState& state, uint32_t symbol) {
  if (!state.lines) return;
  uint32_t step = ContextStepHere(state);
  if (step != 0) state.definitionContexts[symbol] = step;
}

}  // namespace

void AddMessage(PassState& state, Severity severity, const std::string& text, bool fromParse) {
  if (state.redoBytes) {  // a line encoded again says what it did the first time, or nothing
    state.redoFailed = true;
    return;
  }
  if (severity == Severity::Warning && !state.options.warnings) return;  // opt w-
  MessageLog& log = state.messages;
  // One line using one undefined name twice gets one message.
  if (log.any && log.lastOrder == state.order && log.lastLine == state.line &&
      log.lastText == text) {
    return;
  }
  log.any = true;
  log.lastOrder = state.order;
  log.lastLine = state.line;
  log.lastText = text;
  Message message;
  message.order = state.order;
  message.file = state.file;
  message.line = state.line;
  message.severity = severity;
  message.fromParse = fromParse;
  const bool ending = state.fatal && !log.hasEnding && severity == Severity::Error;
  // Only a message that is shown needs its text and the chain that led to it.
  if (ending || log.WouldKeep(fromParse, severity, state.order)) {
    message.text = text;
    message.context = LineContext(state);
  }
  if (ending) {
    log.hasEnding = true;
    log.ending = message;
    log.ending.sequence = log.sequence;  // as Add numbers it
  }
  log.Add(std::move(message));
}


void MessageLog::Clear() {
  for (auto& kinds : kept) {
    for (std::vector<Message>& list : kinds) list.clear();
  }
  for (auto& kinds : counted) {
    for (uint64_t& count : kinds) count = 0;
  }
  sequence = 0;
  any = false;
  lastText.clear();
  hasEnding = false;
}

bool MessageLog::WouldKeep(bool fromParse, Severity severity, uint32_t order) const {
  const std::vector<Message>& list = kept[Found(fromParse)][KindOf(severity)];
  // Messages mostly come in source order: once the list is full, a later one is only counted.
  return list.size() < kShownPerKind || order < list.back().order;
}

void MessageLog::Add(Message message) {
  ++counted[Found(message.fromParse)][KindOf(message.severity)];
  message.sequence = sequence++;
  if (!WouldKeep(message.fromParse, message.severity, message.order)) return;
  std::vector<Message>& list = kept[Found(message.fromParse)][KindOf(message.severity)];
  list.insert(std::upper_bound(list.begin(), list.end(), message, ByPlace), std::move(message));
  if (list.size() > kShownPerKind) list.pop_back();
}


[[gnu::noinline]] bool TermsExhausted(PassState& state) {
  if (!state.fatal) {
    EndRun(state, "more than 100,000,000 expression terms to evaluate in all passes; do macros, "
                  "rept blocks or includes repeat without end?");
  }
  return false;
}

[[gnu::noinline]] bool SymbolsExhausted(PassState& state) {
  if (!state.fatal) {
    EndRun(state, "more than 4,000,000 symbols, or more than 64 MiB in their names (labels, "
                  "equates and the names expressions read, a local name once in each scope)");
  }
  return false;
}

void PassError(PassState& state, std::string text) { AddMessage(state, Severity::Error, text); }

void EndRun(PassState& state, std::string text) {
  state.fatal = true;  // first, so that the message log keeps this error as the ending
  AddMessage(state, Severity::Error, text);
}

void PassWarning(PassState& state, std::string text) { AddMessage(state, Severity::Warning, text); }

void PassMessage(PassState& state, Severity severity, std::string text) {
  AddMessage(state, severity, std::move(text));
}

namespace {

// An undefined symbol, or one without a value.
[[gnu::noinline]] void ReportProblem(PassState& state, const EvalResult& result) {
  const auto& symbols = state.assembly->symbols.symbols;
  if (result.problem == EvalProblem::Undefined) {
    PassError(state, "undefined symbol '" + symbols[result.symbol].name + "'");
  } else {
    PassError(state, NoValueText(state, result.symbol, false));
  }
}

EvalResult EvaluateIn(PassState& state, const ExprPool& pool, Expr expr, bool forEquate = false) {
  // Most values are numbers: known, valid, nothing to check or to tell.
  if (expr.count == 1 && pool.nodes[expr.first].op == ExprOp::Constant) {
    EvalResult number;
    number.value = pool.nodes[expr.first].value;
    return number;
  }
  CountTerms(state, expr.count);
  EvalContext context{&state.assembly->symbols,
                      state.pass,
                      Here(state),
                      state.locationKnown,
                      &state.forwardUsed,
                      &state.unresolvedForward,
                      LocationSection(state),
                      state.order};
  EvalResult result = Evaluate(pool, expr, context);
  if (state.redoBytes) {
    if (!result.valid) state.redoFailed = true;
  } else if (!result.known && state.pass == 1) {
    // A value from further down: only an instruction or dc line can be
    // encoded again at the end of the pass.
    if (state.lineCanRedo) {
      state.lineUsesLater = true;
    } else {
      state.redoPossible = false;
    }
  }
  if (result.usedLocation && state.location >= kAddressEnd) LocationPastEnd(state, -1);
  if (!result.grounded && !forEquate) state.ungroundedRead = true;
  if (result.problem == EvalProblem::Undefined) {
    if (!forEquate) ReportProblem(state, result);
  } else if (result.problem == EvalProblem::NoValue) {
    if (!forEquate) ReportProblem(state, result);
  } else if (result.problem == EvalProblem::DivideByZero) {
    PassError(state, "division by zero");
  }
  return result;
}

}  // namespace

EvalResult EvaluateNamed(PassState& state, Expr expr) {
  return EvaluateIn(state, state.store->expressions, expr);
}

EvalResult EvaluatePool(PassState& state, const ExprPool& pool, Expr expr) {
  return EvaluateIn(state, pool, expr);
}

EvalResult EvaluateEquate(PassState& state, Expr expr) {
  return EvaluateIn(state, state.store->expressions, expr, true);
}

namespace {

// What the equates without a value that `symbol`'s names lead to, and how
// (at most kLinks of them): its own chain of messages.
constexpr int kLinks = 6;

// Whether `cause` has a definition in this pass (above or further down).
bool DefinedInPass(const PassState& state, const Symbol& cause) {
  return cause.definedPass > 0 &&
         (cause.definedPass == state.pass || cause.definedPass == state.pass - 1);
}

}  // namespace

std::string NoValueText(const PassState& state, uint32_t symbol, bool atItsEqu) {
  const Assembly& assembly = *state.assembly;
  const auto& symbols = assembly.symbols.symbols;
  std::string text = "'" + symbols[symbol].name + "' has no value: ";
  std::vector<uint32_t> seen{symbol};
  for (int link = 0;; ++link) {
    auto found = assembly.equatesWithoutValue.find(seen.back());
    if (found == assembly.equatesWithoutValue.end() || found->second.cause < 0) {
      return text + (link == 0 ? "its equ's value is not known" : ", whose value is not known");
    }
    const EquateWithoutValue& equate = found->second;
    text += link == 0 ? "its equ" : ", whose equ";
    if (link > 0 || !atItsEqu) {
      text += " on line " + std::to_string(equate.line);
      if (equate.file != state.file) text += " of " + assembly.files[equate.file]->name;
    }
    const uint32_t cause = static_cast<uint32_t>(equate.cause);
    if (cause == symbol && link == 0) return text + " names itself";
    text += " names '" + symbols[cause].name + "'";
    if (cause == symbol) return text + ": its value depends on itself";
    if (std::find(seen.begin(), seen.end(), cause) != seen.end()) {
      return text + ", whose value depends on itself";
    }
    const Symbol& named = symbols[cause];
    if (!DefinedInPass(state, named)) return text + ", which is undefined";
    if (named.hasValue) return text + ", which has no value here";
    if (link + 1 == kLinks) return text + ", which has no value";
    seen.push_back(cause);
  }
}

void PassMessageAt(PassState& state, Severity severity, const ByteSource& where,
                   std::string text) {
  Message message;
  message.severity = severity;
  message.order = where.order;
  message.file = where.file;
  message.line = where.line;
  message.text = std::move(text);
  message.context = StepText(state, where.context);
  state.messages.Add(std::move(message));
}

int16_t LocationSection(const PassState& state) {
  return state.inOffset || state.inObj ? kAddressOutsideSections
                                       : static_cast<int16_t>(state.section);
}

void DefineSymbol(PassState& state, int32_t symbol, SymbolKind kind, int32_t value, bool known,
                  int16_t section, bool hasValue) {
  if (symbol < 0) return;
  Symbol& entry = state.assembly->symbols.symbols[static_cast<size_t>(symbol)];
  if (entry.definedPass == state.pass) {
    // An equ given again with its value (a file included from two places) is
    // the same definition.
    if (kind == SymbolKind::Equ && entry.kind == SymbolKind::Equ && entry.value == value) return;
    if (entry.kind != SymbolKind::Set || kind != SymbolKind::Set) {
      std::string where = "on line " + std::to_string(entry.definedLine);
      if (entry.definedFile != state.file) where += " of " + state.assembly->files[entry.definedFile]->name;
      if (IsCommandLineFile(*state.assembly, entry.definedFile)) {
        where = "by " + state.assembly->files[entry.definedFile]->name;
      }
      PassError(state, "'" + entry.name + "' is already defined " + where);
      return;
    }
  } else {
    entry.definedOrder = state.order;
    entry.definedFile = state.file;
    entry.definedLine = state.line;
    // A symbol used above its definition may turn out not to settle: the
    // message then shows how its definition was reached.
    if (state.pass >= kMaxPasses && entry.forwardPass == state.pass) {
      KeepDefinitionContext(state, static_cast<uint32_t>(symbol));
    }
  }
  // A label or equ is defined once a pass, so a forward reference to it that
  // saw another value means another pass. (A set name may still change back.)
  // One that saw no value and finds none (an equ that names itself) is settled.
  if (kind != SymbolKind::Set && entry.forwardPass == state.pass &&
      (entry.forwardSeenValid ? !hasValue || entry.forwardSeenValue != value
                              : state.pass > 1 && hasValue)) {
    state.unsettled = true;
  }
  entry.kind = kind;
  entry.grounded = true;
  entry.localsOn = state.options.localSymbols;
  entry.value = value;
  entry.known = known;
  entry.hasValue = hasValue;
  entry.section = section;
  entry.definedPass = static_cast<int16_t>(state.pass);
}

void PastEnd(PassState& state, const std::string& text) {
  if (!state.addressOverflow) PassError(state, text);
  state.addressOverflow = true;
}

void LocationPastEnd(PassState& state, int32_t label) {
  std::string what =
      label < 0 ? std::string("'*'")
                : "label '" + state.assembly->symbols.symbols[static_cast<size_t>(label)].name + "'";
  PastEnd(state, what + " would be at " + HexAddress(state.location) + ", past address $FFFFFFFF");
}

void DefineLabelHere(PassState& state, const Statement& statement) {
  if (statement.label < 0) return;
  if (!state.locationKnown) state.redoPossible = false;  // its address may still move
  if (state.location >= kAddressEnd) LocationPastEnd(state, statement.label);
  DefineSymbol(state, statement.label, SymbolKind::Label, static_cast<int32_t>(Here(state)),
               state.locationKnown, LocationSection(state));
  const Symbol& symbol = state.assembly->symbols.symbols[static_cast<size_t>(statement.label)];
  if (symbol.scope == kGlobalScope && !IsLocalName(symbol.name, state.options.atStartsLocal)) {
    state.scope = statement.label;
  }
}

void MoveLabel(PassState& state, int32_t symbol, uint32_t from, uint32_t to) {
  Symbol& entry = state.assembly->symbols.symbols[static_cast<size_t>(symbol)];
  if (entry.definedPass != state.pass || entry.kind != SymbolKind::Label ||
      entry.value != static_cast<int32_t>(from)) {
    return;
  }
  entry.value = static_cast<int32_t>(to);
  if (entry.forwardPass == state.pass &&
      (entry.forwardSeenValid ? entry.forwardSeenValue != entry.value : state.pass > 1)) {
    state.unsettled = true;
  }
}

}  // namespace asm68k
