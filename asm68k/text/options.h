#pragma once
// The options a source switches with opt (and the command line's /o), from
// their line on: how its lines read, and the optimisations of its code.

#include <cstddef>
#include <cstdint>

namespace asm68k {

// What the opt directive switches, from its line on.
struct Options {
  bool caseSensitive = false;     // c+: labels and equates match only as written
  bool blanksInOperands = false;  // ws+: blanks belong to the operand field; comments need ';'
  bool autoEven = true;           // ae+: a pad byte before an instruction or word data at an odd address
  bool warnings = true;           // w+
  bool atStartsLocal = true;      // l@ (l-): '@' starts a local label too; l. (l+): a global one
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
    return (caseSensitive ? 1 : 0) | (blanksInOperands ? 2 : 0) | (atStartsLocal ? 4 : 0);
  }
};

// Options in two bytes, for records that a long source keeps many of.
class PackedOptions {
 public:
  PackedOptions() = default;
  explicit PackedOptions(const Options& options) {
    for (size_t i = 0; i < kCount; ++i) {
      if (options.*kFlags[i]) bits_ = static_cast<uint16_t>(bits_ | (1u << i));
    }
  }
  Options Unpacked() const {
    Options options;
    for (size_t i = 0; i < kCount; ++i) options.*kFlags[i] = (bits_ >> i) & 1;
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
  // Every option is a flag, and every flag is listed above.
  static_assert(sizeof(Options) == kCount, "an option is missing from PackedOptions");
  uint16_t bits_ = 0;
};

}  // namespace asm68k
