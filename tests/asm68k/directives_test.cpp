// Directives, symbols, include files and the image: what a whole source
// assembles to, and the limits that keep bad input from running away.

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

using asm68k_test::Assemble;
using asm68k_test::ExpectErrors;
using asm68k_test::ExpectWords;
using asm68k_test::FileMap;
using asm68k_test::Words;

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

TEST(Directives, DataAndStrings) {
  ExpectWords({
      {"dc.b 'Hi',0,\"!\"", {0x4869, 0x0021}},
      {"dc.b 'it''s'", {0x6974, 0x2773}},
      {"dc.b \"a\"\"b\",0", {0x6122, 0x6200}},
      {"dc.b 'A'+1,0", {0x4200}},  // a string inside an expression is a number
      {"dc.b ';',0 ; the quote hides the semicolon", {0x3B00}},
      {"dc.w 1,2", {0x0001, 0x0002}},
      {"dc 3", {0x0003}},
      {"dc.w 'AB'", {0x4142}},
      {"dc.l 'ABCD'", {0x4142, 0x4344}},
      {"dc.b 1\n ds.b 2\n dc.b 1", {0x0100, 0x0001}},
      {"dc.w 1\n ds.w 1\n ds.l 1\n dc.w 2", {0x0001, 0x0000, 0x0000, 0x0000, 0x0002}},
      {"dc.w 1\n ds 1\n dc.w 2", {0x0001, 0x0000, 0x0002}},
      // Space before the first byte takes no room; right after the last, its zeros.
      {"ds.b 3\n dc.b 1\n ds.b 8", {0x0100, 0, 0, 0, 0}},
      {"dc.l v\n org $ff0000\nv: ds.l 4", {0x00FF, 0}},  // after an org away from the bytes: none
      {"dcb.w 3,$abcd", {0xABCD, 0xABCD, 0xABCD}},
      {"dcb.b 2", {0x0000}},
      {"dcb.l 1,-1", {0xFFFF, 0xFFFF}},
      {"blk.w 2,7", {0x0007, 0x0007}},
      {"dc.b 1\n even\n dc.w 2", {0x0100, 0x0002}},
      {"dc.b 1\n cnop 0,4\n dc.w 2", {0x0100, 0x0000, 0x0002}},
      {"dc.b 1\n cnop 2,4\n dc.w 2", {0x0100, 0x0002}},
      {"dc.w 1\n cnop 0,2\n dc.w 2", {0x0001, 0x0002}},
  });
}

TEST(Directives, WordsAtOddAddressesGetAZeroByteBeforeThem) {
  ExpectWords({
      {"dc.b 1\n nop", {0x0100, 0x4E71}},
      {"dc.b 1\n dc.w 2", {0x0100, 0x0002}},
      {"dc.b 1\nx: dc.l x", {0x0100, 0x0000, 0x0002}},  // the label is the padded address
      {"dc.b 1\nx:\n dc.w x", {0x0100, 0x0002}},        // also a label alone above
      {"dc.b 1\nx:\ny:\n nop\n dc.w x,y", {0x0100, 0x4E71, 0x0002, 0x0002}},
      {"dc.b 1\n ds.w 1\n dc.b 2", {0x0100, 0x0000, 0x0200}},
  });
  // The pad byte is placed even before the first byte of the image.
  EXPECT_EQ(Assemble(" org $101\n nop\n").image, (std::vector<uint8_t>{0x00, 0x4E, 0x71}));
  asm68k::AssemblyResult result = Assemble(" dc.b 1\n nop\n dc.b 1\n dcb.w 1,0\n");
  EXPECT_EQ(result.errors, 0);
  ASSERT_EQ(result.warnings, 2);
  EXPECT_EQ(result.messages[0], "test.asm:2: warning: nop at odd address $1: a zero byte is added before it");
  EXPECT_EQ(result.messages[1], "test.asm:4: warning: dcb.w at odd address $5: a zero byte is added before it");
  EXPECT_EQ(result.summary, "0 errors, 2 warnings, 8 bytes");
}

