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
int EncodeInstruction(PassState& state, const InstructionForm& form, uint8_t size,
                      const Operand* operands, uint16_t* words);

// ".b" for kSizeB and so on.
char SizeLetter(uint8_t size);

}  // namespace asm68k
