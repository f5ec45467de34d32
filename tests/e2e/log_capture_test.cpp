// The assembler's output as the report shows it: standard output and
// standard error merged in order, cut into 499-byte chunks counted from the
// start of the output, where a zero byte drops the rest of its chunk; and a
// run that never stalls, whatever the amount of output.
#include <gtest/gtest.h>

#include "harness.h"
#include "text_match.h"

namespace e2e {
namespace {

const DWORD kCaseMilliseconds = 60000;

std::wstring Pattern(std::size_t from, std::size_t to) {
  return Widen(OutputPattern(to).substr(from));
}

TEST(OutputChunks, ZeroByteDropsTheRestOfItsChunkOnly) {
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  Program program;
  StartProgram(folder, Assembler::Double, program, deadline);
  EXPECT_TRUE(SameText(L"01 \r\n" + Pattern(0, 10) + Pattern(499, 600),
                       CompileSource(program, L"image 01\r\nprint 600 zero 10\r\n", deadline)));
  // A zero as the last byte of one chunk and another as the first of the next.
  EXPECT_TRUE(SameText(L"01 \r\n" + Pattern(0, 498) + Pattern(998, 1000),
                       CompileSource(program, L"image 01\r\nprint 1000 zero 498 499\r\n", deadline)));
  // Fewer than 499 bytes are one chunk.
  EXPECT_TRUE(SameText(L"01 \r\n" + Pattern(0, 3),
                       CompileSource(program, L"image 01\r\nprint 300 zero 3 200\r\n", deadline)));
}

TEST(OutputChunks, ChunksCountFromTheStartEvenWhenTheOutputComesInSmallPieces) {
  // Written in pieces of 100 bytes with pauses, the output reaches the pipe
  // a little at a time; the chunks must still be 0-498, 499-997, ...
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  Program program;
  StartProgram(folder, Assembler::Double, program, deadline);
  EXPECT_TRUE(SameText(
      L"01 \r\n" + Pattern(0, 10) + Pattern(499, 520) + Pattern(998, 1200),
      CompileSource(program, L"image 01\r\nprint 1200 zero 10 520 piece 100 pause 30\r\n", deadline)));
}

TEST(OutputChunks, NoOutputAndExactMultiplesOfTheChunkDoNotStall) {
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  Program program;
  StartProgram(folder, Assembler::Double, program, deadline);
  EXPECT_TRUE(SameText(L"01 \r\n", CompileSource(program, L"image 01\r\n", deadline)));
  EXPECT_TRUE(SameText(L"01 \r\n" + Pattern(0, 499),
                       CompileSource(program, L"image 01\r\nprint 499\r\n", deadline)));
  EXPECT_TRUE(SameText(L"01 \r\n" + Pattern(0, 998),
                       CompileSource(program, L"image 01\r\nprint 998\r\n", deadline)));
}

TEST(OutputChunks, FiveMebibytesOfOutputArriveWhole) {
  // Far more than the pipe holds: the assembler can only finish if the
  // program reads while it runs.
  const std::size_t kSize = 5 << 20;
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  Program program;
  StartProgram(folder, Assembler::Double, program, deadline);
  EXPECT_TRUE(SameText(L"01 \r\n" + Pattern(0, kSize),
                       CompileSource(program, L"image 01\r\nprint " + std::to_wstring(kSize) + L"\r\n",
                                     deadline)));
}

TEST(OutputStreams, StandardErrorAndStandardOutputArriveMergedInOrder) {
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  Program program;
  StartProgram(folder, Assembler::Double, program, deadline);
  EXPECT_TRUE(SameText(L"Can't open file \"temp.bin\" for read.\r\nerror 1\nnote\nerror 2\n",
                       CompileSource(program,
                                     L"text \"error 1\\n\" stderr\r\ntext \"note\\n\"\r\n"
                                     L"text \"error 2\\n\" stderr\r\n",
                                     deadline)));
  // 13-byte pieces alternating between the two streams.
  EXPECT_TRUE(SameText(L"01 \r\n" + Pattern(0, 3000),
                       CompileSource(program, L"image 01\r\nprint 3000 both\r\n", deadline)));
  EXPECT_TRUE(SameText(L"01 \r\n" + Pattern(0, 700),
                       CompileSource(program, L"image 01\r\nprint 700 stderr\r\n", deadline)));
}

TEST(OutputStreams, AZeroLengthWriteDoesNotEndTheOutput) {
  // On Windows it makes the program's read of the pipe succeed with no
  // bytes. Wine drops it; the unit test OutputPipe reaches that read there.
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  Program program;
  StartProgram(folder, Assembler::Double, program, deadline);
  EXPECT_TRUE(SameText(L"01 \r\nbefore after\n",
                       CompileSource(program,
                                     L"image 01\r\ntext \"before \"\r\nempty-write\r\n"
                                     L"text \"after\\n\"\r\n",
                                     deadline)));
}

TEST(OutputStreams, AssemblerReadingStandardInputGetsEndOfInput) {
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  Program program;
  StartProgram(folder, Assembler::Double, program, deadline);
  EXPECT_TRUE(SameText(L"01 \r\nstdin: 0 bytes\n",
                       CompileSource(program, L"read-stdin\r\nimage 01\r\n", deadline)));
}

}  // namespace
}  // namespace e2e
