#include "symbol_file.h"

#include <algorithm>

namespace asm68k {

namespace {

// Record kinds. A symbol's kind is 1 for a value, 2 for a label, with 4
// added for a local name.
constexpr uint8_t kEquateRecord = 1;
constexpr uint8_t kLabelRecord = 2;
constexpr uint8_t kLocalRecord = 4;
// Source-line records: the line number goes up by one, by a byte or by a
// word, is set, or is set with its file, at the record's address; the last
// one ends the line data of the bytes before its address.
constexpr uint8_t kLineNext = 0x80;
constexpr uint8_t kLineAddByte = 0x82;
constexpr uint8_t kLineAddWord = 0x84;
constexpr uint8_t kLineSet = 0x86;
constexpr uint8_t kLineSetWithFile = 0x88;
constexpr uint8_t kLineEnd = 0x8A;
// A name or path is written after its length in one byte.
constexpr size_t kMaxName = 255;

struct Entry {
  uint32_t value;
  uint32_t order;
  uint32_t symbol;
  uint8_t kind;
  bool localsOn;  // opt v+ was on where it was defined
};

// The name an entry is written with; `owned`: a local name after its owner's.
std::string NameOf(const Assembly& assembly, const Entry& entry, bool owned) {
  const auto& symbols = assembly.symbols.symbols;
  const Symbol& symbol = symbols[entry.symbol];
  std::string name;
  if (owned && symbol.scope >= 0) name = symbols[static_cast<size_t>(symbol.scope)].name;
  name += symbol.name;
  return name;
}

// Its length, without making it.
size_t NameLength(const Assembly& assembly, const Entry& entry, bool owned) {
  const auto& symbols = assembly.symbols.symbols;
  const Symbol& symbol = symbols[entry.symbol];
  size_t length = symbol.name.size();
  if (owned && symbol.scope >= 0) length += symbols[static_cast<size_t>(symbol.scope)].name.size();
  return length;
}

// The symbols of the pass, in value order (symbols of one value in the
// order they were defined, then by name).
std::vector<Entry> PassSymbols(const Assembly& assembly, int pass, bool owned) {
  const auto& symbols = assembly.symbols.symbols;
  std::vector<Entry> entries;
  for (size_t i = 0; i < symbols.size(); ++i) {
    const Symbol& symbol = symbols[i];
    if (i == assembly.rsCounter || symbol.kind == SymbolKind::Undefined ||
        symbol.kind == SymbolKind::Register || symbol.definedPass != pass ||
        !symbol.hasValue) {
      continue;
    }
    uint8_t kind = symbol.kind == SymbolKind::Label ? kLabelRecord : kEquateRecord;
    if (IsLocalName(symbol.name)) kind |= kLocalRecord;
    entries.push_back({static_cast<uint32_t>(symbol.value), symbol.definedOrder,
                       static_cast<uint32_t>(i), kind, symbol.localsOn});
  }
  std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
    if (a.value != b.value) return a.value < b.value;
    if (a.order != b.order) return a.order < b.order;
    return NameOf(assembly, a, owned) < NameOf(assembly, b, owned);
  });
  return entries;
}

// A line of the text table: the value in 8 hex digits, a blank, the name, a line end.
size_t TextLineLength(const Assembly& assembly, const Entry& entry) {
  return 10 + NameLength(assembly, entry, true);
}

void AppendLittle(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void AppendRecord(std::string& out, uint32_t value, uint8_t kind) {
  AppendLittle(out, value, 4);
  out += static_cast<char>(kind);
}

void AppendName(std::string& out, const std::string& name) {
  out += static_cast<char>(name.size());
  out += name;
}

// The lines' records, a run of consecutive addresses at a time: the first
// line of a run, and of another file, with its file; the others by how far
// the line number moved; an end record after each run.
void AppendSourceLines(std::string& out, const Assembly& assembly,
                       const std::vector<ListingRecorder::PlacedBytes>& lines) {
  bool open = false;
  uint64_t end = 0;
  uint32_t file = 0, line = 0;
  auto close = [&]() {
    if (open && end < kAddressEnd) AppendRecord(out, static_cast<uint32_t>(end), kLineEnd);
    open = false;
  };
  for (const ListingRecorder::PlacedBytes& placed : lines) {
    const std::string& path = assembly.files[placed.file]->name;
    if (path.size() > kMaxName) {  // it can't be written: its bytes get no line
      close();
      continue;
    }
    if (open && placed.address != end) close();
    if (!open || placed.file != file) {
      AppendRecord(out, placed.address, kLineSetWithFile);
      AppendLittle(out, placed.line, 4);
      AppendName(out, path);
    } else if (placed.line == line + 1) {
      AppendRecord(out, placed.address, kLineNext);
    } else if (placed.line > line && placed.line - line <= 0xFF) {
      AppendRecord(out, placed.address, kLineAddByte);
      AppendLittle(out, placed.line - line, 1);
    } else if (placed.line > line && placed.line - line <= 0xFFFF) {
      AppendRecord(out, placed.address, kLineAddWord);
      AppendLittle(out, placed.line - line, 2);
    } else {
      AppendRecord(out, placed.address, kLineSet);
      AppendLittle(out, placed.line, 4);
    }
    open = true;
    file = placed.file;
    line = placed.line;
    end = static_cast<uint64_t>(placed.address) + placed.count;
  }
  close();
}

}  // namespace

std::string SymbolFile(const Assembly& assembly, int pass,
                       const std::vector<ListingRecorder::PlacedBytes>* lines) {
  // "MND", format version 1, and the target unit (0).
  std::string out("MND\x01\0\0\0\0", 8);
  for (const Entry& entry : PassSymbols(assembly, pass, false)) {
    if (NameLength(assembly, entry, false) > kMaxName) continue;  // its length can't be written
    if ((entry.kind & kLocalRecord) && !entry.localsOn) continue;
    AppendRecord(out, entry.value, entry.kind);
    AppendName(out, NameOf(assembly, entry, false));
  }
  if (lines) AppendSourceLines(out, assembly, *lines);
  return out;
}

bool SymbolTableTooLarge(const Assembly& assembly, int pass, Message& error) {
  uint64_t size = 0;
  for (const Entry& entry : PassSymbols(assembly, pass, true)) {
    size += TextLineLength(assembly, entry);
    if (size <= kMaxSymbolTable) continue;
    const Symbol& symbol = assembly.symbols.symbols[entry.symbol];
    error.severity = Severity::Error;
    error.order = symbol.definedOrder;
    error.file = symbol.definedFile;
    error.line = symbol.definedLine;
    error.text = "the symbol table would be larger than " +
                 std::to_string(kMaxSymbolTable >> 20) + " MiB from '" + symbol.name +
                 "' on (a local name is written after its owner's)";
    return true;
  }
  return false;
}

std::string FormatSymbols(const Assembly& assembly, int pass) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const Entry& entry : PassSymbols(assembly, pass, true)) {
    for (int shift = 28; shift >= 0; shift -= 4) out += kDigits[(entry.value >> shift) & 15];
    out += ' ';
    out += NameOf(assembly, entry, true);
    out += '\n';
  }
  return out;
}

}  // namespace asm68k
