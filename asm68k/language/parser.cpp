#include "parser.h"

#include "directive_support.h"
#include "directive_table.h"
#include "encoder.h"
#include "instruction_table.h"
#include "operands.h"
#include "operation_names.h"

namespace asm68k {

namespace {

// The size bit of each lower-case size letter; kSizeNone for any other.
struct SizeLetterTable {
  uint8_t bit[256] = {};
  constexpr SizeLetterTable() {
    bit['b'] = kSizeB;
    bit['w'] = kSizeW;
    bit['l'] = kSizeL;
    bit['s'] = kSizeS;
  }
};
constexpr SizeLetterTable kSizeOfLetter;

uint8_t SizeBit(char letter) { return kSizeOfLetter.bit[static_cast<uint8_t>(letter)]; }

// What went wrong on the line being parsed; a line is parsed at a time.
std::string lineError;

// FormRange::count of a mnemonic's rows whose operands take names of their
// own (see kSpecialKinds): marked so above the count, off the common path.
constexpr uint16_t kSpecialRange = 0x8000;

struct LineParser {
  Assembly& assembly;
  ParseStore& store;
  LineParse& context;
  Statement& statement;

  void Add(Severity severity, std::string text) {
    if (statement.messageCount == 0) {
      statement.firstMessage = static_cast<uint32_t>(store.messages.size());
    }
    ++statement.messageCount;
    Message message;
    message.severity = severity;
    message.text = std::move(text);
    store.messages.push_back(std::move(message));
  }
  void Error(std::string text) { Add(Severity::Error, std::move(text)); }

  [[gnu::noinline]] void WideNumberWarning() {
    Add(Severity::Warning, "'" + wideNumberRead.text + "' is wider than 32 bits: its low 32 bits, " +
                               Hex(wideNumberRead.value) + ", are taken");
  }

  // The symbol a label names; -1 after reporting why it can't be one.
  int32_t Declare(std::string_view name) {
    if (RegisterFromName(name) != kRegNone) {
      Error("'" + std::string(name) + "' is a register name and cannot be a label");
      return -1;
    }
    if (name == ".") {
      Error("'.' alone is not a label");
      return -1;
    }
    if (IsLocalName(name, context.atStartsLocal)) {
      context.usedScope = true;
      return static_cast<int32_t>(
          assembly.symbols.Intern(name, context.scope, context.caseSensitive));
    }
    return static_cast<int32_t>(assembly.symbols.Intern(name, kGlobalScope, context.caseSensitive));
  }

  // `error` comes empty, and holds what went wrong after.
  void ParseInstruction(std::string_view name, FormRange forms, uint8_t writtenSize, TextRange field,
                        ExprParser& parser, std::string& error) {
    if (forms.count & kSpecialRange) {
      forms.count = static_cast<uint16_t>(forms.count & ~kSpecialRange);
      return ParseSpecialInstruction(name, forms, writtenSize, field, parser, error);
    }
    std::vector<TextRange>& pieces = assembly.pieces;
    statement.kind = StatementKind::Invalid;
    // An instruction without operands takes what follows it as a comment.
    if (forms.count == 1 && FormAt(forms.first).operandCount == 0) {
      std::string warning = IgnoredOperandWarning(name, field.begin, field.end);
      if (!warning.empty()) Add(Severity::Warning, std::move(warning));
      field.end = field.begin;
    }
    if (!SplitOperands(field.begin, field.end, pieces, error)) return Error(error);
    if (pieces.size() > 2) {
      return Error(std::string(name) + " takes at most two operands, not " +
                   std::to_string(pieces.size()));
    }
    int count = static_cast<int>(pieces.size());
    const TextRange* piece = pieces.data();
    Operand operands[2];
    for (int i = 0; i < count; ++i) {
      TextRange written = parser.registers ? WithRegisterEquates(piece[i], parser) : piece[i];
      // What the common parse refuses may be a later processor's form.
      if (!ParseOperand(written, parser, operands[i], error) &&
          !ParseLaterOperand(written, parser, operands[i], error)) {
        return Error(error);
      }
    }
    uint16_t form;
    uint8_t size;
    if (!FindForm(forms, writtenSize, operands, count, form, size) &&
        !MatchFormClosely(name, forms, writtenSize, operands, count, Machine(), form, size,
                          error)) {
      return Error(error);
    }
    Keep(form, size, writtenSize, operands, count);
  }

