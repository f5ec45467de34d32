#pragma once
// The command line: ASM68k SWITCHES SOURCE,OUTPUT[,SYMBOLS[,LISTING]]

#include <cstdio>
#include <string>

#include "assembler.h"

namespace asm68k {

struct CommandLine {
  bool valid = false;
  std::string error;  // when not valid: what is wrong, naming the switch or argument
  bool showUsage = true;  // false when the error is a switch asking for an output not made here
  bool quiet = false;     // /q: a run without errors prints its warnings and nothing else
  // The files are also set when only the switches are wrong; none is set
  // when the file list is malformed.
  std::string source;
  std::string output;
  std::string symbols;  // empty: none asked for
  std::string listing;
  // /o, /e, /j, /symtext and /symlines, and whether SYMBOLS and LISTING are wanted
  AssemblyOptions options;
};

// Switches start with '/' or '-' and are case-insensitive: /p (the binary
// image, the only format, required), /e NAME=VALUE[;...], /j FOLDER and
// /o FLAGS (each with its value as the next argument, each as often as
// wanted), /q (quiet), /symtext (the symbols as text) and /symlines (source
// lines in the symbol file); /c, /g, /k, /m, /w, /z, /zd and /dmax N,
// which change nothing here; /l and /sdb ask for outputs this assembler
// doesn't make, an error that names them. The other
// arguments are the comma-separated file list, which blanks may split into
// several arguments: an argument that starts with a comma, or follows one
// that ends with a comma, continues it. An empty field is left out
// (a,b,,c names no SYMBOLS).
CommandLine ParseCommandLine(int argc, const char* const* argv);

constexpr const char* kUsage =
    "usage: ASM68k [/e NAME=VALUE] [/j FOLDER] [/o FLAGS] [/q] [/symtext | /symlines] /p "
    "SOURCE,OUTPUT[,SYMBOLS[,LISTING]]"
    "  (assembles 68000 SOURCE into the binary image OUTPUT)";

// Runs the whole program; messages go to `out`. Returns the exit code:
// 0 success, 1 errors in the source, 2 usage or file errors or no memory.
// A failed run leaves no image, symbols or listing behind: each one it
// would write is removed, except after a usage error (which reads nothing,
// so touches nothing). No input is ever written or removed: an output is
// left as it is when it is the source or a file the source names (read or
// not), and when it is anything but a regular file.
int RunCommandLine(int argc, const char* const* argv, std::FILE* out);

}  // namespace asm68k
