// Instruction encodings, one family at a time. Every expected word comes
// from the 68000 opcode tables: the comments show the bit fields.

#include <gtest/gtest.h>

#include <cctype>

#include "directive_table.h"
#include "instruction_table.h"
#include "operation_names.h"
#include "test_support.h"

namespace {

using asm68k_test::Assemble;
using asm68k_test::ExpectWords;
using asm68k_test::Indent;
using asm68k_test::Words;

TEST(Instructions, MoveSizesAndModes) {
  // 00 ss DDD MMM mmm rrr with ss = 01 byte, 11 word, 10 long.
  ExpectWords({
      {"move.b d1,d2", {0x1401}},
      {"move.w d0,d1", {0x3200}},
      {"move d0,d1", {0x3200}},  // unsized is .w
      {"move.l d7,d0", {0x2007}},
      {"move.l a0,d0", {0x2008}},
      {"move.w (a0),(a1)", {0x3290}},
      {"move.b (a0)+,-(a1)", {0x1318}},
      {"move.l -(a2),(a3)+", {0x26E2}},
      {"move.w 4(a0),8(a1)", {0x3368, 0x0004, 0x0008}},
      {"move.w (4,a0),(8,a1)", {0x3368, 0x0004, 0x0008}},
      {"move.w 8(a1,d2.w),d0", {0x3031, 0x2008}},
      {"move.w 8(a1,d2),d0", {0x3031, 0x2008}},  // index without size is .w
      {"move.l -2(a0,a3.l),d0", {0x2030, 0xB8FE}},
      {"move.l (-2,a0,a3.l),d0", {0x2030, 0xB8FE}},
      {"move.w (a0,d1.l),d2", {0x3430, 0x1800}},
      {"move.w d0,$1234.w", {0x31C0, 0x1234}},
      {"move.w d0,($1234).w", {0x31C0, 0x1234}},
      {"move.w d0,$12345678.l", {0x33C0, 0x1234, 0x5678}},
      {"move.w d0,($1234).l", {0x33C0, 0x0000, 0x1234}},
      {"move.l $1234.w,d0", {0x2038, 0x1234}},
      {"move.b #$12,d0", {0x103C, 0x0012}},
      {"move.w #$1234,d0", {0x303C, 0x1234}},
      {"move.l #$12345678,$12345678.l", {0x23FC, 0x1234, 0x5678, 0x1234, 0x5678}},
      {"move.w *+10(pc),d0", {0x303A, 0x0008}},
      {"move.w (*+10,pc),d0", {0x303A, 0x0008}},
      {"move.w *(pc,d1.w),d0", {0x303B, 0x10FE}},
      {"move.l (sp)+,(a0)+", {0x20DF}},
      {"MOVE.L D0,D1", {0x2200}},  // mnemonics and registers ignore case
      {"move.b (SP),D3", {0x1617}},
      {"move.w (a7)+,-(SP)", {0x3F1F}},
      {"move.w ( a0 ),d1", {0x3210}},               // blanks inside the parentheses
      {"a8 equ $10\n move.w (a8),a8", {0x31F8, 0x0010, 0x0010}},  // a8 is no register
      {"move.w 8(a1,SP.L),d0", {0x3031, 0xF808}},
      {"move.w 8(a1,D2.W),d0", {0x3031, 0x2008}},
      {"move.w (*+10,PC),d0", {0x303A, 0x0008}},
      {"move.w *(Pc,d1.w),d0", {0x303B, 0x10FE}},
      {"move.w ( 4,a0),d0", {0x3028, 0x0004}},    // a blank before the displacement
      {"move.w ((2+2),a0),d0", {0x3028, 0x0004}},  // a parenthesis in the displacement
      {"a8 equ 4\n move.w (a8,a0),d0", {0x3028, 0x0004}},  // a8 is a displacement
      {"x equ 4\n move.w (x +2,a0),d0", {0x3028, 0x0006}},  // a name, a blank, more
      {"move.w (4,a0, d1),d2", {0x3430, 0x1004}},
  });
}

TEST(Instructions, MoveToAndFromSpecialRegisters) {
  ExpectWords({
      {"move sr,d0", {0x40C0}},
      {"move.w sr,(a0)", {0x40D0}},
      {"move d0,ccr", {0x44C0}},
      {"move #0,ccr", {0x44FC, 0x0000}},
      {"move d0,sr", {0x46C0}},
      {"move #$2700,sr", {0x46FC, 0x2700}},
      {"move.l a0,usp", {0x4E60}},
      {"move usp,a6", {0x4E6E}},
  });
}

TEST(Instructions, MoveaMoveqMovep) {
  ExpectWords({
      {"movea.w d0,a1", {0x3240}},
      {"movea.l (a0),a2", {0x2450}},
      {"move.l d0,a1", {0x2240}},  // move to An is movea
      {"move.w #1,a0", {0x307C, 0x0001}},
      {"move.l #1,d0", {0x203C, 0x0000, 0x0001}},  // never turned into moveq
      {"moveq #1,d0", {0x7001}},
      {"moveq.l #-1,d7", {0x7EFF}},
      {"moveq #127,d0", {0x707F}},
      {"moveq #-128,d3", {0x7680}},
      // 0000 ddd 1 ooo 001 aaa: opmode 100/101 to a register, 110/111 to memory.
      {"movep.w 4(a0),d1", {0x0308, 0x0004}},
      {"movep.l 4(a0),d1", {0x0348, 0x0004}},
      {"movep.w d2,0(a1)", {0x0589, 0x0000}},
      {"movep.l d2,-6(a3)", {0x05CB, 0xFFFA}},
  });
}

TEST(Instructions, Movem) {
  // 0100 1d00 1s ea, then the mask; with -(An) the mask runs a7..d0.
  ExpectWords({
      {"movem.l d0-d7/a0-a6,-(sp)", {0x48E7, 0xFFFE}},
      {"movem.l (sp)+,d0-d7/a0-a6", {0x4CDF, 0x7FFF}},
      {"movem.l (sp)+,a6-a0/d7-d0", {0x4CDF, 0x7FFF}},  // ranges written high to low
      {"movem.l d0-a6,-(sp)", {0x48E7, 0xFFFE}},         // d0-d7 and a0-a6
      {"movem.l (sp)+,d0-7/a0-6", {0x4CDF, 0x7FFF}},     // short for d0-d7/a0-a6
      {"movem.w d0/a1,(a2)", {0x4892, 0x0201}},
      {"movem d0/a1,(a2)", {0x4892, 0x0201}},
      {"movem.w 4(a0),d0-d1", {0x4CA8, 0x0003, 0x0004}},
      {"movem.l d0,-(a7)", {0x48E7, 0x8000}},
      {"movem.l a0,(a1)", {0x48D1, 0x0100}},
      {"movem.l d1/d0/d1,-(a0)", {0x48E0, 0xC000}},
      {"movem.l $1234.w,a0-a1", {0x4CF8, 0x0300, 0x1234}},
      {"movem.w *+10(pc),d2", {0x4CBA, 0x0004, 0x0006}},
  });
}

TEST(Instructions, AddFamily) {
  ExpectWords({
      // 1101 rrr ooo ea: opmode 0ss ea->Dn, 1ss Dn->ea.
      {"add.b d0,d1", {0xD200}},
      {"add.w (a0),d1", {0xD250}},
      {"add.l 4(a1),d7", {0xDEA9, 0x0004}},
      {"add.w a0,d1", {0xD248}},
      {"add.l d1,(a0)", {0xD390}},
      {"add.b d2,-(a3)", {0xD523}},
      // Immediate source: addi; address register destination: adda.
      {"add.w #1,d0", {0x0640, 0x0001}},
      {"add.l #1,(a0)", {0x0690, 0x0000, 0x0001}},
      {"add.w #1,a0", {0xD0FC, 0x0001}},
      {"add.l #1,a0", {0xD1FC, 0x0000, 0x0001}},
      {"adda.w d0,a1", {0xD2C0}},
      {"adda.l a2,a3", {0xD7CA}},
      {"addi.b #$12,d0", {0x0600, 0x0012}},
      {"addi.w #$100,(a0)", {0x0650, 0x0100}},
      {"addi.l #$12345678,d3", {0x0683, 0x1234, 0x5678}},
      {"addi.w #2,a1", {0xD2FC, 0x0002}},  // addi to an address register is adda
      {"addi.l #2,a1", {0xD3FC, 0x0000, 0x0002}},
      {"addq.l #8,d0", {0x5080}},
      {"addq.w #1,a0", {0x5248}},
      {"addq.b #3,(a0)", {0x5610}},
      {"addx.b d0,d1", {0xD300}},
      {"addx.w d1,d2", {0xD541}},
      {"addx.l -(a0),-(a1)", {0xD388}},
  });
}

TEST(Instructions, SubFamily) {
  ExpectWords({
      {"sub.w d0,d1", {0x9240}},
      {"sub.l (a0),d2", {0x9490}},
      {"sub.b d3,(a1)", {0x9711}},
      {"sub.w #5,d0", {0x0440, 0x0005}},
      {"sub.l #1,a0", {0x91FC, 0x0000, 0x0001}},
      {"suba.w d0,a0", {0x90C0}},
      {"subi.b #-1,d0", {0x0400, 0x00FF}},  // a byte immediate keeps its high byte 00
      {"subi.w #2,a1", {0x92FC, 0x0002}},  // suba
      {"subq.b #3,(a0)", {0x5710}},
      {"subq.w #8,sp", {0x514F}},
      {"subx.w d1,d2", {0x9541}},
      {"subx.b -(a0),-(a1)", {0x9308}},
  });
}

TEST(Instructions, CompareFamily) {
  ExpectWords({
      {"cmp.w d0,d1", {0xB240}},
      {"cmp.b (a0),d0", {0xB010}},
      {"cmp.l #5,d0", {0x0C80, 0x0000, 0x0005}},
      {"cmp.w #5,a0", {0xB0FC, 0x0005}},
      {"cmpa.l d0,a1", {0xB3C0}},
      {"cmpi.b #1,(a0)", {0x0C10, 0x0001}},
      {"cmpi.l #1,a2", {0xB5FC, 0x0000, 0x0001}},  // cmpa
      {"cmpm.w (a0)+,(a1)+", {0xB348}},
      {"cmp.b (a0)+,(a1)+", {0xB308}},
      {"cmpm.l (a2)+,(a3)+", {0xB78A}},
  });
}

TEST(Instructions, MultiplyDivideAndSingleOperand) {
  ExpectWords({
      {"muls.w d0,d1", {0xC3C0}},
      {"mulu #3,d1", {0xC2FC, 0x0003}},
      {"divs (a0),d0", {0x81D0}},
      {"divu.w d1,d2", {0x84C1}},
      {"neg.b d0", {0x4400}},
      {"negx.l (a0)", {0x4090}},
      {"clr.w 4(a0)", {0x4268, 0x0004}},
      {"clr d0", {0x4240}},
      {"not.l d0", {0x4680}},
      {"ext.w d0", {0x4880}},
      {"ext.l d1", {0x48C1}},
      {"tst.l d0", {0x4A80}},
      {"tst.b (a2)", {0x4A12}},
      {"chk d0,d1", {0x4380}},
      {"chk #100,d2", {0x45BC, 0x0064}},
      {"abcd d0,d1", {0xC300}},
      {"abcd -(a0),-(a1)", {0xC308}},
      {"sbcd d2,d3", {0x8702}},
      {"sbcd -(a2),-(a3)", {0x870A}},
      {"nbcd (a0)", {0x4810}},
      {"nbcd d0", {0x4800}},
      {"tas (a0)", {0x4AD0}},
      {"tas.b d1", {0x4AC1}},
  });
}

TEST(Instructions, Logic) {
  ExpectWords({
      {"and.w d0,d1", {0xC240}},
      {"and.l d0,(a0)", {0xC190}},
      {"and.b #$f,d0", {0x0200, 0x000F}},
      {"andi.w #$ff,(a0)", {0x0250, 0x00FF}},
      {"and #$1f,ccr", {0x023C, 0x001F}},
      {"andi.b #$fe,ccr", {0x023C, 0x00FE}},
      {"andi #$2700,sr", {0x027C, 0x2700}},
      {"or.b (a0),d1", {0x8210}},
      {"or.w d2,(a1)+", {0x8559}},
      {"ori.l #$ffff0000,d0", {0x0080, 0xFFFF, 0x0000}},
      {"or #1,ccr", {0x003C, 0x0001}},
      {"ori #$700,sr", {0x007C, 0x0700}},
      {"eor.w d0,d1", {0xB141}},
      {"eor.l d2,(a0)", {0xB590}},
      {"eor.b #1,d0", {0x0A00, 0x0001}},
      {"eori.w #$ff,(a0)", {0x0A50, 0x00FF}},
      {"eori #1,ccr", {0x0A3C, 0x0001}},
      {"eori #$8000,sr", {0x0A7C, 0x8000}},
  });
}

TEST(Instructions, ShiftsAndRotates) {
  // Registers: 1110 ccc d ss i tt rrr; memory: 1110 0tt d 11 ea.
  ExpectWords({
      {"asl.w #1,d0", {0xE340}},
      {"asl #8,d0", {0xE140}},
      {"asr.l #8,d1", {0xE081}},
      {"asl.l d0,d1", {0xE1A1}},
      {"lsl.b d0,d1", {0xE129}},
      {"lsr.l #1,d0", {0xE288}},
      {"roxl.l #2,d0", {0xE590}},
      {"roxr.w d1,d2", {0xE272}},
      {"rol.l #8,d3", {0xE19B}},
      {"ror.b #3,d7", {0xE61F}},
      // A data register alone shifts by one: ror.b d0 is ror.b #1,d0.
      {"ror.b d0", {0xE218}},
      {"lsr.w d1", {0xE249}},
      {"asl.l d2", {0xE382}},
      {"roxl d3", {0xE353}},
      {"asr.w (a1)", {0xE0D1}},
      {"asl.w -(a0)", {0xE1E0}},
      {"lsr.w (a0)", {0xE2D0}},
      {"lsl (a0)", {0xE3D0}},
      {"roxr.w $1234.w", {0xE4F8, 0x1234}},
      {"roxl.w (a0)+", {0xE5D8}},
      {"ror.w (a0)", {0xE6D0}},
      {"rol.w 4(a0)", {0xE7E8, 0x0004}},
  });
}

TEST(Instructions, BitOperations) {
  ExpectWords({
      {"btst d0,d1", {0x0101}},
      {"btst.l d0,d1", {0x0101}},
      {"btst #3,(a0)", {0x0810, 0x0003}},
      {"btst.b #3,(a0)", {0x0810, 0x0003}},
      {"btst #31,d0", {0x0800, 0x001F}},
      {"btst d0,#5", {0x013C, 0x0005}},
      {"btst #1,*+10(pc)", {0x083A, 0x0001, 0x0006}},
      {"bchg d1,(a0)", {0x0350}},
      {"bchg #1,d5", {0x0845, 0x0001}},
      {"bclr #7,4(a0)", {0x08A8, 0x0007, 0x0004}},
      {"bclr d1,-(a0)", {0x03A0}},
      {"bset #0,d0", {0x08C0, 0x0000}},
      {"bset d2,d3", {0x05C3}},
  });
}

TEST(Instructions, AddressesAndProgramControl) {
  ExpectWords({
      {"lea 4(a0),a1", {0x43E8, 0x0004}},
      {"lea (a0,d0.w),a1", {0x43F0, 0x0000}},
      {"lea $1234.w,a0", {0x41F8, 0x1234}},
      {"lea $12345678,a0", {0x41F9, 0x1234, 0x5678}},
      {"lea.l (a0),sp", {0x4FD0}},
      {"pea (a0)", {0x4850}},
      {"pea 4(a1)", {0x4869, 0x0004}},
      {"jmp (a0)", {0x4ED0}},
      {"jsr 4(a0)", {0x4EA8, 0x0004}},
      {"jmp $1234.w", {0x4EF8, 0x1234}},
      {"jsr *+8(pc)", {0x4EBA, 0x0006}},
      {"jmp (*+4,pc,d0.l)", {0x4EFB, 0x0802}},
      {"exg d0,d1", {0xC141}},
      {"exg d2,d1", {0xC541}},
      {"exg a0,a1", {0xC149}},
      {"exg d0,a1", {0xC189}},
      {"exg a1,d0", {0xC189}},  // the data register always goes in bits 11-9
      {"exg d3,a4", {0xC78C}},
      {"swap d3", {0x4843}},
      {"link a6,#-8", {0x4E56, 0xFFF8}},
      {"unlk a6", {0x4E5E}},
      {"trap #15", {0x4E4F}},
      {"trap #0", {0x4E40}},
      {"stop #$2700", {0x4E72, 0x2700}},
      {"rts", {0x4E75}},
      {"rte", {0x4E73}},
      {"rtr", {0x4E77}},
      {"trapv", {0x4E76}},
      {"nop", {0x4E71}},
      {"reset", {0x4E70}},
      {"illegal", {0x4AFC}},
  });
}

TEST(Instructions, ConditionCodes) {
  // Bcc 0110 cccc, DBcc 0101 cccc 11001, Scc 0101 cccc 11 ea.
  struct Condition {
    const char* name;
    uint16_t code;
  };
  const Condition conditions[] = {
      {"hi", 2}, {"ls", 3}, {"cc", 4},  {"hs", 4},  {"cs", 5},  {"lo", 5},  {"ne", 6},  {"eq", 7},
      {"vc", 8}, {"vs", 9}, {"pl", 10}, {"mi", 11}, {"ge", 12}, {"lt", 13}, {"gt", 14}, {"le", 15},
  };
  std::vector<asm68k_test::LineCase> cases;
  std::vector<std::string> sources;  // keeps the text alive for the cases
  sources.reserve(64);
  for (const Condition& c : conditions) {
    sources.push_back(std::string("b") + c.name + ".s *+4");
    cases.push_back({sources.back().c_str(), {static_cast<uint16_t>(0x6002 | (c.code << 8))}});
    sources.push_back(std::string("b") + c.name + " *+4");
    cases.push_back(
        {sources.back().c_str(), {static_cast<uint16_t>(0x6000 | (c.code << 8)), 0x0002}});
    sources.push_back(std::string("db") + c.name + " d3,*");
    cases.push_back(
        {sources.back().c_str(), {static_cast<uint16_t>(0x50CB | (c.code << 8)), 0xFFFE}});
    sources.push_back(std::string("s") + c.name + " (a1)");
    cases.push_back({sources.back().c_str(), {static_cast<uint16_t>(0x50D1 | (c.code << 8))}});
  }
  ExpectWords(cases);
  ExpectWords({
      {"bra.s *+4", {0x6002}},
      {"bra.b *+4", {0x6002}},
      {"bra *+4", {0x6000, 0x0002}},  // unsized is the word form
      {"bra.w *+4", {0x6000, 0x0002}},
      {"bsr.s *+10", {0x6108}},
      {"bsr *", {0x6100, 0xFFFE}},
      {"dbt d0,*", {0x50C8, 0xFFFE}},
      {"dbf d1,*", {0x51C9, 0xFFFE}},
      {"dbra d1,*", {0x51C9, 0xFFFE}},
      {"dbra.w d7,*+6", {0x51CF, 0x0004}},
      {"st d0", {0x50C0}},
      {"sf.b d0", {0x51C0}},
      {"shi 4(a0)", {0x52E8, 0x0004}},
  });
}

TEST(Instructions, BranchesToLabels) {
  ExpectWords({
      {"bra.s next\n nop\nnext: rts", {0x6002, 0x4E71, 0x4E75}},
      {"back: nop\n bne back", {0x4E71, 0x6600, 0xFFFC}},
      {"loop: dbra d0,loop", {0x51C8, 0xFFFE}},
      {"bsr sub\n rts\nsub: rts", {0x6100, 0x0004, 0x4E75, 0x4E75}},
      {"lea table(pc),a0\n rts\ntable: dc.w 1", {0x41FA, 0x0004, 0x4E75, 0x0001}},
      {"move.w table(pc,d0.w),d1\ntable: dc.w 7", {0x323B, 0x0002, 0x0007}},
  });
}

TEST(Instructions, UnsizedAbsoluteIsWordOnlyForAKnownNumberThatFits) {
  ExpectWords({
      {"move.w $7fff,d0", {0x3038, 0x7FFF}},
      {"move.w $8000,d0", {0x3039, 0x0000, 0x8000}},
      {"move.w -$8000,d0", {0x3038, 0x8000}},
      {"move.w $ffff8000,d0", {0x3038, 0x8000}},
      {"move.w $ffff7fff,d0", {0x3039, 0xFFFF, 0x7FFF}},
      {"move.l 0,d0", {0x2038, 0x0000}},
      {"x equ $10\n move.w x,d0", {0x3038, 0x0010}},
      // An address (a label, or a value made from one) is long however small.
      {"back: nop\n move.w back,d0", {0x4E71, 0x3039, 0x0000, 0x0000}},
      {"back: nop\nx equ back+2\n move.w x,d0", {0x4E71, 0x3039, 0x0000, 0x0002}},
      {"org $832\nLabel: nop\n lea (Label),a6", {0x4E71, 0x4DF9, 0x0000, 0x0832}},
      // A forward reference is not known yet, so it is long in every pass.
      {"move.w ahead,d0\nahead: nop", {0x3039, 0x0000, 0x0006, 0x4E71}},
      {"move.w x,d0\nx equ $10", {0x3039, 0x0000, 0x0010}},
      {"jmp ahead\nahead: nop", {0x4EF9, 0x0000, 0x0006, 0x4E71}},
  });
}

// Each optimisation with its limits: off, the source is encoded as written.
TEST(Instructions, OptimisationsTakeTheShorterFormThatDoesTheSame) {
  ExpectWords({
      {" move.l #1,d0", {0x203C, 0x0000, 0x0001}},
      {" opt omq+\n move.l #-128,d0\n move.l #127,d1", {0x7080, 0x727F}},
      {" opt omq+\n move.l #128,d0\n move.w #1,d0", {0x203C, 0x0000, 0x0080, 0x303C, 0x0001}},
      {" opt oaq+\n add.w #8,d0\n add.w #9,d0", {0x5040, 0x0640, 0x0009}},
      {" opt oaq+\n addi.l #1,(a0)\n adda.w #1,a0\n add.l #1,a0", {0x5290, 0x5248, 0x5288}},
      {" opt osq+\n sub.w #8,d0\n subi.w #9,d0\n suba.l #2,a1", {0x5140, 0x0440, 0x0009, 0x5589}},
      {" opt oz+\n move.w 0(a0),d0\n move.w 2(a0),d0", {0x3010, 0x3028, 0x0002}},
      {" opt oz+\n movep.w 0(a0),d0", {0x0108, 0x0000}},  // movep has only d16(An)
      {"back: nop\n opt ow+\n move.w back,d0\n move.w $7FFF,d0",
       {0x4E71, 0x3038, 0x0000, 0x3038, 0x7FFF}},
      {" opt ow+\n move.w $8000,d0\n move.w $FFFF8000,d0\n move.w $FFFF7FFF,d0",
       {0x3039, 0x0000, 0x8000, 0x3038, 0x8000, 0x3039, 0xFFFF, 0x7FFF}},
      // A form already at its longest can't change: '*' after it is known.
      {" opt ow+\n move.w far,d0\n if *>0\n nop\n endif\nfar equ $12345",
       {0x3039, 0x0001, 0x2345, 0x4E71}},
      {"back: nop\n opt op+\n lea back,a0\n jsr back", {0x4E71, 0x41FA, 0xFFFC, 0x4EBA, 0xFFF8}},
      {"back: nop\n opt op+,ow+\n lea back,a0\n move.w d0,back",
       {0x4E71, 0x41FA, 0xFFFC, 0x31C0, 0x0000}},  // a destination is never PC relative
      {" section a\nx: nop\n section b\n opt op+\n lea x,a0", {0x4E71, 0x41F9, 0x0000, 0x0000}},
      {" opt os+\n bra fwd\n nop\nfwd: nop", {0x6002, 0x4E71, 0x4E71}},
      {" opt os+\n bra next\nnext: nop\n bra.w next", {0x6000, 0x0002, 0x4E71, 0x6000, 0xFFFC}},
  });
  // The ends of a short branch: -128 and +126 (an even target) reach, -130 and +128 don't.
  struct Reach {
    const char* source;
    std::vector<uint16_t> branch;
  };
  for (const Reach& c : std::vector<Reach>{
           {"back: dcb.b 126,0\n bra back", {0x6080}},
           {"back: dcb.b 128,0\n bra back", {0x6000, 0xFF7E}},
           {" bra fwd\n dcb.b 126,0\nfwd:", {0x607E}},
           {" bra fwd\n dcb.b 128,0\nfwd:", {0x6000, 0x0082}},
       }) {
    asm68k::AssemblyResult result = Assemble(" opt os+\n" + Indent(c.source));
    std::vector<uint16_t> words = Words(result.image);
    bool backward = std::string(c.source).find("back") != std::string::npos;
    std::vector<uint16_t> branch =
        backward ? std::vector<uint16_t>(words.end() - c.branch.size(), words.end())
                 : std::vector<uint16_t>(words.begin(), words.begin() + c.branch.size());
    EXPECT_EQ(branch, c.branch) << c.source << "\n" << result.summary;
  }
}

// A chain of branches, each reaching its target just past the next branch
// only while that one is short: all short settles at once; with the last
// one out of reach, every one grows. Either way in a few passes, not one
// link a pass.
TEST(Instructions, ShortBranchChainsSettleInFewPasses) {
  const int links = 3000;
  for (bool lastReaches : {true, false}) {
    SCOPED_TRACE(lastReaches ? "every branch short" : "every branch grown");
    std::string source = " opt os+\n";
    for (int i = 0; i < links; ++i) {
      source += " bra t" + std::to_string(i) + "\n";
      if (i > 0) source += "t" + std::to_string(i - 1) + ":";
      source += " dcb.b 124,0\n";
    }
    if (!lastReaches) source += " dcb.b 4,0\n";  // the last target out of reach of .s
    source += "t" + std::to_string(links - 1) + ":\n";
    asm68k::AssemblyResult result = Assemble(source);
    ASSERT_EQ(result.errors, 0) << result.summary;
    EXPECT_LE(result.passes, 3);
    std::vector<uint16_t> expected;
    for (int i = 0; i < links; ++i) {
      // From the word after the branch: the padding, then the next branch
      // (none after the last), 126 bytes short; 2 + 124 + 4 grown.
      if (lastReaches) {
        expected.push_back(static_cast<uint16_t>(0x6000 | (i < links - 1 ? 126 : 124)));
      } else {
        expected.insert(expected.end(), {0x6000, 130});
      }
      expected.insert(expected.end(), 62, 0);
    }
    if (!lastReaches) expected.insert(expected.end(), 2, 0);
    EXPECT_EQ(Words(result.image), expected);
  }
}

TEST(Instructions, RowsOfOneMnemonicAreAdjacentAndWellFormed) {
  for (uint16_t i = 0; i < asm68k::FormCount(); ++i) {
    const asm68k::InstructionForm& form = asm68k::FormAt(i);
    asm68k::FormRange range = asm68k::FindOperation(form.name).forms;
    EXPECT_GE(i, range.first) << form.name;
    EXPECT_LT(i, range.first + range.count) << form.name;
    // The size used when none is written must be one the row takes.
    if (form.sizes != 0) EXPECT_TRUE(form.sizes & form.defaultSize) << form.name;
  }
}

TEST(Instructions, EveryMnemonicHasAtLeastOneRow) {
  const char* mnemonics[] = {
      "abcd",  "add",   "adda",  "addi",  "addq",    "addx", "and",  "andi", "asl",  "asr",  "bchg",
      "bclr",  "bset",  "btst",  "chk",   "clr",     "cmp",  "cmpa", "cmpi", "cmpm", "divs", "divu",
      "eor",   "eori",  "exg",   "ext",   "illegal", "jmp",  "jsr",  "lea",  "link", "lsl",  "lsr",
      "move",  "movea", "movem", "movep", "moveq",   "muls", "mulu", "nbcd", "neg",  "negx", "nop",
      "not",   "or",    "ori",   "pea",   "reset",   "rol",  "ror",  "roxl", "roxr", "rte",  "rtr",
      "rts",   "sbcd",  "stop",  "sub",   "suba",    "subi", "subq", "subx", "swap", "tas",  "trap",
      "trapv", "tst",   "unlk",  "bra",   "bsr",     "dbra", "dbf",  "st",   "sf",   "bhs",  "blo",
      "dbhs",  "dblo",  "shs",   "slo",
  };
  for (const char* name : mnemonics) EXPECT_GT(asm68k::FindOperation(name).forms.count, 0) << name;
  // 68010 and later are not the 68000's
  EXPECT_EQ(asm68k::FindOperationOn("movec", 0).forms.count, 0);
  EXPECT_EQ(asm68k::FindOperationOn("extb", 0).forms.count, 0);
}

// A line's operation is found as written, read eight bytes at a time where
// its line has them: in any case, at the line's end or with text after it,
// it finds what its lower-case name finds.
TEST(Instructions, OperationsAsWrittenFindWhatTheirLowerCaseNamesFind) {
  std::vector<std::string> names = {"Dbra", "mOvEm", "[nop", "nop`", "@nop", "abcdefgh",
                                    "abcdefghi", ""};
  for (uint16_t i = 0; i < asm68k::FormCount(); ++i) names.emplace_back(asm68k::FormAt(i).name);
  for (int i = 0; i < asm68k::DirectiveCount(); ++i) names.emplace_back(asm68k::DirectiveAt(i).name);
  for (const std::string& name : names) {
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string lowerName = asm68k::ToLowerCopy(name);
    asm68k::Operation expected = asm68k::FindOperationOn(lowerName, 0);  // the 68000's
    for (const std::string& written : {name, upper}) {
      for (const char* after : {"", " d0", "\tZ[`@{~\xC1\xE1Q"}) {
        std::string line = written + after;
        char buffer[16];
        std::string_view lower;
        asm68k::Operation found = asm68k::FindWrittenOperation(
            std::string_view(line.data(), written.size()), line.data() + line.size(), buffer, lower);
        EXPECT_EQ(found.forms.first, expected.forms.first) << line;
        EXPECT_EQ(found.forms.count, expected.forms.count) << line;
        EXPECT_EQ(found.directive, expected.directive) << line;
        if (found.forms.count > 0 || found.directive >= 0) EXPECT_EQ(lower, lowerName) << line;
      }
    }
  }
}

}  // namespace
