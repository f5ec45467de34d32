#pragma once
// The processors of the 68000 family the assembler encodes for, and the
// floating-point unit beside them. A source chooses one (machine, mc68020,
// opt p=...) from a line on; each pass starts at the plain 68000. What an
// instruction form needs is a set of "machines": a bit for each processor,
// with the FPU off and on.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "options.h"

namespace asm68k {

// In the order messages name them by: the first of a set is the oldest.
enum Cpu : uint8_t { k68000, k68010, k68020, k68030, k68040, k68060, kCpu32, kCpuCount };

// A processor with the FPU off and with it on: two bits of a machine set.
constexpr uint16_t MachineBit(Cpu cpu, bool fpu) {
  return static_cast<uint16_t>(1u << (cpu + (fpu ? kCpuCount : 0)));
}

// The machines of a set of processors, whatever the FPU.
constexpr uint16_t Machines(std::initializer_list<Cpu> cpus) {
  uint16_t set = 0;
  for (Cpu cpu : cpus) {
    set = static_cast<uint16_t>(set | MachineBit(cpu, false) | MachineBit(cpu, true));
  }
  return set;
}

constexpr uint16_t kAnyMachine = Machines({k68000, k68010, k68020, k68030, k68040, k68060, kCpu32});
constexpr uint16_t k68010Up = Machines({k68010, k68020, k68030, k68040, k68060, kCpu32});
constexpr uint16_t k68020Up = Machines({k68020, k68030, k68040, k68060});
constexpr uint16_t k68020UpCpu32 = Machines({k68020, k68030, k68040, k68060, kCpu32});
// The machines with the FPU on: ANDed into a set, the form needs it.
constexpr uint16_t kFpuOn = static_cast<uint16_t>(kAnyMachine & ~((1u << kCpuCount) - 1));

// The processor and the FPU of a machine bit.
inline Cpu CpuOf(uint16_t machine) {
  int index = 0;
  while (index < 2 * kCpuCount && !(machine & (1u << index))) ++index;
  return static_cast<Cpu>(index % kCpuCount);
}
inline bool FpuOf(uint16_t machine) { return machine >= (1u << kCpuCount); }

// The machine bit of Options::machineIndex: the place of its bit.
constexpr uint16_t MachineOfIndex(uint8_t index) { return static_cast<uint16_t>(1u << index); }

// The machine the options choose, and its processor and FPU.
inline uint16_t ChosenMachine(const Options& options) {
  return MachineOfIndex(options.machineIndex);
}
inline Cpu ChosenCpu(const Options& options) {
  return static_cast<Cpu>(options.machineIndex % kCpuCount);
}
inline bool FpuChosen(const Options& options) { return options.machineIndex >= kCpuCount; }
inline void ChooseMachine(Options& options, Cpu cpu, bool fpu) {
  options.machineIndex = static_cast<uint8_t>(cpu + (fpu ? kCpuCount : 0));
}

// The processor named ("68020", "mc68020", "MC68020", "cpu32"), in any case;
// false for any other name.
bool CpuFromName(std::string_view name, Cpu& cpu);

// "68020", "cpu32".
std::string_view CpuName(Cpu cpu);

// What a form of the set `machines` needs, as messages say it, with the
// directives that give it: "a 68020 or later: machine 68020", "a 68030:
// machine 68030", "a CPU32: machine cpu32", "the FPU: fpu 1", "a 68020 or
// later with the FPU: machine 68020, fpu 1".
// `machine` is the one chosen.
std::string MachinesNeeded(uint16_t machines, uint16_t machine);
// The same as a clause after a message: "a 68020 or later has it: machine 68020".
std::string MachinesHave(uint16_t machines, uint16_t machine);

}  // namespace asm68k
