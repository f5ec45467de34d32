// Expressions evaluated: the arithmetic of the classic 68000 assemblers in
// 32 bits, over the postfix programs the parse made (expressions.cpp).

#include "expressions.h"

namespace asm68k {

namespace {

// The values of the Constant nodes after an Instr node.
int32_t InstrPlace(const ExprNode* instr, int32_t start) {
  for (int32_t i = 1; i <= instr->value; ++i) {
    if (instr[i].value >= start) return instr[i].value;
  }
  return 0;
}

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

inline void TakeSection(EvalResult& result, int16_t section) {
  if (section == kNotAddress || result.section == section) return;
  result.section = result.section == kNotAddress ? section : kAddressOutsideSections;
}

[[gnu::noinline]] void NoValue(EvalResult& result, uint32_t index) {
  result.valid = false;
  if (result.problem == EvalProblem::None) {
    result.problem = EvalProblem::NoValue;
    result.symbol = index;
  }
}

inline int32_t SymbolValue(EvalContext& context, uint32_t index, EvalResult& result) {
  Symbol& symbol = context.symbols->symbols[index];
  symbol.referenced = true;  // ref() of it gives true from here on
  TakeSection(result, symbol.section);
  if (!symbol.grounded) result.grounded = false;
  if (symbol.definedPass == context.pass) {
    if (!symbol.known || symbol.definedOrder > context.order) {
      result.known = false;
      if (!symbol.hasValue) NoValue(result, index);  // (a symbol without a value is not known)
    }
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
    symbol.forwardPass = static_cast<int16_t>(context.pass);
    symbol.forwardSeenValid = symbol.definedPass != 0 && symbol.hasValue;
    symbol.forwardSeenValue = symbol.value;
    context.forwardUsed->push_back(index);
  }
  if (symbol.definedPass == 0) {
    result.valid = false;
    *context.unresolvedForward = true;
    return 0;
  }
  // Defined without a value in the last pass: no value here either, unless
  // what it names gets one in this pass (which then takes another).
  if (!symbol.hasValue) NoValue(result, index);
  return symbol.value;
}

}  // namespace

bool IsConstant(const ExprPool& pool, Expr expr, int32_t& value) {
  for (uint32_t i = 0; i < expr.count; ++i) {
    ExprOp op = pool.nodes[expr.first + i].op;
    if (op == ExprOp::Symbol || op == ExprOp::Location || op == ExprOp::Defined ||
        op == ExprOp::Referenced) {
      return false;
    }
  }
  int32_t stack[kMaxExprNodes];
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
      case ExprOp::Instr:
        stack[top - 1] = InstrPlace(&node, stack[top - 1]);
        i += static_cast<uint32_t>(node.value);
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
        result.section = context.section;
        return result;
      default:
        break;
    }
  }
  int32_t stack[kMaxExprNodes];
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
        TakeSection(result, context.section);
        break;
      case ExprOp::Defined:
        stack[top++] =
            context.symbols->symbols[static_cast<size_t>(node.value)].definedPass == context.pass
                ? kTrue
                : 0;
        break;
      case ExprOp::Referenced: {
        Symbol& symbol = context.symbols->symbols[static_cast<size_t>(node.value)];
        if (!symbol.referenced) symbol.refFalsePass = static_cast<int16_t>(context.pass);
        stack[top++] = symbol.referenced ? kTrue : 0;
        break;
      }
      case ExprOp::Negate:
      case ExprOp::Complement:
      case ExprOp::LogicalNot:
        stack[top - 1] = ApplyUnary(node.op, stack[top - 1]);
        break;
      case ExprOp::Instr:
        stack[top - 1] = InstrPlace(&node, stack[top - 1]);
        i += static_cast<uint32_t>(node.value);
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

bool EvaluateWith(const ExprNode* nodes, uint32_t count, const ValueSource& source,
                  int32_t& value, int16_t& section) {
  if (count == 0 || count > kMaxExprNodes) return false;
  EvalResult result;  // for the section, taken as Evaluate takes it
  int32_t stack[kMaxExprNodes];
  int top = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const ExprNode& node = nodes[i];
    int16_t part = kNotAddress;
    switch (node.op) {
      case ExprOp::Constant:
        stack[top++] = node.value;
        break;
      case ExprOp::Symbol:
        if (!source.SymbolValue(static_cast<uint32_t>(node.value), stack[top++], part)) return false;
        TakeSection(result, part);
        break;
      case ExprOp::Location:
        stack[top++] = source.Location(part);
        TakeSection(result, part);
        break;
      case ExprOp::Defined:
        stack[top++] = source.IsDefined(static_cast<uint32_t>(node.value)) ? kTrue : 0;
        break;
      case ExprOp::Negate:
      case ExprOp::Complement:
      case ExprOp::LogicalNot:
        stack[top - 1] = ApplyUnary(node.op, stack[top - 1]);
        break;
      default:
        --top;
        if (!Apply(node.op, stack[top - 1], stack[top], stack[top - 1])) return false;
    }
  }
  value = stack[0];
  section = result.section;
  return true;
}

}  // namespace asm68k
