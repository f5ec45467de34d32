// The 68020's extension words: a displacement beyond the 68000's reach
// (d16(An) and d16(pc) past a word, d8(An,Xn) and d8(pc,Xn) past a byte)
// takes the full extension word with a word or long base displacement;
// and the full extension word's own operands as written. An unsized
// displacement takes the shortest form that holds its value; one whose
// value may still change is sized by the relaxation of sizes (relax.h),
// starting from the 68000's form. Also the 32-bit branches' choice.

#include "encoder_words.h"

namespace asm68k {

namespace {

// The full extension word's fixed bit, its suppression bits and the codes
// of its displacement sizes.
constexpr uint16_t kFullFormatBit = 0x0100;
constexpr uint16_t kBaseSuppressedBit = 0x0080;
constexpr uint16_t kIndexSuppressedBit = 0x0040;
constexpr uint16_t kSizeNull = 1, kSizeWord = 2, kSizeLong = 3;

// The index register's fields of an extension word: its number in bits
// 15-12, .l in bit 11, its scale in bits 10-9 (or only the bit that
// suppresses it).
uint16_t IndexFields(const Operand& operand, bool suppressed) {
  if (suppressed) return kIndexSuppressedBit;
  return static_cast<uint16_t>(((operand.indexReg & 15) << 12) | (operand.indexLong ? 0x0800 : 0) |
                               ((operand.indexReg >> 4) << 9));
}

}  // namespace

uint16_t Encoder::WideDisplacement(const Operand& operand, int index, const EvalResult& r) {
  uint8_t chosen;
  if (r.known) {
    chosen = kFarLong;  // a known value that fits a word never comes here
  } else {
    const bool noneAllowed = state.options.zeroDisplacement && (form.Modes(index) & kInd);
    SizedRequest request{SizedKind::DisplacementFar, Slot(index),
                         static_cast<uint8_t>((noneAllowed ? 1u << kFarShort : 0u) |
                                              (1u << kFarWord)),
                         0, 0, 0};
    request.insert = Here(state) + 2u * count;
    chosen = Choose(request, r, operand.expr);
  }
  if (chosen == kFarShort) return static_cast<uint16_t>(0x10 | operand.reg);  // (An)
  if (chosen == kFarWord) {
    CheckDisplacement16(r, r.value);
    Word(static_cast<uint32_t>(r.value));
    return static_cast<uint16_t>(0x28 | operand.reg);
  }
  Word(kFullFormatBit | kIndexSuppressedBit | (kSizeLong << 4));
  Long(static_cast<uint32_t>(r.value));
  return static_cast<uint16_t>(0x30 | operand.reg);
}

uint16_t Encoder::WidePcDisplacement(const Operand& operand, int index, const EvalResult& r) {
  const uint32_t from = Here(state) + 2u * count;
  const int32_t displacement = Distance(r.value, from);
  SizedRequest request{SizedKind::PcDisplacementFar, Slot(index), 1u << kNearWord, 0, from,
                       from + 2};
  if (Choose(request, r, operand.expr) == kNearWord) {
    CheckDisplacement16(r, displacement);
    Word(static_cast<uint32_t>(displacement));
    return 0x3A;
  }
  Word(kFullFormatBit | kIndexSuppressedBit | (kSizeLong << 4));
  Long(static_cast<uint32_t>(displacement));
  return 0x3B;
}

uint16_t Encoder::WideIndex(const Operand& operand, int index, const EvalResult& r) {
  const bool pc = operand.kind == kOpPcIndex;
  const uint32_t from = Here(state) + 2u * count;
  const int32_t displacement = pc ? Distance(r.value, from) : r.value;
  uint8_t chosen;
  if (r.known && !pc) {
    chosen = FitsSigned16(displacement) ? kFarWord : kFarLong;  // past a byte
  } else {
    SizedRequest request{pc ? SizedKind::PcIndexFar : SizedKind::IndexFar, Slot(index),
                         static_cast<uint8_t>((1u << kFarShort) | (1u << kFarWord)), 0, from,
                         from + 2};
    chosen = Choose(request, r, operand.expr);
  }
  const uint16_t mode = pc ? 0x3B : static_cast<uint16_t>(0x30 | operand.reg);
  if (chosen == kFarShort) {
    CheckDisplacement8(r, displacement);
    Word(BriefExtension(operand, displacement));
    return mode;
  }
  const uint16_t extension = static_cast<uint16_t>(kFullFormatBit | IndexFields(operand, false));
  if (chosen == kFarWord) {
    Word(extension | (kSizeWord << 4));
    Word(static_cast<uint32_t>(displacement));
  } else {
    Word(extension | (kSizeLong << 4));
    Long(static_cast<uint32_t>(displacement));
  }
  return mode;
}

uint16_t Encoder::FullDisplacementWords(Expr expr, char written, bool pcRelative, uint32_t from,
                                        uint8_t slot) {
  if (expr.count == 0) return kSizeNull;
  EvalResult r = EvalExpr(expr);
  const int32_t value = pcRelative ? Distance(r.value, from) : r.value;
  const bool mayBeNone = state.options.zeroDisplacement && !pcRelative;
  uint8_t chosen;  // kFarShort (none), kFarWord, kFarLong
  if (written == 'w') {
    chosen = kFarWord;
  } else if (written == 'l') {
    chosen = kFarLong;
  } else if (pcRelative) {
    SizedRequest request{SizedKind::PcFullDisplacement, slot, 1u << kNearWord, 0, from, from + 2};
    chosen = Choose(request, r, expr) == kNearWord ? kFarWord : kFarLong;
  } else if (r.known) {
    chosen = mayBeNone && value == 0 ? kFarShort : FitsSigned16(value) ? kFarWord : kFarLong;
  } else {
    SizedRequest request{SizedKind::FullDisplacement, slot,
                         static_cast<uint8_t>((mayBeNone ? 1u << kFarShort : 0u) |
                                              (1u << kFarWord)),
                         0, 0, 0};
    request.insert = Here(state) + 2u * count;
    chosen = Choose(request, r, expr);
  }
  if (chosen == kFarShort) return kSizeNull;
  if (chosen == kFarWord) {
    CheckDisplacement16(r, value);
    Word(static_cast<uint32_t>(value));
    return kSizeWord;
  }
  Long(static_cast<uint32_t>(value));
  return kSizeLong;
}

uint16_t Encoder::FullExtension(const Operand& operand, int index) {
  const uint16_t features = operand.regMask;
  const bool baseSuppressed = features & kFullBaseSuppressed;
  const bool indexSuppressed = features & kFullIndexSuppressed;
  const bool pc = operand.kind == kOpPcFull;
  uint16_t extension =
      static_cast<uint16_t>(kFullFormatBit | IndexFields(operand, indexSuppressed));
  if (baseSuppressed) extension |= kBaseSuppressedBit;
  const int at = count;
  Word(0);  // the extension word, filled in below
  const uint32_t from = Here(state) + 2u * static_cast<uint32_t>(at);
  // The base displacement counts from the extension word on pc; on zpc,
  // whose pc is suppressed, it is an address.
  extension |= static_cast<uint16_t>(
      FullDisplacementWords(FirstOfTwo(expressions, operand.expr), operand.absSize,
                            pc && !baseSuppressed, from, Slot(index))
      << 4);
  if (features & (kFullPreIndexed | kFullPostIndexed)) {
    char written = (features & kFullOdWord) ? 'w' : (features & kFullOdLong) ? 'l' : 0;
    uint16_t outer = FullDisplacementWords(SecondOfTwo(expressions, operand.expr), written, false,
                                           0, Slot(index, true));
    bool post = (features & kFullPostIndexed) && !indexSuppressed;
    extension |= static_cast<uint16_t>((post ? 4 : 0) | outer);
  }
  words[at] = extension;
  return pc ? 0x3B : static_cast<uint16_t>(0x30 | operand.reg);
}

uint8_t Encoder::FarBranchSize(const EvalResult& r, uint32_t from, const Operand& target) {
  SizedRequest request{SizedKind::BranchFar, 1,
                       static_cast<uint8_t>((state.options.shortBranch ? 1u << kFarShort : 0u) |
                                            (1u << kFarWord)),
                       0, from, from};
  uint8_t chosen = Choose(request, r, target.expr);
  return chosen == kFarShort ? kSizeS : chosen == kFarWord ? kSizeW : kSizeL;
}

}  // namespace asm68k
