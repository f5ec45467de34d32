// The report's pure parts: hex dump, composition and the output's chunking.
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "report.h"
#include "run_log.h"

namespace {

TEST(HexDump, IsThreeCharactersPerByteWithUppercaseDigitsAndTrailingSpace) {
    const unsigned char image[] = {0x4E, 0x71, 0x0A};
    EXPECT_EQ(FormatHexDump(image, 3), L"4E 71 0A ");

    const unsigned char zero[] = {0x00};
    EXPECT_EQ(FormatHexDump(zero, 1), L"00 ");
}

TEST(HexDump, FormatsEveryByteValue) {
    unsigned char image[256];
    for (int i = 0; i < 256; ++i) image[i] = static_cast<unsigned char>(i);
    std::wstring dump = FormatHexDump(image, 256);
    ASSERT_EQ(dump.size(), 768u);
    for (int i = 0; i < 256; ++i) {
        wchar_t expected[4];
        swprintf(expected, 4, L"%02X ", i);
        EXPECT_EQ(dump.substr(3 * i, 3), expected) << "byte " << i;
    }
}

TEST(HexDump, ALengthPastWhatAStringHoldsIsRefusedNotWrappedAround) {
    const unsigned char image[] = {0};
    EXPECT_THROW(FormatHexDump(image, SIZE_MAX / 3 + 1), std::length_error);
}

TEST(Report, IsHeadlineCrLfAndTheLogWidenedByteForByte) {
    EXPECT_EQ(ComposeReport(L"00 ", RunLog()), L"00 \r\n");
    EXPECT_EQ(ComposeReport(L"File \"temp.bin\" is empty.", RunLog("a\nb\r\n")),
              L"File \"temp.bin\" is empty.\r\na\nb\r\n");
    // Bytes above 0x7F are Latin-1 characters, never decoded as multi-byte text.
    EXPECT_EQ(ComposeReport(L"", RunLog("\x80\xC3\xA9\xFF")),
              std::wstring(L"\r\n\x0080\x00C3\x00A9\x00FF"));
}

// Feeds the output in pieces of the given size, as a pipe may deliver it.
RunLog ChunkedLog(const std::string& output, std::size_t piece) {
    OutputChunker chunker;
    RunLog log;
    for (std::size_t at = 0; at < output.size(); at += piece) {
        std::size_t count = std::min(piece, output.size() - at);
        TakeOutput(chunker, output.data() + at, count, log);
    }
    FinishOutput(chunker, log);
    return log;
}

std::string Pattern(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text.push_back(static_cast<char>('a' + i % 26));
    return text;
}

TEST(OutputChunks, AZeroDropsTheRestOfItsChunkOnlyWhateverThePieceSizes) {
    std::string output = Pattern(600);
    output[10] = '\0';
    std::string expected = output.substr(0, 10) + output.substr(499);
    for (std::size_t piece : {1u, 7u, 10u, 11u, 498u, 499u, 500u, 4096u}) {
        EXPECT_EQ(ChunkedLog(output, piece), expected) << "pieces of " << piece;
    }
}

TEST(OutputChunks, ZerosAtChunkBoundaries) {
    std::string lastOfFirst = Pattern(600);
    lastOfFirst[498] = '\0';
    EXPECT_EQ(ChunkedLog(lastOfFirst, 64), lastOfFirst.substr(0, 498) + lastOfFirst.substr(499));

    std::string firstOfSecond = Pattern(600);
    firstOfSecond[499] = '\0';
    EXPECT_EQ(ChunkedLog(firstOfSecond, 64), firstOfSecond.substr(0, 499));

    std::string firstByte = Pattern(1000);
    firstByte[0] = '\0';
    EXPECT_EQ(ChunkedLog(firstByte, 300), firstByte.substr(499));
}

TEST(OutputChunks, WholeChunksAndNoOutputAreKeptExactly) {
    EXPECT_EQ(ChunkedLog("", 499), "");
    EXPECT_EQ(ChunkedLog(Pattern(499), 499), Pattern(499));
    EXPECT_EQ(ChunkedLog(Pattern(998), 333), Pattern(998));
    EXPECT_EQ(ChunkedLog(Pattern(5 * 1024 * 1024), 65536), Pattern(5 * 1024 * 1024));
}

}  // namespace
