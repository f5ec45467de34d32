#pragma once
// The assembler's working model, shared by the line source, the parser, the
// encoder and the directives: the source texts with their lines, each line's
// parse (made once for a file's line, once per expansion for a macro's), and
// the state of the pass that is assembling them.

#include <climits>
#include <cstdint>
#include <memory>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "expressions.h"
#include "files.h"
#include "image.h"
#include "messages.h"
#include "operands.h"
#include "source.h"
#include "symbols.h"

namespace asm68k {

// One line of a text that holds something: blank and comment-only lines
// are left out when a text is indexed.
struct LineInfo {
  uint32_t offset = 0;
  uint32_t length = 0;
  uint32_t number = 0;     // line number in the file it comes from
  int32_t statement = -1;  // its parse in the text's store, once parsed
};

// A source file's text, or the text of one macro expansion.
struct SourceText {
  uint32_t file = 0;        // the file its lines come from, for messages
  bool transient = false;   // a macro expansion: its parses go in the transient store
  bool indexed = false;     // `lines` has been filled
  int32_t narg = 0;         // a macro expansion's argument count
  std::string text;
  std::vector<LineInfo> lines;
  // Each line's directive for the scans that find a block's end (see
  // ClassifyLine); made the first time a scan needs it.
  std::vector<int16_t> classes;

  const char* LineBegin(const LineInfo& line) const { return text.data() + line.offset; }
  const char* LineEnd(const LineInfo& line) const {
    return text.data() + line.offset + line.length;
  }
};

// Fills text.lines from text.text.
void IndexLines(SourceText& text);

struct SourceFile {
  std::string name;  // as written on the command line or in the include
  std::string path;  // where it was found
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
    messages.resize(mark.messages);
  }
};

constexpr int kMaxIncludeDepth = 32;
constexpr int kMaxPasses = 16;
constexpr int kMaxExpansionDepth = 256;
// Bounds on the work of one pass, whatever its includes, macros and rept
// blocks multiply up to: includes, source text entered (each include of a
// file counting again), and lines assembled.
constexpr uint32_t kMaxIncludes = 100000;
constexpr uint64_t kMaxSourceBytes = 256u << 20;
constexpr uint32_t kMaxLinesPerPass = 10000000;

struct Assembly {
  FileReader* reader = nullptr;
  std::vector<std::unique_ptr<SourceFile>> files;  // [0] is the source; each read once
  std::map<FileId, uint32_t> fileById;             // however a path spells them
  ParseStore persistent;
  ParseStore transient;
  SymbolTable symbols;
  std::vector<TextRange> pieces;  // an instruction's operands while it is parsed
  uint32_t rsCounter = 0;         // the symbol __RS
  // Every macro name defined so far in the run, and its line: a call that
  // comes before the definition is told so.
  std::unordered_map<std::string, uint32_t> macroLines;
  // Where the last pass laid each section out: the next pass takes it so.
  std::unordered_map<std::string, uint32_t> sectionBases;
  bool recordSources = false;  // an overlap was found: passes keep each byte's line
  // Files [1, 1 + commandLineFiles) are the command line's /o and /e items,
  // a line each, run before the source in every pass; messages name them
  // without a line number. /j folders are searched before any incdir.
  uint32_t commandLineFiles = 0;
  std::vector<std::string> includeDirs;
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
  uint32_t base = 0;  // where it starts, as this pass takes it
  bool baseKnown = true;
  uint32_t location = 0;  // where it was left, while another section is current
  bool locationKnown = true;
  uint32_t high = 0;  // the highest address it reached
  bool started = false;  // it holds a byte
};

struct LineSource;
struct ListingRecorder;

// The state of one pass over the lines.
struct PassState {
  Assembly* assembly = nullptr;
  LineSource* lines = nullptr;
  const ParseStore* store = nullptr;  // where the statement being run was parsed
  int pass = 1;
  uint32_t order = 0;  // the line being run: its place in the pass, file, number and text
  uint32_t file = 0;
  uint32_t line = 0;
  const char* lineBegin = nullptr;
  const char* lineEnd = nullptr;
  int32_t scope = kGlobalScope;  // the global label above, owner of ".local" names
  uint32_t location = 0;
  bool locationKnown = true;  // false after a size that depended on a forward reference
  uint32_t high = 0;          // the highest address the current section reached
  std::vector<Section> sections;
  size_t section = 0;     // the current one
  bool inOffset = false;  // in an offset block: labels get addresses, nothing is placed
  ImageBuilder image;
  // Set once this pass is sure not to be the last (a forward reference has
  // already proved wrong): its bytes would be thrown away, so none are placed.
  bool unsettled = false;
  bool addressOverflow = false;
  std::vector<Message> messages;
  std::vector<uint32_t> forwardUsed;
  bool unresolvedForward = false;
  bool fatal = false;  // a limit was hit: another pass would only hit it again
  ListingRecorder* listing = nullptr;  // set only when a listing is asked for
};

void PassError(PassState& state, std::string text);
void PassWarning(PassState& state, std::string text);

// Evaluates with the pass's symbols and location; reports undefined symbols
// and division by zero.
EvalResult EvaluateExpr(PassState& state, Expr expr);

// Gives a symbol its value in this pass; a second definition in one pass is
// an error (but a set symbol may be set again).
void DefineSymbol(PassState& state, int32_t symbol, SymbolKind kind, int32_t value, bool known);
void DefineLabelHere(PassState& state, const Statement& statement);

void PassErrorAt(PassState& state, const ByteSource& where, std::string text);

// Places bytes (or zeros when `data` is null) at the location and moves past
// them; in a bss section or an offset block only the location moves.
// Returns where the bytes are kept, or null when none were placed.
uint8_t* EmitBytes(PassState& state, const uint8_t* data, uint64_t count);
// Moves the location without placing anything.
void AdvanceLocation(PassState& state, uint64_t count);
// Padding: zeros once the section holds bytes, before that only a new address.
void Pad(PassState& state, uint64_t count);
// `what` (an instruction, dc.w, ...) at an odd address gets a zero byte
// before it, and a warning.
void PadOddAddress(PassState& state, std::string_view what);
inline void AlignToWord(PassState& state, std::string_view what) {
  if (state.location & 1) PadOddAddress(state, what);
}
// False, after an error, in a bss section: it holds no bytes of its own.
bool RefuseBytesInBss(PassState& state, std::string_view what);
inline bool PlacesBytes(PassState& state, std::string_view what) {
  return state.inOffset || state.sections[state.section].kind != SectionKind::Bss ||
         RefuseBytesInBss(state, what);
}

// Makes the named section current, creating it the first time.
void EnterSection(PassState& state, const std::string& name, SectionKind kind);
// Starts an offset block at `value`, or ends one (org, section).
void EnterOffset(PassState& state, uint32_t value, bool known);
void LeaveOffset(PassState& state);
// At the end of a pass: lays the sections out and checks the image. False
// when the layout differs from the one the pass assumed (another pass is due).
bool LayOutSections(PassState& state);

}  // namespace asm68k
