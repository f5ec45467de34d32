#include "listing.h"

#include <algorithm>
#include <string_view>

#include "directive_table.h"
#include "line_source.h"

namespace asm68k {

namespace {

// A row: the line number (6 wide), the address (a blank or '=' and 8 hex
// digits), up to kRowBytes bytes in hex, then one '+' per expansion level
// and the source text.
constexpr size_t kRowBytes = 10;
// A line's bytes fill at most this many rows; a further row counts the rest.
constexpr size_t kMaxByteRows = 4;
constexpr size_t kNumberWidth = 6;

enum class AddressKind : char { None, Address, Value };

void AppendHex(std::string& out, uint32_t value, int digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += kDigits[(value >> shift) & 15];
}

void PadTo(std::string& out, size_t rowStart, size_t column) {
  size_t at = out.size() - rowStart;
  if (at < column) out.append(column - at, ' ');
}

struct Row {
  uint32_t number = 0;  // 0: none
  AddressKind kind = AddressKind::None;
  uint32_t address = 0;
  const uint8_t* bytes = nullptr;
  size_t count = 0;
  std::string_view note;  // in place of bytes
  uint32_t depth = 0;
  std::string_view source;
};

void AppendRow(ListingRecorder& listing, const Assembly& assembly, uint32_t file, const Row& row) {
  std::string& out = listing.text;
  if (listing.full) return;
  if (out.size() >= listing.limit) {
    listing.full = true;
    return;
  }
  if (listing.shownFile != file) {
    out += "--- ";
    out += assembly.files[file]->name;
    out += '\n';
    listing.shownFile = file;
  }
  size_t start = out.size();
  if (row.number > 0) {
    std::string number = std::to_string(row.number);
    if (number.size() < kNumberWidth) out.append(kNumberWidth - number.size(), ' ');
    out += number;
  }
  PadTo(out, start, kNumberWidth + 1);
  if (row.kind != AddressKind::None) {
    out += row.kind == AddressKind::Value ? '=' : ' ';
    AppendHex(out, row.address, 8);
  }
  PadTo(out, start, kNumberWidth + 11);
  for (size_t i = 0; i < row.count; ++i) AppendHex(out, row.bytes[i], 2);
  out += row.note;
  if (!row.source.empty() || row.depth > 0) {
    PadTo(out, start, kNumberWidth + 12 + 2 * kRowBytes);
    out.append(row.depth, '+');
    out += row.source;
  } else {
    while (out.size() > start && out.back() == ' ') out.pop_back();
  }
  out += '\n';
}

bool IsListedFile(const Assembly& assembly, const Frame& frame) {
  return (frame.kind == Frame::File || frame.kind == Frame::Include) &&
         !IsCommandLineFile(assembly, frame.text->file);
}

// Lists the lines of `open` from where its listing stands to `end`: lines
// that were not assembled, with their numbers and text only.
void ListUpTo(ListingRecorder& listing, const Assembly& assembly, ListingRecorder::OpenText& open,
              size_t end) {
  if (end <= open.cursor) return;
  const char* text = open.text->text.data();
  const char* lineBegin;
  const char* lineEnd;
  LineWalker lines(text + open.cursor, text + end);
  while (!listing.full && lines.Next(lineBegin, lineEnd)) {
    Row row;
    row.number = ++open.number;
    row.source = std::string_view(lineBegin, static_cast<size_t>(lineEnd - lineBegin));
    AppendRow(listing, assembly, open.text->file, row);
  }
  open.cursor = end;
}

// Follows the line source's files: those that ended get the rest of their
// lines listed, those that began are opened. Counts the expansion levels.
void FollowFiles(PassState& state) {
  ListingRecorder& listing = *state.listing;
  const Assembly& assembly = *state.assembly;
  const std::vector<Frame>& frames = state.lines->frames;
  const SourceText* top = frames.empty() ? nullptr : frames.back().text;
  if (frames.size() == listing.followedFrames && top == listing.followedTop) return;
  listing.followedFrames = frames.size();
  listing.followedTop = top;
  listing.depth = 0;
  for (const Frame& frame : frames) {
    if (frame.kind == Frame::Macro || frame.kind == Frame::Rept || frame.kind == Frame::While) {
      ++listing.depth;
    }
  }
  size_t matched = 0;
  size_t i = 0;
  for (; i < frames.size(); ++i) {
    if (!IsListedFile(assembly, frames[i])) continue;
    if (matched == listing.open.size() || listing.open[matched].frame != i ||
        listing.open[matched].text != frames[i].text) {
      break;
    }
    ++matched;
  }
  while (listing.open.size() > matched) {
    ListingRecorder::OpenText& ended = listing.open.back();
    ListUpTo(listing, assembly, ended, ended.text->text.size());
    listing.open.pop_back();
  }
  for (; i < frames.size(); ++i) {
    if (IsListedFile(assembly, frames[i])) listing.open.push_back({frames[i].text, i, 0, 0});
  }
}

// The offset past a line and its line end (CR LF, LF or CR).
size_t PastLine(const SourceText& text, const LineInfo& line) {
  size_t end = text.SpanInText(line).second;
  const std::string& t = text.text;
  if (end < t.size() && t[end] == '\r') {
    ++end;
    if (end < t.size() && t[end] == '\n') ++end;
  } else if (end < t.size() && t[end] == '\n') {
    ++end;
  }
  return end;
}

// Where the line's label points, or would: the address a line without
// bytes shows. A label is defined after the line's alignment (instructions
// and .w or .l data start at even addresses), and after the move of org,
// even, cnop and align.
uint32_t LabelPoint(const PassState& state, const Statement& statement, uint32_t before) {
  if (statement.label >= 0) {
    const Symbol& symbol = state.assembly->symbols.symbols[static_cast<size_t>(statement.label)];
    if (symbol.kind == SymbolKind::Label && symbol.definedPass == state.pass) {
      return static_cast<uint32_t>(symbol.value);
    }
  }
  bool aligned = statement.kind == StatementKind::Instruction;
  if (statement.kind == StatementKind::Directive) {
    uint16_t flags = DirectiveAt(statement.form).flags;
    if (flags & kLabelAfter) return state.location;
    aligned = (flags & kWordAligned) && statement.size != kSizeB;
  }
  return aligned ? before + (before & 1) : before;
}

// Whether the pass may still be the last without errors, so that its
// listing is worth going on with: not once it is sure to be followed by
// another, nor once it has found an error.
bool WorthListing(PassState& state) {
  ListingRecorder& listing = *state.listing;
  if (state.unsettled || state.unresolvedForward) listing.stopped = true;
  const MessageLog& log = state.messages;
  if (log.counted[0][0] + log.counted[1][0] > 0) listing.stopped = true;  // an error
  return !listing.stopped;
}

// Once the listing is full: it says so where it stops, and so does a warning.
void StopWhenFull(PassState& state) {
  ListingRecorder& listing = *state.listing;
  if (!listing.full || listing.stopped) return;
  listing.stopped = true;
  std::string limit = std::to_string(listing.limit >> 20) + " MiB";
  if (listing.limit < (size_t{1} << 20)) limit = std::to_string(listing.limit) + " bytes";
  listing.text += "--- the listing stops here: it would be larger than " + limit + "\n";
  PassWarning(state, "the listing stops at this line: it would be larger than " + limit);
}

}  // namespace

void StartListingPass(PassState& state) {
  ListingRecorder& listing = *state.listing;
  listing.text.clear();
  listing.stopped = listing.full = false;
  listing.open.clear();
  listing.shownFile = -1;
  listing.followedFrames = 0;
  listing.followedTop = nullptr;
  listing.listed = false;
  FollowFiles(state);
}

void ListLineBefore(PassState& state, const SourceText& text, const LineInfo& line) {
  ListingRecorder& listing = *state.listing;
  listing.listed = !IsCommandLineFile(*state.assembly, text.file) && WorthListing(state);
  if (!listing.listed) return;
  FollowFiles(state);
  // A line of the file being listed (or of a rept body in it, the first
  // time through): the lines before it come first.
  if (!listing.open.empty()) {
    ListingRecorder::OpenText& open = listing.open.back();
    uint32_t start = text.SpanInText(line).first;
    if (open.text == &text && start >= open.cursor) {
      ListUpTo(listing, *state.assembly, open, start);
      open.cursor = PastLine(text, line);
      open.number = line.number;
    }
  }
  StopWhenFull(state);
  listing.listed = !listing.stopped;
  listing.number = line.number;
  listing.placedBefore = state.image.placed;
  listing.locationBefore = state.location;
}

void ListLineText(PassState& state) {
  ListingRecorder& listing = *state.listing;
  if (listing.listed) listing.source.assign(state.lineBegin, state.lineEnd);
}

void ListLineAfter(PassState& state, const Statement& statement) {
  ListingRecorder& listing = *state.listing;
  if (!listing.listed) return;
  const Assembly& assembly = *state.assembly;
  Row row;
  row.number = listing.number;
  row.depth = listing.depth;
  row.source = listing.source;
  // The line's bytes end the image's last run: it places them at consecutive addresses.
  uint64_t count = state.image.placed - listing.placedBefore;
  size_t held = 0;
  const uint8_t* bytes = nullptr;
  if (count > 0 && !state.image.runs.empty()) {
    const ImageRun& run = state.image.runs.back();
    held = static_cast<size_t>(std::min<uint64_t>(count, run.bytes.size()));
    bytes = run.bytes.data() + (run.bytes.size() - held);
    row.kind = AddressKind::Address;
    row.address = run.start + static_cast<uint32_t>(run.bytes.size() - held);
  } else if (statement.kind == StatementKind::Directive &&
             (DirectiveAt(statement.form).flags & kNamesSymbol)) {
    // equ, set, rs: the value; macro: nothing.
    if (statement.label >= 0) {
      const Symbol& symbol = assembly.symbols.symbols[static_cast<size_t>(statement.label)];
      if (symbol.definedPass == state.pass) {
        row.kind = AddressKind::Value;
        row.address = static_cast<uint32_t>(symbol.value);
      }
    }
  } else {
    row.kind = AddressKind::Address;
    row.address = LabelPoint(state, statement, listing.locationBefore);
  }
  uint32_t file = listing.open.empty() ? 0 : listing.open.back().text->file;
  size_t shown = 0;
  for (size_t rows = 0; rows < kMaxByteRows && (rows == 0 || shown < held); ++rows) {
    row.bytes = bytes + shown;
    row.count = std::min(kRowBytes, held - shown);
    AppendRow(listing, assembly, file, row);
    shown += row.count;
    row.address += static_cast<uint32_t>(row.count);
    row.number = 0;
    row.depth = 0;
    row.source = std::string_view();
  }
  if (shown < count) {
    std::string note = "(" + std::to_string(count - shown) + " more bytes)";
    Row more;
    more.note = note;
    AppendRow(listing, assembly, file, more);
  }
  // An include begins here, or end or mexit left files.
  FollowFiles(state);
  StopWhenFull(state);
}

void FinishListingPass(PassState& state) {
  ListingRecorder& listing = *state.listing;
  while (WorthListing(state) && !listing.open.empty()) {
    ListingRecorder::OpenText& open = listing.open.back();
    ListUpTo(listing, *state.assembly, open, open.text->text.size());
    listing.open.pop_back();
  }
  StopWhenFull(state);
}

std::string FormatSymbols(const Assembly& assembly, int pass) {
  const auto& symbols = assembly.symbols.symbols;
  struct Entry {
    uint32_t value;
    uint32_t order;
    std::string name;
  };
  std::vector<Entry> entries;
  for (size_t i = 0; i < symbols.size(); ++i) {
    const Symbol& symbol = symbols[i];
    if (i == assembly.rsCounter || symbol.kind == SymbolKind::Undefined ||
        symbol.kind == SymbolKind::Register || symbol.definedPass != pass) {
      continue;
    }
    std::string name;
    if (symbol.scope >= 0) name = symbols[static_cast<size_t>(symbol.scope)].name;
    name += symbol.name;
    entries.push_back({static_cast<uint32_t>(symbol.value), symbol.definedOrder, std::move(name)});
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    if (a.value != b.value) return a.value < b.value;
    if (a.order != b.order) return a.order < b.order;
    return a.name < b.name;
  });
  std::string out;
  for (const Entry& entry : entries) {
    AppendHex(out, entry.value, 8);
    out += ' ';
    out += entry.name;
    out += '\n';
  }
  return out;
}

}  // namespace asm68k
