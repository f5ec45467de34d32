#pragma once
// The encoder: picks the instruction table row that fits what was written
// (once, while reading), then builds the instruction words in every pass.

#include <cstdint>
#include <string>
#include <string_view>

#include "expressions.h"
#include "instruction_table.h"
#include "operands.h"
#include "options.h"
#include "sized_forms.h"

namespace asm68k {

// What the encoder asks of the pass that runs it, which answers: values of
// expressions that are more than a number, errors, and the sizes
// optimisations choose.
class EncodeCalls {
 public:
  virtual EvalResult EvaluateNamed(Expr expr) = 0;
  virtual void Error(std::string text) = 0;
  // The form an optimisation takes from `r`, the value of `expr` (see relax.h).
  virtual uint8_t ChooseForm(const SizedRequest& request, const EvalResult& r, Expr expr) = 0;

 protected:
  ~EncodeCalls() = default;
};

// What the encoder reads of the pass: the pass's own record holds it (the
// pass state is one), so that an instruction copies nothing.
struct EncodeState {
  // The location: up to kAddressEnd, and past it only after an error said so.
  uint64_t location = 0;
  // In an obj block, code assembled for another address: its labels, '*' and
  // program counter are `objOffset` past the location (in 32 bits), while its
  // bytes go at the location.
  uint32_t objOffset = 0;
  Options options;
  EncodeCalls* calls = nullptr;
};

// The address the current line runs at: its location, or in an obj block
// the address it is assembled for.
inline uint32_t Here(const EncodeState& state) {
  return static_cast<uint32_t>(state.location) + state.objOffset;
}

// The machine (cpu.h) a line is read for, and where the rows every machine
// has of a mnemonic are found, for the message that names the processor
// that has a form the chosen one lacks.
struct MachineChoice {
  uint8_t index = 0;  // Options::machineIndex
  FormRange (*everyMachine)(std::string_view lowerName) = nullptr;
};

// The row of `forms` (a mnemonic's rows on the chosen machine) for the
// written size (kSizeNone when none) and operands (at most two), as nearly
// every line finds it; false when MatchFormClosely must look.
bool FindForm(FormRange forms, uint8_t writtenSize, const Operand* operands, int count,
              uint16_t& form, uint8_t& size);

// The row, or why none takes the operands: the message says what is wrong
// in the user's terms, naming the instruction and the addressing mode, and
// the processor that has the form when another does. For any number of
// operands. Kept out of line, so that the common path, inlined where a line is
// parsed, carries none of it.
[[gnu::noinline]] bool MatchFormClosely(std::string_view name, FormRange forms,
                                        uint8_t writtenSize, const Operand* operands, int count,
                                        const MachineChoice& machine, uint16_t& form,
                                        uint8_t& size, std::string& error);

// The most words an instruction takes: a 68020 move.l between two memory
// indirect operands with long base and outer displacements.
constexpr int kMaxInstructionWords = 11;

// Encodes the instruction at the pass's location, its operands' expressions
// being in `expressions`; returns its length in words.
// `lengthMayChange` is set when an optimisation chose a form from a value
// that may still change between passes.
int EncodeInstruction(EncodeState& state, const ExprPool& expressions, const InstructionForm& form,
                      uint8_t size, bool sizeWritten, const Operand* operands, uint16_t* words,
                      bool& lengthMayChange);

// The row an optimisation puts in place of `row` (opt omq, oaq, osq: moveq,
// addq, subq for an immediate that fits), or `row` itself.
uint16_t QuickForm(EncodeState& state, const ExprPool& expressions, uint16_t row, uint8_t size,
                   const Operand* operands, int count, bool& lengthMayChange);

// ".b" for kSizeB and so on.
char SizeLetter(uint8_t size);

}  // namespace asm68k
