#include "cpu.h"

#include "source.h"

namespace asm68k {

namespace {

constexpr std::string_view kCpuNames[kCpuCount] = {"68000", "68010", "68020", "68030",
                                                   "68040", "68060", "cpu32"};

bool HasCpu(uint16_t machines, Cpu cpu) {
  return machines & (MachineBit(cpu, false) | MachineBit(cpu, true));
}

}  // namespace

bool CpuFromName(std::string_view name, Cpu& cpu) {
  std::string lower = ToLowerCopy(name);
  std::string_view bare(lower);
  if (bare.size() == 7 && bare.substr(0, 2) == "mc") bare.remove_prefix(2);
  for (int i = 0; i < kCpuCount; ++i) {
    if (kCpuNames[i] == bare) {
      cpu = static_cast<Cpu>(i);
      return true;
    }
  }
  return false;
}

std::string_view CpuName(Cpu cpu) { return kCpuNames[cpu]; }

namespace {

// Who has a form of the set `machines` ("a 68020 or later", "the FPU") and
// the directives that choose it ("machine 68020"), for messages.
struct Need {
  std::string who, how;
};

Need NeedOf(uint16_t machines, uint16_t machine) {
  // The chosen processor has the form with the FPU: only the FPU is missing.
  if (!FpuOf(machine) && (machines & MachineBit(CpuOf(machine), true))) return {"the FPU", "fpu 1"};
  int first = 0;
  while (first < kCpuCount && !HasCpu(machines, static_cast<Cpu>(first))) ++first;
  if (first == kCpuCount) return {"another processor", "machine"};
  // The first processor that has it has it only with the FPU (a 68040 has
  // its FPU on the chip).
  bool needsFpu = !(machines & MachineBit(static_cast<Cpu>(first), false));
  std::string name(kCpuNames[first]);
  Need need{first == kCpu32 ? "a CPU32" : "a " + name, "machine " + name};
  bool later = first < k68060;
  for (int i = first; later && i <= k68060; ++i) later = HasCpu(machines, static_cast<Cpu>(i));
  if (later) need.who += " or later";
  if (needsFpu) {
    need.who += " with the FPU";
    need.how += ", fpu 1";
  }
  return need;
}

}  // namespace

std::string MachinesNeeded(uint16_t machines, uint16_t machine) {
  Need need = NeedOf(machines, machine);
  return need.who + ": " + need.how;
}

std::string MachinesHave(uint16_t machines, uint16_t machine) {
  Need need = NeedOf(machines, machine);
  return need.who + " has it: " + need.how;
}

}  // namespace asm68k
