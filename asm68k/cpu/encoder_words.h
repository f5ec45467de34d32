#pragma once
// The encoder's workings, shared by the files that build instruction words:
// the 68000's forms (encoder.cpp) and the later processors' (encoder_family.cpp).
// Only the cpu folder includes it.

#include <cstdint>
#include <string>

#include "encoder.h"
#include "messages.h"

namespace asm68k {

inline bool FitsSigned8(int32_t v) { return v >= -128 && v <= 127; }
inline bool FitsSigned16(int32_t v) { return v >= -32768 && v <= 32767; }

inline uint16_t SizeBits(SizeField field, uint8_t size) {
  switch (field) {
    case SizeField::Bits76:
      return size == kSizeB ? 0x0000 : size == kSizeW ? 0x0040 : 0x0080;
    case SizeField::Move:
      return size == kSizeB ? 0x1000 : size == kSizeW ? 0x3000 : 0x2000;
    case SizeField::Bit8:
      return size == kSizeL ? 0x0100 : 0;
    case SizeField::Bit6:
      return size == kSizeL ? 0x0040 : 0;
    case SizeField::Bits109:
      return size == kSizeB ? 0x0000 : size == kSizeW ? 0x0200 : 0x0400;
    case SizeField::Bits109Cas:
      return size == kSizeB ? 0x0200 : size == kSizeW ? 0x0400 : 0x0600;
    case SizeField::None:
      return 0;
  }
  return 0;
}

inline uint16_t ReverseBits(uint16_t mask) {
  uint16_t out = 0;
  for (int i = 0; i < 16; ++i) {
    if (mask & (1u << i)) out = static_cast<uint16_t>(out | (1u << (15 - i)));
  }
  return out;
}

// Builds one instruction's words and reports range errors.
struct Encoder {
  EncodeState& state;
  const ExprPool& expressions;
  const InstructionForm& form;
  uint8_t size;
  bool sizeWritten;
  uint16_t* words;
  int count = 1;
  // An optimisation chose a form from a value that may still change: the
  // instruction's length, and so the addresses after it, may too.
  bool lengthMayChange = false;

  // The form an optimisation takes (see relax.h) from `r`, the value of
  // `expr`: its length may change in a later pass unless the value is
  // known. A value the first pass has not met yet leaves the addresses
  // after it as they are: the pass's end encodes the line again, and only
  // when its form holds (see RedoLaterLines) is that pass the last.
  [[gnu::noinline]] uint8_t Choose(SizedRequest request, const EvalResult& r, Expr expr) {
    uint8_t form = state.calls->ChooseForm(request, r, expr);
    if (r.valid && !r.known && MayStillGrow(request.kind, form)) lengthMayChange = true;
    return form;
  }

  void Word(uint32_t value) { words[count++] = static_cast<uint16_t>(value); }
  void Long(uint32_t value) {
    Word(value >> 16);
    Word(value);
  }

  // The relaxation table's slot of operand `index`'s choice, or of its
  // outer displacement's: in the order a line makes them.
  static uint8_t Slot(int index, bool outer = false) {
    return static_cast<uint8_t>(1 + 2 * index + (outer ? 1 : 0));
  }

  // Whether the chosen processor has the full extension word (68020 and on).
  bool FullFormat() const {
    return (MachineOfIndex(state.options.machineIndex) & kFullFormatMachines) != 0;
  }

  EvalResult EvalExpr(Expr expr) {
    if (const ExprNode* number = NumberAlone(expressions, expr)) {
      EvalResult result;
      result.value = number->value;
      return result;
    }
    return state.calls->EvaluateNamed(expr);
  }

  EvalResult Eval(const Operand& operand) {
    if (const ExprNode* number = NumberAlone(expressions, operand.expr)) {
      EvalResult result;
      result.value = number->value;
      return result;
    }
    return state.calls->EvaluateNamed(operand.expr);
  }

  void Error(std::string text) { state.calls->Error(std::move(text)); }

