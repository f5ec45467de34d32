// Choosing the instruction table row that takes a line's operands, once,
// while the line is read; and, when none does, the message that says why in
// the user's terms, naming the processor that has the form when another does.

#include <initializer_list>

#include "encoder.h"

namespace asm68k {

namespace {

std::string SizeList(std::string_view name, uint8_t sizes) {
  std::string names[7];
  int count = 0;
  for (uint8_t size : {kSizeS, kSizeB, kSizeW, kSizeL, kSizeD, kSizeX, kSizeP}) {
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
    case 2:
      return "two operands";
    case 3:
      return "three operands";
    default:
      return "four operands";
  }
}

uint8_t EffectiveSize(const InstructionForm& form, uint8_t writtenSize) {
  uint8_t size = writtenSize != kSizeNone ? writtenSize : form.defaultSize;
  if (form.encoding == Encoding::Branch && size == kSizeB) size = kSizeS;
  return size;
}

// For the common path, whose lines have at most two operands.
bool ModesFit(const InstructionForm& form, const Operand* operands, int count) {
  for (int i = 0; i < count; ++i) {
    if (!(form.modes[i] & ModeBit(operands[i].kind))) return false;
  }
  return true;
}

// For any line.
bool AllModesFit(const InstructionForm& form, const Operand* operands, int count) {
  for (int i = 0; i < count; ++i) {
    if (!(form.Modes(i) & ModeBit(operands[i].kind))) return false;
  }
  return true;
}

bool UsesAddressRegister(const Operand* operands, int count) {
  for (int i = 0; i < count; ++i) {
    if (operands[i].kind == kOpAddrReg) return true;
  }
  return false;
}

// "the 68000", "the CPU32": the chosen processor, as messages name it.
std::string TheProcessor(uint16_t machine) {
  Cpu cpu = CpuOf(machine);
  return cpu == kCpu32 ? "the CPU32" : "the " + std::string(CpuName(cpu));
}

}  // namespace

bool FindForm(FormRange forms, uint8_t writtenSize, const Operand* operands, int count,
              uint16_t& form, uint8_t& size) {
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
  return false;
}

namespace {

// What the rows of one mnemonic take, all together.
struct RowsTake {
  uint8_t sizes = 0;
  bool counts[kMaxOperands + 1] = {};  // of operands
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
std::string SizeError(std::string_view name, const RowsTake& take, uint8_t writtenSize,
                      uint16_t machine) {
  std::string shownName(name);
  if (take.sizes == 0) return shownName + " takes no size";
  if (writtenSize == kSizeS) {
    return shownName + ".s does not exist: only branches have .s; use " +
           SizeList(name, take.sizes);
  }
  if (take.branch && writtenSize == kSizeL) {
    return shownName + ".l needs a 68020; " + TheProcessor(machine) + " has " + shownName +
           ".s and " + shownName + ".w";
  }
  return shownName + '.' + SizeLetter(writtenSize) + " does not exist on " +
         TheProcessor(machine) + "; use " + SizeList(name, take.sizes);
}

// Why no row takes `count` operands: "takes one or two operands", "takes
// three or four operands", "takes no operands".
std::string CountError(std::string_view name, const RowsTake& take, int count) {
  int taken = 0;
  for (int n = 1; n <= kMaxOperands; ++n) taken += take.counts[n];
  std::string list = take.counts[0] ? CountWords(0) + (taken > 0 ? " or " : "") : std::string();
  int seen = 0;
  for (int n = 1; n <= kMaxOperands; ++n) {
    if (!take.counts[n]) continue;
    ++seen;
    std::string words = CountWords(n);
    // Each count but the last without its noun: "two or three operands".
    if (seen < taken) words.erase(words.find(' '));
    if (seen > 1) list += seen == taken ? " or " : ", ";
    list += words;
  }
  std::string error = std::string(name) + " takes " + list;
  if (count > 2) error += ", not " + std::to_string(count);
  return error;
}

// Why no row takes the operands' modes: names the operand that no row accepts.
std::string ModeError(std::string_view name, FormRange forms, const Operand* operands, int count,
                      bool& advised) {
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
    advised = true;
    error += "; ";
    error += hint;
  }
  return error;
}

// The row of the chosen machine's `forms` that takes the operands, or
// (false) why none does.
// `advised` is set when the message says what to write instead.
bool ChooseOnMachine(std::string_view name, FormRange forms, uint16_t machine,
                     uint8_t writtenSize, const Operand* operands, int count, uint16_t& form,
                     uint8_t& size, std::string& error, bool& advised) {
  std::string shownName(name);
  const RowsTake take = WhatRowsTake(forms);
  if (writtenSize != kSizeNone && !(take.sizes & writtenSize)) {
    error = SizeError(name, take, writtenSize, machine);
    advised = true;  // it names the sizes to write
    return false;
  }
  if (count > kMaxOperands || !take.counts[count]) {
    error = CountError(name, take, count);
    return false;
  }
  const InstructionForm* modesOnly = nullptr;
  bool byteAddressRegister = false;
  for (uint16_t i = 0; i < forms.count; ++i) {
    uint16_t index = static_cast<uint16_t>(forms.first + i);
    const InstructionForm& row = FormAt(index);
    if (row.operandCount != count || !AllModesFit(row, operands, count)) continue;
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

  error = ModeError(name, forms, operands, count, advised);
  return false;
}

// Whether the row takes the operands at the size written, as the common
// path chooses a row.
bool RowTakes(const InstructionForm& row, uint8_t writtenSize, const Operand* operands,
              int count) {
  if (row.operandCount != count || !AllModesFit(row, operands, count)) return false;
  if (writtenSize != kSizeNone && !(row.sizes & writtenSize)) return false;
  return !((row.flags & kByteNoAn) && EffectiveSize(row, writtenSize) == kSizeB &&
           UsesAddressRegister(operands, count));
}

}  // namespace

bool MatchFormClosely(std::string_view name, FormRange forms, uint8_t writtenSize,
                      const Operand* operands, int count, const MachineChoice& machine,
                      uint16_t& form, uint8_t& size, std::string& error) {
  const uint16_t bit = MachineOfIndex(machine.index);
  bool advised = false;
  if (ChooseOnMachine(name, forms, bit, writtenSize, operands, count, form, size, error,
                      advised)) {
    return true;
  }
  // Another processor's row may take them: the message says which, unless
  // it already says what to write (a hint, or bcc.l's processor).
  if (advised) return false;
  FormRange every = machine.everyMachine(name);
  for (uint16_t i = 0; i < every.count; ++i) {
    const InstructionForm& row = FormAt(static_cast<uint16_t>(every.first + i));
    if (!(row.machines & bit) && RowTakes(row, writtenSize, operands, count)) {
      error += "; " + MachinesHave(row.machines, bit);
      break;
    }
  }
  return false;
}

}  // namespace asm68k
