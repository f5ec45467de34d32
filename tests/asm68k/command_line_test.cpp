// The command line "ASM68k SWITCHES SOURCE,OUTPUT[,SYMBOLS[,LISTING]]":
// parsing, the switches' effect on the assembly, exit codes, and the files
// written, which a failed run removes and which are never files it reads.

#include "command_line.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;

asm68k::CommandLine Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "ASM68k");
  return asm68k::ParseCommandLine(static_cast<int>(args.size()), args.data());
}

struct ParseCase {
  std::vector<const char*> args;
  const char* files;  // "SOURCE|OUTPUT|SYMBOLS|LISTING" as named ("|||": none)
  const char* error;  // a piece of the message, or null when the line is valid
};

TEST(CommandLine, Parsing) {
  const ParseCase cases[] = {
      {{"/p", "temp.asm,temp.bin"}, "temp.asm|temp.bin||", nullptr},
      {{"/P", "a,b"}, "a|b||", nullptr},
      {{"-p", "a,b"}, "a|b||", nullptr},
      {{"a,b", "/p"}, "a|b||", nullptr},
      {{"-p", "/tmp/x/a.asm,/tmp/x/b.bin"}, "/tmp/x/a.asm|/tmp/x/b.bin||", nullptr},
      {{"/p", "a,b,c"}, "a|b|c|", nullptr},
      {{"/p", "a,b,,d"}, "a|b||d", nullptr},
      {{"/p", "a,b,,"}, "a|b||", nullptr},
      // Blanks split the list; an argument after a comma continues it, even one
      // that starts with '/'.
      {{"/p", "main.asm,", "main.bin,", ",", "listing.txt"}, "main.asm|main.bin||listing.txt",
       nullptr},
      {{"/p", "a.asm", ",b.bin"}, "a.asm|b.bin||", nullptr},
      {{"/p", "a.asm,", "/tmp/b.bin"}, "a.asm|/tmp/b.bin||", nullptr},
      {{"/p", " a.asm ,  b.bin , c.sym"}, "a.asm|b.bin|c.sym|", nullptr},
      {{"/k", "/M", "-dmax", "12", "/p", "a,b"}, "a|b||", nullptr},
      // What build scripts pass: accepted.
      {{"/q", "/c", "/W", "/g", "/z", "/zd", "/p", "a,b"}, "a|b||", nullptr},
      {{"/symtext", "/p", "a,b,c"}, "a|b|c|", nullptr},
      {{"/symlines", "/p", "a,b,c"}, "a|b|c|", nullptr},

      {{}, "|||", "no SOURCE,OUTPUT given"},
      {{"/p"}, "|||", "no SOURCE,OUTPUT given"},
      {{"a,b"}, "a|b||", "/p is missing"},
      // Wrong switches still name the files, so that old results are emptied.
      {{"/y", "a,b"}, "a|b||", "unknown switch '/y'"},
      {{"/p", "/y", "a,b"}, "a|b||", "unknown switch '/y'"},
      {{"/p", "/l", "a,b"}, "a|b||", "/l asks for linkable object files, which ASM68k does not make"},
      {{"/SDB", "/p", "a,b"}, "a|b||", "/SDB asks for debugger object files"},
      {{"/symlines", "/symtext", "/p", "a,b,c"}, "a|b|c|", "/symtext asks for text"},
      {{"/p", "a,b", "c,d"}, "a|b||", "unexpected 'c,d' after the file list 'a,b'"},
      {{"/p", "a.asm", "b.bin"}, "|||", "unexpected 'b.bin' after the file list 'a.asm'"},
      {{"/", "a,b"}, "|||", "unexpected 'a,b' after the file list '/'"},
      {{"/p", ",b"}, "|||", "the file list ',b' names no SOURCE"},
      {{"/p", "a,"}, "|||", "the file list 'a,' names no OUTPUT"},
      {{"/p", "a,b,c,d,e"}, "|||", "more fields than SOURCE,OUTPUT,SYMBOLS,LISTING"},
      {{"/p", "a,b,b"}, "|||", "names 'b' as both OUTPUT and SYMBOLS"},
      {{"/p", "a,b,c,./c"}, "|||", "names './c' as both SYMBOLS and LISTING"},
      {{"/p", "a,b", "/e"}, "a|b||", "/e needs NAME=VALUE after it"},
      {{"/e", "1X=2", "/p", "a,b"}, "a|b||", "/e 1X=2: '1X' is not a name for an equate"},
      {{"/e", ".x=2", "/p", "a,b"}, "a|b||", "'.x' is not a name"},
      {{"/e", "X=", "/p", "a,b"}, "a|b||", "/e X=: 'X=' gives X no value"},
      {{"/e", ";", "/p", "a,b"}, "a|b||", "/e ;: needs NAME=VALUE"},
      {{"/e", "X=\n1", "/p", "a,b"}, "a|b||", "the value of X holds a control character"},
      {{"/j", "", "/p", "a,b"}, "a|b||", "/j : not a folder"},
      {{"/o", "w+ ae-", "/p", "a,b"}, "a|b||", "opt flags are FLAG[,FLAG...] without blanks"},
      {{"/o", "w+;x", "/p", "a,b"}, "a|b||", "without blanks"},
      {{"/dmax", "x", "/p", "a,b"}, "a|b||", "/dmax x: needs a number"},
      {{"/p", "a,b", "/dmax"}, "a|b||", "/dmax needs a number after it"},
  };
  for (const ParseCase& c : cases) {
    std::string shown;
    for (const char* arg : c.args) shown += std::string(" ") + arg;
    SCOPED_TRACE("ASM68k" + shown);
    asm68k::CommandLine line = Parse(c.args);
    EXPECT_EQ(line.source + "|" + line.output + "|" + line.symbols + "|" + line.listing, c.files);
    EXPECT_EQ(line.valid, c.error == nullptr);
    if (c.error) EXPECT_NE(line.error.find(c.error), std::string::npos) << line.error;
    EXPECT_EQ(line.options.symbols, !line.symbols.empty());
    EXPECT_EQ(line.options.listing, !line.listing.empty());
  }
}

