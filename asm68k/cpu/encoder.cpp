#include "encoder.h"

#include <initializer_list>

#include "messages.h"

namespace asm68k {

namespace {

bool FitsSigned8(int32_t v) { return v >= -128 && v <= 127; }
bool FitsSigned16(int32_t v) { return v >= -32768 && v <= 32767; }

std::string SizeList(std::string_view name, uint8_t sizes) {
  std::string names[4];
  int count = 0;
  for (uint8_t size : {kSizeS, kSizeB, kSizeW, kSizeL}) {
    if (sizes & size) names[count++] = std::string(name) + '.' + SizeLetter(size);
  }
  std::string out;
  for (int i = 0; i < count; ++i) {
    if (i > 0) out += i == count - 1 ? " or " : ", ";
    out += names[i];
  }
  return out;
}

std::string CountWords(int count) {
  switch (count) {
    case 0:
      return "no operands";
    case 1:
      return "one operand";
    default:
      return "two operands";
  }
}

uint8_t EffectiveSize(const InstructionForm& form, uint8_t writtenSize) {
  uint8_t size = writtenSize != kSizeNone ? writtenSize : form.defaultSize;
  if (form.encoding == Encoding::Branch && size == kSizeB) size = kSizeS;
  return size;
}

bool ModesFit(const InstructionForm& form, const Operand* operands, int count) {
  for (int i = 0; i < count; ++i) {
    if (!(form.modes[i] & ModeBit(operands[i].kind))) return false;
  }
  return true;
}

bool UsesAddressRegister(const Operand* operands, int count) {
  for (int i = 0; i < count; ++i) {
    if (operands[i].kind == kOpAddrReg) return true;
  }
  return false;
}

uint16_t SizeBits(SizeField field, uint8_t size) {
  switch (field) {
    case SizeField::Bits76:
      return size == kSizeB ? 0x0000 : size == kSizeW ? 0x0040 : 0x0080;
    case SizeField::Move:
      return size == kSizeB ? 0x1000 : size == kSizeW ? 0x3000 : 0x2000;
    case SizeField::Bit8:
      return size == kSizeL ? 0x0100 : 0;
    case SizeField::Bit6:
      return size == kSizeL ? 0x0040 : 0;
    case SizeField::None:
      return 0;
  }
  return 0;
}

uint16_t ReverseBits(uint16_t mask) {
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
    return static_cast<uint16_t>((operand.indexReg << 12) | (operand.indexLong ? 0x0800 : 0) |
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
    const bool pcRelative = options.pcRelative && (form.modes[index] & kPcDisp);
    const bool plainWord = r.known && !r.IsAddress();  // a word without ow
    uint8_t chosen;
    if (pcRelative || options.absoluteWord) {
      SizedRequest request{SizedKind::Absolute, static_cast<uint8_t>(1 + index), 0, 0, 0, 0};
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
  // are appended.
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
        if (state.options.zeroDisplacement && (form.modes[index] & kInd)) {
          SizedRequest request{SizedKind::Displacement, static_cast<uint8_t>(1 + index),
                               1u << kDisplacementNone, 0, 0, 0};
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
        int32_t displacement = Distance(r.value, Here(state) + 2u * count);
        CheckDisplacement16(r, displacement);
        Word(static_cast<uint32_t>(displacement));
        return 0x3A;
      }
      case kOpPcIndex: {
        EvalResult r = Eval(operand);
        int32_t displacement = Distance(r.value, Here(state) + 2u * count);
        CheckDisplacement8(r, displacement);
        Word(BriefExtension(operand, displacement));
        return 0x3B;
      }
      case kOpImmediate:
        Immediate(operand, size);
        return 0x3C;
      default:
        return 0;
    }
  }

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
    if (size == kSizeW && !sizeWritten && form.encoding == Encoding::Branch &&
        state.options.shortBranch) {
      SizedRequest request{SizedKind::Branch, 1, 1u << kBranchShort, 0, from, from};
      if (Choose(request, r, target.expr) == kBranchShort) size = kSizeS;
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
    if (r.valid && !FitsSigned16(displacement)) {
      Error("branch target is out of range for " + std::string(form.name) + " (displacement " +
            std::to_string(displacement) + "; .w reaches -32768..32767)");
    }
    Word(static_cast<uint32_t>(displacement));
  }

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
    }
    return count;
  }
};

}  // namespace

char SizeLetter(uint8_t size) {
  switch (size) {
    case kSizeB:
      return 'b';
    case kSizeW:
      return 'w';
    case kSizeL:
      return 'l';
    case kSizeS:
      return 's';
    default:
      return '?';
  }
}