TEST(Directives, OrgAndTheImageBounds) {
  // The image runs from the first byte placed to the last; gaps are zero.
  asm68k::AssemblyResult result = Assemble(" org $1000\nstart: nop\n org $1006\n rts\n");
  EXPECT_EQ(result.errors, 0);
  EXPECT_EQ(Words(result.image), (std::vector<uint16_t>{0x4E71, 0x0000, 0x0000, 0x4E75}));

  result = Assemble(" org $100\n dc.w *\n org $104\n");  // a trailing org adds nothing
  EXPECT_EQ(Words(result.image), (std::vector<uint16_t>{0x0100}));

  result = Assemble(" org 1\n even\n dc.w *\n");  // padding before the first byte is kept
  EXPECT_EQ(result.image, (std::vector<uint8_t>{0, 0, 2}));

  result = Assemble(" dc.b 1\n even\n");  // padding after it is part of the image
  EXPECT_EQ(result.image, (std::vector<uint8_t>{1, 0}));

  result = Assemble("label\n org $10\nthere: dc.w there,label\n");
  EXPECT_EQ(Words(result.image), (std::vector<uint16_t>{0x0010, 0x0000}));

  result = Assemble(" org $102\n rts\n org $100\n nop\n");  // org may go backwards
  EXPECT_EQ(Words(result.image), (std::vector<uint16_t>{0x4E71, 0x4E75}));
  // The last address is $FFFFFFFF: the location may reach the end after it,
  // but nothing may be there, however it is reached. (rs counts, it is no
  // location.)
  ExpectWords({
      {"org $fffffffe\n dc.w 1", {0x0001}},
      {"org $fffffff1\n cnop 0,16", std::vector<uint16_t>(8, 0)},  // 15 zeros up to the end
      {"rsset $fffffffc\nx: rs.l 1\ny: rs.w 1\n dc.l y", {0x0000, 0x0000}},
  });
  const char* past = "would be at $100000000, past address $FFFFFFFF";
  ExpectErrors({
      {"org $fffffffe\n dc.l 1", "the program runs past address $FFFFFFFF"},
      {"org $fffffffe\n ds.b 2\nv: ds.l 1\n dc.l v", "label 'v' would be at $100000000"},
      {"org $fffffffe\n ds.b 2\n ds.l 1", "the program runs past address $FFFFFFFF"},
      {"org $fffffffe\n dc.w 1\n nop", "the program runs past address $FFFFFFFF"},
      {"org $fffffffe\n dc.w 1\nend:", past},
      {"org $fffffffe\n dc.w 1\nhere equ *", past},
      {"org $fffffff1\nhere: align 4", past},
      {"org $fffffff1\n align 4\n dc.b 1", "the program runs past address $FFFFFFFF"},
      {"org $fffffffe\n cnop 0,7", "the program runs past address $FFFFFFFF"},
      {"offset $fffffffc\nx: ds.l 1\ny: ds.w 1", past},
      {"org $fffffffe\n nop\n section data\n dc.b 1", "the program runs past address $FFFFFFFF"},
      {"org $fffffffe\n nop\n section bss\nx: ds.b 1", past},
  });
  // Two lines placing bytes at one address: the later one's replace the
  // earlier one's, with a warning that names both (an incbin's are replaced
  // without one).
  result = Assemble(" org $100\n nop\n dc.w 1\n org $102\n nop\n");
  ASSERT_EQ(result.messages.size(), 1u);
  EXPECT_EQ(result.messages[0],
            "test.asm:5: warning: this line replaces bytes at $102 that line 3 placed");
  EXPECT_EQ(asm68k_test::Words(result.image), (std::vector<uint16_t>{0x4E71, 0x4E71}));
}

