#include "image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace asm68k {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

bool PlaceBytes(Image& image, uint32_t address, const uint8_t* data, uint64_t count) {
  if (count == 0) return true;
  if (!image.started) {
    image.started = true;
    image.base = address;
  }
  uint64_t offset = static_cast<uint64_t>(address) - image.base;
  if (address < image.base || offset + count > kMaxImageSize) return false;
  size_t oldSize = image.bytes.size();
  size_t newSize = static_cast<size_t>(offset + count);
  if (newSize > oldSize) {
    if (newSize > image.bytes.capacity()) {
      // Doubling, but never past the largest image there can be.
      image.bytes.reserve(std::min<size_t>(std::max(newSize, oldSize * 2), kMaxImageSize));
    }
    image.bytes.resize(newSize);  // zero-fills any gap
  }
  if (data) {
    std::memcpy(&image.bytes[static_cast<size_t>(offset)], data, static_cast<size_t>(count));
  } else {
    std::memset(&image.bytes[static_cast<size_t>(offset)], 0, static_cast<size_t>(count));
  }
  return true;
}

bool WriteImageFile(const std::string& path, const uint8_t* data, size_t size) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  if (size > 0 && std::fwrite(data, 1, size, file.get()) != size) return false;
  return std::fclose(file.release()) == 0;
}

}  // namespace asm68k
