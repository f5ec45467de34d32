// Conditional assembly, macros and rept: what a source assembles to, and
// the errors that unbalanced or runaway blocks give.

#include <gtest/gtest.h>

#include "macros.h"
#include "test_support.h"

namespace {

using asm68k_test::Assemble;
using asm68k_test::ExpectErrors;
using asm68k_test::ExpectWords;
using asm68k_test::FileMap;

TEST(Conditionals, PickTheirBranch) {
  ExpectWords({
      {"if 1\n dc.w 1\n else\n dc.w 2\n endif", {1}},
      {"if 0\n dc.w 1\n else\n dc.w 2\n endif", {2}},
      {"if 0\n dc.w 1\n elseif 1\n dc.w 2\n elseif 1\n dc.w 3\n else\n dc.w 4\n endc", {2}},
      {"if 0\n dc.w 1\n elseif 0\n dc.w 2\n else\n dc.w 3\n endif", {3}},
      {"if 1\n if 0\n dc.w 1\n else\n dc.w 2\n endif\n dc.w 3\n endif", {2, 3}},
      {"if 0\n if 1\n dc.w 1\n else\n dc.w 2\n endif\n else\n dc.w 3\n endif", {3}},
      {"if 0\n this is not assembler at all\n endif\n dc.w 5", {5}},
      {"ifeq 0\n dc.w 1\n endc\n ifne 0\n dc.w 2\n endc", {1}},
      {"ifgt 1\n dc.w 1\n endc\n ifgt 0\n dc.w 2\n endc\n ifge 0\n dc.w 3\n endc", {1, 3}},
      {"iflt -1\n dc.w 1\n endc\n iflt 0\n dc.w 2\n endc\n ifle 0\n dc.w 3\n endc", {1, 3}},
      {"x equ 1\n ifd x\n dc.w 1\n endif\n ifnd y\n dc.w 2\n endif", {1, 2}},
      {"ifdef x\n dc.w 1\n endif\n ifndef x\n dc.w 2\n endif\nx equ 1", {2}},  // defined below
      {"ifc 'abc','abc'\n dc.w 1\n endc\n ifnc 'abc','abd'\n dc.w 2\n endc", {1, 2}},
      {"m macro\n ifb \\2\n dc.w 1\n endc\n ifnb \\1\n dc.w 2\n endc\n endm\n m x\n m", {1, 2, 1}},
      {"sym equ 3\n if sym=3&&sym<>4\n dc.w 1\n endif", {1}},
      {"IF 1\n dc.w 1\n ENDIF", {1}},
  });
}

TEST(Conditionals, BranchesMayDefineTheSameName) {
  ExpectWords({{"mode equ 2\n if mode=1\nv equ 10\n else\nv equ 20\n endif\n dc.w v", {20}}});
}

TEST(Blocks, AnOpeningLineThatCannotBeReadStillOpensItsBlock) {
  // One error, not a second one from the block's end.
  for (const char* source : {" if (1\n nop\n else\n rts\n endif\n", " ifd 3\n nop\n endc\n",
                             " macro\n nop\n endm\n", "m macro a,\n nop\n endm\n",
                             "s substr 1\n dc.b 1\n", "t equs \"open\n dc.b 1\n",
                             "m macros a,a\n nop\n"}) {
    EXPECT_EQ(Assemble(source).errors, 1) << source;
  }
}

TEST(Conditionals, AnIncludeInAFalseBranchIsNotRead) {
  asm68k::AssemblyResult result = Assemble(" if 0\n include \"missing.inc\"\n endif\n nop\n");
  EXPECT_EQ(result.errors, 0);
}

TEST(Conditionals, Errors) {
  ExpectErrors({
      {"else", "else without if"},
      {"elseif 1", "elseif without if"},
      {"endif", "endif without if"},
      {"endc", "endc without if"},
      {"if 1\n nop", "this conditional block has no endif before the end of the file"},
      {"if 0\n nop", "this conditional block has no endif before the end of the file"},
      {"if later\n endif\nlater equ 1",
       "the value of if must be known where it is read, but 'later' is defined further down"},
      {"if undefinedname\n endif", "undefined symbol 'undefinedname'"},
      {"ifd 3\n endif", "ifd needs a symbol name"},
      {"ifc 'a'\n endif", "ifc compares two strings"},
      {"if 0\n else\n else\n endif", "else after the else of the if on line 1"},
      {"if 1\n else\n elseif 1\n endif", "elseif after the else of the if on line 1"},
  });
  // An if left open in an include is closed neither by the includer nor silently.
  asm68k::AssemblyResult result = Assemble(" include \"open.inc\"\n endif\n", {{"open.inc", " if 1\n"}});
  ASSERT_EQ(result.messages.size(), 2u);
  EXPECT_EQ(result.messages[0],
            "open.inc:1: error: this conditional block has no endif before the end of the file\n"
            "  included from test.asm:1");
  EXPECT_EQ(result.messages[1], "test.asm:2: error: endif without if");
}

TEST(Macros, ExpandWithTheirArguments) {
  ExpectWords({
      {"push macro\n move.\\0 \\1,-(sp)\n endm\n push.l d0\n push.w d1", {0x2F00, 0x3F01}},
      {"sz macro\n ifc 'W','\\0'\n dc.w 1\n endc\n endm\n sz.W\n sz.w", {1}},  // \0 as written
      // A word after the dot is \0 too, in lower case: a debugger's macros
      // dispatch on it; with labels case-sensitive it stays as written.
      {"Console macro\n if strcmp('\\0','writeline')\n dc.w \\1\n endif\n endm\n"
       " Console.WriteLine 7\n Console.Clear 8\n opt c+\n Console.WriteLine 9", {7}},
      {"two macro\n dc.w \\1,\\2\n endm\n two 1,2", {1, 2}},
      {"two macro\n dc.b \\1\\2\n endm\n two 1,2", {0x0C00}},  // text pasted: dc.b 12
      {"cnt macro\n dc.w narg,\\#\n endm\n cnt a,b,c\n cnt", {3, 3, 0, 0}},
      {"op macro\n dc.w 1\\2\n endm\n op 5", {1}},  // a missing argument is empty
      {"one macro\n dc.w \\1\n endm\n one <1+2>\n one (1+2)*2", {3, 6}},
      {"str macro\n dc.b \\1,0\n endm\n str <'a,b'>\n str 'c d'", {0x612C, 0x6200, 0x6320, 0x6400}},
      {"macro dw\n dc.w \\1\n endm\n dw 7", {7}},          // macro NAME
      {"dw: macro\n dc.w \\1\n endm\n dw 7", {7}},         // NAME: macro
      {"DW macro\n dc.w \\1\n endm\n dw 7\n Dw 8", {7, 8}},  // names ignore case
      {"loop macro\n.l\\@: dbra \\1,.l\\@\n endm\n loop d0\n loop d1", {0x51C8, 0xFFFE, 0x51C9, 0xFFFE}},
      // An expansion opens no scope: its local labels are the caller's, so
      // unique ones come from \@, and a caller's local passed in is its own.
      {"m macro\n bra.s .x\\@\n nop\n.x\\@: nop\n endm\n m\n m",
       {0x6002, 0x4E71, 0x4E71, 0x6002, 0x4E71, 0x4E71}},
      {"m macro\n.in: dc.w .in\n endm\ng: m\n dc.w .in", {0, 0}},
      {"m macro\n dbra d0,\\1\n endm\ng: nop\n@l: m @l", {0x4E71, 0x51C8, 0xFFFE}},
      {"in macro\n dc.w \\1\n endm\nout macro\n in \\1+1\n endm\n out 1", {2}},
      {"m macro\n dc.w 1\n mexit\n dc.w 2\n endm\n m", {1}},
      {"m macro\n if \\1\n mexit\n endif\n dc.w \\1\n endm\n m 0\n m 1\n m 2", {0}},
      {"def macro\n\\1 macro\n dc.w \\2\n endm\n endm\n def seven,7\n seven", {7}},
      {"r macro\n if \\1>0\n dc.b \\1\n r \\1-1\n endif\n endm\n r 3\n even", {0x0302, 0x0100}},
      {"m macro\n dc.w *-here\n endm\n nop\nhere: m", {0x4E71, 0}},  // a label on the call line
      {"put macro val,dst\n move.w #\\val,\\dst\n endm\n put 5,d1", {0x323C, 0x0005}},
      {"m macro a,b\n dc.w \\b,\\1,1\\b\n endm\n m 1,2", {2, 1, 12}},
      // Named parameters: \NAME\ ends the name, a bare NAME in code is put in
      // too (not in strings or numbers), and names match in any case.
      {"m macro name\nList_\\name\\_Head: dc.w 1\n dc.w List_\\name\\_Head\n endm\n m Foo", {1, 0}},
      {"entry macro addr\n dc.b addr>>8,addr&$FF\n endm\n entry $1234", {0x1234}},
      {"m macro x\n dc.b 'x',x\n endm\n m 5", {0x7805}},
      {"m macro add\n dc.w $add,add\n endm\n m 1", {0x0ADD, 1}},
      {"m macro time\n dc.w \\Time,TIME\n endm\n m 3", {3, 3}},
      // shift puts the arguments in line by line; local names are private.
      {"m macro\n rept narg\n dc.b \\1\n shift\n endr\n endm\n m 1,2,3,4", {0x0102, 0x0304}},
      {"m macro\n shift\n dc.w narg,\\1\n endm\n m 7,8", {1, 8}},
      {"m macro\n local loop\nloop: dbra d0,loop\n endm\n m\n m", {0x51C8, 0xFFFE, 0x51C8, 0xFFFE}},
      // One-line macros, lines continued with &, and macro names of our own.
      {"pusha macros movem.l d0-a6,-(sp)\n pusha", {0x48E7, 0xFFFE}},
      {"put macros val\n dc.w \\val\n put 4\n put 5", {4, 5}},
      {"two macros &\n a,b\n dc.w \\a+\\b\n two 1,2", {3}},
      // A '&' before a comment continues too; a blank line after a '&' ends
      // the line, and one before the body belongs to nothing.
      {"two macros &\t; sum\n a,b\n\n dc.w \\a+\\b\n two 1,2", {3}},
      {"hs macro & ; text\n n\n\n dc.b \\n\n endm\nz macros &\n\n dc.b 5\n hs 4\n z", {0x0405}},
      {" dc.w 1,&\n 2,&\n 3", {1, 2, 3}},
      {" dc.w 1,&\r\n 2,&\r\n 3\r\n", {1, 2, 3}},
      {" dc.w 1,& \t\n 2", {1, 2}},  // blanks after the '&'
      {" dc.w 1 ; &\n dc.w 2", {1, 2}},  // a '&' in a comment continues nothing
      {"* a comment &\n dc.w 5", {5}},
      {"align macro\n cnop 0,\\1\n endm\n dc.b 1\n align 4\n dc.b 2", {0x0100, 0x0000, 0x0200}},
      {" dc.b 1\n align 1\nalign macro\n dc.b 9\n endm\n align", {0x0100, 0x0900}},
      {"@m macro\n dc.w 1\n endm\n @m\n@m macro\n dc.w 2\n endm\n @m", {1, 2}},
      {"m macro\n dc.w 1\n endm\n m\n purge m\nm macro\n dc.w 2\n endm\n m", {1, 2}},
      // \@! puts a label aside for a later expansion: \@? shows it, \@@ takes it back.
      {"if_eq macro\n bne.s L\\@!\n endm\nendi macro\n dc.w L\\@?-*\nL\\@@:\n endm\n if_eq\n endi",
       {0x6602, 0x0002}},
  });
}

TEST(Macros, Errors) {
  // More names than a line's operands count: an error, checked in a time
  // that grows with their number, not with its square.
  std::string names = "m macro\n local n0";
  for (int i = 1; i <= 60000; ++i) names += ",n" + std::to_string(i);
  names += "\n endm\n m";
  ExpectErrors({
      {names.c_str(), "more than 60,000 names on one line"},
      {"m macro\n nop", "macro m has no endm before the end of the file"},
      {"endm", "endm without macro"},
      {"mexit", "mexit outside a macro"},
      {"later\nlater macro\n nop\n endm", "macro later is used before its definition on line 2"},
      {"move macro\n endm", "a macro cannot be called 'move': that is an instruction"},
      {"rept macro\n endm", "a macro cannot be called 'rept': that is a directive"},
      {"macro\n endm", "macro needs a name"},
      {"m macro a,a\n endm", "macro parameter 'a' is named twice"},
      {"e macro\nx\\@@: nop\n endm\n e", "macro e uses \\@@ or \\@? with nothing put aside"},
      {"m macro 1a\n endm", "macro parameters are names separated by commas, not '1a'"},
      {"m macro a\n dc.w \\ab\n endm\n m 1", "expected a value, found '\\ab'"},  // not a parameter
      {"m macro\n ifc '','\\1'\n fail m needs an argument\n endc\n endm\n m", "fail: m needs an argument"},
      {"m macro\n dc.w \\1\n endm\n m <1", "macro argument 1 has no closing '>'"},
      {"r macro\n r\n endm\n r", "macros and rept blocks nest more than 256 deep"},
      {"m macro\n if 1\n endm\n m", "this conditional block has no endif before the end of the macro"},
      {"m macro\n endm\n purge m\n m", "macro m was removed by the purge on line 3"},
      {"purge m", "purge: no macro 'm' is defined here"},
      {"local x", "local outside a macro"},
      {"if macro\n endm", "a macro cannot be called 'if': that is a directive"},
      {"m macros a,a\n nop", "macro parameter 'a' is named twice"},
  });
}

TEST(Text, StringEquatesSymbolValuesAndFunctions) {
  ExpectWords({
      {"greet equs \"Hi\"\n dc.b \"\\greet\\!\",0", {0x4869, 0x2100}},
      {"dir equs lib\n dc.b '\\dir\\\\\\x'", {0x6C69, 0x625C, 0x7800}},  // \x is no equate: kept
      {" dc.b \"C:\\\\G\\\\\",'\\\\'", {0x433A, 0x5C47, 0x5C5C}},  // \\ in a string is one \
      {"s substr 2,4,\"abcdef\"\n dc.b \"\\s\",0", {0x6263, 0x6400}},
      {"s substr ,,\"ab\"\n dc.b \"\\s\"", {0x6162}},
      {"s substr 3,2,\"abc\"\n dc.b \"[\\s]\"", {0x5B5D}},
      // Past the end it takes what there is, or nothing.
      {"s substr 2,9,\"abc\"\nt substr 5,,\"abc\"\n dc.b \"\\s[\\t]\"", {0x6263, 0x5B5D}},
      {"v equ 12\n dc.b \"v\\#v\",0", {0x7631, 0x3200}},
      {"i set 0\n rept 2\nL_\\#i\\: dc.w i\ni set i+1\n endr\n dc.w L_1", {0, 1, 2}},
      // \$ in hexadecimal, of __RS and narg too, and of a local name.
      {" rsset 5\nn equ 26\nlab_\\$n: dc.b '\\#__RS/\\$n'\n dc.w lab_1A", {0x352F, 0x3141, 0}},
      {"m macro\n local k\nk equ 300\n dc.b \"\\#k=\\$k\\#narg\"\n endm\n m 1", {0x3330, 0x303D, 0x3132, 0x4331}},
      // A local name that names a string equate stands for its text.
      {"m macro a\n local e\ne equs \"\\a\\_end\"\n dc.w (\\e)-(\\a)\n endm\nx: dc.w 1\nx_end: m x", {1, 2}},
      {" dc.w strlen(\"abc\"),strcmp(\"a\",\"a\"),strcmp(\"a\",\"b\")", {3, 0xFFFF, 0}},
      {"x equ 1\n dc.w def(x),def(y)\ny equ 2", {0xFFFF, 0}},  // defined above this line
      // ref(): used in an expression anywhere, also by code that a ref() keeps.
      {" if ref(a)\na: rts\n endif\n if ref(b)\nb: bsr a\n endif\n if ref(c)\nc: nop\n endif\n"
       " bsr b\n dc.w ref(c),ref(ref)",
       {0x4E75, 0x6100, 0xFFFC, 0x6100, 0xFFFA, 0, 0}},
      {"strlen equ 5\n dc.w strlen,STRLEN", {5, 5}},  // a function's name alone is a symbol
      {"nargs equ 2\n dc.w nargs", {2}},
      {" hex 0008FE0F", {0x0008, 0xFE0F}},
      // instr([START,]TEXT,FIND), START known only when evaluated too.
      {"s equs \"string\"\np set 2\n dc.b instr(\"\\s\",\"r\"),instr(4,\"\\s\",\"r\")\n"
       " dc.b instr(p+1,\"abab\",\"b\"),instr(p+3,\"abab\",\"b\")", {0x0300, 0x0400}},
      // pushp puts texts aside; popp takes the last one into a string equate.
      {" pushp \"dc.b 1\"\n pushp \"dc.b 2\"\n rept 2\n popp c\n \\c\n endr", {0x0201}},
  });
  ExpectErrors({
      {"s substr 0,2,\"abc\"", "substr starts at character 1, not 0"},
      {" hex 123", "hex needs an even number of digits"},
      {" dc.w strlen(abc)", "strlen needs a quoted string"},
      {" dc.b \"\\#nothere\"", "undefined symbol 'nothere'"},
      {" inform 4,\"x\"", "inform's level is 0 (a message), 1 (a warning), 2 (an error)"},
      {" inform 0,\"%d %d\",1", "inform's text has more % fields than values"},
      {" popp x", "popp without a text put aside by pushp"},
      {" dc.b instr(1,\"a\")", "instr takes [START,]TEXT,FIND"},
  });
  // fatal ends the assembly at its line.
  EXPECT_EQ(Assemble(" fatal 'Unrecognized type'\n dc.w nothere\n").messages,
            std::vector<std::string>{"test.asm:1: error: Unrecognized type"});
  FileMap files = {{"lib/data.bin", std::string(300, 'x')}, {"lib/defs.inc", " dc.w 7\n"}};
  asm68k::AssemblyResult result = Assemble(
      "dir equs \"lib\"\n include \"\\dir/defs.inc\"\n dc.w filesize(\"\\dir/data.bin\")\n", files);
  EXPECT_EQ(result.errors, 0) << result.summary;
  EXPECT_EQ(asm68k_test::Words(result.image), (std::vector<uint16_t>{7, 300}));
  result = Assemble(" inform 0,\"n=%d h=%h s=%s\",10,255,\"str\"\n inform 1,\"careful\"\n");
  ASSERT_EQ(result.messages.size(), 2u);
  EXPECT_EQ(result.messages[0], "test.asm:1: n=10 h=FF s=str");
  EXPECT_EQ(result.messages[1], "test.asm:2: warning: careful");
  EXPECT_EQ(result.summary, "0 errors, 1 warning, 0 bytes");
}

TEST(Text, TheTimeOfAssemblyComesFromSourceDateEpoch) {
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);  // 2023-11-14 22:13:20 UTC
  asm68k::AssemblyResult result = Assemble(
      " dc.b _year,_month,_day,_hours,_minutes,_SECONDS\nm equs \"\\#_month\"\n dc.b '\\#_day/\\m'\n");
  unsetenv("SOURCE_DATE_EPOCH");
  EXPECT_EQ(result.image,
            (std::vector<uint8_t>{123, 11, 14, 22, 13, 20, '1', '4', '/', '1', '1'}));
}

