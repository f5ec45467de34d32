#include "assembler.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "assembly.h"
#include "command_line_items.h"
#include "directive_families.h"
#include "directive_support.h"
#include "directive_table.h"
#include "encoder.h"
#include "layout.h"
#include "line_source.h"
#include "listing.h"
#include "relax.h"
#include "statements.h"
#include "symbol_file.h"

namespace asm68k {

namespace {

void AssembleInstruction(PassState& state, const Statement& statement) {
  const InstructionForm* form = &FormAt(statement.form);
  if ((state.location & 1) && !state.options.autoEven) {
    PassError(state, std::string(form->name) + " at odd address " + HexAddress(state.location) +
                         ": an instruction must be at an even address (opt ae- adds no pad byte)");
  }
  AlignToWord(state, form->name);
  DefineLabelHere(state, statement);
  if (!PlacesBytes(state, form->name)) return;
  RunRedoable(state, statement, true, EncodeAndEmit);
}

// A directive's line: out of line, as the rarer kind, so that an
// instruction's line saves no registers for it.
[[gnu::noinline]] void RunDirectiveLine(PassState& state, const Statement& statement) {
  const Directive& directive = DirectiveAt(statement.form);
  if ((directive.flags & kWordAligned) && statement.size != kSizeB) {
    std::string name(directive.name);
    if (directive.flags & kTakesSize) name += std::string(".") + SizeLetter(statement.size);
    AlignToWord(state, name);
  }
  if (directive.flags & kLabelAfter) {
    directive.run(state, statement);
    DefineLabelHere(state, statement);
  } else if (directive.run == RunDc) {
    DefineLabelHere(state, statement);
    RunRedoable(state, statement, false, RunDc);
  } else {
    if (!(directive.flags & kNamesSymbol)) DefineLabelHere(state, statement);
    directive.run(state, statement);
  }
}

// Runs one line; returns its statement.
Statement ExecuteLine(PassState& state, SourceText& text, LineInfo& line) {
  ++state.order;
  state.file = text.file;
  state.line = line.number;
  // A copy: running it may parse further lines, which can move the store.
  const Statement statement = StatementAt(state, text, line);
  if (state.listing) ListLineText(state);
  // A macro that took a directive's name is called by it from its definition on.
  const std::vector<bool>& directiveMacros = state.lines->directiveMacros;
  if (statement.directive >= 0 && static_cast<size_t>(statement.directive) < directiveMacros.size() &&
      directiveMacros[static_cast<size_t>(statement.directive)]) {
    DefineLabelHere(state, statement);
    RunMacroCall(state, statement);
    return statement;
  }
  for (uint16_t i = 0; i < statement.messageCount; ++i) {
    const Message& found = state.store->messages[statement.firstMessage + i];
    AddMessage(state, found.severity, found.text, true);
  }
  switch (statement.kind) {
    case StatementKind::Instruction:
      AssembleInstruction(state, statement);
      break;
    case StatementKind::Directive:
      RunDirectiveLine(state, statement);
      break;
    case StatementKind::MacroCall:
      DefineLabelHere(state, statement);
      RunMacroCall(state, statement);
      break;
    default:
      DefineLabelHere(state, statement);
      if (statement.label >= 0) state.labelsAbove.push_back(statement.label);
      break;
  }
  return statement;
}

// Where a line started: its size is how far it moved the location, when it
// stayed in one run of the layout (no section entered, no org) and did not
// move it back.
struct LineStart {
  uint64_t location = 0;
  uint32_t run = kNoRun;
  bool inOffset = false;
};

uint32_t CurrentRun(const PassState& state) { return state.sections[state.section].run; }

constexpr size_t kSizeChangesShown = 5;

// Keeps the size of the line that just ran, and notes it when it differs
// from the last pass's (the first few source lines, and a count of the rest).
[[gnu::noinline]] void WatchSize(const Assembly& assembly, PassState& state, const LineStart& start) {
  uint32_t size = kSizeNotWatched;
  if (CurrentRun(state) == start.run && state.inOffset == start.inOffset &&
      state.location >= start.location && state.location - start.location < kSizeNotWatched) {
    size = static_cast<uint32_t>(state.location - start.location);
  }
  std::vector<uint32_t>& sizes = state.lineSizes;
  if (sizes.size() <= state.order) sizes.resize(state.order + 1, kSizeNotWatched);
  sizes[state.order] = size;
  const std::vector<uint32_t>& last = assembly.lineSizes;
  if (size == kSizeNotWatched || state.order >= last.size() || last[state.order] == size ||
      last[state.order] == kSizeNotWatched) {
    return;
  }
  for (const SizeChange& change : state.sizeChanges) {
    if (change.file == state.file && change.line == state.line) return;  // a repetition of one shown
  }
  if (state.sizeChanges.size() < kSizeChangesShown) {
    state.sizeChanges.push_back({state.file, state.line, last[state.order], size});
  } else {
    ++state.moreSizeChanges;
  }
}

void RunPass(Assembly& assembly, PassState& state, int pass) {
  state.pass = pass;
  assembly.registerEquates.pass = pass;
  state.order = 0;
  state.scope = kGlobalScope;
  state.options = Options();
  state.savedOptions.clear();
  state.sized.clear();
  state.sizedNodes.clear();
  state.sizedCursor = 0;
  state.runSections.assign(1, 0);  // the section before any section directive
  state.runStarts.assign(1, PassState::RunStart{0, 0});
  state.watchSizes = pass >= kMaxPasses - 1;
  state.lineSizes.clear();
  state.sizeChanges.clear();
  state.moreSizeChanges = 0;
  state.location = 0;
  state.locationKnown = true;
  state.high = 0;
  state.sections.assign(1, Section());  // what comes before any section directive
  state.sectionsByName.clear();
  state.sectionsUnplaced = 0;
  state.section = 0;
  state.inOffset = false;
  LeaveObj(state);
  state.image.Clear(state.image.wanted, assembly.recordSources);
  state.unsettled = false;
  state.movedSection = -1;
  state.overlapUnnamed = false;
  state.addressOverflow = false;
  state.messages.Clear();
  state.contextSteps.clear();
  state.definitionContexts.clear();
  state.forwardUsed.clear();
  state.unresolvedForward = false;
  state.ungrounded.clear();
  state.ungroundedRead = false;
  state.fatal = false;
  state.termsLeft = static_cast<int64_t>(kMaxTermsEvaluated - assembly.termsEvaluated);
  state.labelsAbove.clear();
  // A listing shows each line's bytes as its pass placed them: a pass that
  // places some bytes again at its end is not one to list.
  state.redoPossible = pass == 1 && !state.listing;
  state.redo.clear();
  state.redoStore.CutBack(ParseStore::Mark{});

  LineSource source(assembly, state);
  state.lines = &source;
  DefineSymbol(state, static_cast<int32_t>(assembly.rsCounter), SymbolKind::Set, 0, true);
  source.Start(*assembly.files[0]);
  StartCommandLineItems(assembly, source);
  const bool listed = state.listing != nullptr;
  // Kept in a register, the one test a line makes: the loop is hot.
  const bool watched = listed || state.watchSizes;
  if (listed) StartListingPass(state);
  SourceText* text;
  LineInfo* line;
  LineStart start;
  while (source.Next(text, line)) {
    if (watched) {
      if (listed) ListLineBefore(state, *text, *line);
      start = {state.location, CurrentRun(state), state.inOffset};
    }
    Statement statement = ExecuteLine(state, *text, *line);
    if (watched) {
      if (listed) ListLineAfter(state, statement);
      if (state.watchSizes) WatchSize(assembly, state, start);
    }
    // What a line parsed into the transient store is used up when it has run.
    assembly.transient.Clear();
  }
  if (listed) FinishListingPass(state);
  assembly.lastIncludeDirs = std::move(source.includeDirs);
  state.lines = nullptr;
  if (!LayOutSections(state)) {
    state.unresolvedForward = true;
  } else if (state.unresolvedForward && RedoLaterLines(state, RunDc)) {
    // Every value the pass took from further down is now in its bytes.
    state.unresolvedForward = false;
    state.forwardUsed.clear();
  }
  assembly.termsEvaluated = kMaxTermsEvaluated - static_cast<uint64_t>(std::max<int64_t>(state.termsLeft, 0));
  assembly.sized.swap(state.sized);
  assembly.sizedNodes.swap(state.sizedNodes);
  if (state.watchSizes) assembly.lineSizes.swap(state.lineSizes);
}

// The pass is the last one when every forward reference it made saw the
// value the symbol ended up with in that same pass.
int64_t FirstUnsettledSymbol(const PassState& state) {
  const auto& symbols = state.assembly->symbols.symbols;
  for (uint32_t index : state.forwardUsed) {
    const Symbol& symbol = symbols[index];
    if (symbol.definedPass != state.pass || symbol.forwardSeenValid != symbol.hasValue ||
        (symbol.hasValue && symbol.value != symbol.forwardSeenValue)) {
      return index;
    }
  }
  return -1;
}

// A symbol that a ref() found unused, and a line after it used: ref() gives
// true there in the next pass. -1 when there is none.
int64_t FirstChangedRef(const PassState& state) {
  const SymbolTable& table = state.assembly->symbols;
  for (uint32_t index : table.refQueried) {
    const Symbol& symbol = table.symbols[index];
    if (symbol.refFalsePass == state.pass && symbol.referenced) return index;
  }
  return -1;
}

// The time the symbols _year and the like give: now, or SOURCE_DATE_EPOCH
// (seconds since 1970, in UTC) when it is set, so that builds repeat.
std::tm AssemblyTime() {
  const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
  std::time_t when;
  const std::tm* broken = nullptr;
  if (epoch && *epoch) {
    char* end = nullptr;
    long long seconds = std::strtoll(epoch, &end, 10);
    if (end && *end == '\0' && seconds >= 0) {
      when = static_cast<std::time_t>(seconds);
      broken = std::gmtime(&when);
    }
  }
  if (!broken) {
    when = std::time(nullptr);
    broken = std::localtime(&when);
  }
  return broken ? *broken : std::tm{};
}

}  // namespace

namespace {

// The error for addresses that did not settle, at the definition of what
// kept changing.
Message NotSettled(const Assembly& assembly, const PassState& state, int64_t unsettled,
                   int64_t changedRef) {
  Message message;
  std::string culprit;
  if (unsettled >= 0) {
    const Symbol& symbol = assembly.symbols.symbols[static_cast<size_t>(unsettled)];
    message.order = symbol.definedOrder;
    message.file = symbol.definedFile;
    message.line = symbol.definedLine;
    auto context = state.definitionContexts.find(static_cast<uint32_t>(unsettled));
    if (context != state.definitionContexts.end()) message.context = ContextText(state, context->second);
    culprit = "; '" + symbol.name + "' keeps changing";
  } else if (changedRef >= 0) {
    // At the name's definition, or (a name never defined) the source's first line.
    const Symbol& symbol = assembly.symbols.symbols[static_cast<size_t>(changedRef)];
    message.order = symbol.definedOrder;
    message.file = symbol.definedLine > 0 ? symbol.definedFile : 0;
    message.line = std::max<uint32_t>(symbol.definedLine, 1);
    culprit = "; ref(" + symbol.name + ") keeps changing";
  } else if (state.movedSection >= 0) {
    const Section& section = state.sections[static_cast<size_t>(state.movedSection)];
    message.order = section.order;
    message.file = section.file;
    message.line = section.line;
    message.context = ContextText(state, section.context);
    culprit = "; section '" + section.name + "' keeps moving";
  }
  message.text =
      "addresses do not settle after " + std::to_string(kMaxPasses) + " passes" + culprit;
  // The lines that make it so: those whose size the last two passes disagree on.
  for (size_t i = 0; i < state.sizeChanges.size(); ++i) {
    const SizeChange& change = state.sizeChanges[i];
    message.text += i == 0 ? "; sizes that keep changing: " : ", ";
    message.text += IsCommandLineFile(assembly, change.file)
                        ? assembly.files[change.file]->name
                        : Where(assembly, change.file, change.line);
    message.text += " (" + std::to_string(change.before) + " bytes, then " +
                    std::to_string(change.now) + ")";
  }
  if (state.moreSizeChanges > 0) {
    message.text += " and " + std::to_string(state.moreSizeChanges) + " more";
  }
  return message;
}

// The last pass's messages, the first of each kind in source order, and
// the summary that counts them all; the image when there are no errors.
void Report(const Assembly& assembly, PassState& state, bool settled, int64_t unsettled,
            int64_t changedRef, AssemblyResult& result) {
  // Addresses that did not settle are one more error: every message of the
  // last pass is shown and counted too (an include that is missing or an
  // inform 2 is no less an error for it).
  MessageLog& log = state.messages;
  // Errors, warnings, and the source's own messages (inform 0: the first
  // ones shown, neither counted nor said to be left out).
  std::vector<Message> shown[3];
  uint64_t counts[3] = {};
  for (size_t kind = 0; kind < 3; ++kind) {
    for (bool fromParse : {false, true}) {
      const std::vector<Message>& kept = log.kept[MessageLog::Found(fromParse)][kind];
      shown[kind].insert(shown[kind].end(), kept.begin(), kept.end());
      counts[kind] += log.counted[MessageLog::Found(fromParse)][kind];
    }
  }
  if (!settled) {
    Message message = NotSettled(assembly, state, unsettled, changedRef);
    message.sequence = log.sequence;
    shown[MessageLog::KindOf(Severity::Error)].push_back(std::move(message));
    ++counts[MessageLog::KindOf(Severity::Error)];
  }
  uint64_t hidden[3];
  std::vector<Message> messages;
  for (size_t kind = 0; kind < 3; ++kind) {
    std::vector<Message>& list = shown[kind];
    std::sort(list.begin(), list.end(), MessageLog::ByPlace);
    if (list.size() > kShownPerKind) list.resize(kShownPerKind);
    if (kind == MessageLog::KindOf(Severity::Error) && log.hasEnding &&
        std::none_of(list.begin(), list.end(), [&](const Message& shownOne) {
          return shownOne.sequence == log.ending.sequence;
        })) {
      list.push_back(log.ending);
    }
    hidden[kind] = counts[kind] - list.size();
    messages.insert(messages.end(), std::make_move_iterator(list.begin()),
                    std::make_move_iterator(list.end()));
  }
  std::sort(messages.begin(), messages.end(), MessageLog::ByPlace);

  const size_t errors = MessageLog::KindOf(Severity::Error);
  const size_t warnings = MessageLog::KindOf(Severity::Warning);
  result.errors = static_cast<int64_t>(counts[errors]);
  result.warnings = static_cast<int64_t>(counts[warnings]);
  for (const Message& message : messages) {
    result.messages.push_back(
        IsCommandLineFile(assembly, message.file)
            ? FormatItemMessage(assembly, message)
            : FormatMessage(assembly.files[message.file]->name, message.line, message.severity,
                            message.text, message.context));
  }
  result.notShown = FormatNotShown(hidden[errors], hidden[warnings]);
  bool success = result.errors == 0;
  if (success) result.imageZeros = BuildImage(state.image, result.image);
  result.summary = FormatSummary(counts[errors], counts[warnings], success,
                                 result.image.size() + result.imageZeros);
}

}  // namespace

AssemblyResult AssembleText(std::string source, const std::string& name, FileReader& reader,
                            const AssemblyOptions& options) {
  Assembly assembly;
  assembly.reader = &reader;
  auto root = std::make_unique<SourceFile>();
  root->name = name;
  root->path = name;
  root->text.text = std::move(source);
  IndexLines(root->text, assembly.linesToIndex);
  // The source as a file, when it is one: an include of it is then found.
  FileId id;
  if (reader.Identify(name, id) == ReadResult::Ok) assembly.fileById.emplace(id, 0);
  assembly.rsCounter = assembly.symbols.Intern(kRsCounterName);
  assembly.time = AssemblyTime();
  assembly.files.push_back(std::move(root));
  // The items' files, right after the source: opt flags first, so that the
  // equates are read as the source will be.
  for (const std::string& flags : options.opts) {
    AddCommandLineItem(assembly, "/o " + flags, " opt " + flags);
  }
  for (const Equate& equate : options.equates) {
    AddCommandLineItem(assembly, "/e " + equate.name + "=" + equate.value,
                       equate.name + " equ " + equate.value);
  }
  assembly.includeDirs = options.includeDirs;

  AssemblyResult result;
  PassState state;
  state.assembly = &assembly;
  state.contextStepHere = [](LineSource& lines, bool forMessage) {
    return lines.ContextStepHere(forMessage);
  };
  state.contextText = ContextText;
  PassEncodeCalls encodeCalls(state);
  // The recorder gives the listing, and the lines' bytes for the
  // source-line records of the symbol file.
  ListingRecorder listing;
  listing.limit = options.listingLimit;
  listing.wantText = options.listing;
  listing.wantLines = options.symbols && options.sourceLines && !options.textSymbols;
  if (listing.wantText || listing.wantLines) state.listing = &listing;
  int64_t unsettled = -1, changedRef = -1;
  bool settled = false;
  int lastPass = kMaxPasses;
  for (int pass = 1; pass <= lastPass && !settled; ++pass) {
    RunPass(assembly, state, pass);
    result.passes = pass;
    if (!state.ungrounded.empty()) GroundDefinitions(state);
    unsettled = FirstUnsettledSymbol(state);
    changedRef = FirstChangedRef(state);
    // A limit that was hit would only be hit again: its pass is the last.
    settled = state.fatal || (!state.unresolvedForward && unsettled < 0 && changedRef < 0);
    // Addresses that settled only in the last pass, with bytes placed twice:
    // one more pass names the lines that placed them.
    if (!settled && pass == kMaxPasses && unsettled < 0 && changedRef < 0 &&
        state.movedSection < 0 && state.overlapUnnamed) {
      lastPass = pass + 1;
    }
    // The sizes optimisations chose, fitted to each other before the next pass.
    if (!settled && pass < lastPass) RelaxSizes(assembly, state);
  }

  // A run that stopped early has not defined all it would: what its symbols
  // wait on may be further down.
  if (!state.fatal && !state.ungrounded.empty()) ReportSelfDefined(state);
  result.inputsKnown = LookAtUnreachedFiles(assembly, options.outputs);
  Message tooLarge;
  if (options.symbols && options.textSymbols &&
      SymbolTableTooLarge(assembly, result.passes, tooLarge)) {
    state.messages.Add(std::move(tooLarge));
  }
  Report(assembly, state, settled, unsettled, changedRef, result);
  if (result.errors == 0 && options.listing) result.listing = std::move(listing.text);
  if (result.errors == 0 && options.symbols) {
    result.symbols = options.textSymbols
                         ? FormatSymbols(assembly, result.passes)
                         : SymbolFile(assembly, result.passes,
                                      options.sourceLines ? &listing.placed : nullptr);
  }
  return result;
}

}  // namespace asm68k
