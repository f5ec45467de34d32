// Every range the 68000 or the language imposes, probed on both sides of
// each limit: the last value that assembles and the first that is an error.

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

using asm68k_test::ExpectErrors;
using asm68k_test::ExpectWords;

TEST(Ranges, QuickValues) {
  ExpectWords({
      {"addq.w #1,d0", {0x5240}},
      {"addq.w #8,d0", {0x5040}},
      {"subq.l #1,d1", {0x5381}},
      {"subq.l #8,d1", {0x5181}},
      {"moveq #127,d0", {0x707F}},
      {"moveq #-128,d0", {0x7080}},
      {"asl.w #1,d0", {0xE340}},
      {"lsr.l #8,d0", {0xE088}},
      {"trap #0", {0x4E40}},
      {"trap #15", {0x4E4F}},
  });
  ExpectErrors({
      {"addq.w #0,d0", "addq needs a value from 1 to 8, not 0"},
      {"addq.w #9,d0", "addq needs a value from 1 to 8, not 9"},
      {"subq.b #0,d0", "subq needs a value from 1 to 8, not 0"},
      {"subq.b #9,d0", "subq needs a value from 1 to 8, not 9"},
      {"moveq #128,d0", "moveq needs a value from -128 to 127, not 128"},
      {"moveq #-129,d0", "moveq needs a value from -128 to 127, not -129"},
      {"moveq #255,d0", "moveq needs a value from -128 to 127, not 255"},
      {"asl.w #0,d0", "a shift count is 1 to 8"},
      {"ror.l #9,d0", "a shift count is 1 to 8"},
      {"trap #16", "trap needs a vector from 0 to 15, not 16"},
      {"trap #-1", "trap needs a vector from 0 to 15, not -1"},
  });
}

TEST(Ranges, Immediates) {
  ExpectWords({
      {"move.b #255,d0", {0x103C, 0x00FF}},
      {"move.b #-128,d0", {0x103C, 0x0080}},  // high byte 00
      {"move.b #-1,d0", {0x103C, 0x00FF}},
      {"move.w #65535,d0", {0x303C, 0xFFFF}},
      {"move.w #-32768,d0", {0x303C, 0x8000}},
      {"move.l #$ffffffff,d0", {0x203C, 0xFFFF, 0xFFFF}},
      {"move.l #-2147483648,d0", {0x203C, 0x8000, 0x0000}},
      {"andi #255,ccr", {0x023C, 0x00FF}},
      {"andi #65535,sr", {0x027C, 0xFFFF}},
      {"stop #65535", {0x4E72, 0xFFFF}},
      {"stop #-32768", {0x4E72, 0x8000}},
  });
  ExpectErrors({
      {"move.b #256,d0", "immediate value 256 does not fit in a byte (-128..255)"},
      {"move.b #-129,d0", "immediate value -129 does not fit in a byte"},
      {"addi.b #300,(a0)", "does not fit in a byte"},
      {"move.w #65536,d0", "immediate value 65536 does not fit in a word (-32768..65535)"},
      {"move.w #-32769,d0", "immediate value -32769 does not fit in a word"},
      {"andi #256,ccr", "does not fit in a byte"},
      {"ori #65536,sr", "does not fit in a word"},
      {"stop #65536", "does not fit in a word"},
      {"move.l #4294967296,d0", "number is too large for 32 bits"},  // in hex: its low 32 bits, warned
  });
}

TEST(Ranges, DataDirectives) {
  ExpectWords({
      {"dc.b 255,-128\n even", {0xFF80}},
      {"dc.w 65535,-32768", {0xFFFF, 0x8000}},
      {"dc.l $ffffffff,-2147483648", {0xFFFF, 0xFFFF, 0x8000, 0x0000}},
      {"dcb.b 2,255", {0xFFFF}},
      {"dcb.w 1,-32768", {0x8000}},
  });
  ExpectErrors({
      {"dc.b 256", "dc.b value 256 does not fit in a byte (-128..255)"},
      {"dc.b -129", "dc.b value -129 does not fit in a byte"},
      {"dc.w 65536", "dc.w value 65536 does not fit in a word (-32768..65535)"},
      {"dc.w -32769", "dc.w value -32769 does not fit in a word"},
      {"dcb.b 1,256", "dcb.b value 256 does not fit in a byte"},
      {"dcb.w 1,65536", "dcb.w value 65536 does not fit in a word"},
      {"ds.b -1", "ds.b count cannot be negative"},
  });
}

