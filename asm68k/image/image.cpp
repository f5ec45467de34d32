#include "image.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>

namespace asm68k {

namespace {

// Held bytes past which runs are merged, at the least: twice the largest image.
constexpr uint64_t kMergeAt = 2ull * kMaxImageSize;

// The piece that holds the byte at `offset` of the run.
std::vector<ImageRun::Piece>::const_iterator PieceAt(const ImageRun& run, uint32_t offset) {
  auto after = std::upper_bound(
      run.pieces.begin(), run.pieces.end(), offset,
      [](uint32_t value, const ImageRun::Piece& piece) { return value < piece.offset; });
  return after == run.pieces.begin() ? after : after - 1;
}

// Appends `count` bytes (zeros when `data` is null) to a run's bytes and
// returns where they start. Room grows by doubling, but never past the
// largest image there can be.
uint8_t* Append(std::vector<uint8_t>& bytes, const uint8_t* data, uint64_t count) {
  size_t offset = bytes.size();
  if (offset + count > bytes.capacity()) {
    bytes.reserve(std::min<size_t>(std::max<size_t>(offset + count, 2 * bytes.capacity()),
                                   kMaxImageSize));
  }
  if (data && count <= 16) {
    for (uint64_t i = 0; i < count; ++i) bytes.push_back(data[i]);  // an instruction's few bytes
  } else if (data) {
    bytes.insert(bytes.end(), data, data + count);
  } else {
    bytes.resize(offset + static_cast<size_t>(count));
  }
  return bytes.data() + offset;
}

// What shows of run `run` from `start` to `end`, once later runs are laid over it.
struct Visible {
  uint64_t end;
  uint32_t run;
};
using VisibleMap = std::map<uint64_t, Visible>;

// Lays runs[0, count) over one another in order and returns what shows of
// each. Where a later run covers an earlier one, from `from` to `to`, a
// line other than incbin placed the bytes it covers, `onReplaced` hears of
// it with the first such address: (earlier run, later run, address).
template <typename OnReplaced>
VisibleMap LayOver(const std::vector<ImageRun>& runs, size_t count, OnReplaced onReplaced) {
  VisibleMap visible;
  for (uint32_t r = 0; r < count; ++r) {
    const ImageRun& run = runs[r];
    if (run.bytes.empty()) continue;
    const uint64_t start = run.start, end = run.End();
    auto at = visible.upper_bound(start);
    if (at != visible.begin() && std::prev(at)->second.end > start) --at;
    while (at != visible.end() && at->first < end) {
      const uint64_t from = at->first, to = at->second.end;
      const uint32_t under = at->second.run;
      // The first byte it covers that an incbin did not place.
      const ImageRun& below = runs[under];
      const uint64_t coverFrom = std::max(from, start), coverTo = std::min(to, end);
      for (auto piece = PieceAt(below, static_cast<uint32_t>(coverFrom - below.start));
           piece != below.pieces.end() && below.start + piece->offset < coverTo; ++piece) {
        if (!piece->included) {
          onReplaced(under, r, std::max<uint64_t>(coverFrom, below.start + piece->offset));
          break;
        }
      }
      at = visible.erase(at);
      if (from < start) visible.emplace(from, Visible{start, under});
      if (to > end) visible.emplace(end, Visible{to, under});
    }
    visible.emplace(start, Visible{end, r});
  }
  return visible;
}

// Keeps the overlap at `address`, the first of its later line: a line's
// bytes are consecutive, so its overlaps are found one after another.
void KeepOverlap(std::vector<Overlap>& replaced, const std::vector<ImageRun>& runs, uint32_t under,
                 uint32_t over, uint64_t address) {
  Overlap overlap;
  overlap.address = static_cast<uint32_t>(address);
  overlap.first = PieceAt(runs[under], static_cast<uint32_t>(address - runs[under].start))->source;
  overlap.second = PieceAt(runs[over], static_cast<uint32_t>(address - runs[over].start))->source;
  if (replaced.empty() || replaced.back().second.order != overlap.second.order) {
    replaced.push_back(overlap);
  }
}

}  // namespace

uint8_t* ImageBuilder::Place(uint32_t address, const uint8_t* data, uint64_t count,
                             const ByteSource& source, bool included) {
  recorded = false;
  if (count == 0 || full) return nullptr;
  // Most bytes follow the last ones placed and extend their run.
  bool extends = !runs.empty() && !runs.back().bytes.empty() && runs.back().End() == address;
  if (Held() + count > std::max(mergeAt, kMergeAt)) {
    // The run these bytes extend stays as it is: the listing finds a line's
    // bytes at the end of the last run.
    Merge(extends ? runs.size() - 1 : runs.size());
    mergeAt = 2 * Held();
    // What is left is all one layer: more than the largest image is an image too large.
    uint64_t layer = Held() - (extends ? runs.back().bytes.size() : 0);
    if (layer > kMaxImageSize || (extends && runs.back().bytes.size() + count > kMaxImageSize)) {
      full = true;
      return nullptr;
    }
    extends = !runs.empty() && !runs.back().bytes.empty() && runs.back().End() == address;
  }
  if (!extends) {
    if (runs.empty() || !runs.back().bytes.empty()) {
      if (!runs.empty()) high = std::max(high, runs.back().End());
      runs.emplace_back();
    }
    runs.back().start = address;
  }
  ImageRun& run = runs.back();
  // A run keeps the line of its first byte, where an incbin's bytes start or
  // stop, and the line of every byte when the sources are recorded.
  if (run.pieces.empty() || run.pieces.back().included != included ||
      (recordSources && run.pieces.back().source.order != source.order)) {
    run.pieces.push_back({static_cast<uint32_t>(run.bytes.size()), source, included});
    recorded = true;
  }
  pieceNeeded = recordSources || included;
  placed += count;
  return Append(run.bytes, data, count);
}

void ImageBuilder::Merge(size_t count) {
  if (count < 2) return;
  high = std::max(high, High());
  VisibleMap visible = LayOver(runs, count, [&](uint32_t under, uint32_t over, uint64_t address) {
    KeepOverlap(replaced, runs, under, over, address);
  });
  // Each stretch of consecutive addresses becomes one run. Every run lies
  // inside one stretch, and one of them starts where it starts: its room is
  // kept (most often a whole image, with patches inside it), the rest copied in.
  struct Stretch {
    uint64_t start, end;
    uint32_t base;  // the largest run that starts where the stretch does
  };
  std::vector<Stretch> stretches;
  for (const auto& [start, shown] : visible) {
    if (stretches.empty() || stretches.back().end != start) {
      stretches.push_back({start, start, shown.run});
    }
    Stretch& stretch = stretches.back();
    stretch.end = shown.end;
    const ImageRun& from = runs[shown.run];
    if (from.start == stretch.start && from.bytes.size() > runs[stretch.base].bytes.size()) {
      stretch.base = shown.run;
    }
  }
  std::vector<ImageRun> merged(stretches.size());
  for (size_t i = 0; i < stretches.size(); ++i) {
    merged[i].start = static_cast<uint32_t>(stretches[i].start);
    merged[i].bytes = std::move(runs[stretches[i].base].bytes);
    merged[i].bytes.resize(static_cast<size_t>(stretches[i].end - stretches[i].start));
  }
  size_t into = 0;
  for (const auto& [start, shown] : visible) {
    while (stretches[into].end <= start) ++into;
    ImageRun& out = merged[into];
    const ImageRun& from = runs[shown.run];
    const uint32_t first = static_cast<uint32_t>(start - from.start);
    const uint32_t last = static_cast<uint32_t>(shown.end - from.start);
    const uint32_t at = static_cast<uint32_t>(start - out.start);
    for (auto piece = PieceAt(from, first); piece != from.pieces.end() && piece->offset < last;
         ++piece) {
      out.pieces.push_back({at + std::max(piece->offset, first) - first, piece->source, piece->included});
    }
    // The base run's bytes are in place already.
    if (shown.run != stretches[into].base) {
      std::memcpy(out.bytes.data() + at, from.bytes.data() + first, last - first);
    }
  }
  for (size_t i = count; i < runs.size(); ++i) merged.push_back(std::move(runs[i]));
  runs = std::move(merged);
  uint64_t kept = 0;
  for (const ImageRun& run : runs) kept += run.bytes.size();
  released = placed - kept;
  pieceNeeded = true;
  ++merges;
}

uint64_t ImageBuilder::Span() const {
  uint64_t end = std::max(High(), reservedEnd);
  return end > low ? end - low : 0;
}

uint64_t ImageBuilder::HeldSpanWith(uint64_t address, uint64_t count) const {
  uint64_t end = std::max(High(), address + count);
  return end - std::min(low, address);
}

void ImageBuilder::Clear(uint64_t expected, bool record) {
  // The first run keeps its storage: the next pass places about as much.
  if (runs.size() > 1) runs.resize(1);
  if (runs.empty()) runs.emplace_back();
  runs[0].bytes.clear();
  runs[0].pieces.clear();
  runs[0].bytes.reserve(static_cast<size_t>(std::min<uint64_t>(expected, kMaxImageSize)));
  wanted = 0;
  placed = 0;
  released = 0;
  full = false;
  low = UINT64_MAX;
  high = 0;
  reservedEnd = 0;
  reservedBy = ByteSource();
  recordSources = record;
  pieceNeeded = record;
  recorded = false;
  merges = 0;
  mergeAt = 0;
  replaced.clear();
}

void FindReplaced(ImageBuilder& builder, std::vector<Overlap>& replaced) {
  replaced = builder.replaced;
  const std::vector<ImageRun>& runs = builder.runs;
  LayOver(runs, runs.size(), [&](uint32_t under, uint32_t over, uint64_t address) {
    KeepOverlap(replaced, runs, under, over, address);
  });
  // One for each line that replaced bytes: at the first address it did.
  std::sort(replaced.begin(), replaced.end(), [](const Overlap& a, const Overlap& b) {
    return a.second.order != b.second.order ? a.second.order < b.second.order
                                            : a.address < b.address;
  });
  replaced.erase(std::unique(replaced.begin(), replaced.end(),
                             [](const Overlap& a, const Overlap& b) {
                               return a.second.order == b.second.order;
                             }),
                 replaced.end());
}

uint64_t BuildImage(ImageBuilder& builder, std::vector<uint8_t>& image) {
  image.clear();
  // Later bytes over earlier ones, into the room the runs have already.
  builder.Merge(builder.runs.size());
  ImageRun* only = nullptr;
  size_t filled = 0;
  for (ImageRun& run : builder.runs) {
    if (!run.bytes.empty() && filled++ == 0) only = &run;
  }
  if (filled == 0) return 0;
  // Zeros up to a reserved end are held too, unless the image is larger
  // than any the 68000 addresses.
  const uint64_t full = builder.Span();
  const uint64_t span = full > kMaxImageSize ? builder.HeldSpan() : full;
  if (filled == 1) {
    image = std::move(only->bytes);
    image.resize(static_cast<size_t>(span));
    return full - span;
  }
  image.assign(static_cast<size_t>(span), 0);
  for (const ImageRun& run : builder.runs) {
    if (run.bytes.empty()) continue;
    std::memcpy(&image[static_cast<size_t>(run.start - builder.low)], run.bytes.data(),
                run.bytes.size());
  }
  return full - span;
}

}  // namespace asm68k