TEST(Directives, ImageIsLimitedTo16MiB) {
  asm68k::AssemblyResult result = Assemble(" dc.b 1\n ds.b $FFFFFE\n dc.b 1\n");
  EXPECT_EQ(result.errors, 0);
  EXPECT_EQ(result.image.size(), 0x1000000u);
  // Zeros past the highest byte, to a disc image's size, are not held.
  result = Assemble(" dc.b 1\n cnop 0,$2000000\n");
  EXPECT_EQ(result.summary, "0 errors, 0 warnings, 33554432 bytes");
  EXPECT_EQ(result.image.size() + result.imageZeros, 0x2000000u);
  EXPECT_LE(result.image.size(), 0x1000000u);
  ExpectErrors({
      {"ds.w $40000001", "ds.w of 1073741825 would make the image longer than 2 GiB"},
      {"dc.b 1\n align 31\n ds.b 1", "the image would be 2147483649 bytes long with the zeros"},
      {"dcb.b $FFFFFF\n dcb.b 2", "the image would be larger than 16 MiB"},
      {"dc.b 1\n ds.b $1000000\n dc.b 1", "the image would span 16777218 bytes, more than 16 MiB"},
      {"nop\n org $1000000\n nop", "the image would span 16777218 bytes, more than 16 MiB"},
      {"dcb.l $400001,0", "would make the image larger than 16 MiB"},
  });
}

TEST(Directives, EquSetAndAssignment) {
  ExpectWords({
      {"five equ 5\n moveq #five,d0", {0x7005}},
      {"five: equ 5\n moveq #five,d0", {0x7005}},
      {"five = 5\n moveq #five,d0", {0x7005}},
      {"five=5\n moveq #five,d0", {0x7005}},
      {"   five equ 5\n moveq #five,d0", {0x7005}},  // an indented name before equ is a label
      {"n set 1\n dc.w n\nn set n+1\n dc.w n", {0x0001, 0x0002}},
      {"moveq #later,d0\nlater equ 3", {0x7003}},
      {"a equ b+1\nb equ c*2\nc equ 4\n dc.w a", {0x0009}},
      {"size equ end-start\nstart: dc.w size\n dc.w 0\nend:", {0x0004, 0x0000}},
      {"here equ *\n nop\n dc.w here", {0x4E71, 0x0000}},
      {"x equ 2\nx equ 1+1\n dc.w x", {0x0002}},  // the same value again: one definition
  });
  ExpectErrors({
      {"equ 5", "equ needs a name in the label field"},
      {"x equ 1\nx equ 2", "'x' is already defined on line 1"},
      {"x equ 1\nx equ 3-2\nx equ 2", "'x' is already defined on line 1"},
      {"x equ 1\nx set 2", "'x' is already defined on line 1"},
      {"x: nop\nx: nop", "'x' is already defined on line 1"},
      {"x set 1\nx: nop", "'x' is already defined on line 1"},
      {"d0 equ 1", "'d0' is a register name and cannot be a label"},
      {"sp: nop", "'sp' is a register name"},
      {"x equ", "equ takes 1 value"},
      {"x equ 1,2", "equ takes 1 value"},
      {"nop\n dc.w missing", "undefined symbol 'missing'"},
      // A value that leads back to itself has none: its first guess is no value.
      {"x equ x\n dc.l x", "'x' is defined from itself"},
      {"a equ b+1\nb equ c*2\nc equ d\nd equ b\n dc.l a\n",
       "'b' is defined from itself, through 'c', 'd'"},
  });
}

TEST(Directives, LocalLabelsBelongToTheGlobalLabelAbove) {
  ExpectWords({
      {"first: bra.s .go\n nop\n.go: nop\nsecond: bra.s .go\n nop\n.go: rts",
       {0x6002, 0x4E71, 0x4E71, 0x6002, 0x4E71, 0x4E75}},
  });
  asm68k::AssemblyResult result = Assemble("first: nop\n.x: nop\nsecond: dc.w .x\n");
  ASSERT_EQ(result.messages.size(), 1u);
  EXPECT_EQ(result.messages[0], "test.asm:3: error: undefined symbol '.x'");
}