TEST(Ranges, AbsoluteWordAddresses) {
  ExpectWords({
      {"move.w $7fff.w,d0", {0x3038, 0x7FFF}},
      {"move.w -$8000.w,d0", {0x3038, 0x8000}},
      {"move.w $ffff8000.w,d0", {0x3038, 0x8000}},
      {"move.w $ffffffff.w,d0", {0x3038, 0xFFFF}},
      {"move.w $8000.l,d0", {0x3039, 0x0000, 0x8000}},
  });
  ExpectErrors({
      {"move.w $8000.w,d0", "address $8000 does not fit in .w"},
      {"move.w $ffff7fff.w,d0", "address $FFFF7FFF does not fit in .w"},
      {"jmp ($10000).w", "address $10000 does not fit in .w"},
  });
}

TEST(Ranges, BitNumbers) {
  ExpectWords({
      {"btst #0,(a0)", {0x0810, 0x0000}},
      {"bset #7,(a0)", {0x08D0, 0x0007}},
      {"bclr #31,d0", {0x0880, 0x001F}},
      {"bchg #0,d0", {0x0840, 0x0000}},
  });
  ExpectErrors({
      {"btst #8,(a0)", "a bit number in memory is 0 to 7, not 8"},
      {"bset #-1,(a0)", "a bit number in memory is 0 to 7, not -1"},
      {"bclr #32,d0", "a bit number on a data register is 0 to 31, not 32"},
  });
}

TEST(Ranges, Displacements) {
  ExpectWords({
      {"move.w 32767(a0),d0", {0x3028, 0x7FFF}},
      {"move.w -32768(a0),d0", {0x3028, 0x8000}},
      {"move.w 127(a0,d0.w),d0", {0x3030, 0x007F}},
      {"move.w -128(a0,a0.l),d0", {0x3030, 0x8880}},
      {"link a6,#-32768", {0x4E56, 0x8000}},
      {"link a6,#32767", {0x4E56, 0x7FFF}},
      {"movep.w 32767(a0),d0", {0x0108, 0x7FFF}},
      {"lea *+32769(pc),a0", {0x41FA, 0x7FFF}},
      {"lea *-32766(pc),a0", {0x41FA, 0x8000}},
      {"lea *+129(pc,d0.w),a0", {0x41FB, 0x007F}},
      {"lea *-126(pc,d0.w),a0", {0x41FB, 0x0080}},
  });
  ExpectErrors({
      {"move.w 32768(a0),d0", "displacement 32768 does not fit in 16 bits (-32768..32767)"},
      {"move.w -32769(a0),d0", "displacement -32769 does not fit in 16 bits"},
      {"move.w 128(a0,d0.w),d0", "displacement 128 does not fit in 8 bits (-128..127)"},
      {"move.w -129(a0,d0.w),d0", "displacement -129 does not fit in 8 bits"},
      {"link a6,#32768", "displacement 32768 does not fit in 16 bits"},
      {"movep.w -32769(a0),d0", "does not fit in 16 bits"},
      {"lea *+32770(pc),a0", "displacement 32768 does not fit in 16 bits"},
      {"lea *-32767(pc),a0", "displacement -32769 does not fit in 16 bits"},
      {"lea *+130(pc,d0.w),a0", "displacement 128 does not fit in 8 bits"},
      {"lea *-127(pc,d0.w),a0", "displacement -129 does not fit in 8 bits"},
  });
}

TEST(Ranges, Branches) {
  ExpectWords({
      {"bra.s *+128", {0x607E}},
      {"bra.s *-126", {0x6080}},
      {"bra.w *+32768", {0x6000, 0x7FFE}},
      {"bra.w *-32766", {0x6000, 0x8000}},
      {"dbra d0,*+32768", {0x51C8, 0x7FFE}},
      {"dbra d0,*-32766", {0x51C8, 0x8000}},
      {"bra *+2", {0x6000, 0x0000}},  // the word form may branch to the next word
  });
  ExpectErrors({
      {"bra.s *+130", "out of range for bra.s (displacement 128; .s reaches -128..127)"},
      {"bra.s *-128", "out of range for bra.s (displacement -130"},
      {"bra.w *+32770", "out of range for bra (displacement 32768; .w reaches -32768..32767)"},
      {"beq *-32768", "out of range for beq (displacement -32770"},
      {"dbra d0,*+32770", "out of range for dbra"},
      {"bra.s *+2", "bra.s cannot branch to the next instruction"},
      {"bne.s next\nnext: nop", "bne.s cannot branch to the next instruction"},
      {"bra *+3", "branch target $3 is at an odd address"},
  });
}

}  // namespace
