#include "encoder.h"

#include <initializer_list>

#include "encoder_words.h"

namespace asm68k {

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
    case kSizeD:
      return 'd';
    case kSizeX:
      return 'x';
    case kSizeP:
      return 'p';
    default:
      return '?';
  }
}

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
