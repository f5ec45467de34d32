#pragma once
// The symbols the command line writes beside the image when asked (their
// formats are in docs/assembler.md): the binary symbol file that Mega Drive
// debuggers, symbol converters and label extractors read, or a text table.

#include <string>
#include <vector>

#include "assembly.h"
#include "listing.h"

namespace asm68k {

// The binary symbol file of the labels, equates and set symbols pass `pass`
// defined: an 8-byte header, then a record each (a local name only where
// opt v+ was on at its definition), in value order; then, given `lines`,
// the source-line records that map each line's bytes to its file and line.
std::string SymbolFile(const Assembly& assembly, int pass,
                       const std::vector<ListingRecorder::PlacedBytes>* lines);

// The same symbols as text, a line each in value order: "0000101C name", a
// local label as "owner.local", whatever opt v says.
std::string FormatSymbols(const Assembly& assembly, int pass);

// The text table is at most this large: a local name repeats its owner's,
// so a long owner with many locals would make it grow past any use.
constexpr uint64_t kMaxSymbolTable = 256u << 20;
// Whether the text table would be larger; `error` then says so at the
// definition of the first symbol past it.
bool SymbolTableTooLarge(const Assembly& assembly, int pass, Message& error);

}  // namespace asm68k
