// The report in the output pane for every way a run can end: the failure
// headlines, the image as hex, and the assembler's output after CR LF.
#include <gtest/gtest.h>

#include <algorithm>

#include "harness.h"
#include "text_match.h"

namespace e2e {
namespace {

const DWORD kCaseMilliseconds = 60000;

TEST(FailureReports, MissingAssemblerIsReportedAfterTempAsmIsWritten) {
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  Program program;
  StartProgram(folder, Assembler::None, program, deadline);
  EXPECT_TRUE(SameText(L"Can't execute ASM68k.exe\r\n",
                       CompileSource(program, L"image 01\r\n", deadline)));
  EXPECT_EQ("image 01\r\n", ReadBytes(folder.File(L"temp.asm")));
}

TEST(FailureReports, TempAsmThatCannotBeOpenedStopsTheRunBeforeTheAssembler) {
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  // A folder of that name can't be opened as a file.
  ASSERT_TRUE(CreateDirectoryW(folder.File(L"temp.asm").c_str(), nullptr));
  Program program;
  StartProgram(folder, Assembler::Double, program, deadline);
  EXPECT_TRUE(SameText(L"Can't open file \"temp.asm\" for write.\r\n",
                       CompileSource(program, L"image 01\r\n", deadline)));
  EXPECT_FALSE(Exists(folder.File(L"runs.log"))) << "the assembler was started";
}

TEST(FailureReports, TempAsmWriteThatFailsIsNotTakenForSuccess) {
  // A folder prepared by the test run whose temp.asm leads to a device that
  // is always full: opening works, writing fails as on a full disk.
  const std::wstring fullDeviceFolder = FullDeviceFolder();
  if (!Exists(fullDeviceFolder)) GTEST_SKIP() << "no full-device folder prepared";
  DeleteFileW((fullDeviceFolder + L"\\runs.log").c_str());
  Deadline deadline(kCaseMilliseconds);
  Program program;
  StartProgramIn(fullDeviceFolder, Assembler::Double, program, deadline);
  // More than the runtime's file buffer, so that the failure shows on the
  // write itself and not only when the buffer is flushed on close.
  std::wstring source = L"image 01\r\ntext \"ran\"\r\n" + std::wstring(10000, L';');
  EXPECT_TRUE(SameText(L"Can't write file \"temp.asm\".\r\n", CompileSource(program, source, deadline)));
  EXPECT_FALSE(Exists(fullDeviceFolder + L"\\runs.log")) << "the assembler was started";
}

TEST(FailureReports, NoImageShowsTheReadFailureAndTheAssemblersOutput) {
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  Program program;
  StartProgram(folder, Assembler::Double, program, deadline);
  EXPECT_TRUE(SameText(L"Can't open file \"temp.bin\" for read.\r\nmade no image\n",
                       CompileSource(program, L"no-image\r\ntext \"made no image\\n\"\r\n", deadline)));
}

TEST(FailureReports, EmptyImageShowsItsHeadlineAndTheAssemblersOutput) {
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  Program program;
  StartProgram(folder, Assembler::Double, program, deadline);
  EXPECT_TRUE(SameText(L"File \"temp.bin\" is empty.\r\nwrote 0 bytes\r\n",
                       CompileSource(program, L"image-empty\r\ntext \"wrote 0 bytes\\r\\n\"\r\n", deadline)));
}

TEST(FailureReports, StaleImageFromAnEarlierRunIsShown) {
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  WriteBytes(folder.File(L"temp.bin"), std::string("\x12\x00\xAB", 3));
  Program program;
  StartProgram(folder, Assembler::Double, program, deadline);
  EXPECT_TRUE(SameText(L"12 00 AB \r\nkept the old image\n",
                       CompileSource(program, L"no-image\r\ntext \"kept the old image\\n\"\r\n", deadline)));
}

TEST(ImageReports, OneZeroByteAndAnEmptyLog) {
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  Program program;
  StartProgram(folder, Assembler::Double, program, deadline);
  EXPECT_TRUE(SameText(L"00 \r\n", CompileSource(program, L"image 00\r\n", deadline)));
  EXPECT_TRUE(SameText(L"70 01 4E 75 0A FF \r\n",
                       CompileSource(program, L"image 70 01 4e 75 0a ff\r\n", deadline)));
}

TEST(ImageReports, FourMebibyteImageGivesAHeadlineOfThreeCharactersPerByte) {
  const std::size_t kSize = 4 << 20;
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  Program program;
  StartProgram(folder, Assembler::Double, program, deadline);
  std::wstring report = CompileSource(
      program, L"image-size " + std::to_wstring(kSize) + L"\r\ntext \"done\\n\"\r\n", deadline);
  EXPECT_EQ(3 * kSize, report.find(L"\r\n"));
  EXPECT_TRUE(SameText(HexDump(ImagePattern(kSize)) + L"\r\ndone\n", report));
}

TEST(LogReports, BytesAbove7FWidenToLatin1AndLineBreaksPassUnchanged) {
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  Program program;
  StartProgram(folder, Assembler::Double, program, deadline);
  std::wstring report = CompileSource(
      program, L"image 01\r\ntext \"\\x80\\xA9 caf\\xE9 \\xFF|a\\nb\\r\\nc\\rd\\n\\n\"\r\n", deadline);
  EXPECT_TRUE(SameText(L"01 \r\n\u0080\u00A9 caf\u00E9 \u00FF|a\nb\r\nc\rd\n\n", report));
}

TEST(LogReports, SecondReportReplacesTheFirst) {
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  Program program;
  StartProgram(folder, Assembler::Double, program, deadline);
  EXPECT_TRUE(SameText(L"01 02 \r\nfirst run, longer output\n",
                       CompileSource(program, L"image 01 02\r\ntext \"first run, longer output\\n\"\r\n",
                                     deadline)));
  // Compile() puts a marker into the pane first; set the first report back
  // so that the second run really replaces a report.
  SetPaneText(program.output, L"01 02 \r\nfirst run, longer output\n", deadline);
  SetPaneText(program.source, L"image 03\r\ntext \"second\\n\"\r\n", deadline);
  PostMessageW(program.compile, BM_CLICK, 0, 0);
  std::wstring report;
  do {
    ASSERT_FALSE(deadline.Passed()) << "no second report appeared";
    Sleep(20);
    report = PaneText(program.output, deadline);
  } while (report == L"01 02 \r\nfirst run, longer output\n");
  EXPECT_TRUE(SameText(L"03 \r\nsecond\n", report));
  const std::string runs = ReadBytes(folder.File(L"runs.log"));
  EXPECT_EQ(2, std::count(runs.begin(), runs.end(), '\n'));
}

TEST(RealAssembler, MoveqAndRtsGiveTheirBytesThenTheAssemblersOutput) {
  Deadline deadline(kCaseMilliseconds);
  const std::string source = "\tmoveq\t#1,d0\r\n\trts\r\n";
  // What the assembler prints for this source when run directly.
  WorkFolder direct;
  WriteBytes(direct.File(L"temp.asm"), source);
  std::string printed =
      RunCaptured(RealAssemblerExe(), "ASM68k.exe /p temp.asm,temp.bin", direct.path, deadline);
  ASSERT_EQ(std::string("\x70\x01\x4E\x75", 4), ReadBytes(direct.File(L"temp.bin")));

  WorkFolder folder;
  Program program;
  StartProgram(folder, Assembler::Real, program, deadline);
  EXPECT_TRUE(SameText(L"70 01 4E 75 \r\n" + Widen(printed),
                       CompileSource(program, Widen(source), deadline)));
}

TEST(RealAssembler, ATypoLeavesNoImageAndTheErrorNamesItsLine) {
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  // An image of an earlier run must not pass for this one's: the failed
  // run removes it.
  WriteBytes(folder.File(L"temp.bin"), "\x4E\x71");
  Program program;
  StartProgram(folder, Assembler::Real, program, deadline);
  EXPECT_TRUE(SameText(
      L"Can't open file \"temp.bin\" for read.\r\n"
      L"temp.asm:2: error: unknown instruction 'mvoeq'\r\n"
      L"1 error, 0 warnings\r\n",
      CompileSource(program, L"\tnop\r\n\tmvoeq\t#1,d0\r\n\trts\r\n", deadline)));
}

}  // namespace
}  // namespace e2e
