#pragma once
// The options a source switches with opt (and the command line's /o), from
// their line on: how its lines read, and the optimisations of its code.

#include <cstddef>
#include <cstdint>

namespace asm68k {

// What the opt directive switches, from its line on.
struct Options {
  // The four a line's parse reads come first, side by side, as the line
  // parse's own record has them: one copy takes them all.
  bool caseSensitive = false;     // c+: labels and equates match only as written
  bool blanksInOperands = false;  // ws+: blanks belong to the operand field; comments need ';'
  bool atStartsLocal = true;      // l@ (l-): '@' starts a local label too; l. (l+): a global one
  // The processor (machine, opt p=) and whether the FPU is there (fpu), as
  // one number: 0 is the plain 68000 (cpu/cpu.h chooses and reads it).
  uint8_t machineIndex = 0;
  bool autoEven = true;           // ae+: a pad byte before an instruction or word data at an odd address
  bool warnings = true;           // w+
  // Optimisations: the shorter form that does the same, where the source
  // leaves the choice open.
  bool moveq = false;             // omq: move.l #-128..127,Dn is moveq
  bool addq = false;              // oaq: add, addi, adda #1..8 is addq
  bool subq = false;              // osq: sub, subi, suba #1..8 is subq
  bool zeroDisplacement = false;  // oz: 0(An) is (An)
  bool absoluteWord = false;      // ow: an unsized address that fits a word is .w
  bool pcRelative = false;        // op: an unsized address in this section is d16(pc)
  bool shortBranch = false;       // os: an unsized branch in reach is .s
  bool localSymbols = false;      // v+: local names go into the symbol file

  // The options a line's parse depends on: a parse made under others is made again.
  uint8_t ParseMode() const {
    return static_cast<uint8_t>((caseSensitive ? 1 : 0) | (blanksInOperands ? 2 : 0) |
                                (atStartsLocal ? 4 : 0) | (machineIndex << 3));
  }
};

// Options in three bytes, for records that a long source keeps many of: a
// bit for each flag, and the machine.
class PackedOptions {
 public:
  PackedOptions() = default;
  explicit PackedOptions(const Options& options) {
    for (size_t i = 0; i < kCount; ++i) {
      if (options.*kFlags[i]) bits_ = static_cast<uint16_t>(bits_ | (1u << i));
    }
    machineIndex_ = options.machineIndex;
  }
  Options Unpacked() const {
    Options options;
    for (size_t i = 0; i < kCount; ++i) options.*kFlags[i] = (bits_ >> i) & 1;
    options.machineIndex = machineIndex_;
    return options;
  }

 private:
  static constexpr bool Options::*kFlags[] = {
      &Options::caseSensitive, &Options::blanksInOperands, &Options::autoEven,
      &Options::warnings,      &Options::moveq,            &Options::addq,
      &Options::subq,          &Options::zeroDisplacement, &Options::absoluteWord,
      &Options::pcRelative,    &Options::shortBranch,      &Options::localSymbols,
      &Options::atStartsLocal};
  static constexpr size_t kCount = sizeof(kFlags) / sizeof(kFlags[0]);
  // Every option but the machine is a flag, and every flag is listed above.
  static_assert(sizeof(Options) == kCount + 1, "an option is missing from PackedOptions");
  uint16_t bits_ = 0;
  uint8_t machineIndex_ = 0;
};

}  // namespace asm68k
