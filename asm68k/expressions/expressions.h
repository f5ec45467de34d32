#pragma once
// Expressions: parsed once into a compact postfix program (symbols already
// resolved to numbers, constant parts folded), then evaluated in every pass.
// Arithmetic is 32-bit, with the operator order of the classic 68000
// assemblers.

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "source.h"
#include "symbols.h"

namespace asm68k {

enum class ExprOp : uint8_t {
  Constant,
  Symbol,
  Location,  // '*', the address of the current statement
  Negate,
  Complement,
  LogicalNot,
  Add,
  Subtract,
  Multiply,
  Divide,
  Modulo,
  And,
  Or,
  Xor,
  ShiftLeft,
  ShiftRight,
  Equal,
  NotEqual,
  Less,
  Greater,
  LessEqual,
  GreaterEqual,
  LogicalAnd,
  LogicalOr,
  Defined,  // def(NAME): the symbol's index; true when it is defined above, in this pass
  // ref(NAME): the symbol's index; true when a line assembled uses it in an
  // expression, above or below, in this pass or an earlier one.
  Referenced,
  // instr(START,TEXT,FIND) with a START known only when evaluated: `value`
  // Constant nodes follow, the places FIND stands at in TEXT (from 1, in
  // order); it turns START into the first of them at or after START, or 0.
  Instr,
};

// What comparisons and logical operators give for true (all bits set, so
// that it also works as a mask); false is 0.
constexpr int32_t kTrue = -1;

struct ExprNode {
  ExprOp op;
  int32_t value;  // the constant, or the symbol's index
};

// A slice of the pool.
struct Expr {
  uint32_t first = 0;
  uint32_t count = 0;
};

struct ExprPool {
  std::vector<ExprNode> nodes;
};

// The most nodes one expression holds (more are refused when it is parsed):
// evaluation keeps a stack that deep.
constexpr uint32_t kMaxExprNodes = 256;

// The number an expression is when it is one alone, as most are (known and
// valid, nothing to check or to tell), or null.
inline const ExprNode* NumberAlone(const ExprPool& pool, Expr expr) {
  if (expr.count != 1) return nullptr;
  const ExprNode& only = pool.nodes[expr.first];
  return only.op == ExprOp::Constant ? &only : nullptr;
}

// What expressions read from outside the source: the time of assembly and
// the sizes of files.
class ExprEnvironment {
 public:
  virtual ~ExprEnvironment() = default;
  // filesize("FILE"), the file found as incbin finds it; false with `error`
  // set when there is none.
  virtual bool FileSize(const std::string& name, uint64_t& size, std::string& error) = 0;
  // _year (since 1900), _month (1 to 12), _day, _hours, _minutes, _seconds.
  virtual const std::tm& AssemblyTime() = 0;
};

// Names that stand for registers: NAME equr REGISTER and NAME reg LIST, by
// symbol number. Defined as the pass runs, so a name stands for a register
// only below its definition, in that pass.
struct RegisterEquate {
  int8_t reg = -1;       // equr: 0-7 d0-d7, 8-15 a0-a7; -1 for a reg list
  uint16_t mask = 0;     // reg: bit 0 = d0 ... bit 15 = a7
  int16_t pass = 0;      // the pass that defined it
};
struct RegisterEquates {
  std::unordered_map<uint32_t, RegisterEquate> bySymbol;
  int pass = 0;  // the pass running
};

// ExprParser::used: a ".local" name was read (the parse depends on the
// scope), narg was (on the argument count), a number wider than 32 bits
// was (see wideNumberRead).
enum : uint8_t { kUsedScope = 1, kUsedNarg = 2, kReadWideNumber = 4 };

// What a parse needs to turn names into symbol numbers.
struct ExprParser {
  ExprPool& pool;
  SymbolTable& symbols;
  int32_t scope = kGlobalScope;  // owner of ".local" names: the global label above
  int32_t narg = 0;              // what "narg" stands for: the macro's argument count
  bool caseSensitive = false;    // names match only as written
  uint8_t used = 0;              // what was read: kUsedScope, kUsedNarg, kReadWideNumber
  bool atStartsLocal = true;     // "@name" is a local name (opt l.: a global one)
  // The processor and FPU chosen (Options::machineIndex): which addressing
  // modes and register names operands may use.
  uint8_t machineIndex = 0;
  ExprEnvironment* environment = nullptr;  // for filesize() and the time symbols
  RegisterEquates* registers = nullptr;    // when any are defined
};

// The first number wider than 32 bits (not decimal: its low 32 bits are
// taken) that a parse read (kReadWideNumber), as written: the line's parse
// warns of it. Lines are parsed one at a time.
struct WideNumber {
  std::string text;
  uint32_t value = 0;
};
extern WideNumber wideNumberRead;

// The register equate or list NAME stands for in this pass, or null.
const RegisterEquate* FindRegisterEquate(ExprParser& parser, std::string_view name);

// Parses an expression starting at the cursor and stops at the first
// character that cannot continue it.
bool ParseExpression(Cursor& c, ExprParser& parser, Expr& out, std::string& error);

// Appends a constant expression.
Expr ConstantExpr(ExprPool& pool, int32_t value);

// True (with the value) when the expression has no symbols and no '*'.
bool IsConstant(const ExprPool& pool, Expr expr, int32_t& value);

// NoValue: a symbol defined without a value (Symbol::hasValue).
enum class EvalProblem : uint8_t { None, Undefined, NoValue, DivideByZero };

struct EvalResult {
  int32_t value = 0;
  // Every part was defined above this point in this pass from known values:
  // the value cannot change between passes.
  bool known = true;
  // Every symbol has a value (possibly from the previous pass); false when a
  // symbol is undefined or not yet seen in the first pass.
  bool valid = true;
  EvalProblem problem = EvalProblem::None;
  uint32_t symbol = 0;  // the undefined symbol, or the one without a value
  int64_t laterSymbol = -1;  // the first symbol whose value came from further down
  bool usedLocation = false;  // it holds '*'
  bool grounded = true;  // every symbol it read was grounded (see Symbol::grounded)
  // What the value is: kNotAddress for a number; the section an address is
  // in (a label's or '*', or a symbol made from them); kAddressOutsideSections
  // for an address in an offset block or one made from several sections.
  int16_t section = kNotAddress;
  bool IsAddress() const { return section != kNotAddress; }
};

struct EvalContext {
  SymbolTable* symbols;
  int pass;
  uint32_t location;
  bool locationKnown;
  std::vector<uint32_t>* forwardUsed;  // symbols used before their definition this pass
  bool* unresolvedForward;             // set when a forward reference had no value at all
  int16_t section;                     // of the location (see EvalResult::section)
  // The line being evaluated: a symbol defined in this pass but further on
  // (as when the first pass encodes a line again at its end) is not known.
  uint32_t order = UINT32_MAX;
};

EvalResult Evaluate(const ExprPool& pool, Expr expr, EvalContext& context);

// The values an expression is worked out with outside a pass (the sizes
// fitted to each other between passes): each symbol's, and '*'.
class ValueSource {
 public:
  virtual ~ValueSource() = default;
  // False when the symbol has no value to give.
  virtual bool SymbolValue(uint32_t index, int32_t& value, int16_t& section) const = 0;
  virtual bool IsDefined(uint32_t index) const = 0;
  virtual int32_t Location(int16_t& section) const = 0;
};

// Evaluates `count` nodes with the values `source` gives; false when it
// lacks one, or on a division by zero.
bool EvaluateWith(const ExprNode* nodes, uint32_t count, const ValueSource& source,
                  int32_t& value, int16_t& section);

}  // namespace asm68k
