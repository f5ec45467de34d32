#pragma once
// The assembler's working model, shared by the reader, the encoder and the
// directives: every statement of the source (include files flattened in
// order) parsed once, and the state of the pass that is assembling them.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "expressions.h"
#include "files.h"
#include "image.h"
#include "messages.h"
#include "operands.h"
#include "source.h"
#include "symbols.h"

namespace asm68k {

enum class StatementKind : uint8_t {
  Empty,  // a comment, a blank line, or a label alone
  Instruction,
  Org,
  Equ,
  Set,
  Dc,
  Ds,
  Dcb,
  Even,
  Cnop,
  Incbin,
  Invalid,  // reported while reading; its label still gets an address
};

struct Statement {
  uint32_t file = 0;
  uint32_t line = 0;
  int32_t label = -1;  // symbol this statement defines
  StatementKind kind = StatementKind::Empty;
  uint8_t size = kSizeNone;  // effective size bit
  uint16_t form = 0;         // instruction table row
  uint16_t operandCount = 0;
  uint32_t firstOperand = 0;
};

// The contents of one file, read once however often it is included or
// incbin'd.
struct FileText {
  FileId id;
  bool identified = false;  // false for a source given as text with no file behind it
  std::string text;
};

// One use of a file as source (the main file or an include): how messages name it.
struct SourceFile {
  std::string name;   // as written on the command line or in the include
  std::string path;   // where it was found
  uint32_t text = 0;  // index in Assembly::texts
};

constexpr int kMaxIncludeDepth = 32;
constexpr int kMaxPasses = 16;
// Bounds on the work one run may take on, whatever its includes multiply up
// to: includes, source text walked (each include of a file counting again),
// and lines that hold something (each a statement kept for every pass).
constexpr uint32_t kMaxIncludes = 100000;
constexpr uint64_t kMaxSourceBytes = 256u << 20;
constexpr uint32_t kMaxStatements = 10000000;

struct Assembly {
  FileReader* reader = nullptr;
  std::vector<std::unique_ptr<FileText>> texts;
  std::vector<std::unique_ptr<SourceFile>> files;
  std::vector<Statement> statements;
  std::vector<Operand> operands;
  ExprPool expressions;
  std::vector<uint8_t> bytes;  // dc.b strings
  SymbolTable symbols;
  std::vector<Message> readMessages;  // found while reading, reported once
};

// The state of one pass over the statements.
struct PassState {
  Assembly* assembly = nullptr;
  int pass = 1;
  uint32_t statement = 0;  // index of the statement being assembled
  uint32_t location = 0;
  bool locationKnown = true;  // false after a size that depended on a forward reference
  Image image;
  bool imageFull = false;
  // Set once this pass is sure not to be the last (a forward reference has
  // already proved wrong): its bytes would be thrown away, so none are placed.
  bool unsettled = false;
  bool addressOverflow = false;
  bool oddReported = false;  // one message per stretch of odd addresses
  std::vector<Message> messages;
  std::vector<uint32_t> forwardUsed;
  bool unresolvedForward = false;
};

void PassError(PassState& state, std::string text);
void PassWarning(PassState& state, std::string text);

// Evaluates with the pass's symbols and location; reports undefined symbols
// and division by zero.
EvalResult EvaluateExpr(PassState& state, Expr expr);

void DefineSymbol(PassState& state, int32_t symbol, int32_t value, bool known);

// Reports `what` (an instruction or dc.w, ...) at an odd address, once per
// stretch: everything after it is odd too until something realigns.
void CheckAligned(PassState& state, const std::string& what);

// Places bytes (or zeros when `data` is null) at the location and moves past
// them. Returns where they landed in the image, or null when they were not
// placed: once the image is over its limit, or the pass is sure to be
// followed by another, a pass only counts addresses.
uint8_t* EmitBytes(PassState& state, const uint8_t* data, uint64_t count);
// Moves the location without placing anything (alignment before the first byte).
void AdvanceLocation(PassState& state, uint64_t count);

}  // namespace asm68k
