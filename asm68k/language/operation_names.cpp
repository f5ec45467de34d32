#include "operation_names.h"

#include <atomic>
#include <cstring>

#include "directive_table.h"
#include "source.h"
#include "symbols.h"

namespace asm68k {

namespace {

// A name of up to eight characters read as one number: its bytes in memory
// order, the rest zero. Built the same way for the table and a lookup.
uint64_t LoadWord(const char* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, sizeof(word));
  return word;
}

// 'A'-'Z' to lower case in each byte of a word; other bytes stay as they are.
// Each byte is tested on its low seven bits, so no carry crosses into the
// next, and a byte with the top bit set is never a letter.
uint64_t LowerBytes(uint64_t word) {
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  uint64_t low7 = word & ~kHigh;
  uint64_t atLeastA = low7 + kOnes * (0x80 - 'A');
  uint64_t pastZ = low7 + kOnes * (0x80 - 'Z' - 1);
  uint64_t upper = atLeastA & ~pastZ & ~word & kHigh;
  return word | (upper >> 2);
}

// Mnemonics and directive names in one open-addressing table.
struct OperationIndex {
  static constexpr uint32_t kSlots = 1024;  // a power of two, well above the name count
  struct Slot {
    std::string_view name;
    Operation operation;
  };
  Slot slots[kSlots] = {};

  // Every name of eight characters or fewer (all of ours) again, looked up
  // by its characters read as one number: no string hashed or compared.
  struct ShortSlot {
    uint64_t key = 0;  // 0: free (a name is never empty)
    Operation operation;
  };
  ShortSlot shortSlots[kSlots] = {};
  uint64_t firstBytes[9] = {};  // [n] keeps a word's first n bytes

  static uint64_t Key(std::string_view name) {
    char bytes[8] = {};
    std::memcpy(bytes, name.data(), name.size());
    return LoadWord(bytes);
  }
  static uint32_t ShortSlotOf(uint64_t key) {
    return static_cast<uint32_t>((key * 0x9E3779B97F4A7C15ull) >> 54) & (kSlots - 1);
  }

  Slot& SlotFor(std::string_view name) {
    uint32_t slot = HashName(name) & (kSlots - 1);
    while (!slots[slot].name.empty() && slots[slot].name != name) slot = (slot + 1) & (kSlots - 1);
    slots[slot].name = name;
    return slots[slot];
  }

  // The table of a machine: each mnemonic's rows on it (a run of rows: the
  // instruction table is laid out so).
  void Fill(uint16_t machine) {
    for (size_t n = 0; n <= 8; ++n) {
      char bytes[8] = {};
      std::memset(bytes, 0xFF, n);
      firstBytes[n] = LoadWord(bytes);
    }
    for (uint16_t i = 0; i < FormCount(); ++i) {
      const InstructionForm& row = FormAt(i);
      if (!(row.machines & machine)) continue;
      FormRange& forms = SlotFor(row.name).operation.forms;
      if (forms.count == 0) forms.first = i;
      ++forms.count;
    }
    for (int i = 0; i < DirectiveCount(); ++i) SlotFor(DirectiveAt(i).name).operation.directive = i;
    for (const Slot& slot : slots) {
      if (slot.name.empty() || slot.name.size() > 8) continue;
      uint64_t key = Key(slot.name);
      uint32_t at = ShortSlotOf(key);
      while (shortSlots[at].key != 0) at = (at + 1) & (kSlots - 1);
      shortSlots[at] = {key, slot.operation};
    }
  }

  // `key`: a name of one to eight characters, as Key() reads it.
  Operation FindShort(uint64_t key) const {
    for (uint32_t at = ShortSlotOf(key); shortSlots[at].key != 0; at = (at + 1) & (kSlots - 1)) {
      if (shortSlots[at].key == key) return shortSlots[at].operation;
    }
    return Operation();
  }