TEST(CommandLine, SwitchesGiveTheAssemblyItsOptions) {
  asm68k::CommandLine line =
      Parse({"/e", "A=1;B='x;y';C", "/o", "w+,ae-", "/j", "inc", "/E", "D=2*A", "-j", "lib/",
             "/o", "l.", "/oos+", "/I", "/d", "/j", "include\\*", "/j", ".*", "/p", "s,o"});
  ASSERT_TRUE(line.valid) << line.error;
  std::string equates;
  for (const asm68k::Equate& equate : line.options.equates) {
    equates += equate.name + "=" + equate.value + " ";
  }
  EXPECT_EQ(equates, "A=1 B='x;y' C=1 D=2*A ");
  EXPECT_EQ(line.options.includeDirs, (std::vector<std::string>{"inc", "lib/", "include", "."}));
  EXPECT_EQ(line.options.opts, (std::vector<std::string>{"w+,ae-", "l.", "os+"}));
}

struct CloseFile {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

class CommandLineRun : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("asm68k_cli_" + std::to_string(getpid()) + "_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

  void WriteFile(const std::string& name, const std::string& text) const {
    std::ofstream(PathOf(name), std::ios::binary) << text;
  }

  std::string ReadFile(const std::string& name) const {
    std::ifstream in(PathOf(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // Runs the program's main logic; returns the exit code, stdout in `output`.
  int Run(std::vector<std::string> args, std::string& output) const {
    std::vector<const char*> argv = {"ASM68k"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::unique_ptr<std::FILE, CloseFile> out(std::tmpfile());
    int code = asm68k::RunCommandLine(static_cast<int>(argv.size()), argv.data(), out.get());
    std::rewind(out.get());
    output.clear();
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), out.get())) > 0) output.append(buffer, n);
    return code;
  }

  fs::path dir_;
};

TEST_F(CommandLineRun, SuccessWritesTheImageAndASummary) {
  WriteFile("ok.asm", " moveq #1,d0\n rts\n");
  std::string output;
  EXPECT_EQ(Run({"-p", PathOf("ok.asm") + "," + PathOf("ok.bin")}, output), 0);
  EXPECT_EQ(output, "0 errors, 0 warnings, 4 bytes\n");
  EXPECT_EQ(ReadFile("ok.bin"), std::string("\x70\x01\x4E\x75", 4));
}

// Whether or not the outputs were there before, none is there after a
// failed run: a build script that asks whether the image exists learns
// that the build failed.
TEST_F(CommandLineRun, SourceErrorsRemoveTheOutputs) {
  WriteFile("bad.asm", " nop\n movq #1,d0\n");
  WriteFile("bad.bin", "stale image from an earlier run");
  WriteFile("bad.lst", "stale listing");
  std::string output;
  std::string source = PathOf("bad.asm");
  EXPECT_EQ(Run({"/p", source + "," + PathOf("bad.bin") + "," + PathOf("bad.sym") + "," +
                           PathOf("bad.lst")},
                output),
            1);
  EXPECT_EQ(output, source + ":2: error: unknown instruction 'movq'\n1 error, 0 warnings\n");
  for (const char* name : {"bad.bin", "bad.sym", "bad.lst"}) {
    EXPECT_FALSE(fs::exists(PathOf(name))) << name;
  }
}

// Each row runs "SWITCHES /p main.asm, main.bin, main.sym" beside lib/defs.i
// (DIR/ in a switch's value is the folder of the files).
struct SwitchCase {
  std::vector<std::string> switches;
  const char* source;
  int exitCode;
  const char* output;   // stdout, all of it
  std::string image;    // on success
  std::string symbols;  // on success
};

// The binary symbol file: its header, then the records.
std::string SymbolFile(const std::string& records) {
  return std::string("MND\x01\0\0\0\0", 8) + records;
}

TEST_F(CommandLineRun, SwitchesReachTheAssembly) {
  fs::create_directories(PathOf("lib"));
  WriteFile("lib/defs.i", "WIDTH equ 320\n");
  const std::string source = PathOf("main.asm");
  const SwitchCase cases[] = {
      {{"/e", "RELEASE=3", "/symtext"}, " dc.w RELEASE\n", 0, "0 errors, 0 warnings, 2 bytes\n",
       std::string("\0\3", 2), "00000003 RELEASE\n"},
      {{"/e", "DEBUG", "/e", "A=2;B=A*3", "/symtext"}, " dc.b DEBUG,A,B\n", 0,
       "0 errors, 0 warnings, 3 bytes\n", "\1\2\6", "00000001 DEBUG\n00000002 A\n00000006 B\n"},
      // An equate's value may name a label of the source, further down.
      {{"/e", "LAST=finish", "/symtext"}, " dc.w LAST\nfinish:\n", 0,
       "0 errors, 0 warnings, 2 bytes\n", std::string("\0\2", 2), "00000002 LAST\n00000002 finish\n"},
      {{"/e", "RELEASE=x"}, " dc.w RELEASE\n", 1,
       "/e RELEASE=x: error: undefined symbol 'x'\n1 error, 0 warnings\n", "", ""},
      {{"/e", "A=B;B=A"}, " dc.w A\n", 1,
       "/e A=B: error: 'A' is defined from itself, through 'B': it has no value\n1 error, 0 "
       "warnings\n",
       "", ""},
      {{"/e", "RELEASE=1"}, "RELEASE equ 0\n", 1,
       "MAIN:1: error: 'RELEASE' is already defined by /e RELEASE=1\n1 error, 0 warnings\n", "",
       ""},
      {{"/j", "DIR/lib", "/symtext"}, " include \"defs.i\"\n dc.w WIDTH\n", 0,
       "0 errors, 0 warnings, 2 bytes\n", std::string("\1\x40", 2), "00000140 WIDTH\n"},
      {{"/o", "q+", "/o", "w+", "/symtext"}, " nop\n", 0,
       "/o q+: warning: unknown opt flag 'q+' is ignored\n0 errors, 1 warning, 2 bytes\n",
       "\x4E\x71", ""},
      // Quiet: the warnings of a good run, and all of a failed one.
      {{"/q"}, " nop\n nop\n", 0, "", "\x4E\x71\x4E\x71", SymbolFile("")},
      {{"/q"}, " dc.b 1\n nop\n", 0,
       "MAIN:2: warning: nop at odd address $1: a zero byte is added before it\n",
       std::string("\1\0\x4E\x71", 4), SymbolFile("")},
      {{"/q"}, " bogus\n", 1, "MAIN:1: error: unknown instruction 'bogus'\n1 error, 0 warnings\n",
       "", ""},
      // The binary symbol file: locals only from opt v+ on; a label is 2,
      // a value 1, a local 4 more.
      {{"/o", "v-"}, "first:\n.a: nop\n opt v+\n.b: nop\nS equ -1\n", 0,
       "0 errors, 0 warnings, 4 bytes\n", "\x4E\x71\x4E\x71",
       SymbolFile(std::string("\0\0\0\0\2\5first", 11) + std::string("\2\0\0\0\6\2.b", 8) +
                  std::string("\xFF\xFF\xFF\xFF\1\1S", 7))},
      // Source lines: where each line's bytes start, from the file's line
      // (with its name) through steps of one and more, to where they end.
      {{"/symlines"}, " nop\n\n nop\n rts\n", 0, "0 errors, 0 warnings, 6 bytes\n",
       "\x4E\x71\x4E\x71\x4E\x75",
       SymbolFile(std::string("\0\0\0\0\x88\1\0\0\0", 9) + char(source.size()) + source +
                  std::string("\2\0\0\0\x82\2", 6) + std::string("\4\0\0\0\x80", 5) +
                  std::string("\6\0\0\0\x8A", 5))},
  };
  for (const SwitchCase& c : cases) {
    SCOPED_TRACE(c.source);
    WriteFile("main.asm", c.source);
    std::vector<std::string> args = c.switches;
    for (std::string& arg : args) {
      if (arg.compare(0, 4, "DIR/") == 0) arg = PathOf(arg.substr(4));
    }
    // The list split by blanks, as build scripts write it.
    for (std::string piece : {std::string("/p"), source + ",", PathOf("main.bin") + ",",
                              PathOf("main.sym")}) {
      args.push_back(piece);
    }
    std::string output, expected = c.output;
    size_t main = expected.find("MAIN");
    if (main != std::string::npos) expected.replace(main, 4, source);
    EXPECT_EQ(Run(args, output), c.exitCode);
    EXPECT_EQ(output, expected);
    EXPECT_EQ(fs::exists(PathOf("main.bin")), c.exitCode == 0);
    EXPECT_EQ(ReadFile("main.bin"), c.image);
    EXPECT_EQ(ReadFile("main.sym"), c.symbols);
  }
}

TEST_F(CommandLineRun, ControlCharactersAreShownNotCut) {
  WriteFile("nul.asm", std::string(" nop\n b\0\x1B\n", 10));
  std::string output;
  std::string source = PathOf("nul.asm");
  EXPECT_EQ(Run({"/p", source + "," + PathOf("nul.bin")}, output), 1);
  EXPECT_EQ(output, source + ":2: error: unexpected '\\x00\\x1B' after b\n1 error, 0 warnings\n");
}

TEST_F(CommandLineRun, MissingSourceIsAFileError) {
  WriteFile("out.bin", "stale");
  std::string output;
  std::string source = PathOf("nothere.asm");
  EXPECT_EQ(Run({"/p", source + "," + PathOf("out.bin")}, output), 2);
  EXPECT_EQ(output, source + ": error: cannot read the source file\n1 error, 0 warnings\n");
  EXPECT_FALSE(fs::exists(PathOf("out.bin")));
}

TEST_F(CommandLineRun, UsageErrors) {
  std::string output;
  EXPECT_EQ(Run({}, output), 2);
  EXPECT_EQ(output, "ASM68k: error: no SOURCE,OUTPUT given\n" + std::string(asm68k::kUsage) + "\n");
  WriteFile("x.asm", " nop\n");
  WriteFile("x.bin", "stale");
  WriteFile("x.lst", "stale");
  EXPECT_EQ(Run({"/x", PathOf("x.asm") + "," + PathOf("x.bin") + "," + PathOf("x.sym") + "," +
                           PathOf("x.lst")},
                output),
            2);
  EXPECT_EQ(output, "ASM68k: error: unknown switch '/x'\n" + std::string(asm68k::kUsage) + "\n");
  // The source was not read, so which files it names is not known: no file
  // is touched, none is created.
  EXPECT_EQ(ReadFile("x.bin"), "stale");
  EXPECT_EQ(ReadFile("x.lst"), "stale");
  EXPECT_FALSE(fs::exists(PathOf("x.sym")));
  // An output not made here is said in one line.
  EXPECT_EQ(Run({"/l", "/p", PathOf("x.asm") + "," + PathOf("x.obj")}, output), 2);
  EXPECT_EQ(output,
            "ASM68k: error: /l asks for linkable object files, which ASM68k does not make: it "
            "writes the binary image (/p), its symbols and its listing\n");
}

TEST_F(CommandLineRun, NeverWritesOverWhatItReads) {
  const std::string main = " include \"inc.asm\"\n incbin \"data.bin\"\n";
  WriteFile("main.asm", main);
  WriteFile("inc.asm", " nop\n");
  WriteFile("data.bin", "DATA");
  fs::create_hard_link(PathOf("main.asm"), PathOf("link.asm"));  // the source by another name
  std::string source = PathOf("main.asm"), output;
  // Each input in the place of OUTPUT, SYMBOLS and LISTING in turn; the
  // other results are removed, since the run failed.
  for (const char* input : {"link.asm", "inc.asm", "data.bin"}) {
    for (int place = 0; place < 3; ++place) {
      SCOPED_TRACE(std::string(input) + " in place " + std::to_string(place));
      std::string files[3] = {PathOf("o.bin"), PathOf("o.sym"), PathOf("o.lst")};
      for (const std::string& file : files) std::ofstream(file) << "stale";
      files[place] = PathOf(input);
      EXPECT_EQ(Run({"/p", source + "," + files[0] + "," + files[1] + "," + files[2]}, output), 2);
      EXPECT_NE(output.find(PathOf(input) + ": error: is a file this run reads"), std::string::npos)
          << output;
      for (int other = 0; other < 3; ++other) {
        if (other != place) EXPECT_FALSE(fs::exists(files[other])) << other;
      }
    }
  }
  // Two names of one file: it can't be both the image and the listing.
  std::ofstream(PathOf("o.bin")) << "stale";
  fs::create_hard_link(PathOf("o.bin"), PathOf("same.lst"));
  EXPECT_EQ(Run({"/p", source + "," + PathOf("o.bin") + ",," + PathOf("same.lst")}, output), 2);
  EXPECT_NE(output.find(PathOf("same.lst") + ": error: is the same file as " + PathOf("o.bin")),
            std::string::npos)
      << output;
  EXPECT_FALSE(fs::exists(PathOf("o.bin")));
  // Errors in the source: the include named as the output is left as it
  // is, the other outputs are removed.
  WriteFile("bad.asm", main + " bogus\n");
  std::ofstream(PathOf("o.lst")) << "stale";
  EXPECT_EQ(Run({"/p", PathOf("bad.asm") + "," + PathOf("inc.asm") + ",," + PathOf("o.lst")},
                output),
            2);
  EXPECT_NE(output.find(PathOf("inc.asm") + ": error: is a file this run reads"), std::string::npos)
      << output;
  EXPECT_FALSE(fs::exists(PathOf("o.lst")));
  // Wrong options: nothing is touched, the source least of all.
  EXPECT_EQ(Run({"/x", source + "," + PathOf("link.asm")}, output), 2);
  EXPECT_EQ(ReadFile("main.asm"), main);
  EXPECT_EQ(ReadFile("inc.asm"), " nop\n");
  EXPECT_EQ(ReadFile("data.bin"), "DATA");
  // A malformed list names no output for certain: nothing is created.
  std::string list = source + "," + PathOf("n.bin") + ",a,b,extra";
  EXPECT_EQ(Run({"/p", list}, output), 2);
  EXPECT_EQ(output, "ASM68k: error: the file list '" + list +
                        "' has more fields than SOURCE,OUTPUT,SYMBOLS,LISTING\n" +
                        std::string(asm68k::kUsage) + "\n");
  EXPECT_FALSE(fs::exists(PathOf("n.bin")));
}

TEST_F(CommandLineRun, NeverWritesAFileTheSourceNames) {
  // Files refused for their size, and files a name in another case matches
  // twice, are inputs all the same: the output is never one of them. (The
  // large files are sparse: they cost no disk and are never read.)
  WriteFile("big.asm", " incbin \"big.bin\"\n");
  WriteFile("big.bin", "");
  fs::resize_file(PathOf("big.bin"), 17000000);
  WriteFile("other.asm", " incbin \"BIG.BIN\"\n");  // found in another case
  WriteFile("huge.asm", " include \"huge.inc\"\n");
  WriteFile("huge.inc", "");
  fs::resize_file(PathOf("huge.inc"), (256u << 20) + 1);
  WriteFile("twin.asm", " include \"TWIN.I\"\n");
  WriteFile("Twin.i", " nop\n");
  WriteFile("twin.i", " rts\n");
  // Files named by lines no pass reached: in a false branch, after end,
  // after a stop, in a macro never called.
  WriteFile("skip.asm", " if 0\n include \"skip.inc\"\n endif\n nop\n");
  WriteFile("end.asm", " nop\n end\n incbin \"SKIP.INC\"\n");
  WriteFile("stop.asm", " inform 3,\"stop\"\n include \"skip.inc\"\n");
  WriteFile("unused.asm", "m macro\n include \"skip.inc\"\n endm\n nop\n");
  WriteFile("skip.inc", " rts\n");
  struct Case {
    const char *source, *output, *message;
    uintmax_t size;
  };
  for (const Case& c : std::vector<Case>{
           {"big.asm", "big.bin", "would make the image larger than 16 MiB", 17000000},
           {"other.asm", "big.bin", "would make the image larger than 16 MiB", 17000000},
           {"huge.asm", "huge.inc", "is larger than 256 MiB", (256u << 20) + 1},
           {"twin.asm", "Twin.i", "matches both", 5},
           {"twin.asm", "twin.i", "matches both", 5},
           {"skip.asm", "skip.inc", "is a file this run reads", 5},
           {"end.asm", "skip.inc", "is a file this run reads", 5},
           {"stop.asm", "skip.inc", "error: stop", 5},
           {"unused.asm", "skip.inc", "is a file this run reads", 5},
       }) {
    SCOPED_TRACE(std::string(c.source) + " into " + c.output);
    std::string output;
    EXPECT_EQ(Run({"/p", PathOf(c.source) + "," + PathOf(c.output)}, output), 2);
    EXPECT_NE(output.find(c.message), std::string::npos) << output;
    EXPECT_NE(output.find(PathOf(c.output) + ": error: is a file this run reads"),
              std::string::npos)
        << output;
    EXPECT_EQ(fs::file_size(PathOf(c.output)), c.size);
  }
}

TEST_F(CommandLineRun, NothingButARegularFileIsReadOrWritten) {
  // A FIFO, a folder or a device named as the source, an include, an incbin
  // or the output is refused before it is opened, so nothing waits on it.
  // The test holds the FIFO open at both ends, so that a version that opens
  // it fails here instead of hanging.
  const std::string fifo = PathOf("fifo"), folder = PathOf("folder");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  int held = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(held, 0);
  fs::create_directory(folder);
  WriteFile("ok.asm", " nop\n");
  WriteFile("bad.asm", " bogus\n");
  WriteFile("include.asm", " include \"fifo\"\n");
  WriteFile("incbin.asm", " incbin \"fifo\"\n");
  WriteFile("folder.asm", " include \"folder\"\n");
  const std::string notRegular = "is not a regular file (a folder, a FIFO or a device)";
  const std::string out = PathOf("out.bin");
  struct Case {
    std::string source, output;
    int code;
    std::string expected;
  };
  for (const Case& c : std::vector<Case>{
           {fifo, out, 2,
            fifo + ": error: the source " + notRegular + ": it was not read\n1 error, 0 warnings\n"},
           {folder, out, 2,
            folder + ": error: the source " + notRegular +
                ": it was not read\n1 error, 0 warnings\n"},
           {PathOf("include.asm"), out, 1,
            PathOf("include.asm") + ":1: error: include file 'fifo' " + notRegular + ": " + fifo +
                "\n1 error, 0 warnings\n"},
           {PathOf("incbin.asm"), out, 1,
            PathOf("incbin.asm") + ":1: error: incbin file 'fifo' " + notRegular + ": " + fifo +
                "\n1 error, 0 warnings\n"},
           {PathOf("folder.asm"), out, 1,
            PathOf("folder.asm") + ":1: error: include file 'folder' " + notRegular + ": " +
                folder + "\n1 error, 0 warnings\n"},
           {PathOf("ok.asm"), fifo, 2,
            fifo + ": error: " + notRegular + "; nothing was written\n1 error, 0 warnings\n"},
           {PathOf("bad.asm"), fifo, 2,
            PathOf("bad.asm") + ":1: error: unknown instruction 'bogus'\n" + fifo + ": error: " +
                notRegular + "; nothing was written\n2 errors, 0 warnings\n"},
           {PathOf("ok.asm"), folder, 2,
            folder + ": error: " + notRegular + "; nothing was written\n1 error, 0 warnings\n"},
           {PathOf("ok.asm"), "/dev/null", 2,
            "/dev/null: error: " + notRegular + "; nothing was written\n1 error, 0 warnings\n"},
       }) {
    SCOPED_TRACE(c.source + " into " + c.output);
    std::string output;
    EXPECT_EQ(Run({"/p", c.source + "," + c.output}, output), c.code);
    EXPECT_EQ(output, c.expected);
    char byte;
    EXPECT_EQ(read(held, &byte, 1), -1) << "something was written into the FIFO";
    EXPECT_EQ(errno, EAGAIN);
  }
  // Wrong options with a FIFO as the output: nothing is emptied either.
  std::string output;
  EXPECT_EQ(Run({"/x", PathOf("ok.asm") + "," + fifo}, output), 2);
  EXPECT_TRUE(fs::is_fifo(fifo));
  close(held);
}

// The source was not read to its end, so the files it names are not all
// known: the output, which might be one of them, is left as it was.
TEST_F(CommandLineRun, OutOfMemoryIsReportedAndTouchesNoOutput) {
  WriteFile("big.asm", " dcb.b $100000,0\n");  // a 1 MiB image
  WriteFile("big.bin", "stale");
  std::string output, source = PathOf("big.asm");
  int code;
  {
    asm68k_test::AllocationLimit limit(256 * 1024);
    code = Run({"/p", source + "," + PathOf("big.bin")}, output);
  }
  EXPECT_EQ(code, 2);
  EXPECT_EQ(output, source +
                        ": error: not enough memory to assemble this source; the output files "
                        "were left as they were\n1 error, 0 warnings\n");
  EXPECT_EQ(ReadFile("big.bin"), "stale");
}

TEST_F(CommandLineRun, UnwritableOutputIsAFileError) {
  WriteFile("w.asm", " nop\n");
  std::string output;
  std::string target = PathOf("no/such/dir/w.bin");
  EXPECT_EQ(Run({"/p", PathOf("w.asm") + "," + target}, output), 2);
  EXPECT_EQ(output, target + ": error: cannot write the output file\n1 error, 0 warnings\n");
  // A listing that can't be written: the image written before it goes too.
  EXPECT_EQ(Run({"/p", PathOf("w.asm") + "," + PathOf("w.bin") + ",," + target}, output), 2);
  EXPECT_EQ(output, target + ": error: cannot write the listing file\n1 error, 0 warnings\n");
  EXPECT_FALSE(fs::exists(PathOf("w.bin")));
}

}  // namespace
