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

void Grow(SymbolTable& table) {
  size_t size = table.slots.empty() ? 1024 : table.slots.size() * 2;
  std::vector<uint32_t> slots(size, 0);
  size_t mask = size - 1;
  for (size_t i = 0; i < table.symbols.size(); ++i) {
    size_t slot = HashName(table.symbols[i].name) & mask;
    while (slots[slot] != 0) slot = (slot + 1) & mask;
    slots[slot] = static_cast<uint32_t>(i + 1);
  }
  table.slots.swap(slots);
}

}  // namespace

int64_t SymbolTable::Find(std::string_view name) const {
  if (slots.empty()) return -1;
  size_t mask = slots.size() - 1;
  for (size_t slot = HashName(name) & mask; slots[slot] != 0; slot = (slot + 1) & mask) {
    uint32_t index = slots[slot] - 1;
    if (symbols[index].name == name) return index;
  }
  return -1;
}

uint32_t SymbolTable::Intern(std::string_view name) {
  if ((symbols.size() + 1) * 2 > slots.size()) Grow(*this);
  size_t mask = slots.size() - 1;
  size_t slot = HashName(name) & mask;
  for (; slots[slot] != 0; slot = (slot + 1) & mask) {
    uint32_t index = slots[slot] - 1;
    if (symbols[index].name == name) return index;
  }
  uint32_t index = static_cast<uint32_t>(symbols.size());
  symbols.emplace_back();
  symbols.back().name = std::string(name);
  slots[slot] = index + 1;
  return index;
}

std::string_view DisplayName(const Symbol& symbol) {
  std::string_view name = symbol.name;
  size_t dot = name.find('.');
  return dot == std::string_view::npos ? name : name.substr(dot);
}

}  // namespace asm68k