  // A line whose mnemonic's operands take names of their own (see
  // kSpecialKinds): a few of the later processors'; the 68000 has none.
  // Out of line: few lines have one.
  [[gnu::noinline]] void ParseSpecialInstruction(std::string_view name, FormRange forms,
                                                 uint8_t writtenSize, TextRange field,
                                                 ExprParser& parser, std::string& error) {
    std::vector<TextRange>& pieces = assembly.pieces;
    statement.kind = StatementKind::Invalid;
    if (!SplitOperands(field.begin, field.end, pieces, error)) return Error(error);
    // A bit field is written after its address; fmove.p's k-factor, the
    // same braces, stays with its address.
    if (TakesBitField(forms)) SplitBitFields(pieces);
    if (pieces.size() > kMaxOperands) {
      return Error(std::string(name) + " takes at most four operands, not " +
                   std::to_string(pieces.size()));
    }
    int count = static_cast<int>(pieces.size());
    const bool fpu = IsFpuEncoding(FormAt(forms.first).encoding);
    Operand operands[kMaxOperands];
    for (int i = 0; i < count; ++i) {
      TextRange written = parser.registers ? WithRegisterEquates(pieces[i], parser) : pieces[i];
      bool read = fpu ? ParseFpuOperand(name, i, written, writtenSize, parser, operands[i], error)
                      : ParseSpecialOperand(name, forms, i, written, parser, operands[i], error);
      if (!read) return Error(error);
    }
    uint16_t form;
    uint8_t size;
    if (!MatchFormClosely(name, forms, writtenSize, operands, count, Machine(), form, size,
                          error)) {
      return Error(error);
    }
    Keep(form, size, writtenSize, operands, count);
  }

  static bool TakesBitField(FormRange forms) {
    for (uint16_t k = 0; k < forms.count; ++k) {
      const InstructionForm& row = FormAt(static_cast<uint16_t>(forms.first + k));
      for (int i = 0; i < row.operandCount; ++i) {
        if (row.Modes(i) & kBitField) return true;
      }
    }
    return false;
  }

  // The operation `lowerName` names on the machine chosen, another than the
  // 68000: its own rows of a mnemonic, marked kSpecialRange when their
  // operands take the fuller parse.
  [[gnu::noinline]] Operation OperationOnMachine(std::string_view lowerName) {
    Operation operation = FindOperationOn(lowerName, context.machineIndex);
    if (operation.forms.count > 0 && (FormAt(operation.forms.first).flags & kSpecialRow)) {
      operation.forms.count = static_cast<uint16_t>(operation.forms.count | kSpecialRange);
    }
    return operation;
  }

  // The FPU's own sizes, .d, .x and .p, on its mnemonics: true with the
  // size in `writtenSize`.
  [[gnu::noinline]] static bool FpuSize(const LineFields& fields, Operation operation,
                                        uint8_t& writtenSize) {
    if (fields.suffixLength != 1 || operation.directive >= 0 ||
        !IsFpuEncoding(FormAt(operation.forms.first).encoding)) {
      return false;
    }
    char letter = ToLower(fields.Suffix()[0]);
    writtenSize = letter == 'd' ? kSizeD : letter == 'x' ? kSizeX : letter == 'p' ? kSizeP : 0;
    return writtenSize != kSizeNone;
  }

  [[gnu::noinline]] static std::string UnknownSizeOf(const LineFields& fields,
                                                     Operation operation) {
    std::string error = UnknownSize(fields.operation, fields.Suffix());
    if (operation.directive < 0 && IsFpuEncoding(FormAt(operation.forms.first).encoding)) {
      error.replace(error.rfind("sizes are"), std::string::npos,
                    "sizes are .b, .w, .l, .s, .d, .x and .p");
    }
    return error;
  }

  MachineChoice Machine() const {
    return MachineChoice{context.machineIndex, [](std::string_view lower) {
                           return FindOperation(lower).forms;
                         }};
  }

  void Keep(uint16_t form, uint8_t size, uint8_t writtenSize, const Operand* operands, int count) {
    statement.kind = StatementKind::Instruction;
    statement.form = form;
    statement.size = size;
    if (writtenSize != kSizeNone) statement.flags |= kSizeWritten;
    statement.firstOperand = static_cast<uint32_t>(store.operands.size());
    statement.operandCount = static_cast<uint16_t>(count);
    for (int i = 0; i < count; ++i) store.operands.push_back(operands[i]);
  }

  void ParseDirective(int index, std::string_view name, const LineFields& fields, uint8_t writtenSize,
                      TextRange field, ExprParser& parser, std::string& error) {
    const Directive& directive = DirectiveAt(index);
    statement.kind = StatementKind::Directive;
    statement.form = static_cast<uint16_t>(index);
    bool sized = directive.flags & kTakesSize;
    if (!sized && writtenSize != kSizeNone) {
      error = std::string(name) + " takes no size";
    } else if (sized && writtenSize == kSizeS) {
      error = std::string(name) + ".s does not exist: use .b, .w or .l";
    }
    statement.size = writtenSize == kSizeNone ? static_cast<uint8_t>(kSizeW) : writtenSize;
    DirectiveParse parse{assembly, store, parser, name, statement.size, fields.label, field,
                         fields.commentEnd, statement, {}};
    if (error.empty() && directive.parse(parse, error)) {
      if (!parse.warning.empty()) Add(Severity::Warning, std::move(parse.warning));
      return;
    }
    Error(error);
    // A block that can't be read still opens, so that its end finds it: an
    // if counts as false, a macro keeps its body under no name. A name is
    // kept defined (as 0) so its uses do not add "undefined" errors.
    Operand kept;
    if (directive.flags & kMacroName) {
      kept = TextOperand(store, "");
    } else if ((directive.flags & (kOpensIf | kNamesSymbol)) && !(directive.flags & kNamesText)) {
      if (directive.flags & kOpensIf) {
        statement.form = static_cast<uint16_t>(FindDirective("if"));
        statement.size = kIfNonZero;
      }
      kept.expr = ConstantExpr(store.expressions, 0);
    } else {
      statement.kind = StatementKind::Invalid;
      return;
    }
    statement.firstOperand = static_cast<uint32_t>(store.operands.size());
    statement.operandCount = 1;
    store.operands.push_back(kept);
  }

