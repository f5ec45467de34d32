#include "listing.h"

#include <algorithm>
#include <string_view>

#include "directive_table.h"
#include "line_source.h"

namespace asm68k {

namespace {

// A row, in the columns the community's listing readers take: the address
// in columns 1-8 (8 hexadecimal digits), or for an equ, set or rs line the
// value it gives followed by '='; from column 10 up to kRowBytes bytes in
// hexadecimal; 'M' in column 35 on a line of a macro or rept expansion; and
// the source text from column 37.
constexpr size_t kRowBytes = 10;
// A line's bytes fill at most this many rows; a further row counts the rest.
constexpr size_t kMaxByteRows = 4;
constexpr size_t kBytesColumn = 9;
constexpr size_t kExpansionColumn = 34;
constexpr size_t kTextColumn = 36;

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
  AddressKind kind = AddressKind::None;
  uint32_t address = 0;
  const uint8_t* bytes = nullptr;
  size_t count = 0;
  std::string_view note;  // in place of bytes
  bool expanded = false;  // a line of a macro or rept expansion
  std::string_view source;
};

void AppendRow(ListingRecorder& listing, const Row& row) {
  std::string& out = listing.text;
  if (!listing.wantText || listing.full) return;
  if (out.size() >= listing.limit) {
    listing.full = true;
    return;
  }
  size_t start = out.size();
  if (row.kind != AddressKind::None) {
    AppendHex(out, row.address, 8);
    if (row.kind == AddressKind::Value) out += '=';
  }
  PadTo(out, start, kBytesColumn);
  for (size_t i = 0; i < row.count; ++i) AppendHex(out, row.bytes[i], 2);
  out += row.note;
  if (!row.source.empty() || row.expanded) {
    if (row.expanded) {
      PadTo(out, start, kExpansionColumn);
      out += 'M';
    }
    PadTo(out, start, kTextColumn);
    out += row.source;
  }
  if (row.source.empty()) {
    while (out.size() > start && out.back() == ' ') out.pop_back();
  }
  out += '\n';
}

bool IsListedFile(const Assembly& assembly, const Frame& frame) {
  return (frame.kind == Frame::File || frame.kind == Frame::Include) &&
         !IsCommandLineFile(assembly, frame.text->file);
}

// Lists the lines of `open` from where its listing stands to `end`: lines
// that were not assembled, with their text only.
void ListUpTo(ListingRecorder& listing, ListingRecorder::OpenText& open, size_t end) {
  if (end <= open.cursor || !listing.wantText) {
    open.cursor = std::max(open.cursor, end);
    return;
  }
  const char* text = open.text->text.data();
  const char* lineBegin;
  const char* lineEnd;
  LineWalker lines(text + open.cursor, text + end);
  while (!listing.full && lines.Next(lineBegin, lineEnd)) {
    Row row;
    row.source = std::string_view(lineBegin, static_cast<size_t>(lineEnd - lineBegin));
    AppendRow(listing, row);
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
    ListUpTo(listing, ended, ended.text->text.size());
    listing.open.pop_back();
  }
  for (; i < frames.size(); ++i) {
    if (IsListedFile(assembly, frames[i])) listing.open.push_back({frames[i].text, i, 0});
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

// The symbol an equ, set, = or rs line gives its value in this pass, or null.
const Symbol* ValueNamed(const PassState& state, const Statement& statement) {
  if (statement.kind != StatementKind::Directive || statement.label < 0 ||
      !(DirectiveAt(statement.form).flags & kNamesSymbol)) {
    return nullptr;
  }
  const Symbol& symbol = state.assembly->symbols.symbols[static_cast<size_t>(statement.label)];
  bool value = symbol.kind == SymbolKind::Equ || symbol.kind == SymbolKind::Set;
  return value && symbol.definedPass == state.pass && symbol.hasValue ? &symbol : nullptr;
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
  if (!listing.full || listing.fullSaid || listing.stopped) return;
  listing.fullSaid = true;
  listing.stopped = !listing.wantLines;  // the lines' bytes are still wanted
  std::string limit = std::to_string(listing.limit >> 20) + " MiB";
  if (listing.limit < (size_t{1} << 20)) limit = std::to_string(listing.limit) + " bytes";
  listing.text += "--- the listing stops here: it would be larger than " + limit + "\n";
  PassWarning(state, "the listing stops at this line: it would be larger than " + limit);
}

}  // namespace

void StartListingPass(PassState& state) {
  ListingRecorder& listing = *state.listing;
  listing.text.clear();
  listing.stopped = listing.full = listing.fullSaid = false;
  listing.open.clear();
  listing.placed.clear();
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
      ListUpTo(listing, open, start);
      open.cursor = PastLine(text, line);
    }
  }
  StopWhenFull(state);
  listing.listed = !listing.stopped;
  listing.file = text.file;
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
  Row row;
  row.expanded = listing.depth > 0;
  row.source = listing.source;
  // The line's bytes end the image's last run: it places them at consecutive addresses.
  uint64_t count = state.image.placed - listing.placedBefore;
  size_t held = 0;
  const uint8_t* bytes = nullptr;
  const Symbol* named = ValueNamed(state, statement);
  if (count > 0 && !state.image.runs.empty()) {
    const ImageRun& run = state.image.runs.back();
    held = static_cast<size_t>(std::min<uint64_t>(count, run.bytes.size()));
    bytes = run.bytes.data() + (run.bytes.size() - held);
    row.kind = AddressKind::Address;
    row.address = run.start + static_cast<uint32_t>(run.bytes.size() - held);
    if (listing.wantLines) {
      listing.placed.push_back(
          {row.address, static_cast<uint32_t>(held), listing.file, listing.number});
    }
  } else if (named) {
    row.kind = AddressKind::Value;
    row.address = static_cast<uint32_t>(named->value);
  } else {
    row.kind = AddressKind::Address;
    row.address = LabelPoint(state, statement, listing.locationBefore);
  }
  size_t shown = 0;
  for (size_t rows = 0; rows < kMaxByteRows && (rows == 0 || shown < held); ++rows) {
    row.bytes = bytes + shown;
    row.count = std::min(kRowBytes, held - shown);
    AppendRow(listing, row);
    shown += row.count;
    row.address += static_cast<uint32_t>(row.count);
    row.expanded = false;
    row.source = std::string_view();
  }
  if (shown < count) {
    std::string note = "(" + std::to_string(count - shown) + " more bytes)";
    row.count = 0;
    row.note = note;
    AppendRow(listing, row);
  }
  // An include begins here, or end or mexit left files.
  FollowFiles(state);
  StopWhenFull(state);
}

void FinishListingPass(PassState& state) {
  ListingRecorder& listing = *state.listing;
  while (WorthListing(state) && !listing.open.empty()) {
    ListingRecorder::OpenText& open = listing.open.back();
    ListUpTo(listing, open, open.text->text.size());
    listing.open.pop_back();
  }
  StopWhenFull(state);
}

}  // namespace asm68k