  Operation Find(std::string_view name) const {
    if (!name.empty() && name.size() <= 8) return FindShort(Key(name));
    for (uint32_t slot = HashName(name) & (kSlots - 1); !slots[slot].name.empty();
         slot = (slot + 1) & (kSlots - 1)) {
      if (slots[slot].name == name) return slots[slot].operation;
    }
    return Operation();
  }
};

// A table for each machine (cpu.h), by its place, and one of every
// machine's mnemonics; all zero until their first use fills them: no code
// runs to make them at start. The 68000's is filled by itself, as nearly
// every run uses only it; the others together, the first time one is.
constexpr int kEveryMachine = 2 * kCpuCount;
OperationIndex indexes[kEveryMachine + 1];
std::atomic<bool> filled68000{false}, filledOthers{false};

void Fill(int place) {
  uint16_t machine = MachineOfIndex(static_cast<uint8_t>(place));
  indexes[place].Fill(place == kEveryMachine ? kAnyMachine : machine);
}

// Kept out of line, so that the lookups they guard stay small.
#if defined(__GNUC__)
__attribute__((noinline, cold))
#elif defined(_MSC_VER)
__declspec(noinline)
#endif
void Fill68000Once() {
  static const bool filled = (Fill(0), filled68000.store(true, std::memory_order_release), true);
  (void)filled;
}

#if defined(__GNUC__)
__attribute__((noinline, cold))
#elif defined(_MSC_VER)
__declspec(noinline)
#endif
void FillOthersOnce() {
  static const bool filled = [] {
    for (int place = 1; place <= kEveryMachine; ++place) Fill(place);
    filledOthers.store(true, std::memory_order_release);
    return true;
  }();
  (void)filled;
}

// Looked up once a line: the filled table costs one test.
const OperationIndex& Index(int place = kEveryMachine) {
  if (place == 0) {
    if (!filled68000.load(std::memory_order_acquire)) Fill68000Once();
  } else if (!filledOthers.load(std::memory_order_acquire)) {
    FillOthersOnce();
  }
  return indexes[place];
}

}  // namespace

Operation FindOperation(std::string_view lowerName) { return Index().Find(lowerName); }

Operation FindOperationOn(std::string_view lowerName, uint8_t machineIndex) {
  return Index(machineIndex).Find(lowerName);
}

Operation FindWrittenOperation(std::string_view written, const char* readableEnd, char (&buffer)[16],
                               std::string_view& lower) {
  size_t size = written.size();
  if (size == 0 || size > 8) {
    if (!LowerWord(written, buffer, sizeof(buffer), lower)) return Operation();
    return size == 0 ? Operation() : Index(0).Find(lower);
  }
  // Most names have eight bytes of their line from their start: one load
  // reads them, and the bytes past the name are masked off.
  uint64_t word;
  if (readableEnd - written.data() >= 8) {
    word = LoadWord(written.data());
  } else {
    char bytes[8] = {};
    std::memcpy(bytes, written.data(), size);
    word = LoadWord(bytes);
  }
  const OperationIndex& index = Index(0);
  uint64_t key = LowerBytes(word) & index.firstBytes[size];
  std::memcpy(buffer, &key, sizeof(key));
  lower = std::string_view(buffer, size);
  return index.FindShort(key);
}

// Each machine's table has every directive.
int FindDirective(std::string_view lowerName) { return Index(0).Find(lowerName).directive; }

bool IsOperationNameOn(std::string_view word, int machineIndex) {
  char buffer[16];
  std::string_view lower;
  if (!LowerWord(word, buffer, sizeof(buffer), lower)) return false;
  Operation operation = Index(machineIndex).Find(lower);
  return operation.forms.count > 0 || operation.directive >= 0;
}

bool IsOperationName(std::string_view word) {
  char buffer[16];
  std::string_view lower;
  if (!LowerWord(word, buffer, sizeof(buffer), lower)) return false;
  Operation operation = Index(0).Find(lower);
  return operation.forms.count > 0 || operation.directive >= 0;
}

}  // namespace asm68k
