#include "symbols.h"

#include <cstring>

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

// Names are short: they are hashed and compared several characters at a
// time, through loads that stay inside the name.
uint64_t Load8(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

uint32_t Load4(const char* p) {
  uint32_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// The last 0 to 8 characters of a name as one number, the same for the same
// characters (overlapping loads for 4 to 7 of them; for 1 to 3, each is read).
uint64_t Tail(const char* p, size_t n) {
  if (n == 8) return Load8(p);
  if (n >= 4) return Load4(p) | static_cast<uint64_t>(Load4(p + n - 4)) << 32;
  if (n == 0) return 0;
  return static_cast<uint8_t>(p[0]) | static_cast<uint64_t>(static_cast<uint8_t>(p[n / 2])) << 8 |
         static_cast<uint64_t>(static_cast<uint8_t>(p[n - 1])) << 16;
}

constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;

// Hashed without regard to case, so that a name finds every spelling of it:
// setting bit 5 of every character turns capitals into small letters (and
// merges a few other pairs, which only the comparison tells apart).
uint32_t HashSymbol(std::string_view name, int32_t scope) {
  constexpr uint64_t kFold = 0x2020202020202020ull;
  const char* p = name.data();
  size_t n = name.size();
  uint64_t hash = (static_cast<uint64_t>(static_cast<uint32_t>(scope)) << 32 | n) * kMultiplier;
  for (; n > 8; n -= 8, p += 8) hash = (hash ^ (Load8(p) | kFold)) * kMultiplier;
  hash = (hash ^ (Tail(p, n) | kFold)) * kMultiplier;
  // A product's low bits depend only on the low bits multiplied: fold the
  // high bits down, so that the last characters reach the slot number too.
  hash ^= hash >> 32;
  hash *= kMultiplier;
  return static_cast<uint32_t>(hash ^ (hash >> 32));
}

bool SameBytes(const char* a, const char* b, size_t n) {
  if (n >= 8) {
    for (size_t i = 0; i + 8 < n; i += 8) {
      if (Load8(a + i) != Load8(b + i)) return false;
    }
    return Load8(a + n - 8) == Load8(b + n - 8);
  }
  if (n >= 4) return Load4(a) == Load4(b) && Load4(a + n - 4) == Load4(b + n - 4);
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

bool SameName(std::string_view a, std::string_view b, bool caseSensitive) {
  if (a.size() != b.size()) return false;
  if (SameBytes(a.data(), b.data(), a.size())) return true;  // mostly spelled as before
  if (caseSensitive) return false;
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
  symbol.name.assign(name.data(), name.size());
  symbol.scope = scope;
  nameBytes += name.size();
  full = symbols.size() > kMaxSymbols || nameBytes > kMaxSymbolText;
  slots[slot] = index + 1;
  return index;
}

}  // namespace asm68k
