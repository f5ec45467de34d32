#pragma once
// What the directives' parse and run functions share: reading their
// operands into a statement, and the sizes and names their messages use.

#include <cstdint>
#include <string>
#include <string_view>

#include "directive_table.h"

namespace asm68k {

// A statement counts its operands in 16 bits.
constexpr size_t kMaxItems = 65535;

// Reads MINIMUM to MAXIMUM comma-separated expressions into the statement.
bool ParseExpressions(DirectiveParse& parse, size_t minimum, size_t maximum,
                      std::string_view name, std::string& error);
// One expression that must fill `item`.
bool ParseValue(TextRange item, ExprParser& parser, std::string_view name, Expr& out,
                std::string& error);
// A quoted name, or the bare rest of the field (include, incbin, macro names).
bool ParseFileName(TextRange operands, std::string& name, std::string& error);
// Keeps text in the store's bytes as the operand's slice.
Operand TextOperand(ParseStore& store, std::string_view text);
std::string_view OperandText(const ParseStore& store, const Operand& operand);
// Makes `operand` the statement's only operand.
void SetOnlyOperand(DirectiveParse& parse, const Operand& operand);

inline uint32_t UnitBytes(uint8_t size) { return size == kSizeB ? 1 : size == kSizeW ? 2 : 4; }
// "dc.w": a directive's name with its size, for messages.
std::string SizedName(std::string_view name, uint8_t size);

// A directive without operands takes what follows it as a comment.
bool ParseNone(DirectiveParse& parse, std::string& error);
bool ParseOne(DirectiveParse& parse, std::string& error);
bool ParseTwo(DirectiveParse& parse, std::string& error);

}  // namespace asm68k
