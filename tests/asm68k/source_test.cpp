// How a line splits into label, operation and operands.

#include "source.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

using asm68k_test::Assemble;
using asm68k_test::Words;

bool NeverAnOperation(std::string_view) { return false; }
bool OnlyNopIsAnOperation(std::string_view word) { return word == "nop"; }

struct Split {
  bool ok;
  std::string label, operation, operands, error;
  char size;
};

Split SplitText(const std::string& line, asm68k::OperationTest test = OnlyNopIsAnOperation) {
  asm68k::LineFields fields;
  Split out;
  out.ok = asm68k::SplitLine(line.data(), line.data() + line.size(), test, fields, out.error);
  out.label = std::string(fields.label);
  out.operation = std::string(fields.operation);
  out.size = fields.size;
  if (fields.operands) out.operands = std::string(fields.operands, fields.operandsEnd);
  return out;
}

TEST(Lines, FieldsAndComments) {
  Split s = SplitText("loop:\tmove.l d0,(a0)+ ; copy");
  EXPECT_TRUE(s.ok);
  EXPECT_EQ(s.label, "loop");
  EXPECT_EQ(s.operation, "move");
  EXPECT_EQ(s.size, 'l');
  EXPECT_EQ(s.operands, "d0,(a0)+");

  s = SplitText("loop move.w d0,d1");  // column 1 without a colon is still a label
  EXPECT_EQ(s.label, "loop");
  EXPECT_EQ(s.operation, "move");
  EXPECT_EQ(s.size, 'w');

  s = SplitText("   inner: rts");  // an indented label needs its colon
  EXPECT_EQ(s.label, "inner");
  EXPECT_EQ(s.operation, "rts");

  s = SplitText("\tdc.b 'a;b' ; comment");
  EXPECT_EQ(s.operands, "'a;b'");

  s = SplitText("\tdc.b 1, 2 , 3   ");  // a blank after a comma belongs; one before ends it
  EXPECT_EQ(s.operands, "1, 2");

  for (const char* comment : {"* a comment", "; a comment", "   ; indented", "   * indented", ""}) {
    s = SplitText(comment);
    EXPECT_TRUE(s.ok) << comment;
    EXPECT_EQ(s.label, "") << comment;
    EXPECT_EQ(s.operation, "") << comment;
  }
}

TEST(Lines, ABlankEndsTheOperandsAndStartsAComment) {
  asm68k_test::ExpectWords({
      {"move.l d0,d1 copy it", {0x2200}},
      {"move.l ( a0 ),d0", {0x2010}},  // blanks inside parentheses belong to the operand
      {"dc.w 1, 2", {1, 2}},
      {"dc.b 'a b' c", {0x6120, 0x6200}},
      {"dc.l 1 2", {0, 1}},
      {"rts return to the caller", {0x4E75}},  // no operands: all of it is a comment
      {"rts d0", {0x4E75}},
      {"dc.b 1\n even 2\n dc.b 2", {0x0100, 0x0200}},
      {"DUART equ $1C0000 * base of the DUART\n dc.l DUART", {0x001C, 0x0000}},
      {"nop\nwait: * spin here\n bra.s wait", {0x4E71, 0x60FE}},
  });
  // A comment that reads like more of the expression is worth a warning.
  for (const char* line : {" dc.w 1 + 2", " dc.w 2 * 3", " dc.w 2 << 1", " dc.w 1 - x"}) {
    asm68k::AssemblyResult result = Assemble(std::string(line) + "\nx:\n");
    EXPECT_EQ(result.errors, 0) << line;
    ASSERT_EQ(result.warnings, 1) << line;
    EXPECT_NE(result.messages[0].find("test.asm:1: warning: '"), std::string::npos) << line;
    EXPECT_NE(result.messages[0].find("after a blank is taken as a comment"), std::string::npos);
  }
  for (const char* line : {" dc.w 2 * two words", " dc.w 1 ; + 2", " nop * 2", " rts d0",
                           " move.w #6,d0 + pixel position", " rol.l #8,d0 * 3214 -> 2143 low byte",
                           " dc.w 0 * 16 bytes"}) {
    EXPECT_EQ(Assemble(std::string(line) + "\n").warnings, 0) << line;
  }
  // So is a number after an instruction or directive that takes no operands.
  for (const char* line : {" nop 0,8", " rts #4", " even 2"}) {
    asm68k::AssemblyResult result = Assemble(std::string(line) + "\n");
    ASSERT_EQ(result.warnings, 1) << line;
    EXPECT_NE(result.messages[0].find("is taken as a comment: "), std::string::npos) << line;
  }
}

