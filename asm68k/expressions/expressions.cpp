// Expressions parsed into postfix programs, with the short paths for the
// commonest ones (evaluation.cpp runs the programs).

#include "expressions.h"

#include <algorithm>
#include <utility>

namespace asm68k {

WideNumber wideNumberRead;

namespace {

// A limit that keeps a hostile line from exhausting the stack.
constexpr int kMaxNesting = 64;

// Each character's worth as a digit: 0-9, then a-z (either case) as 10-35;
// '_' continues a number but is no digit of any base; kNotDigit ends it.
constexpr uint8_t kNotDigit = 255;
struct DigitTable {
  uint8_t worth[256];
  constexpr DigitTable() : worth() {
    for (int i = 0; i < 256; ++i) worth[i] = kNotDigit;
    for (int i = 0; i < 10; ++i) worth['0' + i] = static_cast<uint8_t>(i);
    for (int i = 0; i < 26; ++i) {
      worth['a' + i] = static_cast<uint8_t>(10 + i);
      worth['A' + i] = static_cast<uint8_t>(10 + i);
    }
    worth[static_cast<uint8_t>('_')] = 99;
  }
};
constexpr DigitTable kDigits{};

// Whether `name` is `word` (written in small letters) in any case.
bool IsWord(std::string_view name, std::string_view word) {
  if (name.size() != word.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (ToLower(name[i]) != word[i]) return false;
  }
  return true;
}

// instr's answer: the first of `places` (in order) at or after `start`, or 0.
int32_t FirstPlace(const int32_t* places, size_t count, int32_t start) {
  for (size_t i = 0; i < count; ++i) {
    if (places[i] >= start) return places[i];
  }
  return 0;
}

struct Parse {
  Cursor& c;
  ExprParser& parser;
  std::string& error;
  uint32_t first;
  int depth = 0;

  bool Fail(std::string message) {
    if (error.empty()) error = std::move(message);
    return false;
  }

  bool Emit(ExprOp op, int32_t value = 0) {
    if (parser.pool.nodes.size() - first >= kMaxExprNodes) return Fail("expression is too long");
    parser.pool.nodes.push_back({op, value});
    return true;
  }

