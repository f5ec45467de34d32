// The source's narrowing to 8 bits and the handling of the two work files.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "source_text.h"
#include "work_files.h"

namespace {

std::string Narrow(const std::wstring& text) { return NarrowSourceText(text.data(), text.size()); }

TEST(Narrowing, KeepsEveryCharacterUpTo255AsItsByte) {
    std::wstring text;
    std::string expected;
    for (int c = 0; c < 256; ++c) {
        text.push_back(static_cast<wchar_t>(c));
        expected.push_back(static_cast<char>(c));
    }
    EXPECT_EQ(Narrow(text), expected);
}

TEST(Narrowing, OtherCharactersBecomeOneQuestionMarkAndTheRestIsKept) {
    EXPECT_EQ(Narrow(L"move.l #\x20AC,d0\r\nrts"), "move.l #?,d0\r\nrts");
    EXPECT_EQ(Narrow(L"a\xD83D\xDE00z"), "a?z");          // a surrogate pair
    EXPECT_EQ(Narrow(L"a\xD83Dz\xDE00"), "a?z?");         // lone surrogates
    EXPECT_EQ(Narrow(L"\x0100\xFFFF\x00FF"), "??\xFF");
    EXPECT_EQ(Narrow(L"\xD83D"), "?");
}

std::string TempPath(const char* name) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

TEST(SourceFile, IsWrittenExactlyAndTruncatedOnEachWrite) {
    std::string path = TempPath("quorvel_source_test.asm");
    ASSERT_EQ(WriteSourceFile(path.c_str(), std::string("long first text\r\n")),
              SourceFileResult::kWritten);
    std::string bytes("\0\x01\xFF\r\nx", 6);
    ASSERT_EQ(WriteSourceFile(path.c_str(), bytes), SourceFileResult::kWritten);
    std::vector<unsigned char> back;
    ASSERT_EQ(ReadImageFile(path.c_str(), back), ImageFileResult::kRead);
    EXPECT_EQ(std::string(back.begin(), back.end()), bytes);
    std::remove(path.c_str());
}

TEST(SourceFile, FailuresToOpenAndToWriteAreReported) {
    std::string folder = TempPath("quorvel_folder_test");
    CreateDirectoryA(folder.c_str(), nullptr);
    EXPECT_EQ(WriteSourceFile(folder.c_str(), "x"), SourceFileResult::kCantOpen);
    RemoveDirectoryA(folder.c_str());
}

TEST(SourceFile, AWriteThatFailsIsNotTakenForSuccess) {
    std::string path = TempPath("quorvel_readonly_test.asm");
    ASSERT_EQ(WriteSourceFile(path.c_str(), "x"), SourceFileResult::kWritten);
    // A stream that refuses every byte stands in for a full disk.
    std::FILE* refusing = std::fopen(path.c_str(), "rb");
    ASSERT_NE(refusing, nullptr);
    EXPECT_FALSE(WriteAndClose(refusing, std::string(100, 'x')));
    std::FILE* accepting = std::fopen(path.c_str(), "wb");
    ASSERT_NE(accepting, nullptr);
    EXPECT_TRUE(WriteAndClose(accepting, std::string(100, 'x')));
    std::remove(path.c_str());
}

TEST(SourceFile, AFullDiskIsReportedEvenForASourceSmallerThanTheStreamBuffer) {
    // Wine shows the host's /dev/full as a file that takes no byte.
    for (std::size_t size : {1u, 100u, 100000u}) {
        EXPECT_EQ(WriteSourceFile("Z:\\dev\\full", std::string(size, 'x')),
                  SourceFileResult::kCantWrite) << size << " bytes";
    }
}

TEST(ImageFile, MissingEmptyAndPresent) {
    std::string path = TempPath("quorvel_image_test.bin");
    std::remove(path.c_str());
    std::vector<unsigned char> image;
    EXPECT_EQ(ReadImageFile(path.c_str(), image), ImageFileResult::kCantOpen);

    ASSERT_EQ(WriteSourceFile(path.c_str(), ""), SourceFileResult::kWritten);
    EXPECT_EQ(ReadImageFile(path.c_str(), image), ImageFileResult::kEmpty);

    ASSERT_EQ(WriteSourceFile(path.c_str(), std::string("\x70\x01\x4E\x75", 4)),
              SourceFileResult::kWritten);
    ASSERT_EQ(ReadImageFile(path.c_str(), image), ImageFileResult::kRead);
    EXPECT_EQ(image, (std::vector<unsigned char>{0x70, 0x01, 0x4E, 0x75}));
    std::remove(path.c_str());
}

}  // namespace
