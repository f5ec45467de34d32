#include "operation_names.h"

#include "directive_table.h"
#include "source.h"
#include "symbols.h"

namespace asm68k {

namespace {

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

  static uint64_t Key(std::string_view name) {
    uint64_t key = 0;
    for (size_t i = 0; i < name.size(); ++i) key |= uint64_t{static_cast<uint8_t>(name[i])} << (8 * i);
    return key;
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

  OperationIndex() {
    for (uint16_t i = 0; i < FormCount(); ++i) {
      Slot& slot = SlotFor(FormAt(i).name);
      if (slot.operation.forms.count == 0) slot.operation.forms.first = i;
      ++slot.operation.forms.count;
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

  Operation Find(std::string_view name) const {
    if (!name.empty() && name.size() <= 8) {
      uint64_t key = Key(name);
      for (uint32_t at = ShortSlotOf(key); shortSlots[at].key != 0; at = (at + 1) & (kSlots - 1)) {
        if (shortSlots[at].key == key) return shortSlots[at].operation;
      }
      return Operation();
    }
    for (uint32_t slot = HashName(name) & (kSlots - 1); !slots[slot].name.empty();
         slot = (slot + 1) & (kSlots - 1)) {
      if (slots[slot].name == name) return slots[slot].operation;
    }
    return Operation();
  }
};

}  // namespace

Operation FindOperation(std::string_view lowerName) {
  static const OperationIndex index;
  return index.Find(lowerName);
}

int FindDirective(std::string_view lowerName) { return FindOperation(lowerName).directive; }

bool IsOperationName(std::string_view word) {
  char buffer[16];
  std::string_view lower;
  if (!LowerWord(word, buffer, sizeof(buffer), lower)) return false;
  Operation operation = FindOperation(lower);
  return operation.forms.count > 0 || operation.directive >= 0;
}

}  // namespace asm68k
