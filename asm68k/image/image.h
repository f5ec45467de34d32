#pragma once
// The image: the bytes a pass places, kept in runs of consecutive addresses
// in the order they were placed (org may go in any direction, sections are
// laid out one after another), and how the runs become one image from the
// lowest address that holds a byte to the highest, gaps zero-filled.
//
// Bytes placed again over earlier ones replace them, in source order, as
// ROM hacks that include the original game and write their patches over it
// need: a later run is laid over the earlier ones. Nothing is copied when
// bytes are placed; when the runs hold far more bytes than the image (a
// large image patched many times), they are merged into one layer of runs.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace asm68k {

// The 68000 addresses 16 MiB: the bytes of an image, from its lowest to its
// highest, are held in memory, and are at most that.
constexpr uint32_t kMaxImageSize = 16u * 1024 * 1024;
// Zeros after those, from padding or a ds right after the bytes, are not
// held: with them an image may be up to 2 GiB long, as a Sega CD boot
// source pads its disc image to 32 MiB ("align $2000000").
constexpr uint64_t kMaxImageLength = 1ull << 31;
// What one pass may place in all, bytes placed again counting again: a
// source that patches the same bytes over and over ends there.
constexpr uint64_t kMaxPlacedInPass = 256u << 20;

// The line that placed bytes, for a message about bytes placed twice.
struct ByteSource {
  uint32_t order = 0;  // the line's place in the pass
  uint32_t file = 0;
  uint32_t line = 0;
  uint32_t context = 0;  // how the line was reached: an index the pass keeps (0: none)
};

struct ImageRun {
  uint32_t start = 0;
  std::vector<uint8_t> bytes;
  // From `offset` on, the run's bytes come from `source`: one entry where
  // the run starts, where an incbin's bytes start or stop, and for each
  // line when the sources are recorded.
  struct Piece {
    uint32_t offset;
    ByteSource source;
    bool included;  // placed by incbin: bytes placed over them replace them without a word
  };
  std::vector<Piece> pieces;
  uint64_t End() const { return start + static_cast<uint64_t>(bytes.size()); }
};

// A line that placed bytes over bytes another line placed (not an incbin).
struct Overlap {
  uint32_t address;
  ByteSource first, second;  // `second` comes later in the pass, and replaces them
};

struct ImageBuilder {
  std::vector<ImageRun> runs;  // in the order they were placed
  uint64_t placed = 0;    // bytes placed in the pass, each time they were
  uint64_t released = 0;  // bytes that merging the runs let go: the runs hold placed - released
  bool full = false;      // the image is sure to pass kMaxImageSize: nothing more is placed
  uint64_t wanted = 0;    // bytes the pass had to place, placed or not
  // The lowest address of a byte the pass had to place, and one past the
  // highest (see High): bytes a pass sure to be followed by another does
  // not keep count too.
  uint64_t low = UINT64_MAX;
  uint64_t high = 0;
  // A ds that follows bytes: the image reaches at least to its end.
  uint64_t reservedEnd = 0;
  ByteSource reservedBy;
  // Keep the line of every byte, not only of each run's first: only needed
  // to name the lines of an overlap, so a pass that finds one asks for it.
  bool recordSources = false;
  // The next bytes start a piece of their own (every line's when the sources
  // are recorded, and after an incbin's): they don't simply extend the last run.
  bool pieceNeeded = false;
  // The last Place began a piece: its source is kept (and may be completed).
  bool recorded = false;
  uint32_t merges = 0;       // times the runs were merged: their places changed
  uint64_t mergeAt = 0;      // held bytes past which they are merged again
  std::vector<Overlap> replaced;  // overlaps the merges found

  // Places `count` bytes (zeros when `data` is null) at `address`; returns
  // where they are kept, or null when the image is sure to be too large.
  uint8_t* Place(uint32_t address, const uint8_t* data, uint64_t count, const ByteSource& source,
                 bool included);
  // Counts bytes the pass places at `address`, kept or not.
  void Note(uint64_t address, uint64_t count) {
    if (address < low) low = address;
    if (address + count > high) high = address + count;
  }
  // Whether `address` is right after the bytes placed last, or after the
  // end of a ds that was (see Reserve).
  bool Follows(uint64_t address) const {
    return (!runs.empty() && !runs.back().bytes.empty() && runs.back().End() == address) ||
           (reservedEnd != 0 && reservedEnd == address);
  }
  // A ds that follows bytes, up to `end`: the image reaches `end` with zeros.
  void Reserve(uint64_t end, const ByteSource& source) {
    if (end <= reservedEnd) return;
    reservedEnd = end;
    reservedBy = source;
  }
  uint64_t Held() const { return placed - released; }
  // One past the highest byte: the last run may have grown since Note.
  uint64_t High() const {
    return runs.empty() ? high : std::max<uint64_t>(high, runs.back().End());
  }
  // The image's span: its lowest byte to its highest, or to the end of a
  // reserved ds (Span); its lowest byte to its highest, which are held
  // (HeldSpan); with `count` more bytes at `address` for HeldSpanWith.
  uint64_t Span() const;
  uint64_t HeldSpan() const { return High() > low ? High() - low : 0; }
  uint64_t HeldSpanWith(uint64_t address, uint64_t count) const;
  // Empties the builder for the next pass, with room for `expected` bytes in
  // its first run (what the pass before wanted to place): most images are
  // one run, and a pass sure to be followed by another places none.
  void Clear(uint64_t expected, bool record);
  // Lays runs[0, count) over one another into runs that don't overlap.
  void Merge(size_t count);
};

// The lines whose bytes later lines replaced, one for each later line; its
// lines are exact when the builder recorded sources.
void FindReplaced(ImageBuilder& builder, std::vector<Overlap>& replaced);

// Lays the runs out into `image`, later runs over earlier ones (the held
// span must be at most kMaxImageSize); runs that make one stretch become
// the image without a copy. Returns the zeros the image ends with past
// `image`: none when the whole image is at most kMaxImageSize, which is
// then all in `image`; else the reserved zeros past its highest byte.
uint64_t BuildImage(ImageBuilder& builder, std::vector<uint8_t>& image);

}  // namespace asm68k
