#include "test_support.h"

#include <gtest/gtest.h>

namespace asm68k_test {

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
