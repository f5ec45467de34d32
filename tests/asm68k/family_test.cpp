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

// The full extension word's choices that GNU as makes otherwise (the
// differential test checks the rest): sizes from values further down,
// a written .l kept, a written zero kept unless opt oz.
TEST(Family, TheFullExtensionWordsSizesSettle) {
  ExpectWords({
      {"machine 68020\n move.w (fwd,a0,d0),d1\nfwd equ 1000", {0x3230, 0x0120, 0x03E8}},
      {"machine 68020\n move.w (fwd,a0,d0),d1\nfwd equ 100", {0x3230, 0x0064}},
      {"machine 68020\n move.w (fwd,a0),d1\nfwd equ 100000", {0x3230, 0x0170, 0x0001, 0x86A0}},
      {"machine 68020\n move.w (fwd,pc),d1\nfwd equ *+40000",
       {0x323B, 0x0170, 0x0000, 0x9C46}},
      {"machine 68020\n move.w (1000.l,a0),d1", {0x3230, 0x0170, 0x0000, 0x03E8}},
      {"machine 68020\n move.w ([0,a0],0),d1", {0x3230, 0x0162, 0x0000, 0x0000}},
      {"machine 68020\n opt oz+\n move.w ([0,a0],fwd),d1\nfwd equ 0", {0x3230, 0x0151}},
      // An unsized branch grows to .l out of a word's reach, from .s with opt os.
      {"machine 68020\n opt os+\n bra x\n bra y\nx: nop\ny equ *+40000",
       {0x6006, 0x60FF, 0x0000, 0x9C46, 0x4E71}},
      // Unused fields hold 0; one register divides into itself; an unsized
      // trapcc with an operand is .w.
      {"machine 68020\n muls.l d0,d1\n divu.l d0,d1\n trapeq #1",
       {0x4C00, 0x1800, 0x4C40, 0x1001, 0x57FA, 1}},
      // Two operands' displacements, each grown on its own.
      {"machine 68020\n move.l ([fwd,a0],fwd),(fwd,a1,d0)\nfwd equ 70000",
       {0x23B0, 0x0173, 0x0001, 0x1170, 0x0001, 0x1170, 0x0130, 0x0001, 0x1170}},
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
      {"move.w ([a0],d0),d1", "([bd,An],Xn,od) needs a 68020 or later: machine 68020"},
      {"machine cpu32\n chk.l (a0),d1", "chk.l does not exist on the CPU32; use chk.w"},
      {"machine 68010\n bra.l *", "bra.l needs a 68020; the 68010 has bra.s and bra.w"},
      {"cmpi.w #1,(*,pc)", "cmpi cannot take d16(pc) as destination; a 68020 or later has it"},
      {"machine 68030\n callm #1,(a0)", "callm needs a 68020: machine 68020"},
      {"machine cpu32\n bftst d0{0:8}", "bftst needs a 68020 or later: machine 68020"},
      {"machine 68020\n bfextu (a0){0:33},d0", "a bit field's width is 1 to 32"},
      {"machine 68020\n bfextu (a0),d0", "bfextu takes three operands"},
      {"machine 68020\n mulu.l d0,a1:d2", "mulu takes a pair of data registers"},
      {"machine cpu32\n move.w (za0,d0),d1", "(bd,An,Xn) needs a 68020 or later: machine 68020"},
      {"machine cpu32\n move.w 1000(a0,d0),d1", "displacement 1000 does not fit in 8 bits"},
      {"machine 68020\n move.w (100000.w,a0),d1", "displacement 100000 does not fit in 16 bits"},
  });
}

}  // namespace
