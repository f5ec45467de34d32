// The 68000's successors: choosing the processor, and what each one adds.
// Every encoding here was checked against GNU as for that processor.

#include <gtest/gtest.h>

#include "operation_names.h"
#include "test_support.h"

namespace {

using asm68k_test::ExpectErrors;
using asm68k_test::ExpectWords;

TEST(Family, TheCpuIsChosenFromALineOn) {
  ExpectWords({
      {"machine 68010\n rtd #4\n bkpt #3\n move.w ccr,d0\n move ccr,(a0)",
       {0x4E74, 0x0004, 0x484B, 0x42C0, 0x42D0}},
      {"machine mc68010\n movec vbr,d0\n movec d1,sfc\n movec a2,usp\n movec usp,a3",
       {0x4E7A, 0x0801, 0x4E7B, 0x1000, 0x4E7B, 0xA800, 0x4E7A, 0xB800}},
      // moves: the register word comes before the address's own words.
      {"machine 68010\n moves.l d1,(4,a3)\n moves.w (a2)+,a1\n moves (a0),d1",
       {0x0EAB, 0x1800, 0x0004, 0x0E5A, 0x9000, 0x0E50, 0x1000}},
      {"machine cpu32\n extb.l d0\n extb d7", {0x49C0, 0x49C7}},
      {"opt p=68020/68881\n movec cacr,d0\n move.w (4,a0,d0*4),d1\n move.w 4(a0,d1.l*8),d1",
       {0x4E7A, 0x0002, 0x3230, 0x0404, 0x3230, 0x1E04}},
      {"mc68040\n movec itt0,d0\n machine cpu32\n move.w (*,pc,d0*2),d1",
       {0x4E7A, 0x0004, 0x323B, 0x02FE}},
      // pusho and popo keep the choice with the other options.
      {"machine 68020\n pusho\n machine 68000\n popo\n move.w (a0,d0*2),d1", {0x3230, 0x0200}},
      // On the 68000, a later processor's mnemonic may name a macro.
      {"macro rtd\n dc.w 1\n endm\n rtd", {1}},
  });
}

TEST(Family, WhatTheChosenCpuLacksNamesTheFirstThatHasIt) {
  ExpectErrors({
      {"rtd #4", "rtd needs a 68010 or later: machine 68010"},
      {"machine 68010\n extb.l d0", "extb needs a 68020 or later: machine 68020"},
      {"move.w ccr,d0", "move cannot take ccr as source; a 68010 or later has it: machine 68010"},
      {"machine 68010\n movec cacr,d0",
       "the control register cacr needs a 68020 or later: machine 68020"},
      {"machine 68060\n movec caar,d0", "the control register caar needs a 68020: machine 68020"},
      {"machine 68010\n move.w (a0,d0*2),d1", "a scaled index needs a 68020 or later"},
      {"machine 68020\n move.w (a0,d0*3),d1", "an index is scaled by 1, 2, 4 or 8, not '3'"},
      {"machine 68090", "machine takes 68000, 68010, 68020, 68030, 68040, 68060 or cpu32"},
  });
}

}  // namespace