  // Inlined into ParseLine, its one caller, so that the parser's references are
  // read from registers rather than through a parser built on the stack.
  [[gnu::always_inline]] inline void Parse(const char* begin, const char* end) {
    LineFields fields;
    // One for the line, its room kept from line to line: SplitLine leaves it
    // empty when it succeeds.
    std::string& error = lineError;
    error.clear();
    // Read once: the 68000's is nearly every line's.
    const uint8_t machineIndex = context.machineIndex;
    if (!SplitLineOn(machineIndex, begin, end, fields, error, context.blanksInOperands)) {
      statement.kind = StatementKind::Invalid;
      return Error(error);
    }
    if (CommentLooksLikeOperand(fields.comment, fields.commentEnd)) {
      const char* shown = fields.comment;
      while (shown < fields.commentEnd && *shown != ';') {
        shown = *shown == '\'' || *shown == '"' ? SkipQuoted(shown, fields.commentEnd) : shown + 1;
      }
      while (shown > fields.comment && IsSpace(shown[-1])) --shown;
      Add(Severity::Warning, "'" + std::string(fields.comment, shown) +
                                 "' after a blank is taken as a comment; without the blank it "
                                 "would be part of the operand");
    }
    char buffer[16];
    std::string_view op;
    Operation operation = FindWrittenOperation(fields.operation, end, buffer, op);
    if (machineIndex != 0) operation = OperationOnMachine(op);
    int directive = operation.directive;
    uint8_t writtenSize = SizeBit(fields.size);
    TextRange field{fields.operands, fields.operandsEnd};

    bool namesSymbol = directive >= 0 && (DirectiveAt(directive).flags & kNamesSymbol);
    bool isMacro = directive >= 0 && (DirectiveAt(directive).flags & kMacroName);
    statement.directive = static_cast<int16_t>(directive);
    if (!fields.label.empty() && !isMacro) {
      statement.label = Declare(fields.label);
      // A global label owns the ".local" names that follow, on its own line too.
      if (!namesSymbol && statement.label >= 0 &&
          !IsLocalName(fields.label, context.atStartsLocal)) {
        context.scope = statement.label;
      }
    }

    ExprParser parser{store.expressions, assembly.symbols, context.scope, context.narg,
                      context.caseSensitive, 0, context.atStartsLocal, context.machineIndex};
    parser.environment = context.environment;
    if (!assembly.registerEquates.bySymbol.empty()) parser.registers = &assembly.registerEquates;
    if (fields.suffixLength != 0 && (directive >= 0 || operation.forms.count > 0) &&
        !FpuSize(fields, operation, writtenSize)) {
      statement.kind = StatementKind::Invalid;
      return Error(UnknownSizeOf(fields, operation));
    }
    if (directive >= 0) {
      ParseDirective(directive, op, fields, writtenSize, field, parser, error);
    } else if (!fields.operation.empty()) {
      if (operation.forms.count > 0) {
        ParseInstruction(op, operation.forms, writtenSize, field, parser, error);
      } else {
        // Not ours (or only another processor's): a macro, if the pass has
        // one by that name when it gets here. The call reads its name and
        // arguments from the line then, and says which processor has the
        // mnemonic if no macro does.
        statement.kind = StatementKind::MacroCall;
        statement.size = writtenSize;
      }
    }
    if (parser.used) {
      if (parser.used & kUsedScope) context.usedScope = true;
      if (parser.used & kUsedNarg) context.usedNarg = true;
      if (parser.used & kReadWideNumber) WideNumberWarning();
    }
  }
};

}  // namespace

// Kept out of line, so that the parse is inlined here once, with the
// parser's references in registers, rather than called from each place a
// line is parsed.
Statement ParseLine(Assembly& assembly, ParseStore& store, const char* begin,
                                      const char* end, LineParse& context) {
  Statement statement;
  LineParser parser{assembly, store, context, statement};
  parser.Parse(begin, end);
  return statement;
}

}  // namespace asm68k