  std::string Name() const {
    std::string name(form.name);
    if (size != kSizeNone && form.sizes != 0 && (form.sizes & (form.sizes - 1))) {
      name += '.';
      name += SizeLetter(size);
    }
    return name;
  }

  // Signed 32-bit distance from `from` to `target`, as the processor adds it.
  static int32_t Distance(int32_t target, uint32_t from) {
    return static_cast<int32_t>(static_cast<uint32_t>(target) - from);
  }

  void Immediate(const Operand& operand, uint8_t immediateSize) {
    EvalResult r = Eval(operand);
    int32_t v = r.value;
    if (immediateSize == kSizeB) {
      if (r.valid && (v < -128 || v > 255)) {
        Error("immediate value " + std::to_string(v) + " does not fit in a byte (-128..255)");
      }
      Word(static_cast<uint32_t>(v) & 0xFF);
    } else if (immediateSize == kSizeW) {
      if (r.valid && (v < -32768 || v > 65535)) {
        Error("immediate value " + std::to_string(v) + " does not fit in a word (-32768..65535)");
      }
      Word(static_cast<uint32_t>(v));
    } else {
      Long(static_cast<uint32_t>(v));
    }
  }

  // andi, ori, eori to ccr: a byte, in the low half of the extension word
  // (the high half zeros, as for every byte immediate). A word whose high
  // byte is all ones gives its low byte too: the Mega Drive sources write
  // "andi #$FFFE,ccr", a mask of sr's width that keeps the bits above.
  void CcrImmediate(const Operand& operand) {
    EvalResult r = Eval(operand);
    int32_t v = r.value;
    if (r.valid && (v < -128 || v > 255) && (v < 0xFF00 || v > 0xFFFF)) {
      Error("immediate value " + std::to_string(v) +
            " does not fit in a byte (-128..255; to ccr also a word $FF00..$FFFF, "
            "whose low byte is taken)");
    }
    Word(static_cast<uint32_t>(v) & 0xFF);
  }

  uint16_t BriefExtension(const Operand& operand, int32_t displacement) const {
    // The register's number in bits 15-12 (the scale above it falls off the
    // word), its scale in bits 10-9.
    return static_cast<uint16_t>((operand.indexReg << 12) | (operand.indexLong ? 0x0800 : 0) |
                                 ((operand.indexReg >> 4) << 9) |
                                 (static_cast<uint32_t>(displacement) & 0xFF));
  }

  void CheckDisplacement8(const EvalResult& r, int32_t displacement) {
    if (r.valid && !FitsSigned8(displacement)) {
      Error("displacement " + std::to_string(displacement) + " does not fit in 8 bits (-128..127)");
    }
  }

  void CheckDisplacement16(const EvalResult& r, int32_t displacement) {
    if (r.valid && !FitsSigned16(displacement)) {
      Error("displacement " + std::to_string(displacement) +
            " does not fit in 16 bits (-32768..32767)");
    }
  }

  // An unsized absolute address: long for an address (a label's value) or a
  // value not known here; word for a number that fits. With opt op, an
  // address of this section in reach, where the form takes one, is PC
  // relative; with opt ow, any value that fits is a word.
  // The forms are chosen as relax.h says: a value further down may first
  // be guessed PC relative or a word, and grows when it is out of reach.
  uint16_t UnsizedAbsolute(const EvalResult& r, const Operand& operand, int index) {
    const Options& options = state.options;
    const bool pcRelative = options.pcRelative && (form.Modes(index) & kPcDisp);
    const bool plainWord = r.known && !r.IsAddress();  // a word without ow
    uint8_t chosen;
    if (pcRelative || options.absoluteWord) {
      SizedRequest request{SizedKind::Absolute, Slot(index), 0, 0, 0, 0};
      request.allowed = static_cast<uint8_t>((pcRelative ? 1u << kAbsolutePc : 0u) |
                                             (options.absoluteWord || plainWord ? 1u << kAbsoluteWord : 0u));
      request.base = Here(state) + 2u * count;
      request.insert = request.base + 2;
      chosen = Choose(request, r, operand.expr);
    } else {
      chosen = plainWord && FitsSigned16(r.value) ? kAbsoluteWord : kAbsoluteLong;
    }
    if (chosen == kAbsolutePc) {
      Word(static_cast<uint32_t>(Distance(r.value, Here(state) + 2u * count)));
      return 0x3A;
    }
    if (chosen == kAbsoluteLong) {
      Long(static_cast<uint32_t>(r.value));
      return 0x39;
    }
    Word(static_cast<uint32_t>(r.value));
    return 0x38;
  }

