#include "symbols.h"

#include "source.h"

namespace asm68k {

uint32_t HashName(std::string_view name, uint32_t seed) {
  uint32_t hash = seed;
  for (char c : name) {
    hash ^= static_cast<uint8_t>(c);
    hash *= 16777619u;
  }
  return hash;
}

namespace {

// Hashed without regard to case, so that a name finds every spelling of it.
uint32_t HashSymbol(std::string_view name, int32_t scope) {
  uint32_t hash = 2166136261u ^ (static_cast<uint32_t>(scope) * 2654435761u);
  for (char c : name) {
    hash ^= static_cast<uint8_t>(ToLower(c));
    hash *= 16777619u;
  }
  return hash;
}

bool SameName(std::string_view a, std::string_view b, bool caseSensitive) {
  if (a.size() != b.size()) return false;
  if (a == b || caseSensitive) return a == b;  // mostly a name is spelled as before
  for (size_t i = 0; i < a.size(); ++i) {
    if (ToLower(a[i]) != ToLower(b[i])) return false;
  }
  return true;
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

uint32_t SymbolTable::Intern(std::string_view name, int32_t scope, bool caseSensitive) {
  if ((symbols.size() + 1) * 2 > slots.size()) Grow(*this);
  size_t mask = slots.size() - 1;
  size_t slot = HashSymbol(name, scope) & mask;
  for (; slots[slot] != 0; slot = (slot + 1) & mask) {
    uint32_t index = slots[slot] - 1;
    if (symbols[index].scope == scope && SameName(symbols[index].name, name, caseSensitive)) {
      return index;
    }
  }
  uint32_t index = static_cast<uint32_t>(symbols.size());
  Symbol& symbol = symbols.emplace_back();
  symbol.name = std::string(name);
  symbol.scope = scope;
  slots[slot] = index + 1;
  return index;
}

}  // namespace asm68k