  // A number in `base`, its digits at the cursor; `written` is where it
  // starts, with its prefix. A decimal number past 32 bits is an error; one
  // in another base keeps its low 32 bits (the digits past them are whole
  // bits), as the Mega Drive sources need where a constant has a digit too
  // many ("$FFFF3803D"), and the line is warned.
  bool Number(int base, const char* written) {
    const char* p = c.p;
    const char* end = c.end;
    uint64_t value = 0;
    bool wide = false;
    for (; p < end; ++p) {
      unsigned digit = kDigits.worth[static_cast<uint8_t>(*p)];
      if (digit >= static_cast<unsigned>(base)) {
        if (digit == kNotDigit) break;
        c.p = p;
        return Fail("'" + std::string(1, *p) + "' is not a digit in a base-" +
                    std::to_string(base) + " number");
      }
      value = value * static_cast<uint64_t>(base) + digit;
      if (value > 0xFFFFFFFFull) {
        if (base == 10) {
          c.p = p;
          return Fail("number is too large for 32 bits");
        }
        value &= 0xFFFFFFFFull;
        wide = true;
      }
    }
    if (p == c.p) return Fail("a number needs at least one digit");
    c.p = p;
    if (wide && !(parser.used & kReadWideNumber)) {
      parser.used |= kReadWideNumber;
      wideNumberRead.text.assign(written, static_cast<size_t>(p - written));
      wideNumberRead.value = static_cast<uint32_t>(value);
    }
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

  // Unary has skipped the blanks before the value.
  bool Primary() {
    if (c.AtEnd()) return Fail("missing value at the end of the expression");
    char ch = *c.p;
    const char* written = c.p;
    if (ch == '0' && (c.Peek(1) == 'x' || c.Peek(1) == 'X') && IsHexDigit(c.Peek(2))) {
      c.p += 2;
      return Number(16, written);
    }
    if (IsDigit(ch)) return Number(10, written);
    if (ch == '$') {
      ++c.p;
      return Number(16, written);
    }
    if (ch == '%') {
      ++c.p;
      return Number(2, written);
    }
    if (ch == '@' && IsDigit(c.Peek(1))) {
      ++c.p;
      return Number(8, written);
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
      if (IsWord(name, "narg")) {
        parser.used |= kUsedNarg;
        return Emit(ExprOp::Constant, parser.narg);
      }
      if (c.Peek() == '(') {
        if (IsWord(name, "def")) return Function("def");
        if (IsWord(name, "ref") && NameInParentheses()) return Function("ref");
        if (IsWord(name, "strlen")) return Function("strlen");
        if (IsWord(name, "strcmp")) return Function("strcmp");
        if (IsWord(name, "filesize")) return Function("filesize");
        if (IsWord(name, "instr")) return Instr();
      }
      if (name[0] == '_' && parser.environment) {
        int32_t value;
        if (TimeSymbol(name, value)) return Emit(ExprOp::Constant, value);
      }
      if (IsWord(name, "__rs")) name = kRsCounterName;
      if (FindRegisterEquate(parser, name)) {
        return Fail("'" + std::string(name) +
                    "' stands for a register and cannot be used as a value here");
      }
      bool local = IsLocalName(name, parser.atStartsLocal);
      if (local) parser.used |= kUsedScope;
      uint32_t index =
          parser.symbols.Intern(name, local ? parser.scope : kGlobalScope, parser.caseSensitive);
      return Emit(ExprOp::Symbol, static_cast<int32_t>(index));
    }
    return Fail("expected a value, found " + Excerpt(c.p, c.end));
  }

  // _year, _month, _day, _hours, _minutes and _seconds: the time of assembly.
  bool TimeSymbol(std::string_view name, int32_t& value) {
    static const std::pair<const char*, int std::tm::*> kFields[] = {
        {"_year", &std::tm::tm_year}, {"_month", &std::tm::tm_mon},
        {"_day", &std::tm::tm_mday},  {"_hours", &std::tm::tm_hour},
        {"_minutes", &std::tm::tm_min}, {"_seconds", &std::tm::tm_sec},
    };
    std::string key = parser.caseSensitive ? std::string(name) : ToLowerCopy(name);
    for (const auto& field : kFields) {
      if (key != field.first) continue;
      value = parser.environment->AssemblyTime().*field.second;
      if (field.second == &std::tm::tm_mon) ++value;  // 1 to 12
      return true;
    }
    return false;
  }

  bool QuotedText(std::string_view function, std::string& text) {
    c.SkipSpace();
    if (c.Peek() != '"' && c.Peek() != '\'') {
      return Fail(std::string(function) + " needs a quoted string, not " + Excerpt(c.p, c.end));
    }
    if (!ReadQuoted(c, text)) return Fail("unterminated string");
    c.SkipSpace();
    return true;
  }

  bool CloseFunction(std::string_view function) {
    c.SkipSpace();
    if (!c.Match(')')) return Fail("missing ')' after the argument of " + std::string(function));
    return true;
  }

  // Whether "(NAME)" follows, NAME no register: "ref(" is the function
  // only then, so that a label named ref still takes a base register
  // (ref(a0)).
  bool NameInParentheses() const {
    Cursor probe{c.p + 1, c.end};
    probe.SkipSpace();
    if (!IsIdentStart(probe.Peek())) return false;
    if (RegisterFromName(probe.Identifier()) != kRegNone) return false;
    probe.SkipSpace();
    return probe.Peek() == ')';
  }

  // def(NAME), ref(NAME), strlen("TEXT"), strcmp("A","B") (true when equal)
  // and filesize("FILE"); the cursor is at the '('.
  bool Function(const std::string& function) {
    ++c.p;
    if (function == "def" || function == "ref") {
      c.SkipSpace();
      if (!IsIdentStart(c.Peek())) return Fail(function + " needs a symbol name");
      std::string_view name = c.Identifier();
      bool local = IsLocalName(name, parser.atStartsLocal);
      if (local) parser.used |= kUsedScope;
      uint32_t index =
          parser.symbols.Intern(name, local ? parser.scope : kGlobalScope, parser.caseSensitive);
      if (function == "ref") parser.symbols.NoteRefQuery(index);
      return CloseFunction(function) &&
             Emit(function == "def" ? ExprOp::Defined : ExprOp::Referenced,
                  static_cast<int32_t>(index));
    }
    std::string first, second;
    if (!QuotedText(function, first)) return false;
    if (function == "strcmp") {
      if (!c.Match(',')) return Fail("strcmp compares two strings: strcmp(\"A\",\"B\")");
      if (!QuotedText(function, second)) return false;
    }
    if (!CloseFunction(function)) return false;
    if (function == "strlen") return Emit(ExprOp::Constant, static_cast<int32_t>(first.size()));
    if (function == "strcmp") return Emit(ExprOp::Constant, first == second ? kTrue : 0);
    uint64_t size = 0;
    std::string problem;
    if (!parser.environment) return Fail("filesize is not available here");
    if (!parser.environment->FileSize(first, size, problem)) return Fail(problem);
    return Emit(ExprOp::Constant, static_cast<int32_t>(size));
  }

  // instr([START,]TEXT,FIND): where FIND first stands in TEXT at or after
  // character START (from 1; 1 when left out), or 0. The cursor is at the '('.
  bool Instr() {
    ++c.p;
    c.SkipSpace();
    uint32_t start = static_cast<uint32_t>(parser.pool.nodes.size());
    bool hasStart = c.Peek() != '"' && c.Peek() != '\'';
    if (hasStart) {
      if (++depth > kMaxNesting) return Fail("expression is nested too deeply");
      if (!Binary(1)) return false;
      --depth;
      c.SkipSpace();
      if (!c.Match(',')) return Fail("instr takes [START,]TEXT,FIND: instr(1,\"TEXT\",\"FIND\")");
    }
    std::string text, find;
    if (!QuotedText("instr", text)) return false;
    if (!c.Match(',')) return Fail("instr takes [START,]TEXT,FIND: instr(1,\"TEXT\",\"FIND\")");
    if (!QuotedText("instr", find)) return false;
    if (!CloseFunction("instr")) return false;
    std::vector<int32_t> places;
    for (size_t at = find.empty() ? std::string::npos : text.find(find); at != std::string::npos;
         at = text.find(find, at + 1)) {
      places.push_back(static_cast<int32_t>(at + 1));
    }
    Expr startExpr{start, static_cast<uint32_t>(parser.pool.nodes.size()) - start};
    int32_t first = 1;
    if (hasStart && !IsConstant(parser.pool, startExpr, first)) {
      // Known only when evaluated: the places go with it.
      constexpr size_t kMostPlaces = 250;
      if (places.size() > kMostPlaces) {
        return Fail("instr's FIND stands " + std::to_string(places.size()) +
                    " times in its TEXT; with a START known only when it is evaluated, at most " +
                    std::to_string(kMostPlaces));
      }
      if (!Emit(ExprOp::Instr, static_cast<int32_t>(places.size()))) return false;
      for (int32_t place : places) {
        if (!Emit(ExprOp::Constant, place)) return false;
      }
      return true;
    }
    parser.pool.nodes.resize(start);
    return Emit(ExprOp::Constant, FirstPlace(places.data(), places.size(), first));
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

  // The binary operator at the cursor and its precedence (0: none), in the
  // order of the classic 68000 assemblers: shifts bind tightest, then &, ^
  // and |, then * / %, then + -, then the comparisons, && and ||.
  int PeekOperator(const char* p, ExprOp& op, int& length) const {
    char next = p + 1 < c.end ? p[1] : '\0';
    auto pick = [&](ExprOp chosen, int precedence, int size = 1) {
      op = chosen;
      length = size;
      return precedence;
    };
    switch (p < c.end ? *p : '\0') {
      case '*':
        return pick(ExprOp::Multiply, 6);
      case '/':
        return pick(ExprOp::Divide, 6);
      case '%':
        return pick(ExprOp::Modulo, 6);
      case '+':
        return pick(ExprOp::Add, 5);
      case '-':
        return pick(ExprOp::Subtract, 5);
      case '<':
        if (next == '<') return pick(ExprOp::ShiftLeft, 10, 2);
        if (next == '=') return pick(ExprOp::LessEqual, 4, 2);
        if (next == '>') return pick(ExprOp::NotEqual, 3, 2);
        return pick(ExprOp::Less, 4);
      case '>':
        if (next == '>') return pick(ExprOp::ShiftRight, 10, 2);
        if (next == '=') return pick(ExprOp::GreaterEqual, 4, 2);
        return pick(ExprOp::Greater, 4);
      case '=':
        return next == '=' ? pick(ExprOp::Equal, 3, 2) : pick(ExprOp::Equal, 3);
      case '!':  // between operands, "!" is or, as "|"
        return next == '=' ? pick(ExprOp::NotEqual, 3, 2) : pick(ExprOp::Or, 7);
      case '&':
        return next == '&' ? pick(ExprOp::LogicalAnd, 2, 2) : pick(ExprOp::And, 9);
      case '^':
        return pick(ExprOp::Xor, 8);
      case '|':
        return next == '|' ? pick(ExprOp::LogicalOr, 1, 2) : pick(ExprOp::Or, 7);
      default:
        return 0;
    }
  }

  bool Binary(int minPrecedence) {
    if (!Unary()) return false;
    for (;;) {
      // The cursor stays before the blanks when no operator follows them.
      const char* p = c.p;
      while (p < c.end && IsSpace(*p)) ++p;
      ExprOp op;
      int length;
      int precedence = PeekOperator(p, op, length);
      if (precedence == 0 || precedence < minPrecedence) return true;
      c.p = p + length;
      if (++depth > kMaxNesting) return Fail("expression is nested too deeply");
      if (!Binary(precedence + 1)) return false;
      --depth;
      if (!Emit(op)) return false;
    }
  }
};

// The first character of each binary operator (see PeekOperator).
bool StartsOperator(char ch) {
  switch (ch) {
    case '*': case '/': case '%': case '+': case '-': case '<': case '>':
    case '=': case '!': case '&': case '^': case '|':
      return true;
    default:
      return false;
  }
}

// The short paths below pay only when inlined whole into ParseExpression
// (ASM68K_ALWAYS_INLINE).

const char* SkipBlanks(const char* p, const char* end) {
  while (p < end && IsSpace(*p)) ++p;
  return p;
}

// A number as the short paths read it: "12", "$7fff", "%101", "@17", negated
// ("-8") or in parentheses, as an address with a size is written
// ("($ff8000)", "(-2)", "-(5)"). `at` moves past it; false for anything
// else, including every number the general parse finds fault with.
ASM68K_ALWAYS_INLINE bool ReadShortNumber(const char*& at, const char* end, int32_t& value,
                                          bool& negated) {
  const char* p = at;  // kept in a register through the loops
  negated = *p == '-';
  if (negated && ++p == end) return false;
  bool parenthesized = *p == '(';
  bool negative = negated;
  if (parenthesized) {
    p = SkipBlanks(p + 1, end);
    if (p < end && *p == '-') {
      negated = true;
      negative = !negative;
      ++p;
    }
    if (p == end) return false;
  }
  unsigned base;
  unsigned maxDigits;  // as many as a 64-bit number always holds
  char ch = *p;
  if (IsDigit(ch)) {
    if (ch == '0' && p + 1 < end && (p[1] == 'x' || p[1] == 'X')) return false;
    base = 10;
    maxDigits = 19;
  } else if (ch == '$') {
    base = 16;
    maxDigits = 16;
    ++p;
  } else if (ch == '%') {
    base = 2;
    maxDigits = 64;
    ++p;
  } else if (ch == '@' && p + 1 < end && IsDigit(p[1])) {
    base = 8;
    maxDigits = 21;
    ++p;
  } else {
    return false;
  }
  const char* digits = p;
  uint64_t number = 0;
  for (; p < end; ++p) {
    unsigned digit = kDigits.worth[static_cast<uint8_t>(*p)];
    if (digit >= base) {
      if (digit != kNotDigit) return false;
      break;
    }
    number = number * base + digit;
  }
  size_t count = static_cast<size_t>(p - digits);
  if (count == 0 || count > maxDigits || number > 0xFFFFFFFFull) return false;
  if (parenthesized) {
    p = SkipBlanks(p, end);
    if (p == end || *p != ')') return false;
    ++p;
  }
  uint32_t bits = static_cast<uint32_t>(number);
  value = static_cast<int32_t>(negative ? 0u - bits : bits);
  at = p;
  return true;
}

// One term of a short expression: a number, a name or '*'.
struct ShortTerm {
  ExprOp op;  // Constant, Symbol (with `name`) or Location
  int32_t value;
  bool negated;  // a number written with a minus
  std::string_view name;
};

// Reads a term from `at`, blanks first; `at` moves past it. Only names that
// start with a letter: locals and "_" names (the time symbols, __rs) go
// the general way, and so do registers, narg and the function names before
// their '('.
ASM68K_ALWAYS_INLINE bool ReadShortTerm(const char*& at, const char* end, ShortTerm& term) {
  const char* p = SkipBlanks(at, end);
  if (p == end) return false;
  term.value = 0;
  term.negated = false;
  if (*p == '*') {
    term.op = ExprOp::Location;
    at = p + 1;
    return true;
  }
  char ch = static_cast<char>(*p | 0x20);  // lower case, for letters
  if (ch < 'a' || ch > 'z') {
    term.op = ExprOp::Constant;
    at = p;
    return ReadShortNumber(at, end, term.value, term.negated);
  }
  const char* start = p;
  p = NameRest(p + 1, end);
  std::string_view name(start, static_cast<size_t>(p - start));
  if (name.size() <= 3 && RegisterFromName(name) != kRegNone) return false;
  if (name.size() == 4 && IsWord(name, "narg")) return false;
  if (p < end && *p == '(' &&
      (IsWord(name, "def") || IsWord(name, "ref") || IsWord(name, "strlen") ||
       IsWord(name, "strcmp") || IsWord(name, "filesize") || IsWord(name, "instr"))) {
    return false;
  }
  term.op = ExprOp::Symbol;
  term.name = name;
  at = p;
  return true;
}

// Whether either name stands for registers (equr, reg): such a name is no
// value, and the general parse says so.
[[gnu::noinline]] bool NamesRegister(ExprParser& parser, std::string_view first,
                                     std::string_view second) {
  return (!first.empty() && FindRegisterEquate(parser, first)) ||
         (!second.empty() && FindRegisterEquate(parser, second));
}

void EmitShortTerm(ExprParser& parser, const ShortTerm& term) {
  int32_t value = term.value;
  if (term.op == ExprOp::Symbol) {
    value = static_cast<int32_t>(
        parser.symbols.Intern(term.name, kGlobalScope, parser.caseSensitive));
  }
  parser.pool.nodes.push_back({term.op, value});
}

// The commonest expressions, read without the general parse: a term alone
// ("12", "-8", "($ff8000)", "label", "*") or two joined by + or - ("10-2",
// "label+4", "*-6"), giving the same program the general parse gives. False,
// with nothing consumed and nothing entered, for anything else.
bool ShortExpression(Cursor& c, ExprParser& parser, Expr& out) {
  const char* p = c.p;
  const char* end = c.end;
  ShortTerm left;
  if (!ReadShortTerm(p, end, left)) return false;
  const char* next = SkipBlanks(p, end);
  ShortTerm right;
  char op = 0;
  if (next < end && StartsOperator(*next)) {
    op = *next;
    if (op != '+' && op != '-') return false;
    p = next + 1;
    if (!ReadShortTerm(p, end, right)) return false;
    next = SkipBlanks(p, end);
    if (next < end && StartsOperator(*next)) return false;
    // The general parse keeps a minus as its own step unless both are numbers.
    bool numbers = left.op == ExprOp::Constant && right.op == ExprOp::Constant;
    if (!numbers && (left.negated || right.negated)) return false;
  }
  if (parser.registers &&
      NamesRegister(parser, left.op == ExprOp::Symbol ? left.name : std::string_view(),
                    op && right.op == ExprOp::Symbol ? right.name : std::string_view())) {
    return false;
  }
  c.p = p;  // before the blanks, as the general parse leaves it
  out.first = static_cast<uint32_t>(parser.pool.nodes.size());
  if (op == 0) {
    out.count = 1;
    EmitShortTerm(parser, left);
    return true;
  }
  if (left.op == ExprOp::Constant && right.op == ExprOp::Constant) {
    uint32_t a = static_cast<uint32_t>(left.value), b = static_cast<uint32_t>(right.value);
    out.count = 1;
    uint32_t sum = op == '+' ? a + b : a - b;
    parser.pool.nodes.push_back({ExprOp::Constant, static_cast<int32_t>(sum)});
    return true;
  }
  out.count = 3;
  EmitShortTerm(parser, left);
  EmitShortTerm(parser, right);
  parser.pool.nodes.push_back({op == '+' ? ExprOp::Add : ExprOp::Subtract, 0});
  return true;
}

}  // namespace

const RegisterEquate* FindRegisterEquate(ExprParser& parser, std::string_view name) {
  if (!parser.registers || name.empty()) return nullptr;
  bool local = IsLocalName(name, parser.atStartsLocal);
  if (local) parser.used |= kUsedScope;  // in another scope the name may be another's
  uint32_t index =
      parser.symbols.Intern(name, local ? parser.scope : kGlobalScope, parser.caseSensitive);
  auto found = parser.registers->bySymbol.find(index);
  if (found == parser.registers->bySymbol.end() || found->second.pass != parser.registers->pass) {
    return nullptr;
  }
  return &found->second;
}

bool ParseExpression(Cursor& c, ExprParser& parser, Expr& out, std::string& error) {
  if (ShortExpression(c, parser, out)) return true;
  uint32_t first = static_cast<uint32_t>(parser.pool.nodes.size());
  Parse parse{c, parser, error, first};
  if (!parse.Binary(1)) {
    parser.pool.nodes.resize(first);
    return false;
  }
  out.first = first;
  out.count = static_cast<uint32_t>(parser.pool.nodes.size()) - first;
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

}  // namespace asm68k