  // The 6-bit effective-address field of operand `index`; extension words
  // are appended. `index` is 0 or 1: an address a later operand gives
  // takes the place of a register operand before it (encoder_family.cpp).
  uint16_t Ea(const Operand& operand, int index) {
    switch (operand.kind) {
      case kOpDataReg:
        return operand.reg;
      case kOpAddrReg:
        return static_cast<uint16_t>(0x08 | operand.reg);
      case kOpIndirect:
        return static_cast<uint16_t>(0x10 | operand.reg);
      case kOpPostInc:
        return static_cast<uint16_t>(0x18 | operand.reg);
      case kOpPreDec:
        return static_cast<uint16_t>(0x20 | operand.reg);
      case kOpDisp: {
        EvalResult r = Eval(operand);
        if (!(r.known && FitsSigned16(r.value)) && FullFormat() && operand.absSize == 0) {
          return WideDisplacement(operand, index, r);
        }
        if (state.options.zeroDisplacement && (form.Modes(index) & kInd) &&
            operand.absSize == 0) {  // not (0.w,An), whose size is written
          SizedRequest request{SizedKind::Displacement, Slot(index), 1u << kDisplacementNone, 0,
                               0, 0};
          request.insert = Here(state) + 2u * count;
          if (Choose(request, r, operand.expr) == kDisplacementNone) {
            return static_cast<uint16_t>(0x10 | operand.reg);  // (An)
          }
        }
        CheckDisplacement16(r, r.value);
        Word(static_cast<uint32_t>(r.value));
        return static_cast<uint16_t>(0x28 | operand.reg);
      }
      case kOpIndex: {
        EvalResult r = Eval(operand);
        if (!(r.known && FitsSigned8(r.value)) && FullFormat()) return WideIndex(operand, index, r);
        CheckDisplacement8(r, r.value);
        Word(BriefExtension(operand, r.value));
        return static_cast<uint16_t>(0x30 | operand.reg);
      }
      case kOpAbsolute: {
        EvalResult r = Eval(operand);
        if (operand.absSize == 0) return UnsizedAbsolute(r, operand, index);
        if (operand.absSize == 'l') {
          Long(static_cast<uint32_t>(r.value));
          return 0x39;
        }
        if (r.valid && !FitsSigned16(r.value)) {
          Error("address " + Hex(static_cast<uint32_t>(r.value)) +
                " does not fit in .w (-$8000..$7FFF or $FFFF8000..$FFFFFFFF)");
        }
        Word(static_cast<uint32_t>(r.value));
        return 0x38;
      }
      case kOpPcDisp: {
        EvalResult r = Eval(operand);
        if (FullFormat() && operand.absSize == 0) return WidePcDisplacement(operand, index, r);
        int32_t displacement = Distance(r.value, Here(state) + 2u * count);
        CheckDisplacement16(r, displacement);
        Word(static_cast<uint32_t>(displacement));
        return 0x3A;
      }
      case kOpPcIndex: {
        EvalResult r = Eval(operand);
        if (FullFormat()) return WideIndex(operand, index, r);
        int32_t displacement = Distance(r.value, Here(state) + 2u * count);
        CheckDisplacement8(r, displacement);
        Word(BriefExtension(operand, displacement));
        return 0x3B;
      }
      case kOpImmediate:
        Immediate(operand, size);
        return 0x3C;
      case kOpFull:
      case kOpPcFull:
        return FullExtension(operand, index);
      default:
        return 0;
    }
  }

