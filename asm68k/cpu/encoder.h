#pragma once
// The encoder: picks the instruction table row that fits what was written
// (once, while reading), then builds the instruction words in every pass.

#include <cstdint>
#include <string>
#include <string_view>

#include "assembly.h"
#include "instruction_table.h"
#include "operands.h"

namespace asm68k {

// Chooses the row of `forms` for the written size (kSizeNone when none) and
// operands. On failure the message says what is wrong in the user's terms,
// naming the instruction and the addressing mode.
bool MatchForm(std::string_view name, FormRange forms, uint8_t writtenSize, const Operand* operands,
               int count, uint16_t& form, uint8_t& size, std::string& error);

// The most words a 68000 instruction takes: move.l #imm,abs.l.
constexpr int kMaxInstructionWords = 5;

// Encodes the instruction at state.location; returns its length in words.
// `lengthMayChange` is set when an optimisation chose a form from a value
// that may still change between passes.
int EncodeInstruction(PassState& state, const InstructionForm& form, uint8_t size,
                      bool sizeWritten, const Operand* operands, uint16_t* words,
                      bool& lengthMayChange);

// The row an optimisation puts in place of `row` (opt omq, oaq, osq: moveq,
// addq, subq for an immediate that fits), or `row` itself.
uint16_t QuickForm(PassState& state, uint16_t row, uint8_t size, const Operand* operands,
                   int count, bool& lengthMayChange);

// ".b" for kSizeB and so on.
char SizeLetter(uint8_t size);

}  // namespace asm68k
