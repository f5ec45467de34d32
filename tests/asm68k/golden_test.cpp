// Golden files: each golden/NAME.asm is assembled by the real ASM68k
// program, run in the golden folder as "ASM68k /p NAME.asm,OUT". Its output
// must match NAME.msg exactly and its image NAME.bin (no .bin: empty);
// NAME_flat.asm must give NAME.bin too. Where NAME.sym or NAME.lst exists,
// the run also asks for the symbols or the listing, which must match it.
// The exit code must be 0 when NAME.msg reports no errors, else 1.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> GoldenNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(GOLDEN_DIR)) {
    if (entry.path().extension() == ".asm") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class Golden : public ::testing::TestWithParam<std::string> {};

TEST_P(Golden, MatchesMessagesAndImage) {
  const std::string name = GetParam();
  fs::create_directories(GOLDEN_WORK_DIR);
  fs::path image = fs::path(GOLDEN_WORK_DIR) / (name + ".bin");
  {
    std::ofstream stale(image, std::ios::binary);
    stale << "stale";
  }
  // SYMBOLS and LISTING, when the golden folder holds what they must give.
  std::string files = name + ".asm," + image.string();
  std::vector<std::pair<fs::path, fs::path>> texts;  // expected, written
  for (const char* extension : {".sym", ".lst"}) {
    fs::path expected = fs::path(GOLDEN_DIR) / (name + extension);
    fs::path written = fs::path(GOLDEN_WORK_DIR) / (name + extension);
    files += ",";
    if (!fs::exists(expected)) continue;
    std::ofstream(written, std::ios::binary) << "stale";
    files += written.string();
    texts.emplace_back(expected, written);
  }
  while (files.back() == ',') files.pop_back();
  std::string command = "cd \"" GOLDEN_DIR "\" && \"" ASM68K_PATH "\" /p " + files;
  std::FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) output.append(buffer, n);
  int status = pclose(pipe);
  ASSERT_TRUE(WIFEXITED(status));

  std::string expected = ReadAll(fs::path(GOLDEN_DIR) / (name + ".msg"));
  EXPECT_EQ(output, expected);
  bool expectErrors = expected.find(": error: ") != std::string::npos;
  EXPECT_EQ(WEXITSTATUS(status), expectErrors ? 1 : 0);

  // NAME_flat.asm is NAME.asm written out without its constructs: same bytes.
  const std::string flat = "_flat";
  std::string imageName = name;
  if (name.size() > flat.size() && name.compare(name.size() - flat.size(), flat.size(), flat) == 0) {
    imageName.resize(name.size() - flat.size());
  }
  fs::path expectedImage = fs::path(GOLDEN_DIR) / (imageName + ".bin");
  std::string wanted = fs::exists(expectedImage) ? ReadAll(expectedImage) : std::string();
  EXPECT_EQ(ReadAll(image), wanted) << "image differs";
  for (const auto& [expected, written] : texts) {
    EXPECT_EQ(ReadAll(written), ReadAll(expected)) << written.filename() << " differs";
  }
}

INSTANTIATE_TEST_SUITE_P(Files, Golden, ::testing::ValuesIn(GoldenNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string id = info.param;
                           for (char& c : id) {
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return id;
                         });

}  // namespace