  // The 68020's extension words (ea_full.cpp): a displacement that the
  // 68000's form cannot hold, and the full extension word as written.
  uint16_t WideDisplacement(const Operand& operand, int index, const EvalResult& r);
  uint16_t WidePcDisplacement(const Operand& operand, int index, const EvalResult& r);
  uint16_t WideIndex(const Operand& operand, int index, const EvalResult& r);
  uint16_t FullExtension(const Operand& operand, int index);
  uint16_t FullDisplacementWords(Expr expr, char written, bool pcRelative, uint32_t from,
                                 uint8_t slot);

  uint16_t Register(const Operand& operand) const { return operand.reg; }

  // A value that goes into opcode bits: checked against [low, high].
  // The message is put together only when it is given: `subject` then `what`.
  int32_t Quick(const Operand& operand, int32_t low, int32_t high, const char* what,
                std::string_view subject = {}) {
    EvalResult r = Eval(operand);
    if (r.valid && (r.value < low || r.value > high)) {
      Error(std::string(subject) + what + ", not " + std::to_string(r.value));
    }
    return r.value;
  }

  void BranchDisplacement(const Operand& target) {
    EvalResult r = Eval(target);
    uint32_t from = Here(state) + 2;
    int32_t displacement = Distance(r.value, from);
    // opt os: an unsized branch in reach of .s takes it (not to the next
    // word, which a displacement of 0 can't say), as relax.h decides.
    if (size == kSizeW && !sizeWritten && form.encoding == Encoding::Branch) {
      if (MachineOfIndex(state.options.machineIndex) & k68020UpCpu32) {
        size = FarBranchSize(r, from, target);
      } else if (state.options.shortBranch) {
        SizedRequest request{SizedKind::Branch, 1, 1u << kBranchShort, 0, from, from};
        if (Choose(request, r, target.expr) == kBranchShort) size = kSizeS;
      }
    }
    if (r.valid && (r.value & 1)) {
      Error("branch target " + Hex(static_cast<uint32_t>(r.value)) + " is at an odd address");
    }
    if (size == kSizeS) {
      if (r.valid && displacement == 0) {
        Error(Name() +
              " cannot branch to the next instruction (a displacement of 0 "
              "means the word form); use " +
              std::string(form.name) + ".w");
      } else if (r.valid && !FitsSigned8(displacement)) {
        Error("branch target is out of range for " + Name() + " (displacement " +
              std::to_string(displacement) + "; .s reaches -128..127)");
      }
      words[0] = static_cast<uint16_t>(words[0] | (static_cast<uint32_t>(displacement) & 0xFF));
      return;
    }
    if (size == kSizeL) {  // the 68020's: $FF in the first word, a long after it
      words[0] = static_cast<uint16_t>(words[0] | 0xFF);
      Long(static_cast<uint32_t>(displacement));
      return;
    }
    if (r.valid && !FitsSigned16(displacement)) {
      Error("branch target is out of range for " + std::string(form.name) + " (displacement " +
            std::to_string(displacement) + "; .w reaches -32768..32767)");
    }
    Word(static_cast<uint32_t>(displacement));
  }

  // An unsized branch on a processor with bcc.l: .s (with opt os), .w or
  // .l, the shortest that reaches (ea_full.cpp).
  uint8_t FarBranchSize(const EvalResult& r, uint32_t from, const Operand& target);

  uint16_t MovemMask(const Operand& list, bool predecrement) const {
    uint16_t mask = list.regMask;
    if (list.kind == kOpDataReg) mask = static_cast<uint16_t>(1u << list.reg);
    if (list.kind == kOpAddrReg) mask = static_cast<uint16_t>(1u << (8 + list.reg));
    // With -(An) the processor reads the mask from a7 down to d0.
    return predecrement ? ReverseBits(mask) : mask;
  }

  int32_t MovepDisplacement(const Operand& operand) {
    EvalResult r = Eval(operand);
    CheckDisplacement16(r, r.value);
    return r.value;
  }