TEST(Directives, NamesMatchInAnyCaseUnlessOptCSaysOtherwise) {
  ExpectWords({
      {"Loop: NOP\n BRA loop\n bra LOOP", {0x4E71, 0x6000, 0xFFFC, 0x6000, 0xFFF8}},
      {"Five equ 5\n moveq #FIVE,d0\n ifd five\n nop\n endif", {0x7005, 0x4E71}},
      {"g: nop\n.Back: bra.s .back", {0x4E71, 0x60FE}},
      {" opt c+\nLoop: nop\nloop: nop\n bra Loop\n bra loop",
       {0x4E71, 0x4E71, 0x6000, 0xFFFA, 0x6000, 0xFFF8}},
      {" opt c+\nx: nop\n opt c-\n bra X", {0x4E71, 0x6000, 0xFFFC}},
      {"LongerLabelName: nop\n bra longerlabelNAME", {0x4E71, 0x6000, 0xFFFC}},
      // Names a character apart are different names, whatever their length.
      {"ab1 equ 1\nab2 equ 2\nlabel_5 equ 3\nlabel_6 equ 4\nlong_nam1 equ 5\nlong_nam2 equ 6\n"
       " dc.w ab1,ab2,label_5,label_6,long_nam1,long_nam2",
       {1, 2, 3, 4, 5, 6}},
      {"a_long_name equ 1\na_lung_name equ 2\n dc.w a_long_name,a_lung_name", {1, 2}},
  });
  ExpectErrors({{"Start: nop\nstart: nop", "'Start' is already defined on line 1"}});
}

TEST(Directives, EndStopsTheSource) {
  ExpectWords({
      {"nop\n end\n this is not assembled", {0x4E71}},
      {"nop\n END", {0x4E71}},
  });
}

TEST(Directives, IncludeAndIncbin) {
  FileMap files = {
      {"defs.inc", "value equ $1234\n"},
      {"code.inc", " move.w #value,d0\n include \"more.inc\"\n"},
      {"more.inc", " rts\n"},
      {"data.bin", std::string("\x01\x02\x03", 3)},
      {"sub/inner.inc", " include \"leaf.inc\"\n"},
      {"sub/leaf.inc", " nop\n"},
      {"self.inc", " include self.inc\n"},
      {"bad.inc", " nop\n bogus d0\n"},
      {"sub/a.i", " nop\n include \"b.i\"\n"},
      {"sub/b.i", " nop\n bogus\n"},
  };
  asm68k::AssemblyResult result =
      Assemble(" include \"defs.inc\"\n include 'code.inc'\n incbin \"data.bin\"\n", files);
  EXPECT_EQ(result.errors, 0);
  EXPECT_EQ(result.image, (std::vector<uint8_t>{0x30, 0x3C, 0x12, 0x34, 0x4E, 0x75, 1, 2, 3}));

  // An include is tried as written, then beside the file that includes it.
  result = Assemble(" include sub/inner.inc\n", files);
  EXPECT_EQ(result.errors, 0);
  EXPECT_EQ(Words(result.image), (std::vector<uint16_t>{0x4E71}));

  // Errors inside an include name the include file, by the path it was
  // found at, and its line, then the chain of includes that led there.
  result = Assemble(" include \"bad.inc\"\n nop\n", files);
  ASSERT_EQ(result.messages.size(), 1u);
  EXPECT_EQ(result.messages[0],
            "bad.inc:2: error: unknown instruction 'bogus'\n  included from test.asm:1");
  result = Assemble(" include \"sub/a.i\"\n", files);
  ASSERT_EQ(result.messages.size(), 1u);
  EXPECT_EQ(result.messages[0],
            "sub/b.i:2: error: unknown instruction 'bogus'\n  included from sub/a.i:2\n"
            "  included from test.asm:1");

  result = Assemble(" include \"missing.inc\"\n", files);
  ASSERT_EQ(result.messages.size(), 1u);
  EXPECT_EQ(result.messages[0], "test.asm:1: error: cannot open include file 'missing.inc'");

  result = Assemble(" incbin \"missing.bin\"\n", files);
  EXPECT_EQ(result.messages.at(0), "test.asm:1: error: cannot open incbin file 'missing.bin'");

  result = Assemble(" include \"self.inc\"\n", files);
  EXPECT_EQ(result.messages.at(0),
            "self.inc:1: error: 'self.inc' includes itself\n  included from test.asm:1");
}

