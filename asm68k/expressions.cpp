#include "expressions.h"

#include <algorithm>

namespace asm68k {

namespace {

// Limits that keep a hostile line from exhausting the stack.
constexpr int kMaxNesting = 64;
constexpr uint32_t kMaxNodes = 256;

// The order of the classic 68000 assemblers, where C's differs: shifts,
// then the bitwise operators, bind tighter than multiplication and addition.
int ClassicPrecedence(ExprOp op) {
  switch (op) {
    case ExprOp::ShiftLeft:
    case ExprOp::ShiftRight:
      return 10;
    case ExprOp::And:
      return 9;
    case ExprOp::Xor:
      return 8;
    case ExprOp::Or:
      return 7;
    case ExprOp::Multiply:
    case ExprOp::Divide:
    case ExprOp::Modulo:
      return 6;
    case ExprOp::Add:
    case ExprOp::Subtract:
      return 5;
    case ExprOp::Equal:
    case ExprOp::NotEqual:
      return 3;
    case ExprOp::LogicalAnd:
      return 2;
    case ExprOp::LogicalOr:
      return 1;
    default:  // < > <= >=
      return 4;
  }
}

struct Parse {
  Cursor& c;
  ExprParser& parser;
  std::string& error;
  uint32_t first;
  bool classicOrder = false;  // read with the classic assemblers' precedence
  int depth = 0;
  int binaryOperators = 0;

  bool Fail(std::string message) {
    if (error.empty()) error = std::move(message);
    return false;
  }

  bool Emit(ExprOp op, int32_t value = 0) {
    if (parser.pool.nodes.size() - first >= kMaxNodes) return Fail("expression is too long");
    parser.pool.nodes.push_back({op, value});
    return true;
  }

  bool Number(int base) {
    const char* start = c.p;
    uint64_t value = 0;
    while (!c.AtEnd()) {
      char ch = ToLower(*c.p);
      int digit;
      if (ch >= '0' && ch <= '9') {
        digit = ch - '0';
      } else if (ch >= 'a' && ch <= 'z') {
        digit = ch - 'a' + 10;
      } else if (ch == '_') {
        digit = 99;
      } else {
        break;
      }
      if (digit >= base) {
        return Fail("'" + std::string(1, *c.p) + "' is not a digit in a base-" +
                    std::to_string(base) + " number");
      }
      value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
      if (value > 0xFFFFFFFFull) return Fail("number is too large for 32 bits");
      ++c.p;
    }
    if (c.p == start) return Fail("a number needs at least one digit");
    return Emit(ExprOp::Constant, static_cast<int32_t>(static_cast<uint32_t>(value)));
  }

  bool CharacterConstant() {
    std::string text;
    if (!ReadQuoted(c, text)) return Fail("unterminated string");
    if (text.empty()) return Fail("empty character constant");
    if (text.size() > 4) {
      return Fail("character constant '" + text + "' is longer than 4 characters");
    }
    uint32_t value = 0;
    for (char ch : text) value = (value << 8) | static_cast<uint8_t>(ch);
    return Emit(ExprOp::Constant, static_cast<int32_t>(value));
  }

  bool Primary() {
    c.SkipSpace();
    if (c.AtEnd()) return Fail("missing value at the end of the expression");
    char ch = *c.p;
    if (IsDigit(ch)) return Number(10);
    if (ch == '$') {
      ++c.p;
      return Number(16);
    }
    if (ch == '%') {
      ++c.p;
      return Number(2);
    }
    if (ch == '@' && IsDigit(c.Peek(1))) {
      ++c.p;
      return Number(8);
    }
    if (ch == '\'' || ch == '"') return CharacterConstant();
    if (ch == '*') {
      ++c.p;
      return Emit(ExprOp::Location);
    }
    if (ch == '(') {
      if (++depth > kMaxNesting) return Fail("expression is nested too deeply");
      ++c.p;
      if (!Binary(1)) return false;
      c.SkipSpace();
      if (!c.Match(')')) return Fail("missing ')' in expression");
      --depth;
      return true;
    }
    if (IsIdentStart(ch)) {
      std::string_view name = c.Identifier();
      if (name == ".") return Fail("'.' alone is not a name");
      if (RegisterFromName(name) != kRegNone) {
        return Fail("register " + std::string(name) + " cannot be used as a value here");
      }
      if (name.size() == 4 && ToLowerCopy(name) == "narg") return Emit(ExprOp::Constant, parser.narg);
      if (name.size() == 4 && ToLowerCopy(name) == "__rs") name = kRsCounterName;
      bool local = IsLocalName(name);
      if (local) parser.usedScope = true;
      uint32_t index = parser.symbols.Intern(name, local ? parser.scope : kGlobalScope);
      return Emit(ExprOp::Symbol, static_cast<int32_t>(index));
    }
    return Fail("expected a value, found " + Excerpt(c.p, c.end));
  }

