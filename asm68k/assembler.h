#pragma once
// The assembler as a library: source text in, binary image and messages out.
// The command line and the tests both go through here.

#include <cstdint>
#include <string>
#include <vector>

#include "files.h"

// The driver runs the stages: none of them may call back up into it.
#ifndef ASM68K_DRIVER
#error "assembler.h belongs to the driver: only what stands above it may include it"
#endif

namespace asm68k {

// What a run takes besides the source: the command line's /o, /e and /j,
// applied at the start of every pass as if they stood above the source's
// first line; and whether it gives a listing and the symbols.
struct Equate {
  std::string name;
  std::string value;  // an expression, as in an equ
};

struct AssemblyOptions {
  std::vector<std::string> opts;  // each "FLAG,FLAG...", run as an opt line (messages: "/o TEXT")
  std::vector<Equate> equates;    // each run as "NAME equ VALUE" (messages: "/e NAME=VALUE")
  std::vector<std::string> includeDirs;  // searched as incdir folders, before any incdir
  // The files the caller is to write. An include or incbin that no pass
  // reached (after an end or a stop, in a false branch, in a macro never
  // called) and that names a file of one of their names has its file
  // looked at through the reader, as the run would find it, though not
  // read: the reader then knows it as a file the source names.
  std::vector<std::string> outputs;
  bool listing = false;  // fill AssemblyResult::listing
  // Past this size the listing stops, with a warning: a pass of 10 million
  // lines, each listed, must not take all the memory there is.
  size_t listingLimit = size_t{256} << 20;
  bool symbols = false;  // fill AssemblyResult::symbols
  // The symbols as a text table instead of the binary symbol file, and the
  // binary file with the source-line records (see listing.h).
  bool textSymbols = false;
  bool sourceLines = false;
};

struct AssemblyResult {
  std::vector<uint8_t> image;         // empty whenever there are errors
  // Zeros the image ends with past `image` (padding to a large alignment:
  // see BuildImage), not held.
  uint64_t imageZeros = 0;
  // "SOURCE:LINE: error: TEXT", in source order: the first kShownPerKind
  // errors and the first kShownPerKind warnings.
  std::vector<std::string> messages;
  std::string notShown;  // "and 20 more errors not shown", or empty
  std::string summary;   // "0 errors, 0 warnings, 4 bytes"
  int64_t errors = 0;    // every one found, shown or not
  int64_t warnings = 0;
  int passes = 0;
  // False when the files the source names could not all be looked at (see
  // AssemblyOptions::outputs): none of the outputs may then be touched.
  bool inputsKnown = true;
  // When asked for, and only when there are no errors: the last pass's
  // listing, and the symbol file (its bytes) or table (see listing.h).
  std::string listing;
  std::string symbols;
};

// Assembles `source`, which is called `name` in messages. Include and incbin
// files are read through `reader`: first as written (relative to the current
// directory), then relative to the including file's folder. When `name`
// names a file the reader knows, that file is taken to be the source.
// `options` puts opt lines and equates before the source, adds include
// folders and asks for the listing and the symbols.
AssemblyResult AssembleText(std::string source, const std::string& name, FileReader& reader,
                            const AssemblyOptions& options = AssemblyOptions());

}  // namespace asm68k