TEST(Directives, IncludePathsAsDosSourcesWriteThem) {
  // '\\' separates folders on every build; a name not found as spelled is
  // found in another case, one path component after another, in each place
  // an include looks (as written, beside the includer, incdir folders).
  FileMap files = {
      {"src/main.asm", ""},
      {"FRAMEWK/MACROS.ASM", " nop\n"},
      {"sub/inner.inc", " rts\n"},
      {"data.bin", "\x01\x02"},
      {"Lib/Deep/X.I", " dc.w 7\n"},
      {"a.i", " dc.w 1\n"},
      {"A.I", " dc.w 2\n"},
      {"twin/A.i", ""},
      {"twin/a.i", ""},
      {"Inc/x.i", ""},
      {"INC/y.i", ""},
  };
  struct Case {
    std::string source;
    std::vector<uint16_t> words;
    const char* message;  // the first one, when there are errors
  };
  for (const Case& c : std::vector<Case>{
           {" include '..\\framewk\\macros.asm'\n", {0x4E71}, nullptr},
           {" include 'sub\\inner.inc'\n", {0x4E75}, nullptr},
           {" include '..\\SUB\\Inner.Inc'\n", {0x4E75}, nullptr},
           {" incbin 'DATA.BIN'\n", {0x0102}, nullptr},
           {" incdir 'lib\\deep'\n include 'x.i'\n", {0x0007}, nullptr},
           {" include 'a.i'\n include 'A.I'\n", {0x0001, 0x0002}, nullptr},  // as spelled first
           {" include 'twin/a.i'\n", {}, nullptr},
           {" include 'twin\\A.I'\n", {},
            "src/main.asm:1: error: include file 'twin\\A.I' matches both twin/A.i and twin/a.i "
            "without regard to case; write the name as one of them is spelled"},
           {" incbin 'inc/x.i'\n", {},
            "src/main.asm:1: error: incbin file 'inc/x.i' matches both INC and Inc without regard "
            "to case; write the name as one of them is spelled"},
           {" include 'framewk/nothere.asm'\n", {},
            "src/main.asm:1: error: cannot open include file 'framewk/nothere.asm'"},
           {" include 'sub'\n", {},
            "src/main.asm:1: error: include file 'sub' is not a regular file (a folder, a FIFO or a "
            "device)"},
           {" incbin '..\\Lib'\n", {},
            "src/main.asm:1: error: incbin file '..\\Lib' is not a regular file (a folder, a FIFO "
            "or a device): src/../Lib"},
       }) {
    SCOPED_TRACE(c.source);
    asm68k::MemoryFiles reader(files);
    asm68k::AssemblyResult result = asm68k::AssembleText(c.source, "src/main.asm", reader);
    if (c.message) {
      ASSERT_FALSE(result.messages.empty());
      EXPECT_EQ(result.messages[0], c.message);
    } else {
      EXPECT_EQ(result.errors, 0) << (result.messages.empty() ? "" : result.messages[0]);
      EXPECT_EQ(Words(result.image), c.words);
    }
  }
}

TEST(Directives, IncludesAreKnownByIdentityAndTheirWorkIsBounded) {
  // Each file is read once however often it is included, a file that is
  // already open is found whatever the spelling, and includes that multiply
  // out (each of 30 files including the next twice) stop with the chain.
  FileMap files = {{"sub/s.asm", " include \"../sub/s.asm\"\n include \"../sub/s.asm\"\n"},
                   {"big.inc", std::string(1 << 20, ';') + "\n"}};
  for (int i = 0; i < 30; ++i) {
    std::string next = " include c" + std::to_string(i + 1) + ".inc\n";
    files["c" + std::to_string(i) + ".inc"] = next + next;
  }
  files["c30.inc"] = " nop\n";
  std::string bigTwice;
  for (int i = 0; i < 300; ++i) bigTwice += " include big.inc\n";
  struct Case {
    std::string source;
    int errors, reads;
    const char* message;
  };
  for (const Case& c : std::vector<Case>{
           {" include sub/s.asm\n", 2, 1,
            "sub/s.asm:1: error: '../sub/s.asm' includes itself\n  included from test.asm:1"},
           {" include c0.inc\n", 1, 31,
            "error: more than 100,000 includes in all passes\n  included from c28.inc:"},
           {bigTwice, 1, 1,
            "test.asm:256: error: more than 256 MiB of source text to read in all passes"},
       }) {
    SCOPED_TRACE(c.source.substr(0, 40));
    asm68k::MemoryFiles reader(files);
    asm68k::AssemblyResult result = asm68k::AssembleText(c.source, "test.asm", reader);
    EXPECT_EQ(result.errors, c.errors);
    EXPECT_EQ(reader.reads, c.reads);
    ASSERT_FALSE(result.messages.empty());
    EXPECT_NE(result.messages[0].find(c.message), std::string::npos) << result.messages[0];
  }
}

