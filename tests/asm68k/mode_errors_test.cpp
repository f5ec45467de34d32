// Operands and sizes the 68000 does not have: each is an error that names
// the instruction and the mode, never a silent substitute.

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

using asm68k_test::ExpectErrors;

TEST(ModeErrors, DestinationModes) {
  ExpectErrors({
      {"addi.b #1,a0", "addi.b cannot use an address register; address registers take .w or .l"},
      {"andi.w #1,a0", "andi cannot take an address register as destination"},
      {"move.w d0,#1", "move cannot take an immediate value as destination"},
      {"move.w d0,4(pc)", "move cannot take d16(pc) as destination"},
      {"cmpi.w #1,4(pc)", "cmpi cannot take d16(pc) as destination"},
      {"lea (a0),d0",
       "lea cannot take a data register as destination; lea loads an address register"},
      {"moveq #1,a0", "moveq cannot take an address register as destination"},
      {"add.w d0,#1", "add cannot take an immediate value as destination"},
      {"eor.w d0,a0", "eor cannot take an address register as destination"},
      {"clr.w a0", "clr cannot take an address register"},
      {"tst.w a0", "tst cannot take an address register"},
      {"tst.w #1", "tst cannot take an immediate value"},
      {"tst.w 4(pc)", "tst cannot take d16(pc)"},
      {"not.l (pc,d0.w)", "not cannot take d8(pc,Xn)"},
      {"bset d0,4(pc)", "bset cannot take d16(pc) as destination"},
      {"btst #1,#2", "btst cannot take an immediate value as destination"},
      {"movem.l d0,(a0)+", "movem cannot take (An)+ as destination"},
      {"movem.l -(a0),d0", "movem cannot take -(An) as source"},
      {"move.l usp,d0", "move cannot take a data register as destination"},
      {"addx.w d0,(a0)", "addx cannot take (An) as destination"},
      {"movep.w d0,(a0)",
       "movep cannot take (An) as destination; movep needs d16(An); write 0(An)"},
      {"movep.l (a0),d0", "movep cannot take (An) as source; movep needs d16(An)"},
      {"scc a0", "scc cannot take an address register"},
  });
}

TEST(ModeErrors, SourceModes) {
  ExpectErrors({
      {"and.w a0,d0", "and cannot take an address register as source"},
      {"or.l a1,d1", "or cannot take an address register as source"},
      {"eor.w (a0),d0",
       "eor cannot take (An) as source; eor takes its source from a data register"},
      {"lea d0,a0", "lea cannot take a data register as source"},
      {"lea (a0)+,a1", "lea cannot take (An)+ as source"},
      {"pea -(a0)", "pea cannot take -(An)"},
      {"jmp d0", "jmp cannot take a data register"},
      {"jsr (a0)+", "jsr cannot take (An)+"},
      {"muls a0,d0", "muls cannot take an address register as source"},
      {"chk a0,d0", "chk cannot take an address register as source"},
      {"move.w usp,a0", "move.w is not possible with these operands; use move.l"},
      {"abcd d0,-(a1)", "abcd cannot take -(An) as destination"},
      {"exg d0,(a0)", "exg cannot take (An) as destination"},
      {"bra (a0)", "bra cannot take (An); use jmp"},
      {"bsr d0", "bsr cannot take a data register; use jsr"},
      {"bra #4", "bra cannot take an immediate value"},
      {"dbra a0,*", "dbra cannot take an address register as source"},
      {"lsl a0", "lsl cannot take an address register"},
      {"asl.w #1,(a0)", "asl cannot take (An) as destination"},
      {"move.w ccr,d0", "move cannot take ccr as source"},  // move from ccr is a 68010 instruction
  });
}

TEST(ModeErrors, ByteAccessToAddressRegisters) {
  ExpectErrors({
      {"move.b d0,a0", "move.b cannot use an address register; address registers take .w or .l"},
      {"move.b a0,d0", "move.b cannot use an address register"},
      {"add.b a0,d0", "add.b cannot use an address register"},
      {"cmp.b a0,d0", "cmp.b cannot use an address register"},
      {"addq.b #1,a0", "addq.b cannot use an address register"},
      {"subq.b #1,a0", "subq.b cannot use an address register"},
      {"movea.b d0,a0", "movea.b does not exist on the 68000; use movea.w or movea.l"},
  });
}

