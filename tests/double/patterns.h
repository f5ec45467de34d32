// The byte patterns the stand-in assembler prints and writes, shared with the
// programs that check what arrived, so that a check can rebuild them exactly.
#pragma once

#include <cstddef>

// Printed output: visible ASCII only (never a zero byte, never above 0x7E),
// with a period of 94 that never lines up with the 499-byte chunks.
inline char OutputPatternByte(std::size_t position) {
  return static_cast<char>(0x21 + position % 94);
}

// Image bytes: every value 0..255 occurs, zeros included, and neighbouring
// 256-byte blocks differ so a misplaced block shows.
inline unsigned char ImagePatternByte(std::size_t position) {
  return static_cast<unsigned char>(position * 37 + (position >> 8));
}