TEST(Directives, EachPathIsLookedAtOnceARun) {
  // Whatever the passes and the includes repeated in them, each place a
  // file is looked for is opened once (found or not), and each file read
  // once: here "A.I" and "a.i" in the current folder (missing), then
  // inc/a.i (through incdir, and by that path) and data.bin.
  FileMap files = {{"inc/a.i", " nop\n"}, {"data.bin", "\1\2"}};
  const std::string source =
      " ds.b pad\n incdir inc\n include 'A.I'\n include 'inc/a.i'\n"
      " rept 3\n include 'a.i'\n incbin 'DATA.BIN'\n endr\npad equ 2\n";
  asm68k::MemoryFiles reader(files);
  asm68k::AssemblyResult result = asm68k::AssembleText(source, "test.asm", reader);
  EXPECT_EQ(result.errors, 0) << (result.messages.empty() ? "" : result.messages[0]);
  EXPECT_GE(result.passes, 2);
  EXPECT_EQ(reader.opens, 5);
  EXPECT_EQ(reader.reads, 2);
}

// Each place a file is looked for counts: a missing incbin in a long rept
// ends the run at the limit, and the error that ends it is shown after the
// first 100, whatever came before.
TEST(Directives, FileLookupsAreLimitedAndTheLimitIsShown) {
  asm68k::AssemblyResult result = Assemble(" rept 2000000\n incbin none.bin\n endr\n");
  EXPECT_EQ(result.errors, 1000001);
  ASSERT_EQ(result.messages.size(), 101u);
  EXPECT_NE(result.messages.back().find("error: more than 1,000,000 file lookups in all passes"),
            std::string::npos)
      << result.messages.back();
  EXPECT_EQ(result.notShown, "and 999900 more errors not shown");
}

TEST(Directives, IncludeDepthIsLimited) {
  FileMap files;
  for (int i = 0; i < 40; ++i) {
    files["f" + std::to_string(i) + ".inc"] = " include f" + std::to_string(i + 1) + ".inc\n";
  }
  asm68k::AssemblyResult result = Assemble(" include f0.inc\n", files);
  ASSERT_EQ(result.errors, 1);
  std::string expected = "f31.inc:1: error: includes are nested more than 32 deep";
  for (int i = 30; i >= 0; --i) expected += "\n  included from f" + std::to_string(i) + ".inc:1";
  EXPECT_EQ(result.messages[0], expected + "\n  included from test.asm:1");
}

TEST(Directives, ForwardReferencesSettleOverPasses) {
  // ds sizes that depend on later labels take more passes, but settle.
  asm68k::AssemblyResult result =
      Assemble(" dc.w 9\n ds.b gap\n dc.w 7\ngap equ end-here\nhere: dc.w 1\nend:\n");
  EXPECT_EQ(result.errors, 0);
  EXPECT_EQ(Words(result.image), (std::vector<uint16_t>{0x0009, 0x0000, 0x0007, 0x0001}));
  EXPECT_GE(result.passes, 2);

  // A set name used above its definitions: the pass whose guess matches its
  // last value is the last pass, even if it held another value in between.
  result = Assemble(" dc.w x\nx set 1\nx set 2\n dc.w 3\n");
  EXPECT_EQ(Words(result.image), (std::vector<uint16_t>{0x0002, 0x0003}));

  // Without forward references one pass is enough.
  result = Assemble("x: nop\n bra x\n");
  EXPECT_EQ(result.passes, 1);

  // A size that feeds on itself never settles.
  result = Assemble("a: ds.b b-a+1\nb:\n");
  ASSERT_EQ(result.errors, 1);
  EXPECT_NE(result.messages[0].find("addresses do not settle after 16 passes"), std::string::npos);
  EXPECT_EQ(result.passes, 16);
}