namespace {

// Why no row takes the operands, or (for a form only a closer look finds)
// the row that does. Kept out of line, so that the common path, inlined
// where a line is parsed, carries none of it.
[[gnu::noinline]] bool MatchFormClosely(std::string_view name, FormRange forms,
                                        uint8_t writtenSize, const Operand* operands, int count,
                                        uint16_t& form, uint8_t& size, std::string& error);

}  // namespace

bool MatchForm(std::string_view name, FormRange forms, uint8_t writtenSize, const Operand* operands,
               int count, uint16_t& form, uint8_t& size, std::string& error) {
  // Most lines are well formed: the first row that takes them, as the full
  // search below would choose it, without building what an error would say.
  for (uint16_t i = 0; i < forms.count; ++i) {
    uint16_t index = static_cast<uint16_t>(forms.first + i);
    const InstructionForm& row = FormAt(index);
    if (row.operandCount != count || !ModesFit(row, operands, count)) continue;
    if (writtenSize != kSizeNone && !(row.sizes & writtenSize)) continue;
    uint8_t effective = EffectiveSize(row, writtenSize);
    if ((row.flags & kByteNoAn) && effective == kSizeB && UsesAddressRegister(operands, count)) {
      continue;
    }
    if ((row.encoding == Encoding::Branch || row.encoding == Encoding::Dbcc) &&
        operands[count - 1].absSize != 0) {
      break;
    }
    form = index;
    size = effective;
    return true;
  }
  return MatchFormClosely(name, forms, writtenSize, operands, count, form, size, error);
}

namespace {

// What the rows of one mnemonic take, all together.
struct RowsTake {
  uint8_t sizes = 0;
  bool counts[3] = {false, false, false};  // of operands
  bool branch = false;
};

RowsTake WhatRowsTake(FormRange forms) {
  RowsTake take;
  for (uint16_t i = 0; i < forms.count; ++i) {
    const InstructionForm& row = FormAt(static_cast<uint16_t>(forms.first + i));
    take.sizes |= row.sizes;
    take.counts[row.operandCount] = true;
    take.branch = take.branch || row.encoding == Encoding::Branch;
  }
  return take;
}

// Why no row takes the size written.
std::string SizeError(std::string_view name, const RowsTake& take, uint8_t writtenSize) {
  std::string shownName(name);
  if (take.sizes == 0) return shownName + " takes no size";
  if (writtenSize == kSizeS) {
    return shownName + ".s does not exist: only branches have .s; use " +
           SizeList(name, take.sizes);
  }
  if (take.branch && writtenSize == kSizeL) {
    return shownName + ".l needs a 68020; the 68000 has " + shownName + ".s and " + shownName +
           ".w";
  }
  return shownName + '.' + SizeLetter(writtenSize) + " does not exist on the 68000; use " +
         SizeList(name, take.sizes);
}

// Why no row takes `count` operands.
std::string CountError(std::string_view name, const RowsTake& take, int count) {
  std::string error(name);
  if (take.counts[1] && take.counts[2]) {
    error += " takes one or two operands";
  } else {
    error += " takes " + CountWords(take.counts[0] ? 0 : take.counts[1] ? 1 : 2);
  }
  if (count > 2) error += ", not " + std::to_string(count);
  return error;
}

// Why no row takes the operands' modes: names the operand that no row accepts.
std::string ModeError(std::string_view name, FormRange forms, const Operand* operands, int count) {
  int culprit = count - 1;
  if (count == 2) {
    bool sourceFits = false;
    for (uint16_t i = 0; i < forms.count; ++i) {
      const InstructionForm& row = FormAt(static_cast<uint16_t>(forms.first + i));
      if (row.operandCount == 2 && (row.modes[0] & ModeBit(operands[0].kind))) sourceFits = true;
    }
    culprit = sourceFits ? 1 : 0;
  }
  OperandKind kind = operands[culprit].kind;
  std::string error = std::string(name) + " cannot take " + std::string(OperandKindName(kind));
  if (count == 2) error += culprit == 0 ? " as source" : " as destination";
  std::string_view hint = ModeHint(name, culprit, kind, count);
  if (!hint.empty()) {
    error += "; ";
    error += hint;
  }
  return error;
}

bool MatchFormClosely(std::string_view name, FormRange forms, uint8_t writtenSize,
                      const Operand* operands, int count, uint16_t& form, uint8_t& size,
                      std::string& error) {
  std::string shownName(name);
  const RowsTake take = WhatRowsTake(forms);
  if (writtenSize != kSizeNone && !(take.sizes & writtenSize)) {
    error = SizeError(name, take, writtenSize);
    return false;
  }
  if (count > 2 || !take.counts[count]) {
    error = CountError(name, take, count);
    return false;
  }
  const InstructionForm* modesOnly = nullptr;
  bool byteAddressRegister = false;
  for (uint16_t i = 0; i < forms.count; ++i) {
    uint16_t index = static_cast<uint16_t>(forms.first + i);
    const InstructionForm& row = FormAt(index);
    if (row.operandCount != count || !ModesFit(row, operands, count)) continue;
    uint8_t effective = EffectiveSize(row, writtenSize);
    bool sizeFits = writtenSize == kSizeNone || (row.sizes & writtenSize);
    if (sizeFits && (row.flags & kByteNoAn) && effective == kSizeB &&
        UsesAddressRegister(operands, count)) {
      byteAddressRegister = true;
      sizeFits = false;
    }
    if (!sizeFits) {
      if (!modesOnly) modesOnly = &row;
      continue;
    }
    // A branch target is an address; the size belongs on the branch.
    if (row.encoding == Encoding::Branch || row.encoding == Encoding::Dbcc) {
      const Operand& target = operands[count - 1];
      if (target.absSize != 0) {
        error =
            "the target of " + shownName + " takes no size; " +
            (row.encoding == Encoding::Branch ? "write " + shownName + ".s or " + shownName + ".w"
                                              : std::string("it is always a word displacement"));
        return false;
      }
    }
    form = index;
    size = effective;
    return true;
  }

  if (byteAddressRegister ||
      (modesOnly && writtenSize == kSizeB && UsesAddressRegister(operands, count))) {
    error = shownName + ".b cannot use an address register; address registers take .w or .l";
    return false;
  }
  if (modesOnly) {
    error = shownName + '.' + SizeLetter(writtenSize) +
            " is not possible with these operands; use " + SizeList(name, modesOnly->sizes);
    return false;
  }

  error = ModeError(name, forms, operands, count);
  return false;
}

}  // namespace