TEST(Macros, MessagesInsideAnExpansionNameTheCalls) {
  asm68k::AssemblyResult result =
      Assemble("inner macro\n dc.w \\1\n endm\nouter macro\n inner \\1\n endm\n outer nothere\n");
  ASSERT_EQ(result.messages.size(), 1u);
  EXPECT_EQ(result.messages[0],
            "test.asm:2: error: undefined symbol 'nothere'\n"
            "  in macro inner called at test.asm:5\n"
            "  in macro outer called at test.asm:7");
}

TEST(Rept, RepeatsItsBody) {
  ExpectWords({
      {"rept 3\n dc.w 7\n endr", {7, 7, 7}},
      {"rept 0\n dc.w 7\n endr\n dc.w 1", {1}},
      {"rept 2\n rept 2\n dc.b 1\n endr\n dc.b 2\n endr", {0x0101, 0x0201, 0x0102}},
      {"n set 0\n rept 3\nn set n+1\n dc.w n\n endr", {1, 2, 3}},
      {"m macro\n rept \\1\n dc.w \\2\n endr\n endm\n m 2,9", {9, 9}},
      // while reads its condition before each repetition.
      {"i = 0\n while i<3\n dc.w i\ni = i+1\n endw\n while 0\n dc.w 7\n endw", {0, 1, 2}},
  });
  ExpectErrors({
      {"rept -1\n endr", "rept count cannot be negative (-1)"},
      {"rept 2\n nop", "rept has no endr before the end of the file"},
      {"endr", "endr without rept"},
      {"rept n\n endr\nn equ 2", "the value of rept must be known where it is read"},
      {"rept 100000000\n rept 100000000\nx set 1\n endr\n endr",
       "more than 40,000,000 lines to read in all passes; do macros, rept blocks or includes"},
      {"endw", "endw without while"},
      {"while 1\n nop", "while has no endw before the end of the file"},
      {"while 1\n endw", "more than 40,000,000 lines to read in all passes"},
  });
}