TEST(Lines, ColumnOneInstructionNamesAreOperations) {
  Split s = SplitText("nop");
  EXPECT_EQ(s.label, "");
  EXPECT_EQ(s.operation, "nop");
  s = SplitText("nop:");
  EXPECT_EQ(s.label, "nop");
  s = SplitText("nop", NeverAnOperation);
  EXPECT_EQ(s.label, "nop");
  // A column-1 word followed by a size or by operands is a mistyped
  // instruction, reported as one rather than as a stray label.
  s = SplitText("mvoe.l d0,d1");
  EXPECT_EQ(s.label, "");
  EXPECT_EQ(s.operation, "mvoe");
  EXPECT_EQ(s.size, 'l');
  s = SplitText("mvoe d0,d1");
  EXPECT_EQ(s.operation, "mvoe");
  EXPECT_EQ(s.operands, "d0,d1");
  s = SplitText("mvoe #1,d0");
  EXPECT_EQ(s.operation, "mvoe");
  s = SplitText("loop dbra d0,loop");
  EXPECT_EQ(s.label, "loop");
  EXPECT_EQ(s.operation, "dbra");
  // Through the whole assembler, with the real instruction table.
  asm68k::AssemblyResult result = Assemble("moveq #1,d0\nRTS\n");
  EXPECT_EQ(result.errors, 0);
  EXPECT_EQ(Words(result.image), (std::vector<uint16_t>{0x7001, 0x4E75}));
}

TEST(Lines, Errors) {
  // A word after the dot is left to the parser: a macro call takes it as \0.
  Split s = SplitText("\tmove.q d0,d1");
  EXPECT_TRUE(s.ok);
  s = SplitText("1abc nop");
  EXPECT_FALSE(s.ok);
  EXPECT_EQ(s.error, "a line starts with a label, a blank, '*' or ';', not '1abc nop'");
  s = SplitText("\t#1,d0");
  EXPECT_FALSE(s.ok);
  EXPECT_EQ(s.error, "expected an instruction or directive, found '#1,d0'");
  s = SplitText("lab%el nop");
  EXPECT_FALSE(s.ok);
  s = SplitText("12345678901234567890123\xC3\xA9 nop");  // a shortened excerpt keeps whole characters
  EXPECT_EQ(s.error, "a line starts with a label, a blank, '*' or ';', not '12345678901234567890123...'");
}

// Where an operation word and its size suffix end, at the line's end and
// next to the characters that may follow them.
TEST(Lines, OperationWordsAndSizes) {
  struct Case {
    const char* line;
    const char* label;
    const char* operation;
    char size;
    const char* operands;
    const char* error;  // empty: the line splits
  };
  const Case cases[] = {
      {"\tmove.b", "", "move", 'b', "", ""},
      {"\tMOVE.W d0,d1", "", "MOVE", 'w', "d0,d1", ""},
      {"x:\tbra.S x", "x", "bra", 's', "x", ""},
      {"\tmove.l;d0", "", "move", 'l', "", ""},
      {"\tmove d0,d1 ; c", "", "move", 0, "d0,d1", ""},
      {"\tx.w=1", "", "x", 'w', "=1", ""},
      {"\t@m a,b", "", "@m", 0, "a,b", ""},
      {"\tnop: rts", "nop", "rts", 0, "", ""},
      // Where the common shapes meet the rest: a label alone, no blank after
      // the colon, a naming word after an indented name.
      {"x:", "x", "", 0, "", ""},
      {"x: ; c", "x", "", 0, "", ""},
      {"x:move.b d0,d1", "x", "move", 'b', "d0,d1", ""},
      {"\tmove.b\t", "", "move", 'b', "", ""},
      {"\tname equ 1", "name", "equ", 0, "1", ""},
      {"\tname = 1", "name", "=", 0, "1", ""},
      {"\tname.w equ 1", "", "name", 'w', "equ", ""},
      {"x: name equ 1", "x", "name", 0, "equ", ""},
      {"\tbra equal", "", "bra", 0, "equal", ""},
      {"\tbra set,x", "", "bra", 0, "set,x", ""},
      {"\tmove.", "", "", 0, "", "unknown size '.' on move; sizes are .b, .w, .l and .s"},
      {"\tmove.bw d0", "", "move", 0, "d0", ""},  // the word is the parser's (a macro's \0)
      {"\tmove.b, d0", "", "", 0, "", "unexpected ', d0' after move"},
      {"\tmove.b.w d0", "", "", 0, "", "unexpected '.w d0' after move"},
      {"\tmove(a0)", "", "", 0, "", "unexpected '(a0)' after move"},
      {"\t.x d0", "", "", 0, "", "expected an instruction or directive, found '.x d0'"},
      {"a: b: nop", "a", "", 0, "", "unexpected ': nop' after b"},
  };
  for (const Case& c : cases) {
    Split s = SplitText(c.line);
    EXPECT_EQ(s.error, c.error) << c.line;
    EXPECT_EQ(s.ok, *c.error == '\0') << c.line;
    if (!s.ok) continue;
    EXPECT_EQ(s.label, c.label) << c.line;
    EXPECT_EQ(s.operation, c.operation) << c.line;
    EXPECT_EQ(s.size, c.size) << c.line;
    EXPECT_EQ(s.operands, c.operands) << c.line;
  }
}

