#pragma once
// The instruction table: the 68000 family's instruction set as data. Each
// row is one mnemonic with one operand form: its opcode bits (and second
// word, where the form has one), the processors that have it, the sizes it
// takes, where the size goes in the opcode, the addressing modes each
// operand may use and how the operands are placed in the instruction words.

#include <cstdint>
#include <string_view>

#include "cpu.h"

namespace asm68k {

// How an operand was written. The order gives each kind its bit in a row's
// mode masks.
enum OperandKind : uint8_t {
  kOpDataReg,    // Dn
  kOpAddrReg,    // An
  kOpIndirect,   // (An)
  kOpPostInc,    // (An)+
  kOpPreDec,     // -(An)
  kOpDisp,       // d16(An)
  kOpIndex,      // d8(An,Xn)
  kOpAbsolute,   // address, address.w, address.l
  kOpPcDisp,     // label(pc)
  kOpPcIndex,    // label(pc,Xn)
  kOpImmediate,  // #value
  kOpSr,
  kOpCcr,
  kOpUsp,
  kOpRegList,  // d0-d3/a0 (movem)
  kOpCtrlReg,  // a control register of movec: vbr, cacr... (usp is kOpUsp)
  // The 68020's operands (operands_full.cpp): the full extension word, with
  // a sized or long base displacement, a suppressed base or index register
  // and memory indirection; register pairs; bit fields.
  kOpFull,      // (bd,An,Xn), ([bd,An],Xn,od), ([bd,An,Xn],od), (bd,Xn), (bd,za0)...
  kOpPcFull,    // the same on pc or zpc
  kOpRegPair,   // Dh:Dl, Dr:Dq, Dc1:Dc2, tbls's Dym:Dyn (reg, indexReg: 0-15 for d0-d7/a0-a7)
  kOpIndPair,   // (Rn1):(Rn2) of cas2 (reg, indexReg: 0-15)
  kOpBitField,  // {offset:width} of the bit field instructions
  // The system instructions of the 68030, 68040, 68060 and CPU32.
  kOpMmuReg,   // a 68030 MMU register of pmove: tc, srp, crp, tt0, tt1, mmusr (reg: its place)
  kOpCache,    // the caches of cinv and cpush: nc, dc, ic, bc (reg: 0-3)
  // The FPU's registers.
  kOpFpReg,    // fp0-fp7
  kOpFpList,   // fp0-fp3/fp7 (fmovem): regMask bit n for fpn
  kOpFpCtrl,   // fpcr, fpsr, fpiar or a list of them: regMask 4, 2, 1 for each
  kOpFpPair,   // fpc:fps (fsincos): reg c, indexReg s
  kOpValue,    // a directive's expression
  kOpBytes,    // a directive's string or file contents
};

constexpr uint32_t ModeBit(OperandKind kind) { return 1u << kind; }

constexpr uint32_t kDn = ModeBit(kOpDataReg);
constexpr uint32_t kAn = ModeBit(kOpAddrReg);
constexpr uint32_t kInd = ModeBit(kOpIndirect);
constexpr uint32_t kPostInc = ModeBit(kOpPostInc);
constexpr uint32_t kPreDec = ModeBit(kOpPreDec);
constexpr uint32_t kDisp = ModeBit(kOpDisp);
// The full extension word's modes go wherever d8(An,Xn) and d8(pc,Xn) do.
constexpr uint32_t kIndex = ModeBit(kOpIndex) | ModeBit(kOpFull);
constexpr uint32_t kAbs = ModeBit(kOpAbsolute);
constexpr uint32_t kPcDisp = ModeBit(kOpPcDisp);
constexpr uint32_t kPcIndex = ModeBit(kOpPcIndex) | ModeBit(kOpPcFull);
constexpr uint32_t kImm = ModeBit(kOpImmediate);
constexpr uint32_t kSr = ModeBit(kOpSr);
constexpr uint32_t kCcr = ModeBit(kOpCcr);
constexpr uint32_t kUsp = ModeBit(kOpUsp);
constexpr uint32_t kRegList = ModeBit(kOpRegList);
constexpr uint32_t kCtrlReg = ModeBit(kOpCtrlReg);
constexpr uint32_t kRegPair = ModeBit(kOpRegPair);
constexpr uint32_t kIndPair = ModeBit(kOpIndPair);
constexpr uint32_t kBitField = ModeBit(kOpBitField);
// The system instructions of the 68030, 68040, 68060 and CPU32.
constexpr uint32_t kMmuReg = ModeBit(kOpMmuReg);
constexpr uint32_t kCache = ModeBit(kOpCache);
constexpr uint32_t kFpReg = ModeBit(kOpFpReg);
constexpr uint32_t kFpList = ModeBit(kOpFpList);
constexpr uint32_t kFpCtrl = ModeBit(kOpFpCtrl);
constexpr uint32_t kFpPair = ModeBit(kOpFpPair);

// The processor manual's addressing-mode categories.
constexpr uint32_t kAll =
    kDn | kAn | kInd | kPostInc | kPreDec | kDisp | kIndex | kAbs | kPcDisp | kPcIndex | kImm;
constexpr uint32_t kData = kAll & ~kAn;
constexpr uint32_t kMemory = kData & ~kDn;
constexpr uint32_t kAlterable = kDn | kAn | kInd | kPostInc | kPreDec | kDisp | kIndex | kAbs;
constexpr uint32_t kDataAlt = kAlterable & ~kAn;
constexpr uint32_t kMemAlt = kDataAlt & ~kDn;
constexpr uint32_t kControl = kInd | kDisp | kIndex | kAbs | kPcDisp | kPcIndex;
constexpr uint32_t kCtrlAlt = kControl & ~(kPcDisp | kPcIndex);

// Size bits. kSizeS is the short branch, and the FPU's single precision;
// the FPU's double, extended and packed decimal follow.
enum : uint8_t {
  kSizeNone = 0,
  kSizeB = 1,
  kSizeW = 2,
  kSizeL = 4,
  kSizeS = 8,
  kSizeD = 16,
  kSizeX = 32,
  kSizeP = 64,
};

// Where the size is encoded in the first word.
enum class SizeField : uint8_t {
  None,    // fixed by the opcode
  Bits76,  // 00 byte, 01 word, 10 long in bits 7-6
  Move,    // 01 byte, 11 word, 10 long in bits 13-12
  Bit8,    // 0 word, 1 long in bit 8 (adda, suba, cmpa)
  Bit6,    // 0 word, 1 long in bit 6 (movem, movep, ext)
  // The 68020's.
  Bits109,     // 00 byte, 01 word, 10 long in bits 10-9 (chk2, cmp2)
  Bits109Cas,  // 01 byte, 10 word, 11 long in bits 10-9 (cas, cas2)
};

// How the operands go into the instruction words. "Ea" is a 6-bit
// mode/register field in bits 5-0; "Reg9" a register number in bits 11-9;
// "Reg0" one in bits 2-0. Operand 0 is the source, operand 1 the destination.
enum class Encoding : uint8_t {
  Fixed,       // no operands
  Ea,          // ea(op0) (op1, if any, is fixed by the opcode: sr or ccr)
  EaDst,       // op0 is sr; ea(op1)
  EaReg9,      // ea(op0), reg9(op1)
  Reg9Ea,      // reg9(op0), ea(op1)
  Move,        // ea(op0), ea(op1) with mode and register swapped into bits 11-6
  ImmEa,       // immediate words sized like the instruction, then ea(op1)
  ImmFixed,    // one immediate word (byte value for ccr), op1 is ccr or sr
  Quick,       // 1-8 in bits 11-9, ea(op1)
  Moveq,       // -128..127 in bits 7-0, reg9(op1)
  ShiftImm,    // 1-8 in bits 11-9, reg0(op1)
  ShiftReg,    // reg9(op0), reg0(op1)
  BitImm,      // bit-number word, ea(op1)
  Branch,      // displacement in bits 7-0 or in a word
  Dbcc,        // reg0(op0), word displacement to op1
  RegXY,       // reg0(op0), reg9(op1)
  Exg,         // reg9(op0), reg0(op1)
  ExgSwap,     // reg0(op0), reg9(op1): the data register always goes in 11-9
  Reg0,        // reg0(op0)
  Reg0Dst,     // reg0(op1)
  Link,        // reg0(op0), word displacement op1
  Trap,        // vector 0-15 in bits 3-0
  Stop,        // immediate word
  MovemToMem,  // mask word from op0, ea(op1)
  MovemToReg,  // mask word from op1, ea(op0)
  MovepToReg,  // d16(An) op0, reg9(op1)
  MovepToMem,  // reg9(op0), d16(An) op1
  // The later processors' forms (encoder_family.cpp).
  Bkpt,        // vector 0-7 in bits 2-0
  MovecFrom,   // the second word: general register op1 in 15-12, control register op0
  MovecTo,     // the same, from op0 to the control register op1
  MovesToMem,  // the second word: general register op0 in 15-12, bit 11 set; ea(op1)
  MovesFromMem,  // the second word: general register op1 in 15-12; ea(op0)
  // The 68020's integer additions. "Ext" is the second word: the row's
  // extension with the fields named; it comes before ea's own words.
  LinkLong,     // reg0(op0), long displacement op1
  MulLong,      // ea(op0); ext: Dl (op1, or a pair's second) in 14-12, a pair's Dh in 2-0
  DivLong,      // ea(op0); ext: Dq in 14-12, Dr in 2-0 (Dq again for one register)
  BitField,     // ea(op0); ext: the bit field op1
  BitFieldReg,  // ea(op0); ext: the bit field op1, data register op2 in 14-12
  BitFieldIns,  // ea(op1); ext: data register op0 in 14-12, the bit field op2
  Cas,          // ea(op2); ext: Du (op1) in 8-6, Dc (op0) in 2-0
  Cas2,         // two ext words: Rn, Du, Dc of each pair
  Chk2,         // ea(op0); ext: general register op1 in 15-12
  Callm,        // ea(op1); ext: the argument count op0
  Rtm,          // general register op0 in bits 3-0
  PackUnpk,     // reg0(op0), reg9(op1), adjustment word op2
  TrapCc,       // the operand sized like the instruction
  // The system instructions of the 68030, 68040, 68060 and CPU32
  // (encoder_system.cpp). "Ext" is the row's second word.
  PmoveTo,     // ext with the MMU register op1; ea(op0)
  PmoveFrom,   // ext with the MMU register op0 and bit 9 (to memory); ea(op1)
  FixedExt,    // ext alone (the 68030's pflusha)
  Pflush030,   // ext with the function code op0 and the mask op1 in 7-5; ea(op2) if any
  Pload030,    // ext with the function code op0; ea(op1)
  Ptest030,    // ext with the function code op0, the level op2 in 12-10 and An op3 in 7-5
               // with bit 8; ea(op1)
  Move16,      // (Ax)+,(Ay)+: Ax in bits 2-0; ext: Ay in 14-12 and bit 15
  Move16Abs,   // An of op0 or op1 in bits 2-0; the other's long address
  Cache,       // the caches op0 in bits 7-6, An of (An) op1 (if any) in bits 2-0
  ExtThenImm,  // ext, then an immediate word op0 (lpstop)
  Table,       // ext with the size in 7-6 and Dx op1 in 14-12; ea(op0) (tbls <ea>,Dx)
  TableRegs,   // Dym of op0 in bits 2-0; ext with the size, Dx op1 and Dyn in 2-0
  // The FPU's forms (encoder_fpu.cpp): the opcode word, then a command word
  // (the row's extension) with the fields below, then any address's words.
  FpuSource,       // <ea>,fpn: the source's format and ea; fpn in 9-7
  FpuRegister,     // fpm,fpn in 12-10 and 9-7; fpn alone is fpn,fpn
  FpuTest,         // ftst fpm: fpm in 12-10
  FpuSinCos,       // <ea> or fpm, then fpc:fps: fps in 9-7, fpc in 2-0
  FpuStore,        // fpn,<ea>: the destination's format, a k-factor for .p
  FpuControlTo,    // <ea>,fpcr/fpsr/fpiar: the list in 12-10
  FpuControlFrom,  // fpcr/fpsr/fpiar,<ea>
  FpuMovemTo,      // fp register list or Dn (dynamic),<ea>
  FpuMovemFrom,    // <ea>,fp register list or Dn
  FpuMovecr,       // #rom offset,fpn
  FpuEa,           // ea(op0) in the opcode word alone (fsave, frestore)
  FpuScc,          // the condition word, then ea(op0)
  FpuBranch,       // fbcc: a word or long displacement from the word after the opcode
  FpuDbcc,         // fdbcc: Dn, the condition word, a word displacement
  FpuTrap,         // ftrapcc: the condition word, then a word or long (or none)
};

// Whether a row is one of the FPU's.
constexpr bool IsFpuEncoding(Encoding encoding) {
  return encoding >= Encoding::FpuSource && encoding <= Encoding::FpuTrap;
}

// Row flags.
enum : uint8_t {
  kByteNoAn = 1,  // the byte size cannot use an address register
  // A row of a mnemonic whose lines take the fuller operand parse: some row
  // of it takes a kind of kSpecialKinds or more than two operands (set on
  // all its rows by the table itself).
  kSpecialRow = 2,
};

// The most operands a row takes (ptestr #fc,(a0),#level,a1).
constexpr int kMaxOperands = 4;

// The modes of the third and fourth operands a few rows take, by their
// place in a table of their own (0 for none): the common rows stay small.
uint32_t LaterOperandModes(uint8_t index, int operand);

struct InstructionForm {
  std::string_view name;  // lower case
  uint16_t opcode;
  uint8_t sizes;        // allowed size bits
  uint8_t defaultSize;  // size when none is written
  SizeField sizeField;
  Encoding encoding;
  uint8_t operandCount;
  uint32_t modes[2];    // allowed operand kinds of the first two operands
  uint8_t flags;
  uint8_t laterModes;   // the third and fourth operands' kinds (LaterOperandModes)
  uint16_t extension;   // the second word's fixed bits, for forms that have one
  uint16_t machines;    // the processors (and FPU) that have the form (cpu.h)

