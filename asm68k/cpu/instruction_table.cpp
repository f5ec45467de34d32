#include "instruction_table.h"

#include <array>
#include <string>

namespace asm68k {

namespace {

constexpr uint8_t B = kSizeB, W = kSizeW, L = kSizeL;
constexpr uint8_t BWL = kSizeB | kSizeW | kSizeL;
constexpr uint8_t WL = kSizeW | kSizeL;
constexpr uint8_t kBranchSizes = kSizeB | kSizeS | kSizeW;  // .b is the manual's name for .s

using SF = SizeField;
using E = Encoding;

constexpr uint8_t CountOperands(uint32_t mode0, uint32_t mode1, uint32_t mode2, uint32_t mode3) {
  return static_cast<uint8_t>(mode0 == 0   ? 0
                              : mode1 == 0 ? 1
                              : mode2 == 0 ? 2
                              : mode3 == 0 ? 3
                                           : 4);
}

// The third and fourth operands' kinds of the rows that take them.
struct LaterModes {
  uint32_t third, fourth;
};
constexpr LaterModes kLaterModes[] = {
    {0, 0},
    // The 68020's integer additions.
    {kDn, 0},        // bfextu, bfexts, bfffo
    {kBitField, 0},  // bfins
    {kMemAlt, 0},    // cas
    {kIndPair, 0},   // cas2
    {kImm, 0},       // pack, unpk; ptestr fc,<ea>,#level
    // The system instructions of the 68030, 68040, 68060 and CPU32.
    {kCtrlAlt, 0},  // pflush fc,#mask,<ea>
    {kImm, kAn},    // ptestr fc,<ea>,#level,An
};

// The place of a pair in kLaterModes; a pair the table lacks stops the build.
constexpr uint8_t LaterModesIndex(uint32_t third, uint32_t fourth) {
  for (size_t i = 0; i < sizeof(kLaterModes) / sizeof(kLaterModes[0]); ++i) {
    if (kLaterModes[i].third == third && kLaterModes[i].fourth == fourth) {
      return static_cast<uint8_t>(i);
    }
  }
  throw "the third and fourth operands' kinds are not in kLaterModes";
}

// A form every processor of the family has.
constexpr InstructionForm Row(std::string_view name, uint16_t opcode, uint8_t sizes,
                              uint8_t defaultSize, SizeField field, Encoding encoding,
                              uint32_t mode0 = 0, uint32_t mode1 = 0, uint8_t flags = 0) {
  return InstructionForm{name,   opcode, sizes, defaultSize, field, encoding,
                         CountOperands(mode0, mode1, 0, 0), {mode0, mode1}, flags, 0, 0,
                         kAnyMachine};
}

// A form only some processors have (`machines`), with the second word's
// fixed bits, `extension`, for a form that has one.
constexpr InstructionForm Later(uint16_t machines, std::string_view name, uint16_t opcode,
                                uint16_t extension, uint8_t sizes, uint8_t defaultSize,
                                SizeField field, Encoding encoding, uint32_t mode0 = 0,
                                uint32_t mode1 = 0, uint32_t mode2 = 0, uint32_t mode3 = 0) {
  return InstructionForm{name,   opcode, sizes, defaultSize, field, encoding,
                         CountOperands(mode0, mode1, mode2, mode3), {mode0, mode1}, 0,
                         LaterModesIndex(mode2, mode3), extension, machines};
}

// The sets of processors the system instructions name.
constexpr uint16_t k030 = Machines({k68030});
constexpr uint16_t k040 = Machines({k68040});
constexpr uint16_t k040AndUp = Machines({k68040, k68060});
constexpr uint16_t k060 = Machines({k68060});
constexpr uint16_t k060Cpu32 = Machines({k68060, kCpu32});
constexpr uint16_t kCpu32Only = Machines({kCpu32});
// A 68030 function code: sfc or dfc (control registers), Dn or #0-7.
constexpr uint32_t kFunctionCode = kCtrlReg | kDn | kImm;

// clang-format off
// Condition codes in opcode bits 11-8: Bcc, DBcc and Scc share them.
// The 68020 and the CPU32 add bcc.l: $FF in bits 7-0, a long displacement.
#define BRANCH(cc, code)                                                              \
  Row("b" cc, 0x6000 | ((code) << 8), kBranchSizes, W, SF::None, E::Branch, kAbs),    \
      Later(k68020UpCpu32, "b" cc, 0x60FF | ((code) << 8), 0, L, L, SF::None, E::Branch, kAbs)
#define DBRANCH(cc, code) \
  Row("db" cc, 0x50C8 | ((code) << 8), W, W, SF::None, E::Dbcc, kDn, kAbs)
// The 68020's and CPU32's trapcc: none, a word or a long operand.
#define TRAPCC(cc, code)                                                                   \
  Later(k68020UpCpu32, "trap" cc, 0x50FC | ((code) << 8), 0, 0, 0, SF::None, E::Fixed),    \
      Later(k68020UpCpu32, "trap" cc, 0x50FA | ((code) << 8), 0, W, W, SF::None, E::TrapCc, \
            kImm),                                                                         \
      Later(k68020UpCpu32, "trap" cc, 0x50FB | ((code) << 8), 0, L, L, SF::None, E::TrapCc, kImm)
// cinv and cpush on a line or a page: the scope in bits 4-3, push in bit 5.
#define CACHE(name, bits) \
  Later(k040AndUp, name, 0xF400 | (bits), 0, 0, 0, SF::None, E::Cache, kCache, kInd)
// tbls, tblsn, tblu, tblun: signed in bit 11, not rounded in bit 10 of the
// second word; from a table in memory (bit 8) or between two registers.
#define TABLE(name, bits)                                                                     \
  Later(kCpu32Only, name, 0xF800, 0x0100 | (bits), BWL, W, SF::None, E::Table, kControl, kDn), \
      Later(kCpu32Only, name, 0xF800, (bits), BWL, W, SF::None, E::TableRegs, kRegPair, kDn)
#define SETCC(cc, code) Row("s" cc, 0x50C0 | ((code) << 8), B, B, SF::None, E::Ea, kDataAlt)

// Shifts and rotates: type in bits 4-3 (register forms) or 10-9 (memory
// form), direction in bit 8. A data register alone shifts by one, the count
// 1 in bits 11-9 (ror.b d0 is ror.b #1,d0), as a sound driver writes it.
#define SHIFT(name, type, left)                                                                \
  Row(name, 0xE000 | ((left) << 8) | ((type) << 3), BWL, W, SF::Bits76, E::ShiftImm, kImm, kDn), \
      Row(name, 0xE020 | ((left) << 8) | ((type) << 3), BWL, W, SF::Bits76, E::ShiftReg, kDn,   \
          kDn),                                                                                 \
      Row(name, 0xE200 | ((left) << 8) | ((type) << 3), BWL, W, SF::Bits76, E::Reg0, kDn),       \
      Row(name, 0xE0C0 | ((type) << 9) | ((left) << 8), W, W, SF::None, E::Ea, kMemAlt)

// Bit operations: type in bits 7-6. A data register is tested as a long, memory as a byte.
#define BITOP(name, type, memoryModes)                                                      \
  Row(name, 0x0100 | ((type) << 6), L, L, SF::None, E::Reg9Ea, kDn, kDn),                    \
      Row(name, 0x0100 | ((type) << 6), B, B, SF::None, E::Reg9Ea, kDn, (memoryModes)),      \
      Row(name, 0x0800 | ((type) << 6), L, L, SF::None, E::BitImm, kImm, kDn),               \
      Row(name, 0x0800 | ((type) << 6), B, B, SF::None, E::BitImm, kImm,                     \
          (memoryModes) & ~kImm)

// add/sub style families: the immediate and address-register destinations
// select the I and A forms, as the processor manual describes.
#define ARITH(name, immOpcode, aOpcode, baseOpcode)                                             \
  Row(name, immOpcode, BWL, W, SF::Bits76, E::ImmEa, kImm, kDataAlt),                           \
      Row(name, aOpcode, WL, W, SF::Bit8, E::EaReg9, kAll, kAn),                                \
      Row(name, baseOpcode, BWL, W, SF::Bits76, E::EaReg9, kAll, kDn, kByteNoAn),               \
      Row(name, (baseOpcode) | 0x0100, BWL, W, SF::Bits76, E::Reg9Ea, kDn, kMemAlt)

// and/or: immediate forms (including to ccr and sr), then the register forms.
#define LOGIC(name, immOpcode, baseOpcode)                                         \
  Row(name, immOpcode, BWL, W, SF::Bits76, E::ImmEa, kImm, kDataAlt),              \
      Row(name, (immOpcode) | 0x003C, B, B, SF::None, E::ImmFixed, kImm, kCcr),    \
      Row(name, (immOpcode) | 0x007C, W, W, SF::None, E::ImmFixed, kImm, kSr),     \
      Row(name, baseOpcode, BWL, W, SF::Bits76, E::EaReg9, kData, kDn),            \
      Row(name, (baseOpcode) | 0x0100, BWL, W, SF::Bits76, E::Reg9Ea, kDn, kMemAlt)

#define IMMEDIATE(name, opcode) Row(name, opcode, BWL, W, SF::Bits76, E::ImmEa, kImm, kDataAlt)
#define IMMEDIATE_CCR_SR(name, opcode)                                          \
  IMMEDIATE(name, opcode), Row(name, (opcode) | 0x003C, B, B, SF::None, E::ImmFixed, kImm, kCcr), \
      Row(name, (opcode) | 0x007C, W, W, SF::None, E::ImmFixed, kImm, kSr)

// The FPU's. A 68020 or 68030 has it as a coprocessor (fpu 1), a 68040 or
// 68060 on the chip. Its command word is each row's extension: the
// operation in bits 6-0, with bit 14 set for a source in memory or a data
// register (its format in bits 12-10). Sizes: .s is single precision.
constexpr uint16_t kFpu = static_cast<uint16_t>((Machines({k68020, k68030}) & kFpuOn) |
                                                Machines({k68040, k68060}));
constexpr uint16_t kFpu040 = Machines({k68040, k68060});
constexpr uint8_t kFloatSizes = kSizeB | kSizeW | kSizeL | kSizeS | kSizeD | kSizeX | kSizeP;
constexpr uint8_t kRegisterSizes = kSizeB | kSizeW | kSizeL | kSizeS;  // what a data register holds
constexpr uint8_t X = kSizeX;

// An operation from <ea> (a data register, up to a long or single) or
// from fpm, to fpn.
#define FPU_DYADIC(machines, name, operation)                                                     \
  Later(machines, name, 0xF200, 0x4000 | (operation), kRegisterSizes, L, SF::None, E::FpuSource, \
        kDn, kFpReg),                                                                             \
      Later(machines, name, 0xF200, 0x4000 | (operation), kFloatSizes, X, SF::None,              \
            E::FpuSource, kMemory, kFpReg),                                                      \
      Later(machines, name, 0xF200, (operation), X, X, SF::None, E::FpuRegister, kFpReg, kFpReg)
// The same, and fpn alone, as fpn,fpn.
#define FPU_MONADIC(machines, name, operation)                                                  \
  FPU_DYADIC(machines, name, operation),                                                        \
      Later(machines, name, 0xF200, (operation), X, X, SF::None, E::FpuRegister, kFpReg)

// The FPU's conditions in the low six bits of a condition word.
#define FPU_CONDITION(cc, code)                                                                 \
  Later(kFpu, "fb" cc, 0xF280 | (code), 0, kSizeW | kSizeL, W, SF::None, E::FpuBranch, kAbs),    \
      Later(kFpu, "fdb" cc, 0xF248, (code), W, W, SF::None, E::FpuDbcc, kDn, kAbs),             \
      Later(kFpu, "fs" cc, 0xF240, (code), B, B, SF::None, E::FpuScc, kDataAlt),         \
      Later(kFpu, "ftrap" cc, 0xF27C, (code), 0, 0, SF::None, E::FpuTrap),                      \
      Later(kFpu, "ftrap" cc, 0xF27A, (code), WL, W, SF::None, E::FpuTrap, kImm)

// Rows of one mnemonic must be adjacent; the first matching row wins. The
// rows a machine has of each mnemonic must follow one another (a later
// processor's rows after the 68000's).
constexpr InstructionForm kRows[] = {
    // Data movement.
    Row("move", 0x0000, BWL, W, SF::Move, E::Move, kAll, kDataAlt, kByteNoAn),
    Row("move", 0x0040, WL, W, SF::Move, E::EaReg9, kAll, kAn),  // movea
    Row("move", 0x44C0, W, W, SF::None, E::Ea, kData, kCcr),
    Row("move", 0x46C0, W, W, SF::None, E::Ea, kData, kSr),
    Row("move", 0x40C0, W, W, SF::None, E::EaDst, kSr, kDataAlt),
    Row("move", 0x4E60, L, L, SF::None, E::Reg0, kAn, kUsp),
    Row("move", 0x4E68, L, L, SF::None, E::Reg0Dst, kUsp, kAn),
    Later(k68010Up, "move", 0x42C0, 0, W, W, SF::None, E::EaDst, kCcr, kDataAlt),
    Row("movea", 0x0040, WL, W, SF::Move, E::EaReg9, kAll, kAn),
    Row("moveq", 0x7000, L, L, SF::None, E::Moveq, kImm, kDn),
    Row("movep", 0x0108, WL, W, SF::Bit6, E::MovepToReg, kDisp, kDn),
    Row("movep", 0x0188, WL, W, SF::Bit6, E::MovepToMem, kDn, kDisp),
    Row("movem", 0x4880, WL, W, SF::Bit6, E::MovemToMem, kRegList | kDn | kAn, kCtrlAlt | kPreDec),
    Row("movem", 0x4C80, WL, W, SF::Bit6, E::MovemToReg, kControl | kPostInc, kRegList | kDn | kAn),
    Row("lea", 0x41C0, L, L, SF::None, E::EaReg9, kControl, kAn),
    Row("pea", 0x4840, L, L, SF::None, E::Ea, kControl),
    Row("exg", 0xC140, L, L, SF::None, E::Exg, kDn, kDn),
    Row("exg", 0xC148, L, L, SF::None, E::Exg, kAn, kAn),
    Row("exg", 0xC188, L, L, SF::None, E::Exg, kDn, kAn),
    Row("exg", 0xC188, L, L, SF::None, E::ExgSwap, kAn, kDn),
    Row("swap", 0x4840, W, W, SF::None, E::Reg0, kDn),
    Row("link", 0x4E50, W, W, SF::None, E::Link, kAn, kImm),
    Later(k68020UpCpu32, "link", 0x4808, 0, L, L, SF::None, E::LinkLong, kAn, kImm),
    Row("unlk", 0x4E58, 0, 0, SF::None, E::Reg0, kAn),

    // Integer arithmetic.
    ARITH("add", 0x0600, 0xD0C0, 0xD000),
    Row("adda", 0xD0C0, WL, W, SF::Bit8, E::EaReg9, kAll, kAn),
    IMMEDIATE("addi", 0x0600),
    Row("addi", 0xD0C0, WL, W, SF::Bit8, E::EaReg9, kImm, kAn),  // adda, as sources write it
    Row("addq", 0x5000, BWL, W, SF::Bits76, E::Quick, kImm, kAlterable, kByteNoAn),
    Row("addx", 0xD100, BWL, W, SF::Bits76, E::RegXY, kDn, kDn),
    Row("addx", 0xD108, BWL, W, SF::Bits76, E::RegXY, kPreDec, kPreDec),
    ARITH("sub", 0x0400, 0x90C0, 0x9000),
    Row("suba", 0x90C0, WL, W, SF::Bit8, E::EaReg9, kAll, kAn),
    IMMEDIATE("subi", 0x0400),
    Row("subi", 0x90C0, WL, W, SF::Bit8, E::EaReg9, kImm, kAn),  // suba
    Row("subq", 0x5100, BWL, W, SF::Bits76, E::Quick, kImm, kAlterable, kByteNoAn),
    Row("subx", 0x9100, BWL, W, SF::Bits76, E::RegXY, kDn, kDn),
    Row("subx", 0x9108, BWL, W, SF::Bits76, E::RegXY, kPreDec, kPreDec),
    Row("cmp", 0x0C00, BWL, W, SF::Bits76, E::ImmEa, kImm, kDataAlt),
    Row("cmp", 0xB0C0, WL, W, SF::Bit8, E::EaReg9, kAll, kAn),
    Row("cmp", 0xB000, BWL, W, SF::Bits76, E::EaReg9, kAll, kDn, kByteNoAn),
    Row("cmp", 0xB108, BWL, W, SF::Bits76, E::RegXY, kPostInc, kPostInc),
    Later(k68020UpCpu32, "cmp", 0x0C00, 0, BWL, W, SF::Bits76, E::ImmEa, kImm, kPcDisp | kPcIndex),
    Row("cmpa", 0xB0C0, WL, W, SF::Bit8, E::EaReg9, kAll, kAn),
    IMMEDIATE("cmpi", 0x0C00),
    Row("cmpi", 0xB0C0, WL, W, SF::Bit8, E::EaReg9, kImm, kAn),  // cmpa
    // The 68020 compares an immediate with a pc-relative operand too.
    Later(k68020UpCpu32, "cmpi", 0x0C00, 0, BWL, W, SF::Bits76, E::ImmEa, kImm, kPcDisp | kPcIndex),
    Row("cmpm", 0xB108, BWL, W, SF::Bits76, E::RegXY, kPostInc, kPostInc),
    // The 68020's and CPU32's .l: 32 bits, or 64 in a pair of registers.
    Row("muls", 0xC1C0, W, W, SF::None, E::EaReg9, kData, kDn),
    Later(k68020UpCpu32, "muls", 0x4C00, 0x0800, L, L, SF::None, E::MulLong, kData, kDn),
    Later(k68020UpCpu32, "muls", 0x4C00, 0x0C00, L, L, SF::None, E::MulLong, kData, kRegPair),
    Row("mulu", 0xC0C0, W, W, SF::None, E::EaReg9, kData, kDn),
    Later(k68020UpCpu32, "mulu", 0x4C00, 0x0000, L, L, SF::None, E::MulLong, kData, kDn),
    Later(k68020UpCpu32, "mulu", 0x4C00, 0x0400, L, L, SF::None, E::MulLong, kData, kRegPair),
    Row("divs", 0x81C0, W, W, SF::None, E::EaReg9, kData, kDn),
    Later(k68020UpCpu32, "divs", 0x4C40, 0x0800, L, L, SF::None, E::DivLong, kData, kDn),
    Later(k68020UpCpu32, "divs", 0x4C40, 0x0C00, L, L, SF::None, E::DivLong, kData, kRegPair),
    Row("divu", 0x80C0, W, W, SF::None, E::EaReg9, kData, kDn),
    Later(k68020UpCpu32, "divu", 0x4C40, 0x0000, L, L, SF::None, E::DivLong, kData, kDn),
    Later(k68020UpCpu32, "divu", 0x4C40, 0x0400, L, L, SF::None, E::DivLong, kData, kRegPair),
    Row("neg", 0x4400, BWL, W, SF::Bits76, E::Ea, kDataAlt),
    Row("negx", 0x4000, BWL, W, SF::Bits76, E::Ea, kDataAlt),
    Row("clr", 0x4200, BWL, W, SF::Bits76, E::Ea, kDataAlt),
    Row("ext", 0x4880, WL, W, SF::Bit6, E::Reg0, kDn),
    Row("tst", 0x4A00, BWL, W, SF::Bits76, E::Ea, kDataAlt),
    // The 68020's tst takes every mode, an address register as .w or .l.
    Later(k68020UpCpu32, "tst", 0x4A00, 0, BWL, W, SF::Bits76, E::Ea, kPcDisp | kPcIndex | kImm),
    Later(k68020UpCpu32, "tst", 0x4A00, 0, WL, W, SF::Bits76, E::Ea, kAn),
    Row("chk", 0x4180, W, W, SF::None, E::EaReg9, kData, kDn),
    Later(k68020Up, "chk", 0x4100, 0, L, L, SF::None, E::EaReg9, kData, kDn),

    // Binary-coded decimal.
    Row("abcd", 0xC100, B, B, SF::None, E::RegXY, kDn, kDn),
    Row("abcd", 0xC108, B, B, SF::None, E::RegXY, kPreDec, kPreDec),
    Row("sbcd", 0x8100, B, B, SF::None, E::RegXY, kDn, kDn),
    Row("sbcd", 0x8108, B, B, SF::None, E::RegXY, kPreDec, kPreDec),
    Row("nbcd", 0x4800, B, B, SF::None, E::Ea, kDataAlt),

    // Logic.
    LOGIC("and", 0x0200, 0xC000),
    IMMEDIATE_CCR_SR("andi", 0x0200),
    LOGIC("or", 0x0000, 0x8000),
    IMMEDIATE_CCR_SR("ori", 0x0000),
    IMMEDIATE("eor", 0x0A00),
    Row("eor", 0x0A3C, B, B, SF::None, E::ImmFixed, kImm, kCcr),
    Row("eor", 0x0A7C, W, W, SF::None, E::ImmFixed, kImm, kSr),
    Row("eor", 0xB100, BWL, W, SF::Bits76, E::Reg9Ea, kDn, kDataAlt),
    IMMEDIATE_CCR_SR("eori", 0x0A00),
    Row("not", 0x4600, BWL, W, SF::Bits76, E::Ea, kDataAlt),

    // Shifts and rotates.
    SHIFT("asr", 0, 0), SHIFT("asl", 0, 1), SHIFT("lsr", 1, 0), SHIFT("lsl", 1, 1),
    SHIFT("roxr", 2, 0), SHIFT("roxl", 2, 1), SHIFT("ror", 3, 0), SHIFT("rol", 3, 1),

    // Bit manipulation.
    BITOP("btst", 0, kMemory), BITOP("bchg", 1, kMemAlt), BITOP("bclr", 2, kMemAlt),
    BITOP("bset", 3, kMemAlt),
    Row("tas", 0x4AC0, B, B, SF::None, E::Ea, kDataAlt),

    // Program control.
    BRANCH("ra", 0), BRANCH("sr", 1), BRANCH("hi", 2), BRANCH("ls", 3), BRANCH("cc", 4),
    BRANCH("hs", 4), BRANCH("cs", 5), BRANCH("lo", 5), BRANCH("ne", 6), BRANCH("eq", 7),
    BRANCH("vc", 8), BRANCH("vs", 9), BRANCH("pl", 10), BRANCH("mi", 11), BRANCH("ge", 12),
    BRANCH("lt", 13), BRANCH("gt", 14), BRANCH("le", 15),
    DBRANCH("t", 0), DBRANCH("f", 1), DBRANCH("ra", 1), DBRANCH("hi", 2), DBRANCH("ls", 3),
    DBRANCH("cc", 4), DBRANCH("hs", 4), DBRANCH("cs", 5), DBRANCH("lo", 5), DBRANCH("ne", 6),
    DBRANCH("eq", 7), DBRANCH("vc", 8), DBRANCH("vs", 9), DBRANCH("pl", 10), DBRANCH("mi", 11),
    DBRANCH("ge", 12), DBRANCH("lt", 13), DBRANCH("gt", 14), DBRANCH("le", 15),
    SETCC("t", 0), SETCC("f", 1), SETCC("hi", 2), SETCC("ls", 3), SETCC("cc", 4),
    SETCC("hs", 4), SETCC("cs", 5), SETCC("lo", 5), SETCC("ne", 6), SETCC("eq", 7),
    SETCC("vc", 8), SETCC("vs", 9), SETCC("pl", 10), SETCC("mi", 11), SETCC("ge", 12),
    SETCC("lt", 13), SETCC("gt", 14), SETCC("le", 15),
    Row("jmp", 0x4EC0, 0, 0, SF::None, E::Ea, kControl),
    Row("jsr", 0x4E80, 0, 0, SF::None, E::Ea, kControl),
    Row("rts", 0x4E75, 0, 0, SF::None, E::Fixed),
    Row("rte", 0x4E73, 0, 0, SF::None, E::Fixed),
    Row("rtr", 0x4E77, 0, 0, SF::None, E::Fixed),
    Row("trap", 0x4E40, 0, 0, SF::None, E::Trap, kImm),
    Row("trapv", 0x4E76, 0, 0, SF::None, E::Fixed),

    // System control.
    Row("nop", 0x4E71, 0, 0, SF::None, E::Fixed),
    Row("reset", 0x4E70, 0, 0, SF::None, E::Fixed),
    Row("stop", 0x4E72, 0, 0, SF::None, E::Stop, kImm),
    Row("illegal", 0x4AFC, 0, 0, SF::None, E::Fixed),

    // The 68010's additions.
    Later(k68010Up, "rtd", 0x4E74, 0, 0, 0, SF::None, E::Stop, kImm),
    Later(k68010Up, "bkpt", 0x4848, 0, 0, 0, SF::None, E::Bkpt, kImm),
    Later(k68010Up, "movec", 0x4E7A, 0, L, L, SF::None, E::MovecFrom, kCtrlReg | kUsp, kDn | kAn),
    Later(k68010Up, "movec", 0x4E7B, 0, L, L, SF::None, E::MovecTo, kDn | kAn, kCtrlReg | kUsp),
    Later(k68010Up, "moves", 0x0E00, 0, BWL, W, SF::Bits76, E::MovesToMem, kDn | kAn, kMemAlt),
    Later(k68010Up, "moves", 0x0E00, 0, BWL, W, SF::Bits76, E::MovesFromMem, kMemAlt, kDn | kAn),

    // The 68020's additions (most also the CPU32's).
    Later(k68020UpCpu32, "extb", 0x49C0, 0, L, L, SF::None, E::Reg0, kDn),

    // The 68020's integer additions.
    Later(k68020UpCpu32, "divsl", 0x4C40, 0x0800, L, L, SF::None, E::DivLong, kData, kRegPair),
    Later(k68020UpCpu32, "divul", 0x4C40, 0x0000, L, L, SF::None, E::DivLong, kData, kRegPair),
    Later(k68020Up, "bftst", 0xE8C0, 0, 0, 0, SF::None, E::BitField, kDn | kControl, kBitField),
    Later(k68020Up, "bfextu", 0xE9C0, 0, 0, 0, SF::None, E::BitFieldReg, kDn | kControl,
          kBitField, kDn),
    Later(k68020Up, "bfchg", 0xEAC0, 0, 0, 0, SF::None, E::BitField, kDn | kCtrlAlt, kBitField),
    Later(k68020Up, "bfexts", 0xEBC0, 0, 0, 0, SF::None, E::BitFieldReg, kDn | kControl,
          kBitField, kDn),
    Later(k68020Up, "bfclr", 0xECC0, 0, 0, 0, SF::None, E::BitField, kDn | kCtrlAlt, kBitField),
    Later(k68020Up, "bfffo", 0xEDC0, 0, 0, 0, SF::None, E::BitFieldReg, kDn | kControl,
          kBitField, kDn),
    Later(k68020Up, "bfset", 0xEEC0, 0, 0, 0, SF::None, E::BitField, kDn | kCtrlAlt, kBitField),
    Later(k68020Up, "bfins", 0xEFC0, 0, 0, 0, SF::None, E::BitFieldIns, kDn, kDn | kCtrlAlt,
          kBitField),
    Later(k68020Up, "cas", 0x08C0, 0, BWL, W, SF::Bits109Cas, E::Cas, kDn, kDn, kMemAlt),
    Later(k68020Up, "cas2", 0x08FC, 0, WL, W, SF::Bits109Cas, E::Cas2, kRegPair, kRegPair,
          kIndPair),
    Later(k68020UpCpu32, "chk2", 0x00C0, 0x0800, BWL, W, SF::Bits109, E::Chk2, kControl,
          kDn | kAn),
    Later(k68020UpCpu32, "cmp2", 0x00C0, 0x0000, BWL, W, SF::Bits109, E::Chk2, kControl,
          kDn | kAn),
    Later(Machines({k68020}), "callm", 0x06C0, 0, 0, 0, SF::None, E::Callm, kImm, kControl),
    Later(Machines({k68020}), "rtm", 0x06C0, 0, 0, 0, SF::None, E::Rtm, kDn | kAn),
    Later(k68020Up, "pack", 0x8140, 0, 0, 0, SF::None, E::PackUnpk, kDn, kDn, kImm),
    Later(k68020Up, "pack", 0x8148, 0, 0, 0, SF::None, E::PackUnpk, kPreDec, kPreDec, kImm),
    Later(k68020Up, "unpk", 0x8180, 0, 0, 0, SF::None, E::PackUnpk, kDn, kDn, kImm),
    Later(k68020Up, "unpk", 0x8188, 0, 0, 0, SF::None, E::PackUnpk, kPreDec, kPreDec, kImm),
    TRAPCC("t", 0), TRAPCC("f", 1), TRAPCC("hi", 2), TRAPCC("ls", 3), TRAPCC("cc", 4),
    TRAPCC("hs", 4), TRAPCC("cs", 5), TRAPCC("lo", 5), TRAPCC("ne", 6), TRAPCC("eq", 7),
    TRAPCC("vc", 8), TRAPCC("vs", 9), TRAPCC("pl", 10), TRAPCC("mi", 11), TRAPCC("ge", 12),
    TRAPCC("lt", 13), TRAPCC("gt", 14), TRAPCC("le", 15),
    // GNU as's other names of trapcc and trapf.
    Later(k68020UpCpu32, "tpcc", 0x54FC, 0, 0, 0, SF::None, E::Fixed),
    Later(k68020UpCpu32, "tpf", 0x51FC, 0, 0, 0, SF::None, E::Fixed),
    // The system instructions of the 68030, 68040, 68060 and CPU32.
    // The 68030's MMU. A function code is sfc, dfc, Dn or #0-7.
    // Sources write pmove's size (pmove.l tc,(sp)), the register's own.
    Later(k030, "pmove", 0xF000, 0x0000, WL, L, SF::None, E::PmoveTo, kCtrlAlt, kMmuReg),
    Later(k030, "pmove", 0xF000, 0x0000, WL, L, SF::None, E::PmoveFrom, kMmuReg, kCtrlAlt),
    Later(k030, "pmovefd", 0xF000, 0x0100, WL, L, SF::None, E::PmoveTo, kCtrlAlt, kMmuReg),
    Later(k030, "pflusha", 0xF000, 0x2400, 0, 0, SF::None, E::FixedExt),
    Later(k040AndUp, "pflusha", 0xF518, 0, 0, 0, SF::None, E::Fixed),
    Later(k030, "pflush", 0xF000, 0x3000, 0, 0, SF::None, E::Pflush030, kFunctionCode, kImm),
    Later(k030, "pflush", 0xF000, 0x3800, 0, 0, SF::None, E::Pflush030, kFunctionCode, kImm,
          kCtrlAlt),
    Later(k040AndUp, "pflush", 0xF508, 0, 0, 0, SF::None, E::Reg0, kInd),
    Later(k030, "ploadr", 0xF000, 0x2200, 0, 0, SF::None, E::Pload030, kFunctionCode, kCtrlAlt),
    Later(k030, "ploadw", 0xF000, 0x2000, 0, 0, SF::None, E::Pload030, kFunctionCode, kCtrlAlt),
    Later(k030, "ptestr", 0xF000, 0x8200, 0, 0, SF::None, E::Ptest030, kFunctionCode, kCtrlAlt,
          kImm),
    Later(k030, "ptestr", 0xF000, 0x8200, 0, 0, SF::None, E::Ptest030, kFunctionCode, kCtrlAlt,
          kImm, kAn),
    Later(k040, "ptestr", 0xF568, 0, 0, 0, SF::None, E::Reg0, kInd),
    Later(k030, "ptestw", 0xF000, 0x8000, 0, 0, SF::None, E::Ptest030, kFunctionCode, kCtrlAlt,
          kImm),
    Later(k030, "ptestw", 0xF000, 0x8000, 0, 0, SF::None, E::Ptest030, kFunctionCode, kCtrlAlt,
          kImm, kAn),
    Later(k040, "ptestw", 0xF548, 0, 0, 0, SF::None, E::Reg0, kInd),
    // The 68040's and the 68060's: move16, the caches, their own MMU forms.
    Later(k040AndUp, "move16", 0xF620, 0x8000, 0, 0, SF::None, E::Move16, kPostInc, kPostInc),
    Later(k040AndUp, "move16", 0xF600, 0, 0, 0, SF::None, E::Move16Abs, kPostInc, kAbs),
    Later(k040AndUp, "move16", 0xF608, 0, 0, 0, SF::None, E::Move16Abs, kAbs, kPostInc),
    Later(k040AndUp, "move16", 0xF610, 0, 0, 0, SF::None, E::Move16Abs, kInd, kAbs),
    Later(k040AndUp, "move16", 0xF618, 0, 0, 0, SF::None, E::Move16Abs, kAbs, kInd),
    CACHE("cinvl", 0x08), CACHE("cinvp", 0x10),
    Later(k040AndUp, "cinva", 0xF418, 0, 0, 0, SF::None, E::Cache, kCache),
    CACHE("cpushl", 0x28), CACHE("cpushp", 0x30),
    Later(k040AndUp, "cpusha", 0xF438, 0, 0, 0, SF::None, E::Cache, kCache),
    Later(k040AndUp, "pflushn", 0xF500, 0, 0, 0, SF::None, E::Reg0, kInd),
    Later(k040AndUp, "pflushan", 0xF510, 0, 0, 0, SF::None, E::Fixed),
    // The 68060's (lpstop also the CPU32's).
    Later(k060, "plpar", 0xF5C8, 0, 0, 0, SF::None, E::Reg0, kInd),
    Later(k060, "plpaw", 0xF588, 0, 0, 0, SF::None, E::Reg0, kInd),
    Later(k060Cpu32, "lpstop", 0xF800, 0x01C0, 0, 0, SF::None, E::ExtThenImm, kImm),
    // The CPU32's.
    TABLE("tbls", 0x0800), TABLE("tblsn", 0x0C00), TABLE("tblu", 0x0000), TABLE("tblun", 0x0400),
    Later(kCpu32Only, "bgnd", 0x4AFA, 0, 0, 0, SF::None, E::Fixed),
    // The FPU's (68881, 68882, and the 68040's and 68060's own).
    FPU_MONADIC(kFpu, "fabs", 0x18), FPU_MONADIC(kFpu, "facos", 0x1C),
    FPU_DYADIC(kFpu, "fadd", 0x22), FPU_MONADIC(kFpu, "fasin", 0x0C),
    FPU_MONADIC(kFpu, "fatan", 0x0A), FPU_MONADIC(kFpu, "fatanh", 0x0D),
    FPU_DYADIC(kFpu, "fcmp", 0x38), FPU_MONADIC(kFpu, "fcos", 0x1D),
    FPU_MONADIC(kFpu, "fcosh", 0x19), FPU_DYADIC(kFpu, "fdiv", 0x20),
    FPU_MONADIC(kFpu, "fetox", 0x10), FPU_MONADIC(kFpu, "fetoxm1", 0x08),
    FPU_MONADIC(kFpu, "fgetexp", 0x1E), FPU_MONADIC(kFpu, "fgetman", 0x1F),
    FPU_MONADIC(kFpu, "fint", 0x01), FPU_MONADIC(kFpu, "fintrz", 0x03),
    FPU_MONADIC(kFpu, "flog10", 0x15), FPU_MONADIC(kFpu, "flog2", 0x16),
    FPU_MONADIC(kFpu, "flogn", 0x14), FPU_MONADIC(kFpu, "flognp1", 0x06),
    FPU_DYADIC(kFpu, "fmod", 0x21), FPU_DYADIC(kFpu, "fmul", 0x23),
    FPU_MONADIC(kFpu, "fneg", 0x1A), FPU_DYADIC(kFpu, "frem", 0x25),
    FPU_DYADIC(kFpu, "fscale", 0x26), FPU_DYADIC(kFpu, "fsgldiv", 0x24),
    FPU_DYADIC(kFpu, "fsglmul", 0x27), FPU_MONADIC(kFpu, "fsin", 0x0E),
    FPU_MONADIC(kFpu, "fsinh", 0x02), FPU_MONADIC(kFpu, "fsqrt", 0x04),
    FPU_DYADIC(kFpu, "fsub", 0x28), FPU_MONADIC(kFpu, "ftan", 0x0F),
    FPU_MONADIC(kFpu, "ftanh", 0x09), FPU_MONADIC(kFpu, "ftentox", 0x12),
    FPU_MONADIC(kFpu, "ftwotox", 0x11),
    Later(kFpu, "fsincos", 0xF200, 0x4030, kRegisterSizes, L, SF::None, E::FpuSinCos, kDn, kFpPair),
    Later(kFpu, "fsincos", 0xF200, 0x4030, kFloatSizes, X, SF::None, E::FpuSinCos, kMemory, kFpPair),
    Later(kFpu, "fsincos", 0xF200, 0x0030, X, X, SF::None, E::FpuSinCos, kFpReg, kFpPair),
    Later(kFpu, "ftst", 0xF200, 0x403A, kRegisterSizes, L, SF::None, E::FpuSource, kDn),
    Later(kFpu, "ftst", 0xF200, 0x403A, kFloatSizes, X, SF::None, E::FpuSource, kMemory),
    Later(kFpu, "ftst", 0xF200, 0x003A, X, X, SF::None, E::FpuTest, kFpReg),
    // fmove: in, between registers, out (a k-factor with .p), and the
    // control registers (an address register only to and from fpiar).
    FPU_DYADIC(kFpu, "fmove", 0x00),
    Later(kFpu, "fmove", 0xF200, 0x6000, kRegisterSizes, L, SF::None, E::FpuStore, kFpReg, kDn),
    Later(kFpu, "fmove", 0xF200, 0x6000, kFloatSizes, X, SF::None, E::FpuStore, kFpReg, kMemAlt),
    Later(kFpu, "fmove", 0xF200, 0x8000, L, L, SF::None, E::FpuControlTo, kAll, kFpCtrl),
    Later(kFpu, "fmove", 0xF200, 0xA000, L, L, SF::None, E::FpuControlFrom, kFpCtrl, kAlterable),
    Later(kFpu, "fmovem", 0xF200, 0xE000, X, X, SF::None, E::FpuMovemTo, kFpList | kFpReg | kDn,
          kCtrlAlt | kPreDec),
    Later(kFpu, "fmovem", 0xF200, 0xC000, X, X, SF::None, E::FpuMovemFrom, kControl | kPostInc,
          kFpList | kFpReg | kDn),
    Later(kFpu, "fmovem", 0xF200, 0x8000, L, L, SF::None, E::FpuControlTo, kAll, kFpCtrl),
    Later(kFpu, "fmovem", 0xF200, 0xA000, L, L, SF::None, E::FpuControlFrom, kFpCtrl, kAlterable),
    Later(kFpu, "fmovecr", 0xF200, 0x5C00, X, X, SF::None, E::FpuMovecr, kImm, kFpReg),
    Later(kFpu, "fnop", 0xF280, 0x0000, 0, 0, SF::None, E::FpuTrap),
    Later(kFpu, "fsave", 0xF300, 0, 0, 0, SF::None, E::FpuEa, kCtrlAlt | kPreDec),
    Later(kFpu, "frestore", 0xF340, 0, 0, 0, SF::None, E::FpuEa, kControl | kPostInc),
    FPU_CONDITION("f", 0x00), FPU_CONDITION("eq", 0x01), FPU_CONDITION("ogt", 0x02),
    FPU_CONDITION("oge", 0x03), FPU_CONDITION("olt", 0x04), FPU_CONDITION("ole", 0x05),
    FPU_CONDITION("ogl", 0x06), FPU_CONDITION("or", 0x07), FPU_CONDITION("un", 0x08),
    FPU_CONDITION("ueq", 0x09), FPU_CONDITION("ugt", 0x0A), FPU_CONDITION("uge", 0x0B),
    FPU_CONDITION("ult", 0x0C), FPU_CONDITION("ule", 0x0D), FPU_CONDITION("ne", 0x0E),
    FPU_CONDITION("t", 0x0F), FPU_CONDITION("sf", 0x10), FPU_CONDITION("seq", 0x11),
    FPU_CONDITION("gt", 0x12), FPU_CONDITION("ge", 0x13), FPU_CONDITION("lt", 0x14),
    FPU_CONDITION("le", 0x15), FPU_CONDITION("gl", 0x16), FPU_CONDITION("gle", 0x17),
    FPU_CONDITION("ngle", 0x18), FPU_CONDITION("ngl", 0x19), FPU_CONDITION("nle", 0x1A),
    FPU_CONDITION("nlt", 0x1B), FPU_CONDITION("nge", 0x1C), FPU_CONDITION("ngt", 0x1D),
    FPU_CONDITION("sne", 0x1E), FPU_CONDITION("st", 0x1F),
    // The 68040's, rounded to single (fs...) or double (fd...) precision.
    FPU_DYADIC(kFpu040, "fsmove", 0x40), FPU_DYADIC(kFpu040, "fdmove", 0x44),
    FPU_MONADIC(kFpu040, "fssqrt", 0x41), FPU_MONADIC(kFpu040, "fdsqrt", 0x45),
    FPU_MONADIC(kFpu040, "fsabs", 0x58), FPU_MONADIC(kFpu040, "fdabs", 0x5C),
    FPU_MONADIC(kFpu040, "fsneg", 0x5A), FPU_MONADIC(kFpu040, "fdneg", 0x5E),
    FPU_DYADIC(kFpu040, "fsdiv", 0x60), FPU_DYADIC(kFpu040, "fddiv", 0x64),
    FPU_DYADIC(kFpu040, "fsadd", 0x62), FPU_DYADIC(kFpu040, "fdadd", 0x66),
    FPU_DYADIC(kFpu040, "fsmul", 0x63), FPU_DYADIC(kFpu040, "fdmul", 0x67),
    FPU_DYADIC(kFpu040, "fssub", 0x68), FPU_DYADIC(kFpu040, "fdsub", 0x6C),
};

// clang-format on

constexpr size_t kRowCount = sizeof(kRows) / sizeof(kRows[0]);

constexpr bool TakesSpecialOperands(const InstructionForm& row) {
  if (row.operandCount > 2) return true;
  const LaterModes& later = kLaterModes[row.laterModes];
  return ((row.modes[0] | row.modes[1] | later.third | later.fourth) & kSpecialKinds) != 0;
}

// The rows, each mnemonic with a row that takes special operands marked
// kSpecialRow in all its rows.
constexpr std::array<InstructionForm, kRowCount> MarkSpecialMnemonics() {
  std::array<InstructionForm, kRowCount> rows{};
  for (size_t i = 0; i < kRowCount; ++i) rows[i] = kRows[i];
  for (size_t begin = 0, end = 0; begin < kRowCount; begin = end) {
    bool special = false;
    for (end = begin; end < kRowCount && rows[end].name == rows[begin].name; ++end) {
      special = special || TakesSpecialOperands(rows[end]);
    }
    if (!special) continue;
    for (size_t i = begin; i < end; ++i) rows[i].flags |= kSpecialRow;
  }
  return rows;
}

constexpr std::array<InstructionForm, kRowCount> kForms = MarkSpecialMnemonics();

// Whether each machine's rows of each mnemonic follow one another, as the
// lookup of a machine's rows needs.
constexpr bool MachineRowsAdjacent() {
  for (size_t begin = 0, end = 0; begin < kRowCount; begin = end) {
    for (end = begin; end < kRowCount && kForms[end].name == kForms[begin].name; ++end) {
    }
    for (int bit = 0; bit < 2 * kCpuCount; ++bit) {
      int runs = 0;
      bool inRun = false;
      for (size_t i = begin; i < end; ++i) {
        bool on = kForms[i].machines & (1u << bit);
        if (on && !inRun) ++runs;
        inRun = on;
      }
      if (runs > 1) return false;
    }
  }
  return true;
}
static_assert(MachineRowsAdjacent(), "a machine's rows of a mnemonic are apart in the table");

constexpr uint16_t kFormCount = static_cast<uint16_t>(kRowCount);

constexpr uint16_t k020To040 = Machines({k68020, k68030, k68040});
constexpr uint16_t k040Up = Machines({k68040, k68060});

// Each processor's control registers, as its manual lists them for movec.
constexpr ControlRegister kControlRegisters[] = {
    {"sfc", 0x000, k68010Up},
    {"dfc", 0x001, k68010Up},
    {"vbr", 0x801, k68010Up},
    {"cacr", 0x002, k68020Up},
    {"caar", 0x802, Machines({k68020, k68030})},
    {"msp", 0x803, k020To040},
    {"isp", 0x804, k020To040},
    {"tc", 0x003, k040Up},
    {"itt0", 0x004, k040Up},
    {"itt1", 0x005, k040Up},
    {"dtt0", 0x006, k040Up},
    {"dtt1", 0x007, k040Up},
    {"mmusr", 0x805, Machines({k68040})},
    {"urp", 0x806, k040Up},
    {"srp", 0x807, k040Up},
    {"buscr", 0x008, Machines({k68060})},
    {"pcr", 0x808, Machines({k68060})},
    // The names of the transparent translation registers on the 68EC040,
    // which has no MMU.
    {"iacr0", 0x004, k040Up},
    {"iacr1", 0x005, k040Up},
    {"dacr0", 0x006, k040Up},
    {"dacr1", 0x007, k040Up},
};

// The 68030's MMU registers, as its manual lists them for pmove (psr is
// mmusr's older name).
constexpr MmuRegister kMmuRegisters[] = {
    {"tc", 0x4000, true, kSizeL},    {"srp", 0x4800, true, kSizeNone},
    {"crp", 0x4C00, true, kSizeNone}, {"tt0", 0x0800, true, kSizeL},
    {"tt1", 0x0C00, true, kSizeL},   {"mmusr", 0x6000, false, kSizeW},
    {"psr", 0x6000, false, kSizeW},
};

struct Hint {
  std::string_view name;
  int8_t operand;
  int8_t operandCount;
  uint32_t modes;
  std::string_view text;
};

constexpr Hint kHints[] = {
    {"addq", 1, 2, kAn, "address registers take addq.w or addq.l"},
    {"subq", 1, 2, kAn, "address registers take subq.w or subq.l"},
    {"move", 1, 2, kPcDisp | kPcIndex | kImm, "a destination must be writable"},
    {"moveq", 1, 2, kAll & ~kDn, "moveq loads a data register"},
    {"eor", 0, 2, kAll & ~kDn & ~kImm, "eor takes its source from a data register"},
    {"lea", 1, 2, kDn, "lea loads an address register"},
    {"movep", 0, 2, kInd, "movep needs d16(An); write 0(An)"},
    {"movep", 1, 2, kInd, "movep needs d16(An); write 0(An)"},
    {"tst", 0, 1, kAn, "use cmpa.w #0,An"},
    {"clr", 0, 1, kAn, "use suba.l An,An"},
    {"bra", 0, 1, kAll & ~kAbs, "use jmp"},
    {"bsr", 0, 1, kAll & ~kAbs, "use jsr"},
};

}  // namespace

int FindControlRegister(std::string_view lowerName) {
  for (size_t i = 0; i < sizeof(kControlRegisters) / sizeof(kControlRegisters[0]); ++i) {
    if (kControlRegisters[i].name == lowerName) return static_cast<int>(i);
  }
  return -1;
}

const ControlRegister& ControlRegisterAt(int index) { return kControlRegisters[index]; }

int FindMmuRegister(std::string_view lowerName) {
  for (size_t i = 0; i < sizeof(kMmuRegisters) / sizeof(kMmuRegisters[0]); ++i) {
    if (kMmuRegisters[i].name == lowerName) return static_cast<int>(i);
  }
  return -1;
}

const MmuRegister& MmuRegisterAt(int index) { return kMmuRegisters[index]; }

int FindCache(std::string_view lowerName) {
  constexpr std::string_view kCaches[] = {"nc", "dc", "ic", "bc"};
  for (int i = 0; i < 4; ++i) {
    if (kCaches[i] == lowerName) return i;
  }
  return -1;
}

uint32_t LaterOperandModes(uint8_t index, int operand) {
  const LaterModes& modes = kLaterModes[index];
  return operand == 2 ? modes.third : operand == 3 ? modes.fourth : 0;
}

const InstructionForm& FormAt(uint16_t index) { return kForms[index]; }

uint16_t FormCount() { return kFormCount; }

std::string_view ModeHint(std::string_view name, int operand, OperandKind kind, int operandCount) {
  for (const Hint& hint : kHints) {
    if (hint.name == name && hint.operand == operand && hint.operandCount == operandCount &&
        (hint.modes & ModeBit(kind))) {
      return hint.text;
    }
  }
  return std::string_view();
}

}  // namespace asm68k
