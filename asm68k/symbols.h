#pragma once
// Symbols: the table of labels, equ and set names. Every name is entered once
// while the source is read; passes then work with symbol numbers only.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace asm68k {

enum class SymbolKind : uint8_t { Undefined, Label, Equ, Set };

// A name that belongs to no global label.
constexpr int32_t kNoScope = -1;

struct Symbol {
  std::string name;  // as written: "loop" or ".loop"
  // For a local ".loop", the global label it belongs to: the local keeps the
  // global's number, not a copy of its name, however long that name is.
  int32_t scope = kNoScope;
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

  // The symbol's index, creating an undefined entry the first time. A name
  // starting with '.' is local to `scope`, the nearest global label above;
  // other names ignore it.
  uint32_t Intern(std::string_view name, int32_t scope);
};

// A fast string hash for the open-addressing tables of names (FNV-1a).
uint32_t HashName(std::string_view name);

}  // namespace asm68k
