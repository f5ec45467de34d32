#pragma once
// Symbols: the table of labels, equ and set names. Every name is entered once
// while the source is read; passes then work with symbol numbers only.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace asm68k {

enum class SymbolKind : uint8_t { Undefined, Label, Equ, Set };

struct Symbol {
  std::string name;  // local labels are stored as "global.local"
  int32_t value = 0;
  uint32_t definedAt = 0;  // statement of the (first) definition
  SymbolKind kind = SymbolKind::Undefined;
  // Pass bookkeeping: the pass that last gave it a value, whether that value
  // was known without forward references, and what a forward reference saw.
  int definedPass = 0;
  bool known = false;
  int forwardPass = 0;
  bool forwardSeenValid = false;
  int32_t forwardSeenValue = 0;
};

struct SymbolTable {
  std::vector<Symbol> symbols;
  std::vector<uint32_t> slots;  // open addressing: symbol index + 1, 0 = free

  // The symbol's index, creating an undefined entry the first time.
  uint32_t Intern(std::string_view name);
  // The symbol's index, or -1.
  int64_t Find(std::string_view name) const;
};

// A fast string hash for the open-addressing tables of names (FNV-1a).
uint32_t HashName(std::string_view name);

// The name as the user wrote it: ".loop" rather than "main.loop".
std::string_view DisplayName(const Symbol& symbol);

}  // namespace asm68k
