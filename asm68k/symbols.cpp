#include "symbols.h"

namespace asm68k {

uint32_t HashName(std::string_view name) {
  uint32_t hash = 2166136261u;
  for (char c : name) {
    hash ^= static_cast<uint8_t>(c);
    hash *= 16777619u;
  }
  return hash;
}

namespace {

int32_t OwnerOf(std::string_view name, int32_t scope) {
  return !name.empty() && name[0] == '.' ? scope : kNoScope;
}

uint32_t HashSymbol(std::string_view name, int32_t owner) {
  return HashName(name) ^ (static_cast<uint32_t>(owner + 1) * 0x9E3779B1u);
}

void Grow(SymbolTable& table) {
  size_t size = table.slots.empty() ? 1024 : table.slots.size() * 2;
  std::vector<uint32_t> slots(size, 0);
  size_t mask = size - 1;
  for (size_t i = 0; i < table.symbols.size(); ++i) {
    const Symbol& symbol = table.symbols[i];
    size_t slot = HashSymbol(symbol.name, symbol.scope) & mask;
    while (slots[slot] != 0) slot = (slot + 1) & mask;
    slots[slot] = static_cast<uint32_t>(i + 1);
  }
  table.slots.swap(slots);
}

}  // namespace

uint32_t SymbolTable::Intern(std::string_view name, int32_t scope) {
  if ((symbols.size() + 1) * 2 > slots.size()) Grow(*this);
  int32_t owner = OwnerOf(name, scope);
  size_t mask = slots.size() - 1;
  size_t slot = HashSymbol(name, owner) & mask;
  for (; slots[slot] != 0; slot = (slot + 1) & mask) {
    uint32_t index = slots[slot] - 1;
    if (symbols[index].scope == owner && symbols[index].name == name) return index;
  }
  uint32_t index = static_cast<uint32_t>(symbols.size());
  symbols.emplace_back();
  symbols.back().name = std::string(name);
  symbols.back().scope = owner;
  slots[slot] = index + 1;
  return index;
}

}  // namespace asm68k
