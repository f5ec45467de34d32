// The listing as the library gives it: rows for the lines a pass assembles
// and, between them, the file's other lines, counted as the file counts
// them; and its bounds. Its full format is pinned by golden/listing.lst.

#include <gtest/gtest.h>

#include <algorithm>
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
                                      size_t limit = size_t{256} << 20) {
  files["main.asm"] = source;
  asm68k::MemoryFiles reader(files);
  asm68k::AssemblyOptions options;
  options.listing = true;
  options.listingLimit = limit;
  return asm68k::AssembleText(source, "main.asm", reader, options);
}

TEST(Listing, ListsEveryLineOfTheFilesOnce) {
  const ListingCase cases[] = {
      // CR LF line ends, the last line without one
      {{},
       "; one\r\n\tnop\r\n\r\n\trts",
       "--- main.asm\n"
       "     1                                ; one\n"
       "     2  00000000 4E71                 \tnop\n"
       "     3\n"
       "     4  00000002 4E75                 \trts\n"},
      // lone CR line ends
      {{},
       "\tnop\r; two\r\tnop\r",
       "--- main.asm\n"
       "     1  00000000 4E71                 \tnop\n"
       "     2                                ; two\n"
       "     3  00000002 4E71                 \tnop\n"},
      // end in an include: the rest of both files is listed, not assembled
      {{{"a.i", "\tnop\n\tend\n\tjunk\n"}},
       "\tinclude \"a.i\"\n\tnop\n",
       "--- main.asm\n"
       "     1  00000000                      \tinclude \"a.i\"\n"
       "--- a.i\n"
       "     1  00000000 4E71                 \tnop\n"
       "     2  00000002                      \tend\n"
       "     3                                \tjunk\n"
       "--- main.asm\n"
       "     2                                \tnop\n"},
      // a file without a statement
      {{},
       "; nothing\n\n* here\n",
       "--- main.asm\n"
       "     1                                ; nothing\n"
       "     2\n"
       "     3                                * here\n"},
      // a file included twice is listed twice
      {{{"c.i", "; c\n\tnop\n"}},
       "\tinclude \"c.i\"\n\tinclude \"c.i\"\n",
       "--- main.asm\n"
       "     1  00000000                      \tinclude \"c.i\"\n"
       "--- c.i\n"
       "     1                                ; c\n"
       "     2  00000000 4E71                 \tnop\n"
       "--- main.asm\n"
       "     2  00000002                      \tinclude \"c.i\"\n"
       "--- c.i\n"
       "     1                                ; c\n"
       "     2  00000002 4E71                 \tnop\n"},
      // a forward reference: the last pass's bytes, listed once
      {{},
       "\tbra.w later\n\tnop\nlater:\trts\n",
       "--- main.asm\n"
       "     1  00000000 60000004             \tbra.w later\n"
       "     2  00000004 4E71                 \tnop\n"
       "     3  00000006 4E75                 later:\trts\n"},
      // a rept body in a macro expansion: two levels deep
      {{},
       "m macro\n\trept 2\n\tnop\n\tendr\n\tendm\n\tm\n",
       "--- main.asm\n"
       "     1                                m macro\n"
       "     2                                \trept 2\n"
       "     3                                \tnop\n"
       "     4                                \tendr\n"
       "     5                                \tendm\n"
       "     6  00000000                      \tm\n"
       "     2  00000000                      +\trept 2\n"
       "     3  00000000 4E71                 ++\tnop\n"
       "     3  00000002 4E71                 ++\tnop\n"},
  };
  for (const ListingCase& c : cases) {
    SCOPED_TRACE(c.source);
    asm68k::AssemblyResult result = AssembleListed(c.source, c.files);
    EXPECT_EQ(result.errors, 0);
    EXPECT_EQ(result.listing, c.listing);
  }
}

TEST(Listing, ShowsAFewRowsOfALineWithManyBytes) {
  asm68k_test::FileMap files{{"big.bin", std::string(asm68k::kMaxImageSize, 'x')}};
  asm68k::AssemblyResult result = AssembleListed("\tincbin \"big.bin\"\n", files);
  EXPECT_EQ(result.errors, 0);
  EXPECT_EQ(result.image.size(), asm68k::kMaxImageSize);
  // The file's name, four rows of bytes, and the count of the rest.
  EXPECT_EQ(std::count(result.listing.begin(), result.listing.end(), '\n'), 6);
  EXPECT_NE(result.listing.find("\n                 (16777176 more bytes)\n"), std::string::npos)
      << result.listing.substr(0, 400);
}

// A listing past its limit stops with a row and a warning that say so; the
// image is whole.
TEST(Listing, StopsAtItsLimit) {
  asm68k::AssemblyResult result =
      AssembleListed("; first\n\tnop\n\tnop\n; a comment past the limit\n\tnop\n", {}, 100);
  EXPECT_EQ(result.errors, 0);
  EXPECT_EQ(result.image.size(), 6u);
  EXPECT_EQ(result.listing,
            "--- main.asm\n"
            "     1                                ; first\n"
            "     2  00000000 4E71                 \tnop\n"
            "--- the listing stops here: it would be larger than 100 bytes\n");
  EXPECT_EQ(result.messages, (std::vector<std::string>{
                                 "main.asm:3: warning: the listing stops at this line: it would "
                                 "be larger than 100 bytes"}));
}

}  // namespace
