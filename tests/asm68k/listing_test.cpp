// The listing as the library gives it: rows for the lines a pass assembles
// and, between them, the file's other lines, in the columns the community's
// listing readers take; and its bounds. Its full format is pinned by
// golden/listing.lst.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "assembler.h"
#include "image.h"
#include "test_support.h"

namespace {

struct ListingCase {
  asm68k_test::FileMap files;  // beside main.asm
  const char* source;
  const char* listing;
};

asm68k::AssemblyResult AssembleListed(const std::string& source, asm68k_test::FileMap files,
                                      size_t limit = size_t{256} << 20, bool sourceLines = false) {
  files["main.asm"] = source;
  asm68k::MemoryFiles reader(files);
  asm68k::AssemblyOptions options;
  options.listing = true;
  options.listingLimit = limit;
  options.symbols = options.sourceLines = sourceLines;
  return asm68k::AssembleText(source, "main.asm", reader, options);
}

TEST(Listing, ListsEveryLineOfTheFilesOnce) {
  const ListingCase cases[] = {
      // CR LF line ends, the last line without one
      {{},
       "; one\r\n\tnop\r\n\r\n\trts",
       "                                    ; one\n"
       "00000000 4E71                       \tnop\n"
       "\n"
       "00000002 4E75                       \trts\n"},
      // lone CR line ends
      {{},
       "\tnop\r; two\r\tnop\r",
       "00000000 4E71                       \tnop\n"
       "                                    ; two\n"
       "00000002 4E71                       \tnop\n"},
      // end in an include: the rest of both files is listed, not assembled
      {{{"a.i", "\tnop\n\tend\n\tjunk\n"}},
       "\tinclude \"a.i\"\n\tnop\n",
       "00000000                            \tinclude \"a.i\"\n"
       "00000000 4E71                       \tnop\n"
       "00000002                            \tend\n"
       "                                    \tjunk\n"
       "                                    \tnop\n"},
      // a file without a statement
      {{},
       "; nothing\n\n* here\n",
       "                                    ; nothing\n"
       "\n"
       "                                    * here\n"},
      // a file included twice is listed twice
      {{{"c.i", "; c\n\tnop\n"}},
       "\tinclude \"c.i\"\n\tinclude \"c.i\"\n",
       "00000000                            \tinclude \"c.i\"\n"
       "                                    ; c\n"
       "00000000 4E71                       \tnop\n"
       "00000002                            \tinclude \"c.i\"\n"
       "                                    ; c\n"
       "00000002 4E71                       \tnop\n"},
      // a forward reference: the last pass's bytes, listed once
      {{},
       "\tbra.w later\n\tnop\nlater:\trts\n",
       "00000000 60000004                   \tbra.w later\n"
       "00000004 4E71                       \tnop\n"
       "00000006 4E75                       later:\trts\n"},
      // a rept body in a macro expansion: two levels deep
      {{},
       "m macro\n\trept 2\n\tnop\n\tendr\n\tendm\n\tm\n",
       "00000000                            m macro\n"
       "                                    \trept 2\n"
       "                                    \tnop\n"
       "                                    \tendr\n"
       "                                    \tendm\n"
       "00000000                            \tm\n"
       "00000000                          M \trept 2\n"
       "00000000 4E71                     M \tnop\n"
       "00000002 4E71                     M \tnop\n"},
  };
  for (const ListingCase& c : cases) {
    SCOPED_TRACE(c.source);
    asm68k::AssemblyResult result = AssembleListed(c.source, c.files);
    EXPECT_EQ(result.errors, 0);
    EXPECT_EQ(result.listing, c.listing);
  }
}

// Reads a listing as the community's symbol converters do: a row that
// starts with 8 hexadecimal digits has an address, unless '=' follows them;
// its bytes follow from column 10; 'M' in column 35 marks an expansion's
// line; the source text starts at column 37, a label first on it. The
// bytes read back must be the image's, every one of them, and the labels
// must be where the symbols say.
TEST(Listing, ReadsBackAsTheCommunitysConvertersReadIt) {
  const char* source =
      "VALUE\tequ\t5\n"
      "push\tmacro\n"
      "@again:\tmove.\\0\t\\1,-(sp)\n"
      "\tendm\n"
      "\tinclude\t\"part.i\"\n"
      "start:\tmoveq\t#VALUE,d0\n"
      "\tpush.l\td0\n"
      "\trept\t3\n"
      "\tnop\n"
      "\tendr\n"
      "text\tdc.b\t'more than ten bytes, on rows',0\n"
      "  even\n"
      "last:\trts\n";
  asm68k::AssemblyResult result =
      AssembleListed(source, {{"part.i", "inpart:\tdc.w\t$1234,VALUE\n"}});
  ASSERT_EQ(result.errors, 0) << result.messages[0];
  auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); };
  std::vector<int> read(result.image.size(), -1);
  std::map<std::string, uint32_t> labels;
  int expansionRows = 0, equateRows = 0;
  size_t begin = 0;
  while (begin < result.listing.size()) {
    size_t end = result.listing.find('\n', begin);
    std::string row = result.listing.substr(begin, end - begin);
    begin = end + 1;
    if (row.size() < 8 || !std::all_of(row.begin(), row.begin() + 8, hex)) {
      EXPECT_TRUE(row.empty() || row.compare(0, 36, std::string(36, ' ')) == 0) << row;
      continue;
    }
    uint32_t address = static_cast<uint32_t>(std::stoul(row.substr(0, 8), nullptr, 16));
    if (row.size() > 8 && row[8] == '=') {
      ++equateRows;
      continue;
    }
    size_t at = 9;
    for (; at + 1 < row.size() && hex(row[at]) && hex(row[at + 1]); at += 2, ++address) {
      ASSERT_LT(address, read.size()) << row;
      EXPECT_EQ(read[address], -1) << "a byte listed twice: " << row;
      read[address] = std::stoi(row.substr(at, 2), nullptr, 16);
    }
    if (row.size() <= 36) continue;
    ASSERT_LE(at, 34u) << row;
    if (row[34] == 'M') ++expansionRows;
    std::string text = row.substr(36);
    size_t name = text.find_first_of(" \t:");
    if (name > 0 && name != std::string::npos && text.compare(name, 1, ":") == 0) {
      labels[text.substr(0, name)] = static_cast<uint32_t>(std::stoul(row.substr(0, 8), nullptr, 16));
    }
  }
  for (size_t i = 0; i < read.size(); ++i) {
    EXPECT_EQ(read[i], result.image[i]) << "byte " << i;
  }
  EXPECT_EQ(labels, (std::map<std::string, uint32_t>{
                        {"@again", 6}, {"inpart", 0}, {"start", 4}, {"last", 44}}));
  EXPECT_EQ(expansionRows, 4);  // the macro's line and the three nops
  EXPECT_EQ(equateRows, 1);
}

