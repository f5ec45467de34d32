// Names that only some mnemonics' operands read as registers (movec's
// control registers, pmove's MMU registers, the caches of cinv and cpush):
// anywhere else they are labels, as on the 68000. The other operands of
// those mnemonics are read as any is.

#include "operands.h"

namespace asm68k {

namespace {

// The whole operand as one name, in lower case; empty when it is none.
std::string LowerName(TextRange text) {
  text = Trimmed(text);
  if (text.begin == text.end || !IsIdentStart(*text.begin)) return std::string();
  for (const char* p = text.begin + 1; p < text.end; ++p) {
    if (!IsIdentChar(*p)) return std::string();
  }
  return ToLowerCopy(ViewOf(text));
}

}  // namespace

bool ParseSpecialOperand(std::string_view mnemonic, FormRange forms, int index,
                         TextRange written, ExprParser& parser, Operand& out,
                         std::string& error) {
  // The kinds the operand may be, in any of the mnemonic's rows.
  uint32_t kinds = 0;
  for (uint16_t k = 0; k < forms.count; ++k) {
    kinds |= FormAt(static_cast<uint16_t>(forms.first + k)).Modes(index);
  }
  std::string name = LowerName(written);
  out = Operand();
  if (!name.empty() && (kinds & kCtrlReg)) {
    int found = FindControlRegister(name);
    if (found >= 0) {
      const ControlRegister& reg = ControlRegisterAt(found);
      const uint16_t machine = MachineOfIndex(parser.machineIndex);
      if (!(reg.machines & machine)) {
        error = "the control register " + name + " needs " + MachinesNeeded(reg.machines, machine);
        return false;
      }
      out.kind = kOpCtrlReg;
      out.reg = static_cast<uint8_t>(found);
      return true;
    }
  }
  // The system instructions' names of their own.
  if (!name.empty() && (kinds & kMmuReg)) {
    int found = FindMmuRegister(name);
    if (found >= 0) {
      out.kind = kOpMmuReg;
      out.reg = static_cast<uint8_t>(found);
      return true;
    }
  }
  if (!name.empty() && (kinds & kCache)) {
    int found = FindCache(name);
    if (found >= 0) {
      out.kind = kOpCache;
      out.reg = static_cast<uint8_t>(found);
      return true;
    }
  }
  TextRange shown = Trimmed(written);
  if (kinds == kCache) {
    error = std::string(mnemonic) + " names the caches nc, dc, ic or bc, not '" +
            std::string(shown.begin, static_cast<size_t>(shown.end - shown.begin)) + "'";
    return false;
  }
  if ((kinds & kBitField) && shown.begin < shown.end && *shown.begin == '{') {
    return ParseBitField(shown, parser, out, error);
  }
  int reg = name.empty() ? kRegNone : RegisterFromName(name);
  // A mnemonic whose operands may be more than registers reads the others
  // as any line's are.
  constexpr uint32_t kRegisterKinds = kDn | kAn | kUsp | kSr | kCcr | kCtrlReg;
  // So is one that no row takes (the count's message says why).
  if (kinds == 0 ||
      (!(reg >= 0 && reg <= kRegUsp && reg != kRegPc) && (kinds & ~kRegisterKinds))) {
    return ParseOperandApart(written, parser, out, error) ||
           ParseLaterOperand(written, parser, out, error);
  }
  if (reg >= 0 && reg < 8) {
    out.kind = kOpDataReg;
    out.reg = static_cast<uint8_t>(reg);
  } else if (reg >= 8 && reg < 16) {
    out.kind = kOpAddrReg;
    out.reg = static_cast<uint8_t>(reg - 8);
  } else if (reg == kRegUsp || reg == kRegSr || reg == kRegCcr) {
    out.kind = reg == kRegUsp ? kOpUsp : reg == kRegSr ? kOpSr : kOpCcr;
  } else {
    error = std::string(mnemonic) + " takes registers, not '" +
            std::string(shown.begin, static_cast<size_t>(shown.end - shown.begin)) + "'";
    return false;
  }
  return true;
}

}  // namespace asm68k