  // The instruction's words for each way a row places its operands (see
  // Encoding): what goes into the opcode word is returned, extension words
  // are appended.

  uint16_t Move(const Operand* ops) {
    uint16_t source = Ea(ops[0], 0);
    uint16_t destination = Ea(ops[1], 1);
    return static_cast<uint16_t>(source | ((destination & 7) << 9) | ((destination >> 3) << 6));
  }

  // andi, ori, eori to ccr (a byte) or sr (a word).
  uint16_t ImmediateToStatus(const Operand* ops) {
    if (size == kSizeB) {
      CcrImmediate(ops[0]);
    } else {
      Immediate(ops[0], size);
    }
    return 0;
  }

  // addq, subq: 1 to 8 in bits 11-9 (8 as 0).
  uint16_t AddQuick(const Operand* ops) {
    int32_t v = Quick(ops[0], 1, 8, " needs a value from 1 to 8", form.name);
    return static_cast<uint16_t>(((v & 7) << 9) | Ea(ops[1], 1));
  }

  uint16_t MoveQuick(const Operand* ops) {
    int32_t v = Quick(ops[0], -128, 127, "moveq needs a value from -128 to 127");
    return static_cast<uint16_t>((v & 0xFF) | (Register(ops[1]) << 9));
  }

  uint16_t ShiftByCount(const Operand* ops) {
    int32_t v = Quick(ops[0], 1, 8, "a shift count is 1 to 8 (use a data register for more)");
    return static_cast<uint16_t>(((v & 7) << 9) | Register(ops[1]));
  }

  // btst, bchg, bclr, bset #n: the bit number in an extension word.
  uint16_t BitByNumber(const Operand* ops) {
    bool onRegister = ops[1].kind == kOpDataReg;
    int32_t v = Quick(ops[0], 0, onRegister ? 31 : 7,
                      onRegister ? "a bit number on a data register is 0 to 31"
                                 : "a bit number in memory is 0 to 7");
    Word(static_cast<uint32_t>(v) & 0xFF);
    return Ea(ops[1], 1);
  }

  uint16_t Link(const Operand* ops) {
    EvalResult r = Eval(ops[1]);
    if (!FitsSigned16(r.value) && r.known && !sizeWritten &&
        (MachineOfIndex(state.options.machineIndex) & k68020UpCpu32)) {
      words[0] = 0x4808;  // link.l: a number known here that a word can't hold
      Long(static_cast<uint32_t>(r.value));
      return Register(ops[0]);
    }
    CheckDisplacement16(r, r.value);
    Word(static_cast<uint32_t>(r.value));
    return Register(ops[0]);
  }

  uint16_t Trap(const Operand* ops) {
    return static_cast<uint16_t>(Quick(ops[0], 0, 15, "trap needs a vector from 0 to 15") & 15);
  }

  // movem: the register list's mask word, then the memory operand (-(An)
  // only as the destination, which reverses the mask).
  uint16_t Movem(const Operand& list, const Operand& memory, int memoryIndex) {
    Word(MovemMask(list, memoryIndex == 1 && memory.kind == kOpPreDec));
    return Ea(memory, memoryIndex);
  }

  // movep: the data register in bits 11-9, d16(An)'s register and displacement.
  uint16_t Movep(const Operand& data, const Operand& memory) {
    uint16_t fields = static_cast<uint16_t>((Register(data) << 9) | memory.reg);
    Word(static_cast<uint32_t>(MovepDisplacement(memory)));
    return fields;
  }

  // Two registers: `high` in bits 11-9, `low` in bits 2-0.
  uint16_t Registers(const Operand& high, const Operand& low) const {
    return static_cast<uint16_t>((Register(high) << 9) | Register(low));
  }

  // A data or address register in bits 15-12 of a second word (movec, moves).
  static uint16_t GeneralRegister(const Operand& general) {
    uint16_t number = static_cast<uint16_t>(general.reg << 12);
    return general.kind == kOpAddrReg ? static_cast<uint16_t>(number | 0x8000) : number;
  }

