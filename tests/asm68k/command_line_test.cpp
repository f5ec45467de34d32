// The command line "ASM68k /p SOURCE,OUTPUT": parsing, exit codes, and the
// output file, which is rewritten (empty) even when assembly fails.

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

TEST(CommandLine, Parsing) {
  asm68k::CommandLine line = Parse({"/p", "temp.asm,temp.bin"});
  EXPECT_TRUE(line.valid);
  EXPECT_EQ(line.source, "temp.asm");
  EXPECT_EQ(line.output, "temp.bin");

  EXPECT_TRUE(Parse({"/P", "a,b"}).valid);
  EXPECT_TRUE(Parse({"-p", "a,b"}).valid);
  EXPECT_TRUE(Parse({"a,b", "/p"}).valid);
  line = Parse({"-p", "/tmp/x/a.asm,/tmp/x/b.bin"});  // a pair may start with '/'
  EXPECT_TRUE(line.valid);
  EXPECT_EQ(line.source, "/tmp/x/a.asm");
  EXPECT_EQ(line.output, "/tmp/x/b.bin");

  EXPECT_FALSE(Parse({}).valid);
  EXPECT_FALSE(Parse({"/p"}).valid);
  EXPECT_FALSE(Parse({"a,b"}).valid);        // /p is required
  EXPECT_FALSE(Parse({"/q", "a,b"}).valid);  // unknown option
  EXPECT_FALSE(Parse({"/p", "/q", "a,b"}).valid);
  EXPECT_FALSE(Parse({"/p", "a.asm", "b.bin"}).valid);  // no comma
  EXPECT_FALSE(Parse({"/p", "a,b", "c,d"}).valid);
  EXPECT_FALSE(Parse({"/p", ",b"}).valid);
  EXPECT_FALSE(Parse({"/p", "a,"}).valid);
  EXPECT_FALSE(Parse({"/p", "a,b,c"}).valid);
  EXPECT_FALSE(Parse({"/", "a,b"}).valid);
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

TEST_F(CommandLineRun, SourceErrorsEmptyTheOutput) {
  WriteFile("bad.asm", " nop\n movq #1,d0\n");
  WriteFile("bad.bin", "stale image from an earlier run");
  std::string output;
  std::string source = PathOf("bad.asm");
  EXPECT_EQ(Run({"/p", source + "," + PathOf("bad.bin")}, output), 1);
  EXPECT_EQ(output, source + ":2: error: unknown instruction 'movq'\n1 error, 0 warnings\n");
  EXPECT_TRUE(fs::exists(PathOf("bad.bin")));
  EXPECT_EQ(ReadFile("bad.bin"), "");
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
  EXPECT_EQ(ReadFile("out.bin"), "");
}

TEST_F(CommandLineRun, UsageErrors) {
  std::string output;
  EXPECT_EQ(Run({}, output), 2);
  EXPECT_EQ(output, std::string(asm68k::kUsage) + "\n");
  WriteFile("x.asm", " nop\n");
  WriteFile("x.bin", "stale");
  EXPECT_EQ(Run({"/x", PathOf("x.asm") + "," + PathOf("x.bin")}, output), 2);
  EXPECT_EQ(output, std::string(asm68k::kUsage) + "\n");
  EXPECT_EQ(ReadFile("x.bin"), "");  // an old image never survives a failed run
}

TEST_F(CommandLineRun, NeverWritesOverWhatItReads) {
  const std::string main = " include \"inc.asm\"\n incbin \"data.bin\"\n";
  WriteFile("main.asm", main);
  WriteFile("inc.asm", " nop\n");
  WriteFile("data.bin", "DATA");
  fs::create_hard_link(PathOf("main.asm"), PathOf("link.asm"));  // the source by another name
  std::string source = PathOf("main.asm"), output;
  for (const char* input : {"link.asm", "inc.asm", "data.bin"}) {
    SCOPED_TRACE(input);
    EXPECT_EQ(Run({"/p", source + "," + PathOf(input)}, output), 2);
    EXPECT_NE(output.find(PathOf(input) + ": error: is a file this run reads"), std::string::npos)
        << output;
  }
  // Wrong options: an old image is emptied, but never the source.
  EXPECT_EQ(Run({"/x", source + "," + PathOf("link.asm")}, output), 2);
  EXPECT_EQ(ReadFile("main.asm"), main);
  EXPECT_EQ(ReadFile("inc.asm"), " nop\n");
  EXPECT_EQ(ReadFile("data.bin"), "DATA");
  // A malformed pair names no output for certain: nothing is created.
  EXPECT_EQ(Run({"/p", source + "," + PathOf("o.bin") + ",extra"}, output), 2);
  EXPECT_EQ(output, std::string(asm68k::kUsage) + "\n");
  EXPECT_FALSE(fs::exists(PathOf("o.bin,extra")));
  EXPECT_FALSE(fs::exists(PathOf("o.bin")));
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

TEST_F(CommandLineRun, OutOfMemoryIsReportedAndLeavesNoImage) {
  WriteFile("big.asm", " dcb.b $100000,0\n");  // a 1 MiB image
  WriteFile("big.bin", "stale");
  std::string output, source = PathOf("big.asm");
  int code;
  {
    asm68k_test::AllocationLimit limit(256 * 1024);
    code = Run({"/p", source + "," + PathOf("big.bin")}, output);
  }
  EXPECT_EQ(code, 2);
  EXPECT_EQ(output,
            source + ": error: not enough memory to assemble this source\n1 error, 0 warnings\n");
  EXPECT_EQ(ReadFile("big.bin"), "");
}

TEST_F(CommandLineRun, UnwritableOutputIsAFileError) {
  WriteFile("w.asm", " nop\n");
  std::string output;
  std::string target = PathOf("no/such/dir/w.bin");
  EXPECT_EQ(Run({"/p", PathOf("w.asm") + "," + target}, output), 2);
  EXPECT_EQ(output, target + ": error: cannot write the output file\n1 error, 0 warnings\n");
}

}  // namespace