TEST(ModeErrors, Sizes) {
  ExpectErrors({
      {"move.s d0,d1", "move.s does not exist: only branches have .s"},
      {"bra.l *", "bra.l needs a 68020; the 68000 has bra.s and bra.w"},
      {"beq.l *", "beq.l needs a 68020"},
      {"muls.l d0,d1", "muls.l does not exist on the 68000; use muls.w"},
      {"divu.l d0,d1", "divu.l does not exist on the 68000; use divu.w"},
      {"ext.b d0", "ext.b does not exist on the 68000; use ext.w or ext.l"},
      {"link.l a6,#0", "link.l does not exist on the 68000; use link.w"},
      {"chk.l d0,d1", "chk.l does not exist on the 68000; use chk.w"},
      {"lea.w (a0),a1", "lea.w does not exist on the 68000; use lea.l"},
      {"moveq.b #1,d0", "moveq.b does not exist on the 68000; use moveq.l"},
      {"swap.l d0", "swap.l does not exist on the 68000; use swap.w"},
      {"dbra.l d0,*", "dbra.l"},
      {"rts.w", "rts takes no size"},
      {"nop.l", "nop takes no size"},
      {"jmp.l (a0)", "jmp takes no size"},
      {"btst.l #1,(a0)", "btst.l is not possible with these operands; use btst.b"},
      {"bset.b d0,d1", "bset.b is not possible with these operands; use bset.l"},
      {"asl.l (a0)", "asl.l is not possible with these operands; use asl.w"},
      {"andi.w #1,ccr", "andi.w is not possible with these operands; use andi.b"},
      {"move.b d0,sr", "move.b is not possible with these operands; use move.w"},
      {"move.q d0,d1", "unknown size '.q' on move"},
      {"bra.s (a0)", "bra cannot take (An)"},
      {"bra label.w\nlabel: nop", "the target of bra takes no size"},
      {"org.w 0", "org takes no size"},
      {"dc.s 1", "dc.s does not exist"},
  });
}

TEST(ModeErrors, OperandCounts) {
  ExpectErrors({
      {"move.l d0", "move takes two operands"},
      {"swap d0,d1", "swap takes one operand"},
      {"asl", "asl takes one or two operands"},
      {"move d0,d1,d2", "move takes at most two operands, not 3"},
      {"move d0,", "missing operand after ','"},
      {"move ,d0", "missing operand before ','"},
  });
}

TEST(ModeErrors, OperandSyntax) {
  ExpectErrors({
      {"move.w (d0),d1", "(d0) is not an addressing mode"},
      {"move.w 4(d0),d1", "d0 cannot be a base register; use an address register"},
      {"move.w (4,d0),d1", "d0 cannot be a base register"},
      {"move.w (a0,d0*2),d1", "a scaled index needs a 68020"},
      {"move.w (a0,d0.b),d1", "an index register is .w or .l"},
      {"move.w (4,a0,d0.b),d1", "an index register is .w or .l"},
      {"move.w 4(a0,d0.b),d1", "an index register is .w or .l"},
      {"move.w (1+,a0),d1", "missing value at the end of the expression"},
      {"move.w 4(pc)x,d0", "unexpected 'x' in operand"},
      {"move.w $1234.b,d0", "an absolute address is .w or .l"},
      {"move.w (a0,4),d1", "the index must be a data or address register"},
      {"move.w -(d0),d1", "predecrement needs an address register, not d0"},
      {"move.w (a0,d0,d1),d1", "expected (displacement,An) or (displacement,An,Xn)"},
      {"move.w (pc),d0", "(pc) needs a target; write label(pc)"},
      {"move.w pc,d0", "pc alone is not an operand"},
      {"move.w d0.w,d1", "a size after d0 belongs only to an index register"},
      {"movem.l d0-pc,-(sp)", "a register range ends in a data or address register, not 'pc'"},
      {"move.w (a0,d1.w,d2)", "expected"},
      {"move.w 4(a0,d1.w,d2),d0", "expected (An) or (An,Xn) after the displacement"},
      {"move.w (a0)x,d0", "unexpected 'x' in operand"},
      {"move.w ((a0),d0", "missing ')'"},
      {"pea 1()", "empty parentheses in operand"},
      {"move.w d0+1,d1", "register d0 cannot be used as a value here"},
  });
}

}  // namespace
