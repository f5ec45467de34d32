// The words of the system instructions of the 68030, 68040, 68060 and
// CPU32: the 68030's MMU (pmove, pflush, pload, ptest), the 68040's and
// 68060's caches, move16 and their own MMU forms, and the CPU32's tables.
// Most 68030 forms have a second word (the row's fixed bits with fields
// filled in) that comes before the effective address's own words.

#include "encoder_words.h"

namespace asm68k {

namespace {

// The size in bits 7-6 of the CPU32's table instructions' second word.
uint16_t TableSize(uint8_t size) {
  return static_cast<uint16_t>((size == kSizeB ? 0 : size == kSizeW ? 1 : 2) << 6);
}

}  // namespace

// A 68030 function code in bits 4-0 of the second word: sfc (00000), dfc
// (00001), a data register (01rrr) or a value (10vvv).
uint16_t Encoder::FunctionCode(const Operand& operand) {
  switch (operand.kind) {
    case kOpCtrlReg: {
      const uint16_t code = ControlRegisterAt(operand.reg).code;
      if (code > 1) {
        Error("a function code is sfc, dfc, a data register or #0-7, not " +
              std::string(ControlRegisterAt(operand.reg).name));
      }
      return code & 1;
    }
    case kOpDataReg:
      return static_cast<uint16_t>(0x08 | operand.reg);
    default:
      return static_cast<uint16_t>(0x10 | (Quick(operand, 0, 7, "a function code is 0 to 7") & 7));
  }
}

// The second word, then the effective address of `ea` (operand `index`)
// with its own words after it: returns the address's mode and register.
uint16_t Encoder::ExtensionThenEa(uint16_t extension, const Operand& ea, int index) {
  const int at = count;
  Word(extension);
  uint16_t field = Ea(ea, index);
  words[at] = extension;
  return field;
}

bool Encoder::EncodeSystem(const Operand* ops) {
  uint16_t& first = words[0];
  const uint16_t ext = form.extension;
  switch (form.encoding) {
    case Encoding::PmoveTo:
    case Encoding::PmoveFrom: {
      const bool toMemory = form.encoding == Encoding::PmoveFrom;
      const MmuRegister& reg = MmuRegisterAt(ops[toMemory ? 0 : 1].reg);
      if ((ext & 0x0100) && !reg.flushable) {
        Error(std::string(form.name) + " cannot load " + std::string(reg.name) +
              "; it takes tc, srp, crp, tt0 or tt1");
      }
      if (sizeWritten && size != reg.size) {
        Error(std::string(form.name) + '.' + SizeLetter(size) + " cannot move " +
              std::string(reg.name) + ", a " +
              (reg.size == kSizeL ? "long word" : reg.size == kSizeW ? "word" : "quad word") +
              "; write " + std::string(form.name) +
              (reg.size == kSizeNone ? std::string(" without a size")
                                     : std::string(1, '.') + SizeLetter(reg.size)));
      }
      const int ea = toMemory ? 1 : 0;
      first |= ExtensionThenEa(static_cast<uint16_t>(ext | reg.bits | (toMemory ? 0x0200 : 0)),
                               ops[ea], ea);
      return true;
    }
    case Encoding::FixedExt:
      Word(ext);
      return true;
    case Encoding::Pflush030: {
      const int32_t mask = Quick(ops[1], 0, 7, "pflush's mask is 0 to 7");
      const uint16_t fields =
          static_cast<uint16_t>(ext | FunctionCode(ops[0]) | ((mask & 7) << 5));
      if (form.operandCount == 3) {
        first |= ExtensionThenEa(fields, ops[2], 2);
      } else {
        Word(fields);
      }
      return true;
    }
    case Encoding::Pload030:
      first |= ExtensionThenEa(static_cast<uint16_t>(ext | FunctionCode(ops[0])), ops[1], 1);
      return true;
    case Encoding::Ptest030: {
      const int32_t level = Quick(ops[2], 0, 7, "ptest's level is 0 to 7");
      uint16_t fields = static_cast<uint16_t>(ext | FunctionCode(ops[0]) | ((level & 7) << 10));
      if (form.operandCount == 4) fields = static_cast<uint16_t>(fields | 0x0100 | (ops[3].reg << 5));
      first |= ExtensionThenEa(fields, ops[1], 1);
      return true;
    }
    case Encoding::Move16:
      first |= ops[0].reg;
      Word(ext | static_cast<uint16_t>(ops[1].reg << 12));
      return true;
    case Encoding::Move16Abs: {
      // The address is always a long word.
      const bool toMemory = ops[1].kind == kOpAbsolute;
      const Operand& address = ops[toMemory ? 1 : 0];
      if (address.absSize == 'w') Error("move16 takes a long address, not .w");
      first |= ops[toMemory ? 0 : 1].reg;
      Long(static_cast<uint32_t>(Eval(address).value));
      return true;
    }
    case Encoding::Cache:
      first |= static_cast<uint16_t>((ops[0].reg << 6) | (form.operandCount > 1 ? ops[1].reg : 0));
      return true;
    case Encoding::ExtThenImm:
      Word(ext);
      Immediate(ops[0], kSizeW);
      return true;
    case Encoding::Table:
      first |= ExtensionThenEa(
          static_cast<uint16_t>(ext | TableSize(size) | (ops[1].reg << 12)), ops[0], 0);
      return true;
    case Encoding::TableRegs:
      if (ops[0].reg > 7 || ops[0].indexReg > 7) {
        Error(std::string(form.name) + " interpolates between two data registers, Dym:Dyn");
      }
      first |= static_cast<uint16_t>(ops[0].reg & 7);
      Word(ext | TableSize(size) | static_cast<uint16_t>(ops[1].reg << 12) | (ops[0].indexReg & 7));
      return true;
    default:
      return false;
  }
}

}  // namespace asm68k
