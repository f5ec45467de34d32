// The words of the forms the later processors of the family added: the
// 68010's and on. The 68000's are in encoder.cpp.

#include "encoder_words.h"

namespace asm68k {

void Encoder::EncodeLater(const Operand* ops) {
  uint16_t& first = words[0];
  switch (form.encoding) {
    case Encoding::Bkpt:
      first |= static_cast<uint16_t>(Quick(ops[0], 0, 7, "bkpt needs a vector from 0 to 7") & 7);
      break;
    case Encoding::MovecFrom:
      ControlMove(ops[1], ops[0]);
      break;
    case Encoding::MovecTo:
      ControlMove(ops[0], ops[1]);
      break;
    case Encoding::MovesToMem:  // the second word before the address's own words
      Word(GeneralRegister(ops[0]) | 0x0800u);
      first |= Ea(ops[1], 1);
      break;
    case Encoding::MovesFromMem:
      Word(GeneralRegister(ops[1]));
      first |= Ea(ops[0], 0);
      break;
    default:
      if (IsFpuEncoding(form.encoding)) EncodeFpu(ops);
      break;
  }
}

}  // namespace asm68k