  // movec: the general register, and the control register's number below it.
  void ControlMove(const Operand& general, const Operand& control) {
    Word(GeneralRegister(general) |
         (control.kind == kOpUsp ? 0x800 : ControlRegisterAt(control.reg).code));
  }

  // The forms of the later processors (encoder_family.cpp): fills in the
  // first word and appends the others, as Encode does.
  void EncodeLater(const Operand* ops);
  // The system instructions of the 68030, 68040, 68060 and CPU32
  // (encoder_system.cpp): false for another encoding.
  bool EncodeSystem(const Operand* ops);
  uint16_t FunctionCode(const Operand& operand);
  uint16_t ExtensionThenEa(uint16_t extension, const Operand& ea, int index);

  // The FPU's forms (encoder_fpu.cpp), as EncodeLater.
  void EncodeFpu(const Operand* ops);
  void FpuImmediate(const Operand& operand);
  uint16_t FpuSourceFields(const Operand& source, int index);
  void FpuStoreFields(const Operand* ops);
  void FpuControl(const Operand& list, const Operand& other, int otherIndex);
  void FpuMovem(const Operand& list, const Operand& memory, int memoryIndex);
  void FpuBranch(const Operand& target);

  int Encode(const Operand* ops) {
    uint16_t& first = words[0];
    first = static_cast<uint16_t>(form.opcode | SizeBits(form.sizeField, size));
    switch (form.encoding) {
      case Encoding::Fixed:
        break;
      case Encoding::Ea:
        first |= Ea(ops[0], 0);
        break;
      case Encoding::EaDst:
        first |= Ea(ops[1], 1);
        break;
      case Encoding::EaReg9:
        first |= static_cast<uint16_t>(Ea(ops[0], 0) | (Register(ops[1]) << 9));
        break;
      case Encoding::Reg9Ea:
        first |= static_cast<uint16_t>((Register(ops[0]) << 9) | Ea(ops[1], 1));
        break;
      case Encoding::Move:
        first |= Move(ops);
        break;
      case Encoding::ImmEa:
        Immediate(ops[0], size);
        first |= Ea(ops[1], 1);
        break;
      case Encoding::ImmFixed:
        first |= ImmediateToStatus(ops);
        break;
      case Encoding::Quick:
        first |= AddQuick(ops);
        break;
      case Encoding::Moveq:
        first |= MoveQuick(ops);
        break;
      case Encoding::ShiftImm:
        first |= ShiftByCount(ops);
        break;
      case Encoding::ShiftReg:
      case Encoding::Exg:
        first |= Registers(ops[0], ops[1]);
        break;
      case Encoding::RegXY:
      case Encoding::ExgSwap:
        first |= Registers(ops[1], ops[0]);
        break;
      case Encoding::BitImm:
        first |= BitByNumber(ops);
        break;
      case Encoding::Branch:
        BranchDisplacement(ops[0]);
        break;
      case Encoding::Dbcc:
        first |= Register(ops[0]);
        BranchDisplacement(ops[1]);
        break;
      case Encoding::Reg0:
        first |= Register(ops[0]);
        break;
      case Encoding::Reg0Dst:
        first |= Register(ops[1]);
        break;
      case Encoding::Link:
        first |= Link(ops);
        break;
      case Encoding::Trap:
        first |= Trap(ops);
        break;
      case Encoding::Stop:
        Immediate(ops[0], kSizeW);
        break;
      case Encoding::MovemToMem:
        first |= Movem(ops[0], ops[1], 1);
        break;
      case Encoding::MovemToReg:
        first |= Movem(ops[1], ops[0], 0);
        break;
      case Encoding::MovepToReg:
        first |= Movep(ops[1], ops[0]);
        break;
      case Encoding::MovepToMem:
        first |= Movep(ops[0], ops[1]);
        break;
      default:  // the later processors' forms
        EncodeLater(ops);
        break;
    }
    return count;
  }
};


}  // namespace asm68k
