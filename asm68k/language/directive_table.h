#pragma once
// The directives as data: one descriptor each, with its name, the flags that
// the parser and the line source look up, how its operands are parsed (once
// per line, or once per macro expansion) and what it does in a pass. What
// each directive does lives with its family (data and layout, conditionals,
// macros and text, files, options); this table only names them.

#include <cstdint>
#include <string>
#include <string_view>

#include "assembly.h"
#include "operands.h"

namespace asm68k {

enum DirectiveFlag : uint16_t {
  kTakesSize = 1 << 0,     // .b .w .l (.w when none is written)
  kNamesSymbol = 1 << 1,   // the label field is the name it defines (equ, set, =, macro)
  kLabelAfter = 1 << 2,    // a label names the address it moves to (org, even, cnop)
  kOpensIf = 1 << 3,       // the block structure the line source follows
  kElse = 1 << 4,
  kElseIf = 1 << 5,
  kEndIf = 1 << 6,
  kOpensMacro = 1 << 7,
  kEndMacro = 1 << 8,
  kOpensRept = 1 << 9,
  kEndRept = 1 << 10,
  kWordAligned = 1 << 11,  // .w and .l data (and simhalt) start at an even address
  kMacroName = 1 << 12,    // the label field is a macro's name (macro, macros)
  kNamesText = 1 << 13,    // the label field names a string equate (equs, substr)
  kOpensWhile = 1 << 14,
  kEndWhile = 1 << 15,
};

// The test an if-family directive applies to its value, kept in the
// statement's size field.
enum IfTest : uint8_t { kIfNonZero, kIfZero, kIfGreater, kIfGreaterEqual, kIfLess, kIfLessEqual };

// What a directive's parse works with.
struct DirectiveParse {
  Assembly& assembly;
  ParseStore& store;
  ExprParser& parser;
  std::string_view name;  // in lower case, for messages
  uint8_t size;           // the size written, or .w for a sized directive without one
  std::string_view label;
  TextRange operands;
  const char* lineEnd;  // the rest of the line, for a directive whose operand is free text
  Statement& statement;
  std::string warning;  // set by a parse that accepts the line with a doubt
};

struct Directive {
  std::string_view name;
  uint16_t flags;
  // Reads the operands into the statement; false with `error` set.
  bool (*parse)(DirectiveParse& parse, std::string& error);
  // Does the directive's work in a pass.
  void (*run)(PassState& state, const Statement& statement);
};

const Directive& DirectiveAt(int index);
int DirectiveCount();

}  // namespace asm68k
