// Numbers and expressions, checked through dc.l so each value is visible
// as two words.

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

using asm68k_test::ExpectErrors;
using asm68k_test::ExpectWords;

std::vector<uint16_t> Long(uint32_t value) {
  return {static_cast<uint16_t>(value >> 16), static_cast<uint16_t>(value)};
}

TEST(Expressions, NumberBases) {
  ExpectWords({
      {"dc.l 1234", Long(1234)},
      {"dc.l $1234abCD", Long(0x1234ABCD)},
      {"dc.l %1011", Long(11)},
      {"dc.l @777", Long(0777)},
      {"dc.l 4294967295", Long(0xFFFFFFFF)},
      {"dc.l 'A'", Long(0x41)},
      {"dc.l 'AB'", Long(0x4142)},
      {"dc.l 'ABCD'", Long(0x41424344)},
      {"dc.l \"AB\"", Long(0x4142)},
      {"dc.l 0x1F,0XfF,0x0", {0, 0x1F, 0, 0xFF, 0, 0}},
      {"dc.l 'it''s'", Long(0x69742773)},
      {"dc.l '\"'", Long(0x22)},
      {"dc.w 'A'", {0x0041}},  // character constants are right-aligned
      {"dc.l 0000000000000000000000007", Long(7)},  // more digits than 64 bits hold
      {"dc.l $00000000000000000001", Long(1)},
  });
}

TEST(Expressions, OperatorsFollowTheClassicOrder) {
  ExpectWords({
      {"dc.l 2+3*4", Long(14)},
      {"dc.l (2+3)*4", Long(20)},
      {"dc.l 10-4-3", Long(3)},
      {"dc.l 100/10/5", Long(2)},
      {"dc.l 1+2<<3", Long(17)},  // shifts bind tightest
      {"dc.l 1<<2+3", Long(7)},
      {"dc.l 100>>2-1", Long(24)},
      {"dc.l 2*3&1", Long(2)},  // & before *
      {"A equ $D234\n dc.l $40000000+(A&$3FFF)<<16+A>>14", Long(0x52340003)},
      {"dc.l 6&3|8", Long(10)},
      {"dc.l 6|3&1", Long(7)},
      {"dc.l 5^1|2", Long(6)},
      {"dc.l 12&7^5", Long(1)},
      {"dc.l 17%5", Long(2)},
      {"dc.l -3*-3", Long(9)},
      {"dc.l ~0", Long(0xFFFFFFFF)},
      {"dc.l -(1+1)", Long(0xFFFFFFFE)},
      {"dc.w (5),-(5),(-5),( 5 ),-(-5)", {5, 0xFFFB, 0xFFFB, 5, 5}},
      {"dc.w (5)+1,(2)*3,-(2)<<1", {6, 6, 0xFFFC}},
      {"dc.w 1+2+3,1-2*3,-2+-(3)", {6, 0xFFFB, 0xFFFB}},
      {"x equ 5\n dc.w x+-1,-1+x,x-(-2),x-(2)", {4, 4, 7, 3}},
      {"dc.l +5", Long(5)},
      {"dc.l -$10", Long(0xFFFFFFF0)},
      {"dc.l -4294967295", Long(1)},
      {"dc.l --5", Long(5)},
      {"dc.l -5+1", Long(0xFFFFFFFC)},
      {"dc.l $80000000>>4", Long(0xF8000000)},  // 32-bit signed arithmetic
      {"dc.l 1<<31", Long(0x80000000)},
      {"dc.l 1<<32", Long(0)},
      {"dc.l $7fffffff+1", Long(0x80000000)},
      {"dc.l 1+2 * 3", Long(3)},  // a blank ends the operand: "* 3" is a comment
  });
}

TEST(Expressions, TheClassicOrderGivesNoWarning) {
  for (const char* source : {" dc.l 1<<2+1", "x equ 5\n if x&1=0\n endif"}) {
    EXPECT_EQ(asm68k_test::Assemble(source).warnings, 0) << source;
  }
}

