#pragma once
// The assembler's working model, shared by the stages of a pass (the line
// source, the layout, the parser and the directives): the source texts with
// their lines, each line's parse (made once for a file's line, once per
// expansion for a macro's), and the state of the pass that is assembling
// them, with the operations every stage calls on it (pass.cpp).

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "encoder.h"
#include "expressions.h"
#include "files.h"
#include "image.h"
#include "messages.h"
#include "operands.h"
#include "options.h"
#include "sized_forms.h"
#include "source.h"
#include "symbols.h"

namespace asm68k {

// One line of a text that holds something: blank and comment-only lines
// are left out when a text is indexed.
// Twelve bytes: a long source keeps one for each of its lines. A line ends
// at its text's next line end, so its length is found, not kept.
struct LineInfo {
  // Where its text starts: in the text as read, or (kJoined set) in the
  // text's joined lines, for a line continued with '&'. Texts are at most
  // 256 MiB, so the offset never reaches the flag's bit.
  static constexpr uint32_t kJoined = 0x80000000u;
  uint32_t place = 0;
  uint32_t number = 0;     // line number in the file it comes from
  // Its parse in the persistent store once kept; -1 before it is read, -2
  // once read with text put into it, and -2 - PASS after it was read once
  // in that pass (see StatementAt).
  int32_t statement = -1;

  uint32_t Offset() const { return place & ~kJoined; }
  bool Joined() const { return place & kJoined; }
};

// A source file's text, or a macro body kept apart from one.
struct SourceText {
  uint32_t file = 0;       // the file its lines come from, for messages
  bool transient = false;  // lasts only for the pass: its lines are parsed afresh each time
  bool indexed = false;    // `lines` has been filled
  bool truncated = false;  // the source's line allowance ran out in it
  std::string text;
  std::string joined;  // lines continued with '&', each joined into one and ended by LF
  // A CR that is not followed by LF (an old Mac file) ends a line in
  // `text`: then a line's end is looked for at both.
  bool loneCr = false;
  std::vector<LineInfo> lines;
  // Each line's directive for the scans that find a block's end (see
  // ClassifyLine); made the first time a scan needs it.
  std::vector<int16_t> classes;
  mutable int8_t backslash = -1;  // HasBackslash(), once known

  // Whether a backslash stands anywhere in the text (found once): lines of a
  // text without one read as written outside macro expansions.
  bool HasBackslash() const {
    if (backslash < 0) {
      backslash = text.find('\\') != std::string::npos || joined.find('\\') != std::string::npos;
    }
    return backslash > 0;
  }
  const char* LineBegin(const LineInfo& line) const {
    return (line.Joined() ? joined.data() : text.data()) + line.Offset();
  }
  const char* LineEnd(const LineInfo& line) const {
    const std::string& holder = line.Joined() ? joined : text;
    const char* begin = holder.data() + line.Offset();
    const char* end = holder.data() + holder.size();
    if (loneCr && !line.Joined()) {
      while (begin < end && *begin != '\n' && *begin != '\r') ++begin;
      return begin;
    }
    const void* lf = std::memchr(begin, '\n', static_cast<size_t>(end - begin));
    if (!lf) return end;
    const char* at = static_cast<const char*>(lf);
    return at > begin && at[-1] == '\r' ? at - 1 : at;
  }
  // Where a line stands in `text`, as read: for a joined line, from its
  // first line's start to its last line's end.
  std::pair<uint32_t, uint32_t> SpanInText(const LineInfo& line) const {
    if (!line.Joined()) {
      return {line.Offset(), static_cast<uint32_t>(LineEnd(line) - text.data())};
    }
    auto found = std::lower_bound(joinedSpans.begin(), joinedSpans.end(), line.Offset(),
                                  [](const JoinedSpan& span, uint32_t at) { return span.joined < at; });
    return {found->begin, found->end};
  }
  struct JoinedSpan {
    uint32_t joined, begin, end;  // its offset in `joined`, its span in `text`
  };
  std::vector<JoinedSpan> joinedSpans;
};

struct SourceFile {
  // How messages name it: the source as the command line names it, an
  // include or incbin by the path it was found at (one that works from the
  // folder the run started in).
  std::string name;
  std::string path;  // where it was read from
  SourceText text;
};

enum class StatementKind : uint8_t {
  Empty,  // a label alone, or nothing
  Instruction,
  Directive,
  MacroCall,  // an operation that is no instruction or directive: a macro, if one is defined
  Invalid,    // its messages say why; its label still gets an address
};

// A statement's scope when its parse holds no local name, so fits any scope.
constexpr int32_t kAnyScope = INT32_MIN;

// Statement::flags.
enum : uint8_t {
  kSizeWritten = 1,  // the operation has a size written (an optimisation never changes it)
};

struct Statement {
  int32_t label = -1;  // symbol this statement defines
  uint32_t firstOperand = 0;
  uint32_t firstMessage = 0;      // messages found while parsing, repeated in every pass
  int32_t scope = kAnyScope;      // the local-label scope its parse read names in
  uint16_t form = 0;              // instruction table row, or directive index
  uint16_t operandCount = 0;
  uint16_t messageCount = 0;
  StatementKind kind = StatementKind::Empty;
  uint8_t size = kSizeNone;  // effective size bit
  uint8_t parseMode = 0;     // Options::ParseMode() when it was parsed
  uint8_t flags = 0;
  int16_t directive = -1;    // the directive its operation names, whether or not it parsed
  int32_t narg = -1;         // the argument count its parse read (narg), or -1
};

// Where parses live: one store for file lines (kept for the whole run), one
// for macro expansions (cut back when an expansion ends).
struct ParseStore {
  std::vector<Statement> statements;
  std::vector<Operand> operands;
  ExprPool expressions;
  std::vector<uint8_t> bytes;  // dc.b strings, file and macro names
  std::vector<Message> messages;

