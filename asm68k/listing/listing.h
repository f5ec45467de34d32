#pragma once
// The listing: the text file the command line writes beside the image when
// asked (its format is in docs/assembler.md), and the lines that placed
// bytes, for the source-line records of the symbol file.
//
// A pass lists the lines it assembles as it runs them, a row each with its
// address and bytes; the lines of a file in between (comments, blank lines,
// branches not taken, macro bodies where they are defined) are listed from
// the file's text when the next line of it comes, or when the file ends.
// Every pass lists, since a pass does not know it is the last until it
// ends; the last one's listing is kept. A pass sure to be followed by
// another, or one that found an error, stops listing (its listing would be
// thrown away); a listing that reaches its limit stops with a warning; a
// pass without a recorder pays nothing.

#include <cstdint>
#include <string>
#include <vector>

#include "assembly.h"

namespace asm68k {

struct ListingRecorder {
  bool wantText = true;    // the listing itself
  bool wantLines = false;  // `placed`
  std::string text;  // the pass's listing so far
  size_t limit = 0;  // its size at most, then it stops (AssemblyOptions::listingLimit)
  // No more rows in this pass: it found an error (its listing would be
  // thrown away), or the listing reached its limit (`full`).
  bool stopped = false;
  bool full = false;
  bool fullSaid = false;  // the listing said where it stops

  // The line being run.
  bool listed = false;  // it is listed: not a command-line item, in a pass that may be the last
  uint64_t placedBefore = 0;  // the image's bytes before it ran
  uint32_t locationBefore = 0;
  uint32_t depth = 0;  // the macro expansions and rept bodies it is in
  uint32_t file = 0;  // where its text comes from: the file and line number
  uint32_t number = 0;
  std::string source;  // its text as read, copied: the buffer may be reused as it runs

  // The files being listed, the source and the includes open in it,
  // innermost last, each with how far its text has been listed.
  struct OpenText {
    const SourceText* text;
    size_t frame;     // its frame in the line source
    size_t cursor;    // the offset past the last line listed and its line end
  };
  std::vector<OpenText> open;
  // The lines of the pass that placed bytes, in the order they ran (the
  // lines of macro and rept bodies as the file that holds them numbers them).
  struct PlacedBytes {
    uint32_t address, count, file, line;
  };
  std::vector<PlacedBytes> placed;
  // The line source's frames as last followed: only a line's push or pops
  // change them between two lines, so their number and top tell.
  size_t followedFrames = 0;
  const SourceText* followedTop = nullptr;
};

// At a pass's start, once the line source holds the source's frame.
void StartListingPass(PassState& state);
// Around each line the pass runs.
void ListLineBefore(PassState& state, const SourceText& text, const LineInfo& line);
void ListLineAfter(PassState& state, const Statement& statement);
// Once the line is read: its text as it reads there (with an expansion's
// arguments put in).
void ListLineText(PassState& state);
// At the pass's end: the rest of every file still open.
void FinishListingPass(PassState& state);

}  // namespace asm68k
