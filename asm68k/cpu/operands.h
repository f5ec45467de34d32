#pragma once
// Operand syntax: turns one operand as written (d0, (a0)+, 4(a1,d2.l),
// label(pc), $1234.w, #1, d0-d3/a6) into an Operand. The kind is decided
// here, once; values are evaluated in every pass.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "expressions.h"
#include "instruction_table.h"

namespace asm68k {

struct Operand {
  OperandKind kind = kOpValue;
  uint8_t reg = 0;       // Dn/An number, the base address register, or a
                         // control register's place in its table
  uint8_t indexReg = 0;  // 0-7 d0-d7, 8-15 a0-a7; above them, in bits 5-4, the
                         // index's scale (68020): 0 to 3 for *1, *2, *4, *8
  bool indexLong = false;
  char absSize = 0;      // 'w' or 'l' on a sized absolute address or a full extension
                         // word's base displacement, 'w' on (d16.w,An); 0 unsized
  uint16_t regMask = 0;  // movem list: bit 0 = d0 ... bit 15 = a7
  Expr expr;             // value, displacement, target or address; for kOpBytes a
                         // slice of the byte pool (dc.b) or, in incbin, the file's
                         // index in the assembly's texts
};

// Operand::regMask of kOpFull and kOpPcFull: the full extension word's
// features as written. The base displacement's size is in absSize ('w',
// 'l', or 0 unsized); `expr` holds the base and outer displacements
// (FirstOfTwo, SecondOfTwo), each with no nodes when none is written.
enum : uint16_t {
  kFullBaseSuppressed = 1,   // no base register: none written, za0-za7 or zpc
  kFullIndexSuppressed = 2,  // no index register: none written, or zd0-zd7, za0-za7
  kFullPreIndexed = 4,       // ([bd,An,Xn],od), or memory indirect without an index
  kFullPostIndexed = 8,      // ([bd,An],Xn,od)
  kFullOdWord = 16,          // the outer displacement written .w
  kFullOdLong = 32,          // ... or .l
};

// Operand::regMask of kOpBitField: which of offset and width are data
// registers (in reg and indexReg); `expr` holds the others' values, the
// offset's first (FirstOfTwo, SecondOfTwo).
enum : uint16_t {
  kFieldOffsetRegister = 1,
  kFieldWidthRegister = 2,
};
// Operand::absSize of an immediate written as a floating-point literal
// (#1.5): its expression is the constant longs of the literal, made into
// the format of the instruction's size when the line is read.
constexpr char kFloatLiteral = 'f';
// Operand::regMask of fmove.p's destination with a k-factor: {Dn} sets
// kKFactorDynamic with the register in bits 2-0; {#k} leaves k in bits 6-0.
constexpr uint16_t kKFactorDynamic = 0x8000;

struct TextRange {
  const char* begin;
  const char* end;
};

// The text without the spaces around it.
inline TextRange Trimmed(TextRange text) {
  while (text.begin < text.end && IsSpace(*text.begin)) ++text.begin;
  while (text.end > text.begin && IsSpace(text.end[-1])) --text.end;
  return text;
}

inline std::string_view ViewOf(TextRange text) {
  return std::string_view(text.begin, static_cast<size_t>(text.end - text.begin));
}

// Splits an operand field at commas outside parentheses and quotes; each
// piece is trimmed. An empty piece is an error.
bool SplitOperands(const char* begin, const char* end, std::vector<TextRange>& out,
                   std::string& error);

bool ParseOperand(TextRange text, ExprParser& parser, Operand& out, std::string& error);
// The same, for the lines read apart from the common path: ParseOperand
// keeps its one caller, which takes it in whole.
[[gnu::noinline]] bool ParseOperandApart(TextRange text, ExprParser& parser, Operand& out,
                                         std::string& error);

// What the common parse refuses, read again (operands_full.cpp): register
// pairs and the 68020's full extension word. False, with `error` as it was
// unless the operand is written as one of these, when it is none.
[[gnu::noinline]] bool ParseLaterOperand(TextRange text, ExprParser& parser, Operand& out,
                                         std::string& error);

// A bit field, {offset:width}, each a number or a data register.
bool ParseBitField(TextRange text, ExprParser& parser, Operand& out, std::string& error);

// Each piece "ea{offset:width}" made two, the address and the bit field.
void SplitBitFields(std::vector<TextRange>& pieces);

// The two expressions a kOpFull, kOpPcFull or kOpBitField operand holds.
Expr FirstOfTwo(const ExprPool& pool, Expr expr);
Expr SecondOfTwo(const ExprPool& pool, Expr expr);

// Operand `index` of a line whose mnemonic's rows (`forms`) take names of
// their own (see kSpecialKinds): such a name, or a register alone (a data
// or address register, usp, sr, ccr), the forms those mnemonics take. False,
// with `error`, for anything else, or for a name the chosen processor lacks.
// Kept apart from ParseOperand, whose one caller, the common line parse,
// takes it in whole.
[[gnu::noinline]] bool ParseSpecialOperand(std::string_view mnemonic, FormRange forms, int index,
                                           TextRange written, ExprParser& parser, Operand& out,
                                           std::string& error);

// Operand `index` of an FPU mnemonic's line (the size written `writtenSize`): the FPU's registers and lists (fp0-fp7,
// fp0-fp3/fp7, fpcr/fpsr/fpiar, fpc:fps), a floating-point literal (#1.5,
// #-2.5e-3, #0r1.5), fmove.p's destination with its k-factor ((a0){#3},
// (a0){d1}), or any operand the common parse reads.
[[gnu::noinline]] bool ParseFpuOperand(std::string_view mnemonic, int index, TextRange written,
                                       uint8_t writtenSize, ExprParser& parser, Operand& out,
                                       std::string& error);

// A data or address register (its bit in `mask`), or with `list` a movem
// register list, for equr and reg; false for anything else.
[[gnu::noinline]] bool ParseRegisterSet(TextRange text, ExprParser& parser, bool list,
                                        uint16_t& mask);

// The operand with each name that equr or reg made stand for registers
// written as those registers ("(sin,x.w)" as "(a1,d5.w)", a list name as its
// list): the text itself when it names none, else text kept until the next
// call. Called only where the source defines such names (parser.registers).
[[gnu::noinline]] TextRange WithRegisterEquates(TextRange text, ExprParser& parser);

// How a kind of operand is named in messages: "an address register", "(An)+".
std::string_view OperandKindName(OperandKind kind);

}  // namespace asm68k