TEST(Directives, AddressesThatDoNotSettleNameWhatKeepsChanging) {
  // Labels that settle only in the last pass, with bytes placed twice: the
  // lines are named, and the addresses are not said to "not settle".
  std::string chain = " dc.w s0\n";
  for (int i = 0; i < 14; ++i) {
    chain += "s" + std::to_string(i) + " equ s" + std::to_string(i + 1) + "+1\n";
  }
  chain += "s14 equ 1\n org 0\n dc.w 5\n";
  struct Case {
    std::string source;
    const char* message;
    const char* summary = "1 error, 0 warnings";
    const char* before = nullptr;  // a message before it, on the same line
  };
  const char* replaced = "0 errors, 1 warning, 2 bytes";
  for (const Case& c : std::vector<Case>{
           {"a: ds.b b-a+1\nb:\n",
            "test.asm:2: error: addresses do not settle after 16 passes; 'b' keeps changing; "
            "sizes that keep changing: test.asm:1 (14 bytes, then 15)"},
           // A section laid out after one whose size depends on its symbol.
           {" section a\n ds.b v\n section b\nv equ 2+x\nx:\n",
            "test.asm:5: error: addresses do not settle after 16 passes; 'x' keeps changing"},
           {" section a\n section b\nx: dc.b 1\n section a\n ds.b x+1\n",
            "test.asm:2: error: addresses do not settle after 16 passes; section 'b' keeps moving; "
            "sizes that keep changing: test.asm:5 (29 bytes, then 31)"},
           {chain, "test.asm:18: warning: this line replaces bytes at $0 that line 1 placed",
            replaced},
           // In an include, the message shows the way there.
           {" include 'v.i'\n",
            "v.i:5: error: addresses do not settle after 16 passes; 'x' keeps changing\n"
            "  included from test.asm:1"},
           {" include 'b.i'\n",
            "b.i:2: error: addresses do not settle after 16 passes; section 'b' keeps moving; "
            "sizes that keep changing: b.i:5 (29 bytes, then 31)\n"
            "  included from test.asm:1"},
           {" nop\n include 'twice.i'\n",
            "twice.i:2: warning: this line replaces bytes at $0 that line 1 of test.asm placed\n"
            "  included from test.asm:2",
            replaced},
       }) {
    SCOPED_TRACE(c.source);
    asm68k::AssemblyResult result = Assemble(
        c.source, {{"v.i", " section a\n ds.b v\n section b\nv equ 2+x\nx:\n"},
                   {"b.i", " section a\n section b\nx: dc.b 1\n section a\n ds.b x+1\n"},
                   {"twice.i", " org 0\n nop\n"}});
    ASSERT_EQ(result.messages.size(), c.before ? 2u : 1u);
    if (c.before) EXPECT_EQ(result.messages[0], c.before);
    EXPECT_EQ(result.messages.back(), c.message);
    EXPECT_EQ(result.summary, c.summary);
  }
  // What else the last pass found is shown and counted beside it.
  asm68k::AssemblyResult result =
      Assemble(" inform 2,\"bad\"\n include 'missing.i'\na: ds.b b-a+1\nb:\n");
  EXPECT_EQ(result.summary, "3 errors, 0 warnings");
  ASSERT_EQ(result.messages.size(), 3u);
  EXPECT_EQ(result.messages[0], "test.asm:1: error: bad");
  EXPECT_EQ(result.messages[1], "test.asm:2: error: cannot open include file 'missing.i'");
}

TEST(Directives, ErrorsAreCappedAt100) {
  std::string source;
  for (int i = 0; i < 150; ++i) source += " bogus\n";
  asm68k::AssemblyResult result = Assemble(source);
  EXPECT_EQ(result.errors, 150);
  EXPECT_EQ(result.messages.size(), 100u);
  EXPECT_EQ(result.notShown, "and 50 more errors not shown");
  EXPECT_EQ(result.summary, "150 errors, 0 warnings");
}

