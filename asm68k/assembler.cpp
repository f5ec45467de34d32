#include "assembler.h"

#include <algorithm>

#include "assembly.h"
#include "command_line_items.h"
#include "directive_families.h"
#include "directive_support.h"
#include "directive_table.h"
#include "encoder.h"
#include "line_source.h"
#include "listing.h"

namespace asm68k {

namespace {

// Enough to know whether more than kMaxErrors exist without storing thousands.
constexpr size_t kStoredMessages = kMaxErrors + 1;

void AddMessage(PassState& state, Severity severity, std::string text, bool fromParse = false) {
  if (state.messages.size() >= kStoredMessages * 4) return;
  // One line using one undefined name twice gets one message.
  if (!state.messages.empty()) {
    const Message& last = state.messages.back();
    if (last.order == state.order && last.line == state.line && last.text == text) return;
  }
  Message message;
  message.order = state.order;
  message.file = state.file;
  message.line = state.line;
  message.severity = severity;
  message.text = std::move(text);
  message.fromParse = fromParse;
  if (state.lines) message.context = state.lines->Context();
  state.messages.push_back(std::move(message));
}

void AssembleInstruction(PassState& state, const Statement& statement) {
  const InstructionForm& form = FormAt(statement.form);
  AlignToWord(state, form.name);
  DefineLabelHere(state, statement);
  if (!PlacesBytes(state, form.name)) return;
  uint16_t words[kMaxInstructionWords];
  int count = EncodeInstruction(state, form, statement.size, StatementOperands(state, statement),
                                words);
  uint8_t bytes[kMaxInstructionWords * 2];
  for (int i = 0; i < count; ++i) {
    bytes[2 * i] = static_cast<uint8_t>(words[i] >> 8);
    bytes[2 * i + 1] = static_cast<uint8_t>(words[i]);
  }
  EmitBytes(state, bytes, static_cast<uint64_t>(count) * 2);
}

// Runs one line; returns its statement.
Statement ExecuteLine(PassState& state, SourceText& text, LineInfo& line) {
  ++state.order;
  state.file = text.file;
  state.line = line.number;
  state.lineBegin = text.LineBegin(line);
  state.lineEnd = text.LineEnd(line);
  // A copy: running it may parse further lines, which can move the store.
  const Statement statement = StatementAt(state, text, line);
  for (uint16_t i = 0; i < statement.messageCount; ++i) {
    const Message& found = state.store->messages[statement.firstMessage + i];
    AddMessage(state, found.severity, found.text, true);
  }
  switch (statement.kind) {
    case StatementKind::Instruction:
      AssembleInstruction(state, statement);
      break;
    case StatementKind::Directive: {
      const Directive& directive = DirectiveAt(statement.form);
      if ((directive.flags & kWordAligned) && statement.size != kSizeB) {
        std::string name(directive.name);
        if (directive.flags & kTakesSize) name += std::string(".") + SizeLetter(statement.size);
        AlignToWord(state, name);
      }
      if (directive.flags & kLabelAfter) {
        directive.run(state, statement);
        DefineLabelHere(state, statement);
      } else {
        if (!(directive.flags & kNamesSymbol)) DefineLabelHere(state, statement);
        directive.run(state, statement);
      }
      break;
    }
    case StatementKind::MacroCall:
      DefineLabelHere(state, statement);
      RunMacroCall(state, statement);
      break;
    default:
      DefineLabelHere(state, statement);
      break;
  }
  return statement;
}

void RunPass(Assembly& assembly, PassState& state, int pass) {
  state.pass = pass;
  state.order = 0;
  state.scope = kGlobalScope;
  state.location = 0;
  state.locationKnown = true;
  state.high = 0;
  state.sections.assign(1, Section());  // what comes before any section directive
  state.section = 0;
  state.inOffset = false;
  state.image.Clear(state.image.wanted);
  state.unsettled = false;
  state.image.recordSources = assembly.recordSources;
  state.addressOverflow = false;
  state.messages.clear();
  state.forwardUsed.clear();
  state.unresolvedForward = false;
  state.fatal = false;

  LineSource source(assembly, state);
  state.lines = &source;
  DefineSymbol(state, static_cast<int32_t>(assembly.rsCounter), SymbolKind::Set, 0, true);
  source.Start(*assembly.files[0]);
  StartCommandLineItems(assembly, source);
  const bool listed = state.listing != nullptr;  // kept in a register: the loop is hot
  if (listed) StartListingPass(state);
  SourceText* text;
  LineInfo* line;
  while (source.Next(text, line)) {
    if (listed) ListLineBefore(state, *text, *line);
    Statement statement = ExecuteLine(state, *text, *line);
    if (listed) ListLineAfter(state, statement);
  }
  if (listed) FinishListingPass(state);
  state.lines = nullptr;
  if (!LayOutSections(state)) state.unresolvedForward = true;
}

// The pass is the last one when every forward reference it made saw the
// value the symbol ended up with in that same pass.
int64_t FirstUnsettledSymbol(const PassState& state) {
  const std::vector<Symbol>& symbols = state.assembly->symbols.symbols;
  for (uint32_t index : state.forwardUsed) {
    const Symbol& symbol = symbols[index];
    if (!symbol.forwardSeenValid || symbol.definedPass != state.pass ||
        symbol.value != symbol.forwardSeenValue) {
      return index;
    }
  }
  return -1;
}

bool ByOrder(const Message& a, const Message& b) { return a.order < b.order; }

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
  EvalResult result = Evaluate(state.store->expressions, expr, context);
  if (result.problem == EvalProblem::Undefined) {
    PassError(state, "undefined symbol '" + state.assembly->symbols.symbols[result.symbol].name + "'");
  } else if (result.problem == EvalProblem::DivideByZero) {
    PassError(state, "division by zero");
  }
  return result;
}

void PassErrorAt(PassState& state, const ByteSource& where, std::string text) {
  Message message;
  message.order = where.order;
  message.file = where.file;
  message.line = where.line;
  message.text = std::move(text);
  if (state.messages.size() < kStoredMessages * 4) state.messages.push_back(std::move(message));
}

void DefineSymbol(PassState& state, int32_t symbol, SymbolKind kind, int32_t value, bool known) {
  if (symbol < 0) return;
  Symbol& entry = state.assembly->symbols.symbols[static_cast<size_t>(symbol)];
  if (entry.definedPass == state.pass) {
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
  }
  // A label or equ is defined once a pass, so a forward reference to it that
  // saw another value means another pass. (A set name may still change back.)
  if (kind != SymbolKind::Set && entry.forwardPass == state.pass &&
      (!entry.forwardSeenValid || entry.forwardSeenValue != value)) {
    state.unsettled = true;
  }
  entry.kind = kind;
  entry.value = value;
  entry.known = known;
  entry.definedPass = state.pass;
}

void DefineLabelHere(PassState& state, const Statement& statement) {
  if (statement.label < 0) return;
  DefineSymbol(state, statement.label, SymbolKind::Label, static_cast<int32_t>(state.location),
               state.locationKnown);
  const Symbol& symbol = state.assembly->symbols.symbols[static_cast<size_t>(statement.label)];
  if (symbol.scope == kGlobalScope && !IsLocalName(symbol.name)) state.scope = statement.label;
}

AssemblyResult AssembleText(std::string source, const std::string& name, FileReader& reader,
                            const AssemblyOptions& options) {
  Assembly assembly;
  assembly.reader = &reader;
  auto root = std::make_unique<SourceFile>();
  root->name = name;
  root->path = name;
  root->text.text = std::move(source);
  IndexLines(root->text);
  // A line that holds something is a statement, with an operand and an
  // expression node or so: room for them at once spares the copies (and the
  // fresh pages) of stores that would grow by doubling.
  size_t lines = root->text.lines.size();
  assembly.persistent.statements.reserve(lines);
  assembly.persistent.operands.reserve(2 * lines);
  assembly.persistent.expressions.nodes.reserve(lines);
  // The source as a file, when it is one: an include of it is then found.
  FileId id;
  if (reader.Identify(name, id)) assembly.fileById.emplace(id, 0);
  assembly.rsCounter = assembly.symbols.Intern(kRsCounterName);
  assembly.files.push_back(std::move(root));
  AddCommandLineItems(assembly, options);

  AssemblyResult result;
  PassState state;
  state.assembly = &assembly;
  ListingRecorder listing;
  listing.limit = options.listingLimit;
  if (options.listing) state.listing = &listing;
  int64_t unsettled = -1;
  bool settled = false;
  for (int pass = 1; pass <= kMaxPasses && !settled; ++pass) {
    RunPass(assembly, state, pass);
    result.passes = pass;
    unsettled = state.unresolvedForward ? 0 : FirstUnsettledSymbol(state);
    // After a limit was hit, one more pass still finds the undefined names.
    settled = (state.fatal && pass >= 2) || (!state.unresolvedForward && unsettled < 0);
  }

  // Unsettled addresses make the last pass's own findings unreliable.
  std::vector<Message> messages = std::move(state.messages);
  if (!settled) {
    messages.erase(std::remove_if(messages.begin(), messages.end(),
                                  [](const Message& m) { return !m.fromParse; }),
                   messages.end());
    Message message;
    std::string culprit;
    if (unsettled >= 0) {
      const Symbol& symbol = assembly.symbols.symbols[static_cast<size_t>(unsettled)];
      message.order = symbol.definedOrder;
      message.file = symbol.definedFile;
      message.line = symbol.definedLine;
      culprit = "; '" + symbol.name + "' keeps changing";
    }
    message.text =
        "addresses do not settle after " + std::to_string(kMaxPasses) + " passes" + culprit;
    messages.push_back(std::move(message));
  }
  std::stable_sort(messages.begin(), messages.end(), ByOrder);

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
    result.messages.push_back(
        IsCommandLineFile(assembly, message.file)
            ? FormatItemMessage(assembly, message)
            : FormatMessage(assembly.files[message.file]->name, message.line, message.severity,
                            message.text, message.context));
  }
  bool success = result.errors == 0;
  if (success) BuildImage(state.image, result.image);
  if (success && options.listing) result.listing = std::move(listing.text);
  if (success && options.symbols) result.symbols = FormatSymbols(assembly, result.passes);
  result.summary =
      FormatSummary(result.errors, result.warnings, moreErrors, success, result.image.size());
  return result;
}

}  // namespace asm68k
