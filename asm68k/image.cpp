#include "image.h"

#include <algorithm>
#include <cstring>


namespace asm68k {

namespace {

// The line that placed the byte at `offset` of the run.
const ByteSource& SourceAt(const ImageRun& run, uint32_t offset) {
  auto after = std::upper_bound(
      run.pieces.begin(), run.pieces.end(), offset,
      [](uint32_t value, const ImageRun::Piece& piece) { return value < piece.offset; });
  return (after == run.pieces.begin() ? after : after - 1)->source;
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

}  // namespace

uint8_t* ImageBuilder::Place(uint32_t address, const uint8_t* data, uint64_t count,
                             const ByteSource& source) {
  recorded = false;
  if (count == 0 || full) return nullptr;
  if (placed + count > kMaxImageSize) {
    full = true;
    return nullptr;
  }
  // Most bytes follow the last ones placed and extend their run.
  if (runs.empty() || runs.back().bytes.empty() || runs.back().End() != address) {
    if (runs.empty() || !runs.back().bytes.empty()) runs.emplace_back();
    runs.back().start = address;
  }
  ImageRun& run = runs.back();
  // A run keeps the line of its first byte, and of every line after it
  // when the sources are recorded.
  if (run.pieces.empty() || (recordSources && run.pieces.back().source.order != source.order)) {
    run.pieces.push_back({static_cast<uint32_t>(run.bytes.size()), source});
    recorded = true;
  }
  placed += count;
  return Append(run.bytes, data, count);
}

void ImageBuilder::Clear(uint64_t expected) {
  // The first run keeps its storage: the next pass places about as much.
  if (runs.size() > 1) runs.resize(1);
  if (runs.empty()) runs.emplace_back();
  runs[0].bytes.clear();
  runs[0].pieces.clear();
  runs[0].bytes.reserve(static_cast<size_t>(std::min<uint64_t>(expected, kMaxImageSize)));
  wanted = 0;
  placed = 0;
  full = false;
}

bool FindOverlap(ImageBuilder& builder, Overlap& overlap) {
  std::vector<const ImageRun*> byStart;
  for (const ImageRun& run : builder.runs) {
    if (!run.bytes.empty()) byStart.push_back(&run);
  }
  std::sort(byStart.begin(), byStart.end(),
            [](const ImageRun* a, const ImageRun* b) { return a->start < b->start; });
  uint64_t reach = 0;
  const ImageRun* farthest = nullptr;
  for (const ImageRun* run : byStart) {
    if (farthest && run->start < reach) {
      overlap.address = run->start;
      const ByteSource& a = SourceAt(*farthest, run->start - farthest->start);
      const ByteSource& b = SourceAt(*run, 0);
      overlap.first = a.order < b.order ? a : b;
      overlap.second = a.order < b.order ? b : a;
      return true;
    }
    if (run->End() > reach) {
      reach = run->End();
      farthest = run;
    }
  }
  return false;
}

uint64_t ImageSpan(const ImageBuilder& builder) {
  uint64_t low = UINT64_MAX, high = 0;
  for (const ImageRun& run : builder.runs) {
    if (run.bytes.empty()) continue;
    low = std::min<uint64_t>(low, run.start);
    high = std::max(high, run.End());
  }
  return high > low ? high - low : 0;
}

void BuildImage(ImageBuilder& builder, std::vector<uint8_t>& image) {
  image.clear();
  ImageRun* only = nullptr;
  size_t filled = 0;
  for (ImageRun& run : builder.runs) {
    if (!run.bytes.empty() && filled++ == 0) only = &run;
  }
  if (filled == 1) {
    image = std::move(only->bytes);
    return;
  }
  uint64_t low = UINT64_MAX;
  for (const ImageRun& run : builder.runs) {
    if (!run.bytes.empty()) low = std::min<uint64_t>(low, run.start);
  }
  if (low == UINT64_MAX) return;
  image.assign(static_cast<size_t>(ImageSpan(builder)), 0);
  for (const ImageRun& run : builder.runs) {
    if (run.bytes.empty()) continue;
    std::memcpy(&image[static_cast<size_t>(run.start - low)], run.bytes.data(), run.bytes.size());
  }
}

}  // namespace asm68k