TEST(Directives, EveryMessageCountsHoweverManyCameBefore) {
  // Warnings of both kinds (found by reading the line, and by assembling it),
  // then errors: each error counts and fails the run, whatever came before.
  std::string source;
  for (int i = 0; i < 202; ++i) source += " nop 1\n dc.b 1\n nop\n";
  std::string errors = " moveq #300,d0\n bogus\n dc.b 300\n";
  asm68k::AssemblyResult result = Assemble(source + errors);
  EXPECT_EQ(result.errors, 3);
  EXPECT_EQ(result.warnings, 404);
  EXPECT_TRUE(result.image.empty());
  ASSERT_EQ(result.messages.size(), 103u);
  EXPECT_EQ(result.messages[0],
            "test.asm:1: warning: '1' after nop is taken as a comment: nop takes no operands");
  EXPECT_EQ(result.messages[100],
            "test.asm:607: error: moveq needs a value from -128 to 127, not 300");
  EXPECT_EQ(result.messages[102],
            "test.asm:609: error: dc.b value 300 does not fit in a byte (-128..255)");
  EXPECT_EQ(result.notShown, "and 304 more warnings not shown");
  EXPECT_EQ(result.summary, "3 errors, 404 warnings");

  // Counts are exact however large, and only what is shown is kept.
  source.clear();
  for (int i = 0; i < 100000; ++i) source += " nop 1\n";
  result = Assemble(source + " bogus\n");
  EXPECT_EQ(result.messages.size(), 101u);
  EXPECT_EQ(result.notShown, "and 99900 more warnings not shown");
  EXPECT_EQ(result.summary, "1 error, 100000 warnings");
  {
    asm68k_test::AllocationLimit limit(4 << 20);  // all 200000 would take 40 MB
    result = Assemble(" rept 200000\n dc.b 1\n nop\n endr\n bogus\n bogus\n");
  }
  EXPECT_EQ(result.notShown, "and 199900 more warnings not shown");
  EXPECT_EQ(result.summary, "2 errors, 200000 warnings");

  // The first 100 of each kind in source order, even when one is found late
  // (the image's span is known when the pass ends).
  source = " nop\n org $1000000\n nop\n";
  for (int i = 0; i < 120; ++i) source += " bogus\n";
  result = Assemble(source);
  ASSERT_EQ(result.messages.size(), 100u);
  EXPECT_EQ(result.messages[0],
            "test.asm:3: error: the image would span 16777218 bytes, more than 16 MiB, from its "
            "lowest byte to its highest");
  EXPECT_EQ(result.notShown, "and 21 more errors not shown");
}

TEST(Directives, LongDataLines) {
  std::string values;
  for (int i = 0; i < 65535; ++i) values += i ? ",1" : "1";
  asm68k::AssemblyResult result = Assemble(" dc.b " + values + "\n");
  EXPECT_EQ(result.errors, 0);
  EXPECT_EQ(result.image.size(), 65535u);
  result = Assemble(" dc.b " + values + ",1\n");
  ASSERT_EQ(result.errors, 1);
  EXPECT_EQ(result.messages[0], "test.asm:1: error: dc.b has more than 65535 values on one line");
}

TEST(Directives, DirectiveOperandErrors) {
  ExpectErrors({
      {"cnop 0", "cnop takes 2 values"},
      {"cnop 0,0", "cnop alignment must be 1 to 2 GiB ($80000000), not 0"},
      {"cnop -1,4", "cnop offset cannot be negative"},
      {"dcb.w", "dcb.w takes 1 or 2 values"},
      {"dc.w", "dc.w needs at least one value"},
      {"include", "include: missing file name"},
      {"include \"x", "include: unterminated string"},
      {"dc.b \"abc", "unterminated string"},
      {"end.w", "end takes no size"},
      {"org", "org takes 1 value"},
  });
}

TEST(Directives, SummaryAndMessageFormat) {
  asm68k::AssemblyResult result = Assemble(" moveq #1,d0\n rts\n");
  EXPECT_EQ(result.summary, "0 errors, 0 warnings, 4 bytes");
  result = Assemble(" dc.b 1\n");
  EXPECT_EQ(result.summary, "0 errors, 0 warnings, 1 byte");
  result = Assemble(" nop\n bogus\n moveq #300,d0\n");
  ASSERT_EQ(result.messages.size(), 2u);
  EXPECT_EQ(result.messages[0], "test.asm:2: error: unknown instruction 'bogus'");
  EXPECT_EQ(result.messages[1], "test.asm:3: error: moveq needs a value from -128 to 127, not 300");
  EXPECT_EQ(result.summary, "2 errors, 0 warnings");
  EXPECT_TRUE(result.image.empty());
}

}  // namespace
