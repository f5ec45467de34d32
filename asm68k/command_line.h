#pragma once
// The command line: ASM68k /p SOURCE,OUTPUT

#include <cstdio>
#include <string>

namespace asm68k {

struct CommandLine {
  bool valid = false;
  std::string source;
  std::string output;  // also set when only the options are wrong, so an old image can be emptied
};

// Options start with '/' or '-' and are case-insensitive; /p (the binary
// image, the only format) is required. The argument with a comma is the
// SOURCE,OUTPUT pair, even when it starts with '/'.
CommandLine ParseCommandLine(int argc, const char* const* argv);

constexpr const char* kUsage =
    "usage: ASM68k /p SOURCE,OUTPUT  (assembles 68000 SOURCE into the binary image OUTPUT)";

// Runs the whole program; messages go to `out`. Returns the exit code:
// 0 success, 1 errors in the source, 2 usage or file errors or no memory.
// A failed run leaves no old image behind, but creates no file for it. No
// input is ever written: the output is left as it is when it is the source
// or a file the source names (read or not), and when it is anything but a
// regular file.
int RunCommandLine(int argc, const char* const* argv, std::FILE* out);

}  // namespace asm68k