  bool Unary() {
    c.SkipSpace();
    char sign = c.Peek();
    if (sign != '-' && sign != '~' && sign != '+' && sign != '!') return Primary();
    c.Match(sign);
    if (++depth > kMaxNesting) return Fail("expression is nested too deeply");
    bool ok = Unary();
    --depth;
    if (!ok) return false;
    if (sign == '-') return Emit(ExprOp::Negate);
    if (sign == '~') return Emit(ExprOp::Complement);
    if (sign == '!') return Emit(ExprOp::LogicalNot);
    return true;  // unary plus changes nothing
  }

  // The binary operator at the cursor and its C precedence (0: none).
  int PeekOperator(ExprOp& op, int& length) const {
    char next = c.Peek(1);
    auto pick = [&](ExprOp chosen, int precedence, int size = 1) {
      op = chosen;
      length = size;
      return precedence;
    };
    switch (c.Peek()) {
      case '*':
        return pick(ExprOp::Multiply, 10);
      case '/':
        return pick(ExprOp::Divide, 10);
      case '%':
        return pick(ExprOp::Modulo, 10);
      case '+':
        return pick(ExprOp::Add, 9);
      case '-':
        return pick(ExprOp::Subtract, 9);
      case '<':
        if (next == '<') return pick(ExprOp::ShiftLeft, 8, 2);
        if (next == '=') return pick(ExprOp::LessEqual, 7, 2);
        if (next == '>') return pick(ExprOp::NotEqual, 6, 2);
        return pick(ExprOp::Less, 7);
      case '>':
        if (next == '>') return pick(ExprOp::ShiftRight, 8, 2);
        if (next == '=') return pick(ExprOp::GreaterEqual, 7, 2);
        return pick(ExprOp::Greater, 7);
      case '=':
        return next == '=' ? pick(ExprOp::Equal, 6, 2) : pick(ExprOp::Equal, 6);
      case '!':  // between operands, "!" is or, as "|"
        return next == '=' ? pick(ExprOp::NotEqual, 6, 2) : pick(ExprOp::Or, 3);
      case '&':
        return next == '&' ? pick(ExprOp::LogicalAnd, 2, 2) : pick(ExprOp::And, 5);
      case '^':
        return pick(ExprOp::Xor, 4);
      case '|':
        return next == '|' ? pick(ExprOp::LogicalOr, 1, 2) : pick(ExprOp::Or, 3);
      default:
        return 0;
    }
  }