  struct Mark {
    size_t statements, operands, nodes, bytes, messages;
  };
  Mark Watermark() const {
    return {statements.size(), operands.size(), expressions.nodes.size(), bytes.size(),
            messages.size()};
  }
  void CutBack(const Mark& mark) {
    statements.resize(mark.statements);
    operands.resize(mark.operands);
    expressions.nodes.resize(mark.nodes);
    bytes.resize(mark.bytes);
    if (messages.size() > mark.messages) messages.resize(mark.messages);
  }
  // Empties it, keeping its room: the transient store after each line.
  void Clear() {
    statements.clear();
    operands.clear();
    expressions.nodes.clear();
    bytes.clear();
    if (!messages.empty()) messages.clear();
  }
};

// One past the last address: the location may reach it (after a byte at
// $FFFFFFFF), but nothing may be there, not even a label.
constexpr uint64_t kAddressEnd = 0x100000000ull;

constexpr int kMaxIncludeDepth = 32;
constexpr int kMaxPasses = 16;
// The steps (one line of the table of sizes looked at once) that relaxation
// may take between passes, in all: past them, the passes carry on the work.
constexpr uint64_t kMaxRelaxationSteps = 8000000;
// What the first pass may keep of the lines it is to encode again at its
// end (see PassState::Redo): past it, the pass gives up the chance to be
// the last, and frees them, as one with a value it can't mend does.
constexpr uint64_t kMaxRedoBytes = 32u << 20;
// The choices of size optimisations a pass keeps (see relax.h; about 80
// bytes each, kept for two passes): past them, a line takes its longest
// form, as it is written without the optimisation.
constexpr size_t kMaxSizedLines = 1000000;
// A line's size not watched: it switched sections or moved the location back.
constexpr uint32_t kSizeNotWatched = UINT32_MAX;
constexpr int kMaxExpansionDepth = 256;
// Bounds on the work of a whole run, all its passes together, whatever its
// includes, macros and rept blocks multiply up to: includes entered, source
// text read (each include of a file counting again, and each line that an
// expansion puts text into, at its length), and lines read (those a false
// branch or a block's definition steps over too).
constexpr uint32_t kMaxIncludes = 100000;
// Places a file is looked for in (each include, incbin and filesize counts
// once for each folder it tries): a missing file in a rept, or incdir in an
// included file, would else make a run's time grow without bound.
constexpr uint64_t kMaxFileLookups = 1000000;
constexpr uint64_t kMaxSourceBytes = 256u << 20;
constexpr uint64_t kMaxLinesRead = 40000000;
// Text of macro and rept bodies read again, each expansion and each
// repetition counting its body's whole text: a long line repeated costs its
// length each time, however little it does.
constexpr uint64_t kMaxRepeatedText = uint64_t{1} << 30;
// Terms of expressions evaluated (a name, a number or an operator; each
// value of a dc line counts as one at least, and what takes longer, a flag
// of an opt line or a name of a local line, as one for each character it
// reads or makes): a long expression repeated takes far longer than its line.
constexpr uint64_t kMaxTermsEvaluated = 100000000;
// Lines that hold something in all the files of a run (each file once).
constexpr uint64_t kMaxSourceLines = 10000000;
// What one line may grow to as text is put into it.
constexpr size_t kMaxLineText = 1u << 20;
// What a pass keeps as it runs, in all, whatever keeps it: the macros it
// defines (names, parameters, and the bodies expansions define), string
// equates (names and texts), the texts \@! and pushp put aside, options
// pushed, the arguments and local names of the expansions open, sections,
// the runs of the layout (each org, section change and offset block starts
// one) and incdir folders. Each entry counts its text and kEntryCost bytes, about
// what keeping one costs besides: a million empty names cost room too.
constexpr uint64_t kMaxKeptByPass = 64u << 20;
constexpr uint64_t kEntryCost = 64;

// A run of the layout: lines placed one after another, in one section with
// no org between; a line in an offset block is in none.
constexpr uint32_t kNoRun = UINT32_MAX;

// One choice of size, as a pass made it: where it was, what it reached for,
// and the form it took.
struct SizedLine {
  uint32_t order = 0;   // its line's place in the pass
  uint32_t run = kNoRun;
  uint32_t location = 0;  // its instruction's address
  uint32_t base = 0;      // where a displacement counts from (Branch, Absolute)
  uint32_t insert = 0;    // where growing puts the bytes it adds
  // Its target: the expression, a copy in the table's nodes; and the value
  // this pass saw.
  uint32_t firstNode = 0, nodeCount = 0;
  int32_t seen = 0;
  int32_t low = 0, high = 0;  // Quick: the values the quick form takes
  int16_t section = kNotAddress;      // of its instruction (LocationSection)
  int16_t seenSection = kNotAddress;  // of the value seen
  SizedKind kind = SizedKind::Branch;
  uint8_t slot = 0;     // 0 for the instruction's quick form, 1 + 2N for its operand N (2 + 2N its outer displacement)
  uint8_t form = 0;     // 0 is the shortest; it only grows
  uint8_t allowed = 0;  // the forms it may take, a bit each
  uint8_t growth = 0;   // Quick: the bytes the form as written adds
  bool seenValid = false;
  // Its form only holds a place: the first pass met no value for it yet.
  bool undecided = false;
};

// A line whose size differed from the pass before (watched in the last passes
// that may run, for the message that says which sizes keep changing).
struct SizeChange {
  uint32_t file = 0, line = 0;
  uint32_t before = 0, now = 0;
};

// A folder's names, sorted, and the same names in lower case (sorted, each
// with the place of its name), to find a name written in another case.
struct FolderListing {
  bool listed = false;  // false: no folder there, or it can't be listed
  std::vector<std::string> names;
  std::vector<std::pair<std::string, uint32_t>> lower;
};

// What a path that an include, incbin or filesize looked at holds, kept for
// the rest of the run: each path is asked of the system once.
struct PathAnswer {
  enum Kind : uint8_t { File, Missing, NotRegular, Ambiguous };
  Kind kind = Missing;
  std::string path;   // where it is, spelled as on disk as far as the folders could be listed
  std::string other;  // Ambiguous: a second name that matches as well as `path`
  uint32_t file = UINT32_MAX;  // File: its place in Assembly::files, once read
  uint64_t size = 0;           // File: its size when it was found
};

// An equ that got no value in the last pass that ran it (Symbol::hasValue):
// its line, and the symbol its expression lacked (undefined, without a
// value, or further down in the first pass), for the messages that say why.
struct EquateWithoutValue {
  uint32_t file = 0, line = 0;
  int64_t cause = -1;
};

struct Assembly {
  FileReader* reader = nullptr;
  std::vector<std::unique_ptr<SourceFile>> files;  // [0] is the source; each read once
  std::map<FileId, uint32_t> fileById;             // however a path spells them
  ParseStore persistent;
  ParseStore transient;
  SymbolTable symbols;
  RegisterEquates registerEquates;  // equr and reg names
  std::unordered_map<uint32_t, EquateWithoutValue> equatesWithoutValue;  // by symbol
  std::vector<TextRange> pieces;  // an instruction's operands while it is parsed
  uint32_t rsCounter = 0;         // the symbol __RS
  // Every macro name defined so far in the run, and its line: a call that
  // comes before the definition is told so.
  std::unordered_map<std::string, uint32_t> macroLines;
  // Where the last pass laid each section out: the next pass takes it so.
  std::unordered_map<std::string, uint64_t> sectionBases;
  bool recordSources = false;  // an overlap was found: passes keep each byte's line
  // The work of the run so far, against the bounds above.
  uint64_t linesRead = 0;
  uint64_t termsEvaluated = 0;  // as each pass's end counts them
  uint64_t textRead = 0;
  uint64_t repeatedText = 0;
  uint32_t includesEntered = 0;
  uint64_t fileLookups = 0;
  uint64_t linesToIndex = kMaxSourceLines;
  uint64_t linesReached = 0;  // lines of files that some pass read (LineInfo::statement not -1)
  // The sizes optimisations chose in the last pass, by their lines' places,
  // as the relaxation after it grew them: the next pass takes them.
  std::vector<SizedLine> sized;
  std::vector<ExprNode> sizedNodes;
  uint64_t relaxationSteps = 0;  // of all relaxations so far, against kMaxRelaxationSteps
  // Each line's size in the last pass (watched in the last passes that may
  // run), by its place: kSizeNotWatched where it has none.
  std::vector<uint32_t> lineSizes;
  std::tm time{};  // of the assembly (or of SOURCE_DATE_EPOCH), for _year and the like
  // The names in each folder an include or incbin looked into, listed once
  // a run, and what each path looked at held (each looked at once a run).
  std::unordered_map<std::string, FolderListing> folderNames;
  size_t listedNames = 0;  // in all of them
  std::unordered_map<std::string, PathAnswer> pathAnswers;
  size_t answerBytes = 0;  // the text they keep
  // Files [1, 1 + commandLineFiles) are the command line's /o and /e items,
  // a line each, run before the source in every pass; messages name them
  // without a line number. /j folders are searched before any incdir.
  uint32_t commandLineFiles = 0;
  std::vector<std::string> includeDirs;
  std::vector<std::string> lastIncludeDirs;  // and the incdir folders, as the last pass left them
};

inline bool IsCommandLineFile(const Assembly& assembly, uint32_t file) {
  return file >= 1 && file <= assembly.commandLineFiles;
}

enum class SectionKind : uint8_t { Code, Data, Bss };

// A section of the program. Sections of one name gather in the order they
// first appear; at the end of a pass they are laid out one after another
// (bss ones last, holding no bytes), each from an even address.
struct Section {
  std::string name;  // in lower case; "" for what comes before any section directive
  SectionKind kind = SectionKind::Code;
  uint64_t base = 0;  // where it starts, as this pass takes it
  bool baseKnown = true;
  uint64_t location = 0;  // where it was left, while another section is current
  bool locationKnown = true;
  uint64_t high = 0;  // the highest address it reached (at most kAddressEnd)
  bool started = false;  // it holds a byte
  // The line that named it first in the pass, and how it was reached (an
  // index into PassState::contextSteps).
  uint32_t order = 0, file = 0, line = 0, context = 0;
  uint32_t run = 0;  // the run of the layout its location is in
};

struct LineSource;
struct ListingRecorder;
struct MacroDefinition;

// One step of the way to a line, kept for messages given later in the pass:
// an include, a macro call, or a repetition of a rept or while block, and
// the step it was taken in. Each frame of the line source makes one for
// each repetition the messages may name, however many lines it runs, so
// that lines deep in expansions cost no more than others.
struct ContextStep {
  uint32_t parent = 0;          // in PassState::contextSteps; 0 for none
  uint32_t file = 0, line = 0;  // the include, call, rept or while line
  uint32_t repetition = 0, count = 0;
  uint8_t kind = 0;  // a Frame::Kind
  std::shared_ptr<const MacroDefinition> macro;  // a call's
};
// The steps a pass keeps for the lines messages may name at its end: past
// them, such a line whose way is not kept yet is named by the outer part of
// its way that is (the lines of its innermost expansions are left out).
constexpr size_t kMaxContextSteps = 1000000;

// The messages of a pass. Of each kind (errors, warnings), and apart for the
// ones found by reading a line alone (true whatever the addresses), the
// first kShownPerKind in source order are kept; every one is counted. So a
// source with thousands of warnings still has each later error counted, and
// memory stays bounded.
struct MessageLog {
  std::vector<Message> kept[2][3];  // [fromParse][severity], by source order
  uint64_t counted[2][3] = {};
  uint64_t sequence = 0;  // messages found so far
  // The last message found: one line that says the same twice says it once.
  bool any = false;
  uint32_t lastOrder = 0, lastLine = 0;
  std::string lastText;
  // The first error given once the run is ending (state.fatal set): it says
  // why the run stopped, so it is shown however many came before it.
  bool hasEnding = false;
  Message ending;