int EncodeInstruction(EncodeState& state, const ExprPool& expressions, const InstructionForm& form,
                      uint8_t size, bool sizeWritten, const Operand* operands, uint16_t* words,
                      bool& lengthMayChange) {
  Encoder encoder{state, expressions, form, size, sizeWritten, words};
  int count = encoder.Encode(operands);
  lengthMayChange = encoder.lengthMayChange;
  return count;
}

namespace {

// The first row of the mnemonic `name` (one the table holds).
uint16_t FirstRow(std::string_view name) {
  uint16_t row = 0;
  while (FormAt(row).name != name) ++row;
  return row;
}

bool NameIs(const InstructionForm& form, std::initializer_list<std::string_view> names) {
  for (std::string_view name : names) {
    if (form.name == name) return true;
  }
  return false;
}

}  // namespace

uint16_t QuickForm(EncodeState& state, const ExprPool& expressions, uint16_t row, uint8_t size,
                   const Operand* operands, int count, bool& lengthMayChange) {
  const InstructionForm& form = FormAt(row);
  const Options& options = state.options;
  if (count != 2 || operands[0].kind != kOpImmediate) return row;
  bool toMoveq = options.moveq && size == kSizeL && operands[1].kind == kOpDataReg &&
                 NameIs(form, {"move"});
  bool toAddq = options.addq && NameIs(form, {"add", "addi", "adda"});
  bool toSubq = options.subq && NameIs(form, {"sub", "subi", "suba"});
  if (!toMoveq && !toAddq && !toSubq) return row;
  static const uint16_t kMoveq = FirstRow("moveq"), kAddq = FirstRow("addq"),
                        kSubq = FirstRow("subq");
  uint16_t quick;
  SizedRequest request{SizedKind::Quick, 0, 1u << kQuickForm, 0, 0, 0};
  request.insert = Here(state) + 2;
  if (toMoveq) {
    quick = kMoveq;
    request.low = -128;
    request.high = 127;
    request.growth = 4;  // move.l's immediate
  } else {
    quick = toAddq ? kAddq : kSubq;
    const InstructionForm& q = FormAt(quick);
    if (!(q.modes[1] & ModeBit(operands[1].kind)) ||
        (size == kSizeB && operands[1].kind == kOpAddrReg)) {
      return row;
    }
    request.low = 1;
    request.high = 8;
    request.growth = size == kSizeL ? 4 : 2;  // the written form's immediate
  }
  // As relax.h decides: a value further down is first guessed to fit.
  EvalResult r = Encoder{state, expressions, form, size, false, nullptr}.Eval(operands[0]);
  uint8_t chosen = state.calls->ChooseForm(request, r, operands[0].expr);
  if (r.valid && !r.known && MayStillGrow(request.kind, chosen)) lengthMayChange = true;  // as Encoder::Choose
  return chosen == kQuickForm ? quick : row;
}

}  // namespace asm68k
