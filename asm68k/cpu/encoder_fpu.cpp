// The words of the FPU's forms: the 68881's and 68882's, which a 68040 or
// 68060 has on the chip. Each starts with the opcode word (the FPU is
// coprocessor 1: $F2xx) and, but for fsave and frestore, a command word,
// before any address's own words.

#include "encoder_words.h"

namespace asm68k {

namespace {

// A format's code in bits 12-10 of the command word.
uint16_t FormatCode(uint8_t size) {
  switch (size) {
    case kSizeL:
      return 0;
    case kSizeS:
      return 1;
    case kSizeX:
      return 2;
    case kSizeP:
      return 3;
    case kSizeW:
      return 4;
    case kSizeD:
      return 5;
    default:  // kSizeB
      return 6;
  }
}

// The longs an immediate of a floating-point format takes.
int FloatImmediateLongs(uint8_t size) {
  return size == kSizeS ? 1 : size == kSizeD ? 2 : 3;
}

}  // namespace

// An immediate source. A literal with a point or an exponent was made into
// the format when the line was read (its longs are the operand's constant
// nodes); a whole number of a floating-point format is its two's complement
// bits, right-aligned, as GNU as places it: #1 in .s is $00000001, not 1.0.
void Encoder::FpuImmediate(const Operand& operand) {
  if (operand.absSize == kFloatLiteral) {
    for (uint32_t i = 0; i < operand.expr.count; ++i) {
      Long(static_cast<uint32_t>(expressions.nodes[operand.expr.first + i].value));
    }
    return;
  }
  if (size == kSizeB || size == kSizeW || size == kSizeL) return Immediate(operand, size);
  EvalResult r = Eval(operand);
  uint32_t value = static_cast<uint32_t>(r.value);
  uint32_t extension = r.value < 0 ? 0xFFFFFFFFu : 0;
  int longs = FloatImmediateLongs(size);
  if (longs == 3) Long(0);
  if (longs >= 2) Long(extension);
  Long(value);
}

// The source of an operation: fpm (in 12-10), or <ea> with its format.
uint16_t Encoder::FpuSourceFields(const Operand& source, int index) {
  if (source.kind == kOpFpReg) {
    Word(form.extension | static_cast<uint32_t>(source.reg) << 10);
    return 0;
  }
  Word(form.extension | static_cast<uint32_t>(FormatCode(size)) << 10);
  if (source.kind == kOpImmediate) {
    FpuImmediate(source);
    return 0x3C;
  }
  return Ea(source, index);
}

// fmove fpn,<ea>: the format of the destination, and with .p its k-factor
// (in 6-0, or a data register in 6-4 with the format 7).
void Encoder::FpuStoreFields(const Operand* ops) {
  uint16_t command = static_cast<uint16_t>(form.extension | ops[0].reg << 7);
  uint16_t k = ops[1].regMask;
  if (size == kSizeP && (k & kKFactorDynamic)) {
    command |= static_cast<uint16_t>(7 << 10 | (k & 7) << 4);
  } else {
    command |= static_cast<uint16_t>(FormatCode(size) << 10 | (k & 0x7F));
  }
  Word(command);
  words[0] |= Ea(ops[1], 1);
}

// fmove, fmovem with fpcr/fpsr/fpiar: one long each; a data or address
// register, or an immediate, moves one only (an address register fpiar).
void Encoder::FpuControl(const Operand& list, const Operand& other, int otherIndex) {
  uint16_t mask = list.regMask;
  bool several = (mask & (mask - 1)) != 0;
  if (several && (other.kind == kOpDataReg || other.kind == kOpAddrReg ||
                  other.kind == kOpImmediate)) {
    Error(std::string(form.name) + " moves several control registers only to or from memory");
  } else if (other.kind == kOpAddrReg && mask != 1) {
    Error(std::string(form.name) + " moves an address register only to or from fpiar");
  } else if (several && form.name == "fmove") {
    Error("fmove moves one control register; use fmovem for several");
  }
  Word(form.extension | static_cast<uint32_t>(mask) << 10);
  words[0] |= Ea(other, otherIndex);
}

// fmovem.x: a list (bit n for fpn) or a data register holding one. With
// -(An) the list runs from fp7 in bit 7 down to fp0 in bit 0 (mode 0, 1
// for a data register); otherwise fp0 is bit 7 (mode 2, 3).
void Encoder::FpuMovem(const Operand& list, const Operand& memory, int memoryIndex) {
  bool predecrement = memory.kind == kOpPreDec;
  uint16_t command = form.extension;
  if (list.kind == kOpDataReg) {
    command |= static_cast<uint16_t>((predecrement ? 0x0800 : 0x1800) | list.reg << 4);
  } else {
    uint16_t mask = list.kind == kOpFpReg ? static_cast<uint16_t>(1u << list.reg) : list.regMask;
    command |= predecrement ? mask : static_cast<uint16_t>(0x1000 | (ReverseBits(mask) >> 8));
  }
  Word(command);
  words[0] |= Ea(memory, memoryIndex);
}

void Encoder::EncodeFpu(const Operand* ops) {
  uint16_t& first = words[0];
  switch (form.encoding) {
    case Encoding::FpuSource: {
      uint16_t destination = form.operandCount > 1 ? ops[1].reg : 0;  // ftst has none
      first |= FpuSourceFields(ops[0], 0);
      words[1] |= static_cast<uint16_t>(destination << 7);
      break;
    }
    case Encoding::FpuRegister: {
      const Operand& destination = form.operandCount > 1 ? ops[1] : ops[0];
      Word(form.extension | static_cast<uint32_t>(ops[0].reg) << 10 |
           static_cast<uint32_t>(destination.reg) << 7);
      break;
    }
    case Encoding::FpuTest:
      Word(form.extension | static_cast<uint32_t>(ops[0].reg) << 10);
      break;
    case Encoding::FpuSinCos:
      first |= FpuSourceFields(ops[0], 0);
      words[1] |= static_cast<uint16_t>(ops[1].indexReg << 7 | ops[1].reg);
      break;
    case Encoding::FpuStore:
      FpuStoreFields(ops);
      break;
    case Encoding::FpuControlTo:
      FpuControl(ops[1], ops[0], 0);
      break;
    case Encoding::FpuControlFrom:
      FpuControl(ops[0], ops[1], 1);
      break;
    case Encoding::FpuMovemTo:
      FpuMovem(ops[0], ops[1], 1);
      break;
    case Encoding::FpuMovemFrom:
      FpuMovem(ops[1], ops[0], 0);
      break;
    case Encoding::FpuMovecr:
      if (ops[0].absSize == kFloatLiteral) {
        Error("fmovecr needs a ROM offset from 0 to $7F, not a floating-point literal");
        Word(form.extension);
        break;
      }
      Word(form.extension | static_cast<uint32_t>(ops[1].reg) << 7 |
           (Quick(ops[0], 0, 0x7F, "fmovecr needs a ROM offset from 0 to $7F") & 0x7F));
      break;
    case Encoding::FpuEa:
      first |= Ea(ops[0], 0);
      break;
    case Encoding::FpuScc:
      Word(form.extension);
      first |= Ea(ops[0], 0);
      break;
    case Encoding::FpuBranch:
      FpuBranch(ops[0]);
      break;
    case Encoding::FpuDbcc: {
      first |= ops[0].reg;
      Word(form.extension);
      EvalResult r = Eval(ops[1]);
      int32_t displacement = Distance(r.value, Here(state) + 2u * count);
      if (r.valid && !FitsSigned16(displacement)) {
        Error("branch target is out of range for " + std::string(form.name) +
              " (displacement " + std::to_string(displacement) + "; .w reaches -32768..32767)");
      }
      Word(static_cast<uint32_t>(displacement));
      break;
    }
    case Encoding::FpuTrap:
      Word(form.extension);
      if (form.operandCount == 0) break;
      if (size == kSizeL) first = static_cast<uint16_t>(first + 1);
      Immediate(ops[0], size);
      break;
    default:
      break;
  }
}

// fbcc: .w or .l (unsized, .w), from the word after the opcode.
void Encoder::FpuBranch(const Operand& target) {
  EvalResult r = Eval(target);
  int32_t displacement = Distance(r.value, Here(state) + 2);
  if (r.valid && (r.value & 1)) {
    Error("branch target " + Hex(static_cast<uint32_t>(r.value)) + " is at an odd address");
  }
  if (size == kSizeL) {
    words[0] |= 0x0040;
    Long(static_cast<uint32_t>(displacement));
    return;
  }
  if (r.valid && !FitsSigned16(displacement)) {
    Error("branch target is out of range for " + Name() + " (displacement " +
          std::to_string(displacement) + "; .w reaches -32768..32767, write " +
          std::string(form.name) + ".l)");
  }
  Word(static_cast<uint32_t>(displacement));
}

}  // namespace asm68k