  // Where a message is kept: kept[Found(fromParse)][KindOf(severity)].
  static size_t Found(bool fromParse) { return fromParse ? 1 : 0; }
  static size_t KindOf(Severity severity) { return static_cast<size_t>(severity); }
  // The order messages are shown in.
  static bool ByPlace(const Message& a, const Message& b) {
    return a.order != b.order ? a.order < b.order : a.sequence < b.sequence;
  }

  void Clear();
  // Whether a message of this kind at line `order` is among the first so far
  // (worth building whole, with its context).
  bool WouldKeep(bool fromParse, Severity severity, uint32_t order) const;
  // Counts the message and keeps it when it is among the first.
  void Add(Message message);
};

// The state of one pass over the lines (with the location and options,
// which the encoder reads: see EncodeState).
struct PassState : EncodeState {
  Assembly* assembly = nullptr;
  LineSource* lines = nullptr;
  // What the model asks of the line source, for messages (set for the run):
  // the step of the way to the line being run (LineSource::ContextStepHere),
  // and the text of a step (ContextText).
  uint32_t (*contextStepHere)(LineSource& lines, bool forMessage) = nullptr;
  std::string (*contextText)(const PassState& state, uint32_t step) = nullptr;
  const ParseStore* store = nullptr;  // where the statement being run was parsed
  int pass = 1;
  uint32_t order = 0;  // the line being run: its place in the pass, file, number and text
  uint32_t file = 0;
  uint32_t line = 0;
  const char* lineBegin = nullptr;
  const char* lineEnd = nullptr;
  int32_t scope = kGlobalScope;       // the global label above, owner of ".local" names
  std::vector<Options> savedOptions;  // pusho ... popo
  // The sizes optimisations chose in this pass, in the order of their lines;
  // and how far the last pass's table has been read.
  std::vector<SizedLine> sized;
  std::vector<ExprNode> sizedNodes;
  size_t sizedCursor = 0;
  // Runs of the layout: the place of the first line of each, the run, and
  // each run's section.
  struct RunStart {
    uint32_t order, run;
  };
  std::vector<RunStart> runStarts;
  std::vector<size_t> runSections;
  // Watched in the last passes that may run: each line's size, and those
  // that differ from the pass before (the first few, and how many more).
  bool watchSizes = false;
  std::vector<uint32_t> lineSizes;
  std::vector<SizeChange> sizeChanges;
  uint64_t moreSizeChanges = 0;
  bool locationKnown = true;  // false after a size that depended on a forward reference
  uint64_t high = 0;          // the highest address the current section reached
  std::vector<Section> sections;
  std::unordered_map<std::string, size_t> sectionsByName;  // but the first, ""
  size_t sectionsUnplaced = 0;  // of them, those without a base yet (new in this pass)
  size_t section = 0;     // the current one
  bool inOffset = false;  // in an offset block: labels get addresses, nothing is placed
  bool inObj = false;     // in an obj block (see EncodeState::objOffset)
  ImageBuilder image;
  // Set once this pass is sure not to be the last (a forward reference has
  // already proved wrong): its bytes would be thrown away, so none are placed.
  bool unsettled = false;
  // The first section that LayOutSections found away from where the pass
  // took it to be, or -1.
  int64_t movedSection = -1;
  // A line replaced bytes another line placed (not an incbin), but the pass
  // did not record which lines placed each: another pass is due to name them.
  bool overlapUnnamed = false;
  bool addressOverflow = false;  // the pass went past $FFFFFFFF (said once)
  MessageLog messages;
  // How lines that later messages of the pass name were reached (ByteSource::
  // context, Section::context; [0] stands for none), and the steps of the
  // definitions of symbols that may not settle (kept in the last pass that
  // may run).
  std::vector<ContextStep> contextSteps;
  std::unordered_map<uint32_t, uint32_t> definitionContexts;
  std::vector<uint32_t> forwardUsed;
  bool unresolvedForward = false;
  // Symbols the pass defined last from values not grounded, each with the
  // symbols it read that were not, and the way to its definition (see
  // NoteGrounding).
  struct Ungrounded {
    std::vector<uint32_t> reads;
    uint32_t context = 0;
  };
  std::unordered_map<uint32_t, Ungrounded> ungrounded;
  // A line of this pass (not an equ) read a value that is not grounded: the
  // symbols defined from themselves are then errors, not only warnings.
  bool ungroundedRead = false;