  bool Binary(int minPrecedence) {
    if (!Unary()) return false;
    for (;;) {
      Cursor save = c;
      c.SkipSpace();
      ExprOp op;
      int length;
      int precedence = PeekOperator(op, length);
      if (precedence != 0 && classicOrder) precedence = ClassicPrecedence(op);
      if (precedence == 0 || precedence < minPrecedence) {
        c = save;
        return true;
      }
      ++binaryOperators;
      c.p += length;
      if (++depth > kMaxNesting) return Fail("expression is nested too deeply");
      if (!Binary(precedence + 1)) return false;
      --depth;
      if (!Emit(op)) return false;
    }
  }
};

inline uint32_t U(int32_t v) { return static_cast<uint32_t>(v); }
inline int32_t S(uint32_t v) { return static_cast<int32_t>(v); }

int32_t ApplyUnary(ExprOp op, int32_t operand) {
  switch (op) {
    case ExprOp::Negate:
      return S(0u - U(operand));
    case ExprOp::Complement:
      return ~operand;
    default:  // LogicalNot
      return operand == 0 ? kTrue : 0;
  }
}

bool Apply(ExprOp op, int32_t left, int32_t right, int32_t& out) {
  switch (op) {
    case ExprOp::Add:
      out = S(U(left) + U(right));
      return true;
    case ExprOp::Subtract:
      out = S(U(left) - U(right));
      return true;
    case ExprOp::Multiply:
      out = S(U(left) * U(right));
      return true;
    case ExprOp::Divide:
    case ExprOp::Modulo: {
      if (right == 0) return false;
      // 64-bit so that -2147483648 / -1 wraps instead of trapping.
      int64_t a = left, b = right;
      out = S(static_cast<uint32_t>(op == ExprOp::Divide ? a / b : a % b));
      return true;
    }
    case ExprOp::And:
      out = left & right;
      return true;
    case ExprOp::Or:
      out = left | right;
      return true;
    case ExprOp::Xor:
      out = left ^ right;
      return true;
    case ExprOp::ShiftLeft:
      out = U(right) >= 32 ? 0 : S(U(left) << U(right));
      return true;
    case ExprOp::ShiftRight:
      if (U(right) >= 32) {
        out = left < 0 ? -1 : 0;
      } else {
        out = left < 0 ? S(~(~U(left) >> U(right))) : S(U(left) >> U(right));
      }
      return true;
    case ExprOp::Equal:
      out = left == right ? kTrue : 0;
      return true;
    case ExprOp::NotEqual:
      out = left != right ? kTrue : 0;
      return true;
    case ExprOp::Less:
      out = left < right ? kTrue : 0;
      return true;
    case ExprOp::Greater:
      out = left > right ? kTrue : 0;
      return true;
    case ExprOp::LessEqual:
      out = left <= right ? kTrue : 0;
      return true;
    case ExprOp::GreaterEqual:
      out = left >= right ? kTrue : 0;
      return true;
    case ExprOp::LogicalAnd:
      out = left != 0 && right != 0 ? kTrue : 0;
      return true;
    case ExprOp::LogicalOr:
      out = left != 0 || right != 0 ? kTrue : 0;
      return true;
    default:
      out = 0;
      return true;
  }
}

inline int32_t SymbolValue(EvalContext& context, uint32_t index, EvalResult& result) {
  Symbol& symbol = context.symbols->symbols[index];
  if (symbol.definedPass == context.pass) {
    if (!symbol.known) result.known = false;
    return symbol.value;
  }
  result.known = false;
  if (result.laterSymbol < 0) result.laterSymbol = index;
  // Symbols are defined anew in every pass: one that the whole previous pass
  // did not define, and this pass has not defined yet, is not defined at all.
  if (context.pass > 1 && symbol.definedPass < context.pass - 1) {
    result.valid = false;
    if (result.problem == EvalProblem::None) {
      result.problem = EvalProblem::Undefined;
      result.symbol = index;
    }
    return 0;
  }
  // Defined further down: use what the previous pass found, and remember it
  // so the pass can tell whether that guess still holds at its end.
  if (symbol.forwardPass != context.pass) {
    symbol.forwardPass = context.pass;
    symbol.forwardSeenValid = symbol.definedPass != 0;
    symbol.forwardSeenValue = symbol.value;
    context.forwardUsed->push_back(index);
  }
  if (symbol.definedPass == 0) {
    result.valid = false;
    *context.unresolvedForward = true;
    return 0;
  }
  return symbol.value;
}

// Whether the classic assemblers' operator order reads the expression just
// parsed from `start` (nodes from `expr`) to another value or shape.
bool ClassicOrderDiffers(Cursor start, ExprParser& parser, Expr expr) {
  std::vector<ExprNode>& nodes = parser.pool.nodes;
  uint32_t first = static_cast<uint32_t>(nodes.size());
  std::string error;
  Parse classic{start, parser, error, first, true};  // its own copy of the cursor
  bool differs = false;
  if (classic.Binary(1)) {
    Expr other{first, static_cast<uint32_t>(nodes.size()) - first};
    int32_t value, otherValue;
    if (IsConstant(parser.pool, expr, value) && IsConstant(parser.pool, other, otherValue)) {
      differs = value != otherValue;
    } else {
      differs = other.count != expr.count ||
                !std::equal(nodes.begin() + expr.first, nodes.begin() + expr.first + expr.count,
                            nodes.begin() + other.first, [](const ExprNode& a, const ExprNode& b) {
                              return a.op == b.op && a.value == b.value;
                            });
    }
  }
  nodes.resize(first);
  return differs;
}

}  // namespace

bool ParseExpression(Cursor& c, ExprParser& parser, Expr& out, std::string& error) {
  uint32_t first = static_cast<uint32_t>(parser.pool.nodes.size());
  const Cursor start = c;
  Parse parse{c, parser, error, first};
  if (!parse.Binary(1)) {
    parser.pool.nodes.resize(first);
    return false;
  }
  out.first = first;
  out.count = static_cast<uint32_t>(parser.pool.nodes.size()) - first;
  // Only two binary operators or more can be ordered two ways.
  if (parse.binaryOperators > 1 && parser.orderDiffers.empty() &&
      ClassicOrderDiffers(start, parser, out)) {
    parser.orderDiffers = std::string_view(start.p, static_cast<size_t>(c.p - start.p));
  }
  // Fold an expression without names to a single constant.
  int32_t value;
  if (out.count > 1 && IsConstant(parser.pool, out, value)) {
    parser.pool.nodes.resize(first);
    out = ConstantExpr(parser.pool, value);
  }
  return true;
}

Expr ConstantExpr(ExprPool& pool, int32_t value) {
  Expr expr;
  expr.first = static_cast<uint32_t>(pool.nodes.size());
  expr.count = 1;
  pool.nodes.push_back({ExprOp::Constant, value});
  return expr;
}

bool IsConstant(const ExprPool& pool, Expr expr, int32_t& value) {
  for (uint32_t i = 0; i < expr.count; ++i) {
    ExprOp op = pool.nodes[expr.first + i].op;
    if (op == ExprOp::Symbol || op == ExprOp::Location) return false;
  }
  int32_t stack[kMaxNodes];
  int top = 0;
  for (uint32_t i = 0; i < expr.count; ++i) {
    const ExprNode& node = pool.nodes[expr.first + i];
    switch (node.op) {
      case ExprOp::Constant:
        stack[top++] = node.value;
        break;
      case ExprOp::Negate:
      case ExprOp::Complement:
      case ExprOp::LogicalNot:
        stack[top - 1] = ApplyUnary(node.op, stack[top - 1]);
        break;
      default: {
        --top;
        // Division by zero stays unfolded and is reported when evaluated.
        if (!Apply(node.op, stack[top - 1], stack[top], stack[top - 1])) return false;
      }
    }
  }
  value = stack[0];
  return true;
}

EvalResult Evaluate(const ExprPool& pool, Expr expr, EvalContext& context) {
  EvalResult result;
  const ExprNode* nodes = pool.nodes.data() + expr.first;
  if (expr.count == 1) {
    switch (nodes[0].op) {
      case ExprOp::Constant:
        result.value = nodes[0].value;
        return result;
      case ExprOp::Symbol:
        result.value = SymbolValue(context, static_cast<uint32_t>(nodes[0].value), result);
        return result;
      case ExprOp::Location:
        result.value = S(context.location);
        result.known = context.locationKnown;
        result.usedLocation = true;
        return result;
      default:
        break;
    }
  }
  int32_t stack[kMaxNodes];
  int top = 0;
  for (uint32_t i = 0; i < expr.count; ++i) {
    const ExprNode& node = nodes[i];
    switch (node.op) {
      case ExprOp::Constant:
        stack[top++] = node.value;
        break;
      case ExprOp::Symbol:
        stack[top++] = SymbolValue(context, static_cast<uint32_t>(node.value), result);
        break;
      case ExprOp::Location:
        stack[top++] = S(context.location);
        if (!context.locationKnown) result.known = false;
        result.usedLocation = true;
        break;
      case ExprOp::Negate:
      case ExprOp::Complement:
      case ExprOp::LogicalNot:
        stack[top - 1] = ApplyUnary(node.op, stack[top - 1]);
        break;
      default:
        --top;
        if (!Apply(node.op, stack[top - 1], stack[top], stack[top - 1])) {
          stack[top - 1] = 0;
          // Only a real zero divisor is an error, not a guess from a forward reference.
          if (result.valid && result.problem == EvalProblem::None) {
            result.problem = EvalProblem::DivideByZero;
          }
          result.valid = false;
        }
    }
  }
  result.value = stack[0];
  return result;
}

}  // namespace asm68k
