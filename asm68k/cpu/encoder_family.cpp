// The words of the forms the later processors of the family added: the
// 68010's and on. The 68000's are in encoder.cpp.

#include "encoder_words.h"

namespace asm68k {

namespace {

// The offset and width of a bit field in its second word: a data register
// (bit 11, bit 5) or a value (0-31 in 10-6; 1-32 in 4-0, 32 as 0).
uint16_t BitFieldFields(Encoder& e, const Operand& field) {
  uint16_t fields = 0;
  if (field.regMask & kFieldOffsetRegister) {
    fields = static_cast<uint16_t>(0x0800 | (field.reg << 6));
  } else {
    EvalResult r = e.EvalExpr(FirstOfTwo(e.expressions, field.expr));
    if (r.valid && (r.value < 0 || r.value > 31)) {
      e.Error("a bit field's offset is 0 to 31 or a data register, not " + std::to_string(r.value));
    }
    fields = static_cast<uint16_t>((r.value & 31) << 6);
  }
  if (field.regMask & kFieldWidthRegister) {
    fields = static_cast<uint16_t>(fields | 0x0020 | field.indexReg);
  } else {
    EvalResult r = e.EvalExpr(SecondOfTwo(e.expressions, field.expr));
    if (r.valid && (r.value < 1 || r.value > 32)) {
      e.Error("a bit field's width is 1 to 32 or a data register, not " + std::to_string(r.value));
    }
    fields = static_cast<uint16_t>(fields | (r.value & 31));
  }
  return fields;
}

// A register pair's two registers, (first, second), each 0-7; an error when
// either is an address register and `dataOnly`.
void PairRegisters(Encoder& e, const Operand& pair, bool dataOnly, uint16_t& first,
                   uint16_t& second) {
  if (dataOnly && (pair.reg > 7 || pair.indexReg > 7)) {
    e.Error(std::string(e.form.name) + " takes a pair of data registers, as d1:d0");
  }
  first = pair.reg & 7;
  second = pair.indexReg & 7;
}

}  // namespace

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
    case Encoding::LinkLong:
      first |= Register(ops[0]);
      Long(static_cast<uint32_t>(Eval(ops[1]).value));
      break;
    case Encoding::MulLong:
    case Encoding::DivLong: {
      // One register: the product's or quotient's (the remainder's too for
      // a divide; a multiply's unused high field is 0). A pair: Dh:Dl, Dr:Dq.
      uint16_t high, low;
      if (ops[1].kind == kOpRegPair) {
        PairRegisters(*this, ops[1], true, high, low);
      } else {
        low = ops[1].reg;
        high = form.encoding == Encoding::DivLong ? low : 0;
      }
      first |= ExtensionThenEa(static_cast<uint16_t>(form.extension | (low << 12) | high),
                               ops[0], 0);
      break;
    }
    case Encoding::BitField:
      first |= ExtensionThenEa(BitFieldFields(*this, ops[1]), ops[0], 0);
      break;
    case Encoding::BitFieldReg: {
      uint16_t fields = static_cast<uint16_t>(BitFieldFields(*this, ops[1]) | (ops[2].reg << 12));
      first |= ExtensionThenEa(fields, ops[0], 0);
      break;
    }
    case Encoding::BitFieldIns: {
      uint16_t fields = static_cast<uint16_t>(BitFieldFields(*this, ops[2]) | (ops[0].reg << 12));
      first |= ExtensionThenEa(fields, ops[1], 1);
      break;
    }
    case Encoding::Cas:  // the address takes operand 1's place: Du is a register
      first |= ExtensionThenEa(static_cast<uint16_t>((ops[1].reg << 6) | ops[0].reg), ops[2],
                               1);
      break;
    case Encoding::Cas2: {
      uint16_t compare1, compare2, update1, update2, unused;
      PairRegisters(*this, ops[0], true, compare1, compare2);
      PairRegisters(*this, ops[1], true, update1, update2);
      PairRegisters(*this, ops[2], false, unused, unused);
      Word(static_cast<uint32_t>((ops[2].reg << 12) | (update1 << 6) | compare1));
      Word(static_cast<uint32_t>((ops[2].indexReg << 12) | (update2 << 6) | compare2));
      break;
    }
    case Encoding::Chk2:
      first |= ExtensionThenEa(static_cast<uint16_t>(form.extension | GeneralRegister(ops[1])),
                               ops[0], 0);
      break;
    case Encoding::Callm: {
      int32_t arguments = Quick(ops[0], 0, 255, "callm passes 0 to 255 bytes of arguments");
      first |= ExtensionThenEa(static_cast<uint16_t>(arguments & 0xFF), ops[1], 1);
      break;
    }
    case Encoding::Rtm:
      first |= static_cast<uint16_t>((ops[0].kind == kOpAddrReg ? 8 : 0) | ops[0].reg);
      break;
    case Encoding::PackUnpk:
      first |= Registers(ops[1], ops[0]);
      Immediate(ops[2], kSizeW);
      break;
    case Encoding::TrapCc:
      Immediate(ops[0], size);
      break;
    default:
      if (IsFpuEncoding(form.encoding)) {
        EncodeFpu(ops);
      } else {
        EncodeSystem(ops);
      }
      break;
  }
}

}  // namespace asm68k
