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
  uint8_t kind;
  bool localsOn;  // opt v+ was on where it was defined
  std::string name;
};

// The symbols of the pass, in value order (symbols of one value in the
// order they were defined). `owned`: a local name after its owner's.
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
    std::string name;
    if (owned && symbol.scope >= 0) name = symbols[static_cast<size_t>(symbol.scope)].name;
    name += symbol.name;
    entries.push_back({static_cast<uint32_t>(symbol.value), symbol.definedOrder, kind,
                       symbol.localsOn, std::move(name)});
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    if (a.value != b.value) return a.value < b.value;
    if (a.order != b.order) return a.order < b.order;
    return a.name < b.name;
  });
  return entries;
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
    if (entry.name.size() > kMaxName) continue;  // its length can't be written
    if ((entry.kind & kLocalRecord) && !entry.localsOn) continue;
    AppendRecord(out, entry.value, entry.kind);
    AppendName(out, entry.name);
  }
  if (lines) AppendSourceLines(out, assembly, *lines);
  return out;
}

std::string FormatSymbols(const Assembly& assembly, int pass) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const Entry& entry : PassSymbols(assembly, pass, true)) {
    for (int shift = 28; shift >= 0; shift -= 4) out += kDigits[(entry.value >> shift) & 15];
    out += ' ';
    out += entry.name;
    out += '\n';
  }
  return out;
}

}  // namespace asm68k
