// The FPU's choices where GNU as differs from the processor manuals or
// refuses the form (the differential test checks the rest against it), and
// what a processor without the FPU says.

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

using asm68k_test::ExpectErrors;
using asm68k_test::ExpectWords;

TEST(Fpu, ChoicesOfItsOwn) {
  ExpectWords({
      // Extended precision as the FPU reads it: exponent, 16 zero bits, the
      // mantissa with its integer bit. Packed decimal converted too.
      {"machine 68020\n fpu 1\n fadd.x #1.5,fp0\n fadd.p #-2.5e-3,fp1",
       {0xF23C, 0x4822, 0x3FFF, 0x0000, 0xC000, 0, 0, 0,
        0xF23C, 0x4CA2, 0xC003, 0x0002, 0x5000, 0, 0, 0}},
      // Ties to even (16777217 is halfway between two singles), and #0r.
      {"mc68881\n machine 68030\n fadd.s #16777217.0,fp0\n fmul.s #0r2.5,fp2",
       {0xF23C, 0x4422, 0x4B80, 0x0000, 0xF23C, 0x4523, 0x4020, 0x0000}},
      // Unsized: .x, but .l from a data register; fmove.p without a k-factor
      // is {#0}; a 68040 has its FPU without fpu 1.
      {"opt p=68020/68881\n fadd fp0,fp1\n fadd d0,fp1\n fabs fp3\n fmove.p fp0,(a0)",
       {0xF200, 0x00A2, 0xF200, 0x40A2, 0xF200, 0x0D98, 0xF210, 0x6C00}},
      {"machine 68040\n fsadd fp0,fp1\n fbeq.w *", {0xF200, 0x00E2, 0xF281, 0xFFFE}},
      // Integers in a floating-point format are bits, as GNU as places them.
      {"machine 68020\n fpu 1\n fadd.d #-1,fp0\n fadd.s #1,fp0",
       {0xF23C, 0x5422, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xF23C, 0x4422, 0x0000, 0x0001}},
      // The 68020's memory indirect forms are the FPU's addresses too, and a
      // register pair and a bit field's braces keep their own mnemonics.
      {"machine 68030\n fpu 1\n fmove.x ([a0]),fp0\n fmove.p fp0,(a0){#3}\n bfextu d0{1:8},d1",
       {0xF230, 0x4800, 0x0151, 0xF210, 0x6C03, 0xE9C0, 0x1048}},
      // Outside the FPU's lines its register names are labels.
      {"fp0 equ 4\n machine 68020\n fpu 1\n moveq #fp0,d0\n fmove.l d0,fp0", {0x7004, 0xF200, 0x4000}},
  });
}

TEST(Fpu, WhatItRefuses) {
  ExpectErrors({
      {"fadd.x fp0,fp1", "fadd needs a 68020 or later with the FPU: machine 68020, fpu 1"},
      {"machine 68030\n fsqrt.x fp0", "fsqrt needs the FPU: fpu 1"},
      {"machine cpu32\n fpu 1\n fnop", "fnop needs a 68020 or later with the FPU"},
      {"mc68881\n machine 68020\n fsadd.x fp0,fp1", "fsadd needs a 68040 or later: machine 68040"},
      {"mc68881\n machine 68020\n fadd.d d0,fp0", "fadd.d is not possible with these operands"},
      {"mc68881\n machine 68020\n fmove.l a0,fpcr", "only to or from fpiar"},
      {"mc68881\n machine 68020\n fmovem.l #1,fpcr/fpsr", "several control registers only to or from memory"},
      {"mc68881\n machine 68020\n fmove.x fp0,(a0){#3}", "follows only the destination of fmove.p"},
      {"mc68881\n machine 68020\n fmove.p fp0,(a0){#64}", "a k-factor is {#k}"},
      {"mc68881\n machine 68020\n fadd.s #1e39,fp0", "'1e39' is beyond the largest value of .s"},
      {"mc68881\n machine 68020\n fadd.l #1.5,fp0", "a floating-point literal needs .s, .d, .x or .p"},
      {"mc68881\n machine 68020\n fmovem.x fp3-fp1,(a0)", "'fp3-fp1' in a floating-point register list"},
      {"mc68881\n machine 68020\n fbeq *+$10000", "write fbeq.l"},
      {"mc68881\n machine 68020\n fmovecr #1.5,fp0", "not a floating-point literal"},
      {"mc68881\n machine 68020\n fadd.q fp0,fp1", "sizes are .b, .w, .l, .s, .d, .x and .p"},
  });
}

}  // namespace