  // The kinds operand `i` may be.
  uint32_t Modes(int i) const { return i < 2 ? modes[i] : LaterOperandModes(laterModes, i); }
};

// The processors whose indexed modes scale the index (*2, *4, *8).
constexpr uint16_t kScaledIndexMachines = k68020UpCpu32;
// The processors with the full extension word (the CPU32 has only the brief one).
constexpr uint16_t kFullFormatMachines = k68020Up;

// Kinds of operand that only some mnemonics' operands are read as (a
// control register's name is a label's anywhere else), or a mnemonic with
// more than two operands: its lines are read by the fuller operand parse.
constexpr uint32_t kSpecialKinds =
    kCtrlReg | kBitField | kMmuReg | kCache | kFpReg | kFpList | kFpCtrl | kFpPair;

// The rows of one mnemonic (FindOperation finds them by name), or those of
// them one machine has; count 0 for none. The rows of a mnemonic that a
// machine has follow one another in the table, whichever the machine.
struct FormRange {
  uint16_t first = 0;
  uint16_t count = 0;
};

// A control register that movec reads or writes (usp, an operand of its
// own, is not among them).
struct ControlRegister {
  std::string_view name;  // lower case
  uint16_t code;          // its number in movec's second word
  uint16_t machines;      // the processors that have it
};

// The control register of that name (in lower case), or -1.
int FindControlRegister(std::string_view lowerName);
const ControlRegister& ControlRegisterAt(int index);

// A 68030 MMU register that pmove reads or writes.
struct MmuRegister {
  std::string_view name;  // lower case
  uint16_t bits;          // its format and number in pmove's second word
  bool flushable;         // pmovefd takes it
  uint8_t size;           // its width as a size written on pmove (kSizeNone: a quad word)
};

// The MMU register of that name (in lower case), or -1.
int FindMmuRegister(std::string_view lowerName);
const MmuRegister& MmuRegisterAt(int index);

// The caches that cinv and cpush name (nc, dc, ic, bc: 0-3), or -1.
int FindCache(std::string_view lowerName);

const InstructionForm& FormAt(uint16_t index);
uint16_t FormCount();

// A hint appended to "NAME cannot take MODE as ..." when one helps, e.g.
// "use cmpa" for cmpi with an address register; empty if none.
std::string_view ModeHint(std::string_view name, int operand, OperandKind kind, int operandCount);

}  // namespace asm68k
