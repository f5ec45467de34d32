// What reaches the assembler: temp.asm as the source pane's text narrowed to
// 8 bits, the fixed command line, and a hidden start.
#include <gtest/gtest.h>

#include <algorithm>

#include "harness.h"
#include "text_match.h"

namespace e2e {
namespace {

const DWORD kCaseMilliseconds = 60000;

TEST(SourceFile, CharactersAbove255BecomeQuestionMarksAndTheRestIsWrittenWhole) {
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  Program program;
  StartProgram(folder, Assembler::Double, program, deadline);
  // U+0100, then a surrogate pair (one character, one "?"), then Latin-1
  // characters that stay single bytes.
  std::wstring source = L"image 01\r\necho-source\r\nA\u0100B\U0001F600C\u00E9\u00FF\u0080D\r\nend";
  const std::string narrowed = "image 01\r\necho-source\r\nA?B?C\xE9\xFF\x80" "D\r\nend";
  std::wstring report = CompileSource(program, source, deadline);
  EXPECT_EQ(narrowed, ReadBytes(folder.File(L"temp.asm")));
  EXPECT_TRUE(SameText(L"01 \r\n" + Widen(narrowed), report));
}

TEST(SourceFile, PastedSourceOf200000CharactersReachesTempAsmWhole) {
  const std::size_t kLength = 200000;
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  Program program;
  StartProgram(folder, Assembler::Double, program, deadline);

  std::wstring source = L"image 01\r\n";
  for (unsigned line = 0; source.size() < kLength; ++line)
    source += L"; filler line " + std::to_wstring(line) + L" of a long source\r\n";
  source.resize(kLength - 3);
  source += L"END";

  auto limit = static_cast<std::size_t>(SendWithin(program.source, EM_GETLIMITTEXT, 0, 0, deadline));
  EXPECT_GE(limit, kLength) << "the source pane's text limit was not lifted";
  // A paste, unlike WM_SETTEXT, is held to the pane's limit.
  PasteIntoPane(program.source, source, deadline);
  ASSERT_EQ(kLength, static_cast<std::size_t>(SendWithin(program.source, WM_GETTEXTLENGTH, 0, 0, deadline)))
      << "the paste was cut short; limit " << limit;

  EXPECT_TRUE(SameText(L"01 \r\n", Compile(program, deadline)));
  const std::string written = ReadBytes(folder.File(L"temp.asm"));
  EXPECT_EQ(kLength, written.size());
  EXPECT_TRUE(written == std::string(source.begin(), source.end()));
}

TEST(SourceFile, EmptySourceWritesAnEmptyTempAsmAndStillRunsTheAssembler) {
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  WriteBytes(folder.File(L"temp.asm"), "left from before");
  Program program;
  StartProgram(folder, Assembler::Double, program, deadline);
  EXPECT_TRUE(SameText(L"Can't open file \"temp.bin\" for read.\r\n", CompileSource(program, L"", deadline)));
  EXPECT_EQ("", ReadBytes(folder.File(L"temp.asm")));
  EXPECT_EQ("ASM68k.exe /p temp.asm,temp.bin\n", ReadBytes(folder.File(L"runs.log")));
}

TEST(AssemblerStart, FixedCommandLineAndHiddenWindowWithRedirectedHandles) {
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  Program program;
  StartProgram(folder, Assembler::Double, program, deadline);
  // STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW with SW_HIDE.
  EXPECT_TRUE(SameText(L"01 \r\nASM68k.exe /p temp.asm,temp.bin\nflags=0x101 show=0\n",
                       CompileSource(program, L"echo-cmdline\r\necho-startup\r\nimage 01\r\n", deadline)));
}

}  // namespace
}  // namespace e2e
