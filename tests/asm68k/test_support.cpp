#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

// Every allocation of the test program carries its size in front, so the
// limit below can count what is held as well as what was asked for.
namespace {

constexpr size_t kHeader = alignof(std::max_align_t);
bool gLimited = false;
size_t gLive = 0, gLiveLimit = 0, gTotal = 0, gTotalLimit = 0;

}  // namespace

void* operator new(size_t size) {
  if (gLimited && (gLive + size > gLiveLimit || gTotal + size > gTotalLimit)) {
    throw std::bad_alloc();
  }
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (!block) throw std::bad_alloc();
  *reinterpret_cast<size_t*>(block) = size;
  gLive += size;
  gTotal += size;
  return block + kHeader;
}

void operator delete(void* pointer) noexcept {
  if (!pointer) return;
  auto* block = static_cast<unsigned char*>(pointer) - kHeader;
  gLive -= *reinterpret_cast<size_t*>(block);
  std::free(block);
}

void operator delete(void* pointer, size_t) noexcept { operator delete(pointer); }

namespace asm68k_test {

static size_t Above(size_t base, size_t extra) {
  return extra > SIZE_MAX - base ? SIZE_MAX : base + extra;
}

AllocationLimit::AllocationLimit(size_t live, size_t total) {
  gLiveLimit = Above(gLive, live);
  gTotalLimit = Above(gTotal, total);
  gLimited = true;
}

AllocationLimit::~AllocationLimit() { gLimited = false; }

asm68k::AssemblyResult Assemble(const std::string& source, const FileMap& files) {
  asm68k::MemoryFiles reader(files);
  return asm68k::AssembleText(source, "test.asm", reader);
}

std::vector<uint16_t> Words(const std::vector<uint8_t>& image) {
  std::vector<uint16_t> words;
  for (size_t i = 0; i + 1 < image.size(); i += 2) {
    words.push_back(static_cast<uint16_t>((image[i] << 8) | image[i + 1]));
  }
  if (image.size() % 2) words.push_back(static_cast<uint16_t>(image.back() << 8));
  return words;
}

std::string Indent(const std::string& text) {
  std::string out = "\t";
  for (char c : text) {
    out += c;
    if (c == '\n') out += '\t';
  }
  return out + "\n";
}

static std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

void ExpectWords(const std::vector<LineCase>& cases) {
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.source);
    asm68k::AssemblyResult result = Assemble(Indent(c.source));
    EXPECT_EQ(result.errors, 0) << Joined(result.messages);
    EXPECT_EQ(Words(result.image), c.words);
  }
}

void ExpectErrors(const std::vector<ErrorCase>& cases) {
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.source);
    asm68k::AssemblyResult result = Assemble(Indent(c.source));
    ASSERT_GE(result.errors, 1) << "assembled without errors";
    EXPECT_TRUE(result.image.empty());
    EXPECT_NE(result.messages[0].find(c.message), std::string::npos)
        << "first message: " << result.messages[0];
  }
}

}  // namespace asm68k_test
