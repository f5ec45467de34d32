#pragma once
// The image: the bytes a pass places, kept in runs of consecutive addresses
// (org may go in any direction, sections are laid out one after another),
// and how the runs become one image from the lowest address that holds a
// byte to the highest, gaps zero-filled.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace asm68k {

// The 68000 addresses 16 MiB; no image can usefully be larger.
constexpr uint32_t kMaxImageSize = 16u * 1024 * 1024;

// The line that placed bytes, for a message about two lines placing bytes at
// one address.
struct ByteSource {
  uint32_t order = 0;  // the line's place in the pass
  uint32_t file = 0;
  uint32_t line = 0;
  uint32_t context = 0;  // how the line was reached: an index the pass keeps (0: none)
};

struct ImageRun {
  uint32_t start = 0;
  std::vector<uint8_t> bytes;
  // From `offset` on, the run's bytes come from `source` (one entry for each
  // line that placed bytes).
  struct Piece {
    uint32_t offset;
    ByteSource source;
  };
  std::vector<Piece> pieces;
  uint64_t End() const { return start + static_cast<uint64_t>(bytes.size()); }
};

struct ImageBuilder {
  std::vector<ImageRun> runs;
  uint64_t placed = 0;  // bytes in all runs
  bool full = false;    // placing more would pass kMaxImageSize: nothing more is placed
  uint64_t wanted = 0;  // bytes the pass had to place, placed or not
  // Keep the line of every byte, not only of each run's first: only needed
  // to name the lines of an overlap, so a pass that finds one asks for it.
  bool recordSources = false;
  // The last Place began a piece: its source is kept (and may be completed).
  bool recorded = false;

  // Places `count` bytes (zeros when `data` is null) at `address`; returns
  // where they are kept, or null when they would make the image too large.
  uint8_t* Place(uint32_t address, const uint8_t* data, uint64_t count, const ByteSource& source);
  // Empties the builder for the next pass, with room for `expected` bytes in
  // its first run (what the pass before wanted to place): most images are
  // one run, and a pass sure to be followed by another places none.
  void Clear(uint64_t expected);
};

// Two lines that placed bytes at the same address.
struct Overlap {
  uint32_t address;
  ByteSource first, second;  // `second` comes later in the pass
};

// The first overlap of the runs, if any; its lines are exact when the
// builder recorded sources.
bool FindOverlap(ImageBuilder& builder, Overlap& overlap);

// The span from the lowest byte to the highest; 0 when there are none.
uint64_t ImageSpan(const ImageBuilder& builder);

// Lays the runs out into `image` (which must span at most kMaxImageSize);
// a single run becomes the image without a copy.
void BuildImage(ImageBuilder& builder, std::vector<uint8_t>& image);

}  // namespace asm68k