TEST(Expressions, ComparisonsAndLogicGiveMinusOneForTrue) {
  ExpectWords({
      {"dc.w 1=1,1==2,1<>2,2!=2", {0xFFFF, 0, 0xFFFF, 0}},
      {"dc.w 1<2,2<1,2<=2,3<=2", {0xFFFF, 0, 0xFFFF, 0}},
      {"dc.w 2>1,1>2,2>=2,1>=2", {0xFFFF, 0, 0xFFFF, 0}},
      {"dc.w -1<0,!0,!5,!!5", {0xFFFF, 0xFFFF, 0, 0xFFFF}},
      {"dc.w 1&&2,1&&0,0||3,0||0", {0xFFFF, 0, 0xFFFF, 0}},
      {"dc.w 1+1=2,1<<2<5,1|2=3", {0xFFFF, 0xFFFF, 0xFFFF}},  // looser than + << and |
      {"dc.w 0||1&&0,3&4=4", {0, 0}},                          // && before ||; & before =
  });
}

TEST(Expressions, DivisionTruncatesTowardZero) {
  ExpectWords({
      {"dc.l 7/2", Long(3)},
      {"dc.l -7/2", Long(static_cast<uint32_t>(-3))},
      {"dc.l 7/-2", Long(static_cast<uint32_t>(-3))},
      {"dc.l -7%2", Long(static_cast<uint32_t>(-1))},
      {"dc.l -2147483648/-1", Long(0x80000000)},
  });
  ExpectErrors({
      {"dc.l 1/0", "division by zero"},
      {"dc.l 1%(2-2)", "division by zero"},
      {"dc.l 1/zero\nzero equ 0", "division by zero"},
  });
}

TEST(Expressions, LocationCounter) {
  ExpectWords({
      {"nop\n dc.l *", {0x4E71, 0x0000, 0x0002}},
      {"dc.w *,*", {0x0000, 0x0000}},  // '*' is the address of the statement
      {"org $100\n dc.w *+2*2", {0x0104}},
      {"dc.w **2\n dc.w **2", {0x0000, 0x0004}},
      {"x equ 4\n dc.w *+x,x+*", {0x0004, 0x0004}},
  });
}

TEST(Expressions, Errors) {
  ExpectErrors({
      {"move.l #'ABCDE',d0", "character constant 'ABCDE' is longer than 4 characters"},
      {"dc.l ''", "empty character constant"},
      {"dc.l 'AB", "unterminated string"},
      {"dc.l $", "a number needs at least one digit"},
      {"dc.l $12g", "'g' is not a digit in a base-16 number"},
      {"dc.l %102", "'2' is not a digit in a base-2 number"},
      {"dc.l @8", "'8' is not a digit in a base-8 number"},
      {"dc.l 12ab", "'a' is not a digit in a base-10 number"},
      {"dc.l 4294967296", "number is too large for 32 bits"},
      {"dc.l -4294967296", "number is too large for 32 bits"},
      {"dc.l -12ab", "'a' is not a digit in a base-10 number"},
      {"dc.l -", "missing value at the end of the expression"},
      {"dc.l (1+2", "missing ')' in expression"},
      {"dc.l (5", "missing ')' in expression"},
      {"dc.l 18446744073709551616", "number is too large for 32 bits"},
      {"dc.l 1+", "missing value at the end of the expression"},
      {"dc.l nowhere", "undefined symbol 'nowhere'"},
      // An equ of an undefined name has no value: its use is the error, naming the name.
      {"dc.l wide+1\nwide equ typo*2",
       "'wide' has no value: its equ on line 2 names 'typo', which is undefined"},
      {"dc.l a\na equ b\nb equ a",
       "'a' has no value: its equ on line 2 names 'b', whose equ on line 3 names 'a': its value "
       "depends on itself"},
      {"dc.l d3", "register d3 cannot be used as a value here"},
      {"dc.l CCR", "register CCR cannot be used as a value here"},
      {"dc.l 1+d0", "register d0 cannot be used as a value here"},
      {"dc.l "
       "((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((1))))))))))))))))))))))))"
       "))))))))))))))))))))))))))))))))))))))))))",
       "nested too deeply"},
  });
}

}  // namespace
