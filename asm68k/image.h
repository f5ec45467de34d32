#pragma once
// The image writer: the bytes of the program from the first byte placed to
// the last, with gaps zero-filled, and writing them out in one piece.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace asm68k {

// The 68000 addresses 16 MiB; no image can usefully be larger.
constexpr uint32_t kMaxImageSize = 16u * 1024 * 1024;

struct Image {
  bool started = false;  // false until the first byte is placed
  uint32_t base = 0;     // address of bytes[0]
  std::vector<uint8_t> bytes;
};

// Places `count` bytes at `address` (never below what was placed before);
// a gap before them is zero-filled. `data` null places zeros.
// False, placing nothing, when the image would grow past kMaxImageSize.
bool PlaceBytes(Image& image, uint32_t address, const uint8_t* data, uint64_t count);

// Replaces `path` with `size` bytes, written with a single call. An empty
// image still rewrites the file, so no earlier output survives.
bool WriteImageFile(const std::string& path, const uint8_t* data, size_t size);

}  // namespace asm68k