// The operand field is scanned some characters at a time: a blank, a ';'
// or a quote ends it, or is skipped, wherever it stands.
TEST(Lines, OperandFieldEndsWhereverTheCharacterStands) {
  const std::string field = "abcdefghijk";
  for (size_t at = 1; at <= field.size(); ++at) {
    std::string before = field.substr(0, at), after = field.substr(at);
    EXPECT_EQ(SplitText("\tdc.b " + before + " x").operands, before) << at;
    EXPECT_EQ(SplitText("\tdc.b " + before + ";" + after).operands, before) << at;
    EXPECT_EQ(SplitText("\tdc.b " + before + "' '" + after + " x").operands, before + "' '" + after)
        << at;
  }
}

TEST(Lines, LineEndingsAndLatin1) {
  asm68k::AssemblyResult result = Assemble(" nop\r\n rts\r\n dc.b '\xE9'\r\n");
  EXPECT_EQ(result.errors, 0);
  EXPECT_EQ(result.image, (std::vector<uint8_t>{0x4E, 0x71, 0x4E, 0x75, 0xE9}));
  result = Assemble("; c\r\tnop\r\trts\r");  // an old Mac file: CR alone ends a line
  EXPECT_EQ(Words(result.image), (std::vector<uint16_t>{0x4E71, 0x4E75}));
  result = Assemble(" nop\r\n\r\n bogus\r\r bogus\n");  // each of CR LF, CR and LF is one end
  ASSERT_EQ(result.messages.size(), 2u);
  EXPECT_EQ(result.messages[1], "test.asm:5: error: unknown instruction 'bogus'");
  result = Assemble(" nop\n bogus");  // no newline at the end
  ASSERT_EQ(result.messages.size(), 1u);
  EXPECT_EQ(result.messages[0], "test.asm:2: error: unknown instruction 'bogus'");
}

TEST(Lines, RegisterNames) {
  EXPECT_EQ(asm68k::RegisterFromName("d0"), 0);
  EXPECT_EQ(asm68k::RegisterFromName("D7"), 7);
  EXPECT_EQ(asm68k::RegisterFromName("a0"), 8);
  EXPECT_EQ(asm68k::RegisterFromName("SP"), 15);
  EXPECT_EQ(asm68k::RegisterFromName("a7"), 15);
  EXPECT_EQ(asm68k::RegisterFromName("pc"), asm68k::kRegPc);
  EXPECT_EQ(asm68k::RegisterFromName("Ccr"), asm68k::kRegCcr);
  EXPECT_EQ(asm68k::RegisterFromName("usp"), asm68k::kRegUsp);
  EXPECT_EQ(asm68k::RegisterFromName("sr"), asm68k::kRegSr);
  EXPECT_EQ(asm68k::RegisterFromName("d8"), asm68k::kRegNone);
  EXPECT_EQ(asm68k::RegisterFromName("a"), asm68k::kRegNone);
  EXPECT_EQ(asm68k::RegisterFromName("d0x"), asm68k::kRegNone);
}

}  // namespace