TEST(Macros, ArgumentsSplitAtTopLevelCommas) {
  struct Case {
    const char* field;
    std::vector<std::string> arguments;
  };
  const Case cases[] = {
      {"", {}},
      {"d0", {"d0"}},
      {" a , b ", {"a", "b"}},
      {"a,,c", {"a", "", "c"}},
      {"4(a0,d0.w),d1", {"4(a0,d0.w)", "d1"}},
      {"'x,y',\"p,q\"", {"'x,y'", "\"p,q\""}},
      {"<a, b>,c", {"a, b", "c"}},
      {"<>", {""}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments;
    std::string error;
    EXPECT_TRUE(asm68k::SplitMacroArguments(c.field, arguments, error)) << c.field;
    EXPECT_EQ(arguments, c.arguments) << c.field;
  }
}

}  // namespace

namespace {

TEST(Structures, RsCountsOffsetsAndOffsetBlocksGiveAddresses) {
  ExpectWords({
      {"rsreset\na: rs.b 1\nb: rs.w 1\nc: rs.l 2\nd: rs.b 0\n dc.w a,b,c,d,__rs", {0, 2, 4, 12, 12}},
      {"rsset 10\nx: rs.w 1\n dc.w x,__RS", {10, 12}},
      {"offset 4\nv1: ds.w 1\nv2: ds.l 1\n section code\n dc.w v1,v2", {4, 6}},
      {"offset\nv: ds.b 3\nw: ds.b 1\n org 0\n dc.w w", {3}},
  });
  // A structure's fields are names with a dot inside, wherever a name
  // stands (column 1 too); a dot and a size letter stay a size, and ".l" a
  // local label.
  asm68k::AssemblyResult result = Assemble(
      " rsreset\nEnt.Cmd rs.w 1\nEnt.len: rs.b 0\n Ent.Max equ 9\n move.w Ent.len(a0),d0\n"
      " move.w Ent.Max.w,d1\n dc.w Ent.len+Ent.Max,def(Ent.Cmd)\ng:\n.l: dbra d0,.l\n");
  EXPECT_EQ(result.errors, 0);
  EXPECT_EQ(asm68k_test::Words(result.image),
            (std::vector<uint16_t>{0x3028, 0x0002, 0x3238, 0x0009, 0x000B, 0xFFFF, 0x51C8, 0xFFFE}));
  // A negative count moves the counter down: the label takes it first.
  ExpectWords({{"rsset 10\na: rs.w -2\nb: rs.b 0\n dc.w a,b", {10, 6}},
               {"rsset 9\na: rs.l -1\nb: rs.b 0\n dc.w a,b", {10, 6}}});
}

TEST(Sections, GatherByNameAndFollowOneAnother) {
  ExpectWords({
      {"section a\n dc.w 1\n section b,data\n dc.w 2\n section a\n dc.w 3", {1, 3, 2}},
      {"data\n dc.w 1\n dc.w z\n code\n dc.w 2\n bss\nz: ds.w 1", {1, 6, 2}},  // bss follows all
      {"text\n dc.w 1\n data\n dc.w 2\n code\n dc.w 3", {1, 3, 2}},          // text is code
      {"section a,code_c\n dc.b 1\n section b,data_f\n dc.b 2", {0x0100, 0x0200}},  // even starts
  });
  ExpectErrors({
      {"section x,rodata", "unknown section type 'rodata': use code, data or bss"},
      {"section x,bss\n nop", "nop in bss section 'x': a bss section holds no bytes, only ds"},
      {"bss\n dc.w 1", "dc.w in bss section 'bss'"},
  });
}

TEST(Dialect, FormsRealSourcesUse) {
  ExpectWords({
      {"dc.b 1\n align 2\n dc.b 2", {0x0100, 0x0000, 0x0200}},
      {"simhalt", {0xFFFF, 0xFFFF}},
      {"xdef a,b\n xref c\n public d\n cpu 68000\n list\n nolist\n page\n title t\n dc.w 1", {1}},
      {"opt l+,c+,d+\n dc.w 1", {1}},
      {"dc.w 'text'", {0x7465, 0x7874}},  // strings longer than a unit give their characters
      {"dc.w 'abc'", {0x6162, 0x6300}},
      {"dc.l 'abcde'", {0x6162, 0x6364, 0x6500, 0x0000}},
      {"dc.w 1!2,@17", {3, 15}},          // ! is or; @ and a digit is octal
      {"g: bra.s @l\n nop\n@l: nop", {0x6002, 0x4E71, 0x4E71}},
      {"movem.l a6-a5/d1-d0,-(sp)", {0x48E7, 0xC006}},
  });
  // equr and reg names stand wherever a register or a movem list does, a
  // local one in its scope.
  ExpectWords({{"sin equr a1\n_a equr d5\n move.w (sin,_a.w),d2\n lea 4(sin),a0\nr reg d0/sin\n"
                " movem.l r/a6,-(sp)\nf:\n.s: equr a0\n move.l (.s)+,d0",
                {0x3431, 0x5000, 0x41E9, 0x0004, 0x48E7, 0x8042, 0x2018}}});
  // obj: code for another address, its labels, '*' and pc there (in 32
  // bits), its bytes here; rorg: on to an offset in the section, filled.
  ExpectWords({{" nop\n obj $FF0000\nr: bra.s r\n lea r(pc),a0\n dc.l *\n objend\na: dc.w a",
                {0x4E71, 0x60FE, 0x41FA, 0xFFFC, 0x00FF, 0x0006, 0x000C}},
               {" obj $FFFF0000\n ds.b $10000\ne:\n objend\n dc.l e", {0, 0}},
               {" dc.w 1\n rorg 6,$FF\n dc.w 2", {1, 0xFFFF, 0xFFFF, 2}}});
  ExpectErrors({{"align 32", "align takes a number of bits from 0 to 31"},
                {"objend", "objend without obj"},
                {"dc.l 1\n rorg 2", "rorg $2 is behind $4, where the section has got to"},
                {"x equr d9", "equr takes a data or address register, not 'd9'"},
                {"s equr a1\n dc.w s", "'s' stands for a register and cannot be used as a value here"},
                {" dc.w s\ns equr a1", "'s' stands for a register, but a line above uses it as a value"},
                {"s equr a1\ns: nop", "'s' is already defined on line 1"}});
  // The other flags of this dialect's opt: each a row.
  ExpectWords({
      {" opt ae-\n dc.b 1\n dc.w 2\n dc.b 3", {0x0100, 0x0203}},  // no pad byte
      {" opt ws+\n dc.w 1 + 2 ; blanks belong to the operands", {3}},
      {" opt ws+\n opt ws-\n dc.w 1 +2", {1}},
      {" opt omq+\n pusho\n opt omq-\n move.l #1,d0\n popo\n move.l #1,d0",
       {0x203C, 0x0000, 0x0001, 0x7001}},
      {" opt l.,l@,an+,an-,w+,ae+\n nop", {0x4E71}},
      // opt l. (or l+): '@' starts a global name, which owns the '.' names
      // after it; l@ (or l-) makes it local again, as a macro set's
      // pusho / opt l- / @skip\@: / popo relies on.
      {" opt l.\na: dc.w .x\n.x:\n@b: dc.w .x\n.x: dc.w @b", {2, 4, 2}},
      {" opt l+\na: dc.w .x\n pusho\n opt l-\n@s: nop\n popo\n.x:", {4, 0x4E71}},
  });
  EXPECT_EQ(Assemble(" opt w-\n nop 0,8\n dc.w 1 + 2\n opt w+\n nop 8\n").warnings, 1);
  ExpectErrors({
      {" opt ae-\n dc.b 1\n nop", "nop at odd address $1: an instruction must be at an even address"},
      {" popo", "popo without pusho"},
  });
  // Instruction names in column 1 are labels when an operation follows them.
  asm68k::AssemblyResult result = Assemble("reset\tmove.w #1,d0\nstop\tbra.s reset\n\treset\n");
  EXPECT_EQ(result.errors, 0);
  EXPECT_EQ(asm68k_test::Words(result.image), (std::vector<uint16_t>{0x303C, 0x0001, 0x60FA, 0x4E70}));
  // A flag this assembler doesn't know is a warning that names it.
  result = Assemble(" opt zz,C-, q+,v+\n");
  ASSERT_EQ(result.warnings, 2);
  EXPECT_EQ(result.messages[0], "test.asm:1: warning: unknown opt flag 'zz' is ignored");
  EXPECT_EQ(result.messages[1], "test.asm:1: warning: unknown opt flag 'q+' is ignored");
}

TEST(Dialect, IncdirAndIncbinRanges) {
  FileMap files = {{"lib/x.inc", " dc.w 5\n"}, {"d.bin", "\x01\x02\x03\x04"}};
  asm68k::AssemblyResult result =
      Assemble(" incdir \"lib/\"\n include \"x.inc\"\n incbin \"d.bin\",1,2\n incbin d.bin,3\n", files);
  EXPECT_EQ(result.errors, 0);
  EXPECT_EQ(result.image, (std::vector<uint8_t>{0, 5, 2, 3, 4}));
  result = Assemble(" incbin \"d.bin\",5\n incbin \"d.bin\",2,3\n", files);
  ASSERT_EQ(result.errors, 2);
  EXPECT_EQ(result.messages[0], "test.asm:1: error: incbin offset 5 is outside 'd.bin' (4 bytes)");
  EXPECT_EQ(result.messages[1],
            "test.asm:2: error: incbin length 3 runs past the end of 'd.bin' (2 bytes from the offset)");
}

}  // namespace
