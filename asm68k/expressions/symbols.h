#pragma once
// Symbols: the table of labels, equ and set names. A name is entered the
// first time a line that uses or defines it is parsed; passes then work with
// symbol numbers only, and define the symbols anew in every pass.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "chunked_vector.h"

namespace asm68k {

// Register: a name that equr or reg made stand for registers (its value is
// no number an expression may use).
enum class SymbolKind : uint8_t { Undefined, Label, Equ, Set, Register };

// Whether a value is an address, and where (EvalResult::section, Symbol::section).
constexpr int16_t kNotAddress = -1;
constexpr int16_t kAddressOutsideSections = -2;

// What a symbol's name is local to: kGlobalScope for a global name, else the
// number of the global label (or macro expansion) that owns a ".local" name.
constexpr int32_t kGlobalScope = -1;

struct Symbol {
  std::string name;  // as first written: ".loop" for a local label
  int32_t scope = kGlobalScope;
  int32_t value = 0;
  SymbolKind kind = SymbolKind::Undefined;  // as defined in the last pass that defined it
  bool localsOn = false;  // opt v+ was on there: a local name goes into the symbol file
  // Its value rests on values that have one: a label, a number, symbols
  // grounded themselves. An equate read before its definition takes what the
  // last pass gave it, so "X equ X" would keep its first guess for ever:
  // one that never grounds is an error (see GroundDefinitions).
  bool grounded = false;
  // Its last definition gave it a value: an equ whose expression names an
  // undefined symbol (or one without a value, or itself) gets none, and is
  // an error only where it is used.
  bool hasValue = false;
  // Where the current pass defined it first: the line's place in the pass
  // (for message order), its file and its line number.
  uint32_t definedOrder = 0;
  uint32_t definedFile = 0;
  uint32_t definedLine = 0;
  // Pass bookkeeping: the pass that last gave it a value, whether that value
  // was known without forward references, and what a forward reference saw.
  // Narrow and in this order, so that a symbol takes 72 bytes (with what
  // ref() keeps).
  int32_t forwardSeenValue = 0;
  int16_t definedPass = 0;
  int16_t forwardPass = 0;
  int16_t section = kNotAddress;  // an address in that section, or no address
  bool known = false;
  bool forwardSeenValid = false;
  // ref(NAME): it was used in an expression of a line assembled, in this
  // pass or an earlier one; a ref() of it was parsed; and the pass in which
  // a ref() of it gave false.
  bool referenced = false;
  bool refQueried = false;
  int16_t refFalsePass = 0;
};

// The rs counter, readable in expressions as __RS (or __rs).
constexpr const char* kRsCounterName = "__RS";

// Symbols (labels, equates and every name an expression reads, a local name
// once in each scope it is read in) and the text of their names: each takes
// about 80 bytes besides its name, for the whole run.
constexpr size_t kMaxSymbols = 4000000;
constexpr uint64_t kMaxSymbolText = 64u << 20;

struct SymbolTable {
  ChunkedVector<Symbol> symbols;
  std::vector<uint32_t> slots;  // open addressing: symbol index + 1, 0 = free
  uint64_t nameBytes = 0;       // the text of all their names
  bool full = false;            // past kMaxSymbols or kMaxSymbolText (the parse says so)

  // The symbol's index, creating an undefined entry the first time. Names
  // match in any case (the first spelling is kept, for messages), or only
  // as written when `caseSensitive`. A local name is stored once per scope,
  // without a copy of its owner's name.
  uint32_t Intern(std::string_view name, int32_t scope = kGlobalScope, bool caseSensitive = false);

  // The symbols a ref() names, each once: a pass ends by checking that
  // none of them was used after a ref() of it gave false.
  std::vector<uint32_t> refQueried;
  void NoteRefQuery(uint32_t index) {
    if (symbols[index].refQueried) return;
    symbols[index].refQueried = true;
    refQueried.push_back(index);
  }
};

// A fast string hash for the open-addressing tables of names (FNV-1a).
uint32_t HashName(std::string_view name, uint32_t seed = 2166136261u);

}  // namespace asm68k