TEST(Listing, ShowsAFewRowsOfALineWithManyBytes) {
  asm68k_test::FileMap files{{"big.bin", std::string(asm68k::kMaxImageSize, 'x')}};
  asm68k::AssemblyResult result = AssembleListed("\tincbin \"big.bin\"\n", files);
  EXPECT_EQ(result.errors, 0);
  EXPECT_EQ(result.image.size(), asm68k::kMaxImageSize);
  // Four rows of bytes, and the count of the rest where it starts.
  EXPECT_EQ(std::count(result.listing.begin(), result.listing.end(), '\n'), 5);
  EXPECT_NE(result.listing.find("\n00000028 (16777176 more bytes)\n"), std::string::npos)
      << result.listing.substr(0, 400);
}

// A listing past its limit stops with a row and a warning that say so; the
// image is whole, and so are the symbol file's source lines.
TEST(Listing, StopsAtItsLimit) {
  asm68k::AssemblyResult result =
      AssembleListed("; first\n\tnop\n\tnop\n; a comment past the limit\n\tnop\n", {}, 80, true);
  EXPECT_EQ(result.errors, 0);
  EXPECT_EQ(result.image.size(), 6u);
  EXPECT_EQ(result.listing,
            "                                    ; first\n"
            "00000000 4E71                       \tnop\n"
            "--- the listing stops here: it would be larger than 80 bytes\n");
  EXPECT_EQ(result.messages, (std::vector<std::string>{
                                 "main.asm:3: warning: the listing stops at this line: it would "
                                 "be larger than 80 bytes"}));
  // Lines 2, 3 and 5 at 0, 2 and 4, the end at 6.
  EXPECT_EQ(result.symbols.substr(8), std::string("\0\0\0\0\x88\2\0\0\0\x08main.asm", 18) +
                                          std::string("\2\0\0\0\x80\4\0\0\0\x82\2", 11) +
                                          std::string("\6\0\0\0\x8A", 5));
}

}  // namespace