  bool fatal = false;  // a limit was hit: another pass would only hit it again
  // The expression terms the run may still evaluate (see CountTerms): kept
  // here, in reach of the evaluation, and given back to the run at the pass's end.
  int64_t termsLeft = 0;
  // Labels alone on their lines since the location last moved: an
  // instruction or word data that gets a pad byte moves them past it.
  std::vector<int32_t> labelsAbove;

  // The first pass can be the last. Where the only values it lacked are
  // those that instructions and dc lines take from further down, it keeps
  // those lines and encodes them again at its end, when every value is
  // there, in the place their bytes already have.
  // Packed: a long source may keep one for most of its lines.
  struct Redo {
    Statement statement;   // its operands in redoStore
    uint32_t location = 0;  // where its bytes start
    uint32_t section = 0;
    uint32_t order = 0, file = 0, line = 0;
    uint32_t run = 0, offset = 0, length = 0;  // its bytes in the image
    PackedOptions options;
    bool inOffset = false;
    bool instruction = false;
  };
  bool redoPossible = true;      // false once the first pass must be followed by another
  bool lineCanRedo = false;      // the line being run is an instruction or dc line
  bool lineUsesLater = false;    // and it used a value from further down
  bool lineBytesStarted = false;  // where its bytes went, once it placed some
  bool lineBytesMissing = false;  // some of them were not placed
  Redo lineRedo;
  ChunkedVector<Redo> redo;
  ParseStore redoStore;
  std::vector<uint8_t>* redoBytes = nullptr;  // while a line is encoded again: its bytes
  bool redoFailed = false;
  ListingRecorder* listing = nullptr;  // set only when a listing is asked for
};

// The error that ends the run once its symbols are past kMaxSymbols or
// kMaxSymbolText (a parse may enter some: the next parse checks). False.
bool SymbolsExhausted(PassState& state);

// Counts terms evaluated against kMaxTermsEvaluated: false once past it,
// after the error that ends the run (TermsExhausted, which gives false).
bool TermsExhausted(PassState& state);
inline bool CountTerms(PassState& state, uint64_t terms) {
  state.termsLeft -= static_cast<int64_t>(terms);
  return state.termsLeft >= 0 || TermsExhausted(state);
}

// The step of the way to the line being run (see ContextStep): 0 for a line
// of the source itself, or outside a pass's lines.
inline uint32_t ContextStepHere(PassState& state, bool forMessage = false) {
  return state.lines ? state.contextStepHere(*state.lines, forMessage) : 0;
}
// The text of a step of the way to a line: "" for 0 (see ContextText).
inline std::string StepText(const PassState& state, uint32_t step) {
  return step != 0 && state.contextText ? state.contextText(state, step) : std::string();
}
// How the line being run was reached, as text; "" outside a pass's lines.
inline std::string LineContext(PassState& state) {
  return state.lines ? StepText(state, ContextStepHere(state, true)) : std::string();
}

// Keeps a message of the line being run; `fromParse`: found by reading the
// line alone (see MessageLog).
void AddMessage(PassState& state, Severity severity, const std::string& text,
                bool fromParse = false);
void PassError(PassState& state, std::string text);
// A limit was reached: the run ends at this line, and this error, which says
// why, is shown however many errors came before it.
void EndRun(PassState& state, std::string text);
void PassWarning(PassState& state, std::string text);
void PassMessage(PassState& state, Severity severity, std::string text);

// Evaluates with the pass's symbols and location; reports undefined symbols
// and division by zero.
EvalResult EvaluateNamed(PassState& state, Expr expr);
inline EvalResult EvaluateExpr(PassState& state, Expr expr) {
  if (const ExprNode* number = NumberAlone(state.store->expressions, expr)) {
    EvalResult result;
    result.value = number->value;
    return result;
  }
  return EvaluateNamed(state, expr);
}
// The same for an expression kept in a pool of its own.
EvalResult EvaluatePool(PassState& state, const ExprPool& pool, Expr expr);
// The same for an equ's expression: a symbol undefined or without a value
// there is no error (the equ gets no value, see Symbol::hasValue).
EvalResult EvaluateEquate(PassState& state, Expr expr);
// Why `symbol`, an equ without a value, has none: the equates it names,
// down to the undefined symbol or back to itself. `atItsEqu`: said at that
// equ's own line.
std::string NoValueText(const PassState& state, uint32_t symbol, bool atItsEqu);

// Gives a symbol its value in this pass; a second definition in one pass is
// an error (but a set symbol may be set again). Without `hasValue` it is
// defined with no value (an equ of an undefined symbol: see Symbol::hasValue).
// The value is taken to be grounded (see Symbol::grounded).
void DefineSymbol(PassState& state, int32_t symbol, SymbolKind kind, int32_t value, bool known,
                  int16_t section = kNotAddress, bool hasValue = true);
// An equ or set symbol just defined from `expr`, whose value was grounded
// or not (`grounded`): one that was not keeps the symbols `expr` read that
// were not, to be worked out at the pass's end.
void NoteGrounding(PassState& state, int32_t symbol, bool grounded, const ExprPool& pool, Expr expr);
// At a pass's end: grounds each symbol kept by NoteGrounding whose symbols
// all are (or come to be); and after the last pass, an error for each set
// of them that lead back to themselves ("X equ X", "X equ Y" with "Y equ X").
void GroundDefinitions(PassState& state);
void ReportSelfDefined(PassState& state);
// The section '*' is an address in (EvalResult::section).
int16_t LocationSection(const PassState& state);
// Ends an obj block (objend; org, section and offset end one too).
inline void LeaveObj(PassState& state) {
  state.inObj = false;
  state.objOffset = 0;
}
void DefineLabelHere(PassState& state, const Statement& statement);
// The location went past $FFFFFFFF: the error `text`, given once a pass.
void PastEnd(PassState& state, const std::string& text);
// At a location past $FFFFFFFF (state.location >= kAddressEnd), a label
// (the symbol `label`) or '*' (label -1) is an error: says so, once a pass.
void LocationPastEnd(PassState& state, int32_t label);
// Gives a label defined at `from` in this pass the address `to` instead.
void MoveLabel(PassState& state, int32_t symbol, uint32_t from, uint32_t to);

void PassMessageAt(PassState& state, Severity severity, const ByteSource& where, std::string text);

// The statement's operands, in the store it was parsed in.
inline const Operand* StatementOperands(const PassState& state, const Statement& statement) {
  return state.store->operands.data() + statement.firstOperand;
}

}  // namespace asm68k
