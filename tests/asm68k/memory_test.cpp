// Memory: sources that once made memory (or a pass's byte work) grow without
// bound now run within a fixed allowance, as they must in the 2 GiB a
// 32-bit process has.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "test_support.h"

namespace {

using asm68k_test::AllocationLimit;
using asm68k_test::FileMap;

constexpr size_t MiB = 1 << 20;

std::string Repeat(const std::string& line, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += line;
  return text;
}

TEST(Memory, BadInputStaysWithinAFixedAllowance) {
  std::string locals = std::string(MiB, 'g') + ":\n";  // 2000 locals under a 1 MB name
  for (int i = 0; i < 2000; ++i) locals += ".l" + std::to_string(i) + ":\n";
  // As many under a name of 128 KiB, in a text table: past 256 MiB.
  std::string table = " opt v+\n" + std::string(131072, 'g') + ":\n";
  for (int i = 0; i < 2100; ++i) table += ".l" + std::to_string(i) + ":\n";
  // A name of its own: test runs of other checkouts may share the folder.
  std::filesystem::path huge = std::filesystem::temp_directory_path() /
                               ("asm68k_memory_huge_" + std::to_string(getpid()) + ".bin");
  std::ofstream(huge).close();
  std::filesystem::resize_file(huge, 1ull << 30);  // sparse: a 1 GiB incbin costs no disk
  struct Case {
    std::string source;
    size_t live, total;
    const char* message;  // in the first message, or the summary when there is none
    bool textSymbols = false;  // the symbols asked for as a text table
  };
  // Macros that call each other 100 deep, with names of 64 KiB.
  const std::string a(65536, 'a'), b(65536, 'b');
  const std::string deep = "d set 0\n" + a + " macro\nd set d+1\n if d<100\n " + b +
                           "\n else\n rept 100\n bogus\n endr\n endif\n endm\n" + b + " macro\n " +
                           a + "\n endm\n " + a + "\n";
  for (const Case& c : std::vector<Case>{
           {std::string(30000000, '\n'), MiB, SIZE_MAX, "0 errors, 0 warnings, 0 bytes"},
           {locals, 8 * MiB, SIZE_MAX, "0 errors, 0 warnings, 0 bytes"},
           // A line that holds something takes about 72 bytes of room.
           {Repeat(" bogus\n", 1000000), 96 * MiB, SIZE_MAX,
            "test.asm:1: error: unknown instruction 'bogus'"},
           {Repeat(" incbin big.bin\n", 40), 40 * MiB, SIZE_MAX,
            "test.asm:2: error: incbin file 'big.bin' would make the image larger than 16 MiB"},
           {" incbin \"" + huge.string() + "\"\n", MiB, SIZE_MAX,
            "would make the image larger than 16 MiB"},
           {" dc.b 1\n ds.b $C00000\n dc.b 1\n", 30 * MiB, SIZE_MAX,
            "0 errors, 0 warnings, 12582914 bytes"},
           // An image of 16 MiB placed over itself again and again: the file
           // once, the image once, and the one being placed over it.
           {Repeat(" org 0\n incbin big.bin\n", 12) + " org $10\n dc.l 1\n", 56 * MiB, SIZE_MAX,
            "0 errors, 0 warnings, 16777216 bytes"},
           // Text that expansions put into lines counts toward the text a run reads.
           {"m macro\n x equs \"" + Repeat("\\1", 500) + "\"\n endm\n rept 10000\n m " +
                std::string(64, 'a') + "\n endr\n",
            8 * MiB, SIZE_MAX, "more than 256 MiB of source text to read in all passes"},
           // Lines a false branch steps over are lines read, in all passes together.
           {" rept 30000\n if 0\n" + Repeat(" nop\n", 2000) + " endif\n endr\n", 8 * MiB,
            SIZE_MAX, "more than 40,000,000 lines to read in all passes"},
           // Work that a line repeats is bounded too, not only the lines: a
           // long expression, a long line that does little, a long equate.
           {"v set 0\n rept 10000000\nv set v" + Repeat("+v", 127) + "\n endr\n", 8 * MiB,
            SIZE_MAX, "test.asm:3: error: more than 100,000,000 expression terms to evaluate"},
           {" rept 10000000\n nop ;" + std::string(400000, 'x') + "\n endr\n", 8 * MiB, SIZE_MAX,
            "more than 1 GiB of macro and rept bodies to read again in all passes"},
           {" rept 10000000\nx equs \"" + std::string(200000, 'a') + "\"\n endr\n", 8 * MiB,
            SIZE_MAX, "more than 256 MiB of source text to read in all passes"},
           {"a: ds.b b-a+1\nb:\n rept 3000\n if 0\n" + Repeat(" nop\n", 2000) + " endif\n endr\n",
            8 * MiB, SIZE_MAX, "more than 40,000,000 lines to read in all passes"},
           // An argument that grows at each level of a recursion, and macros
           // that expansions define, are bounded.
           {"m macro\n m " + Repeat("\\1", 16) + "\n endm\n m " + std::string(200, 'x') + "\n",
            64 * MiB, SIZE_MAX, "this line grows past 1 MiB as text is put into it"},
           {"m macro\nx\\@ macro\n dc.b \"" + std::string(32000, 'y') +
                "\"\n endm\n endm\n rept 3000\n m\n endr\n",
            160 * MiB, SIZE_MAX, "holds more than 64 MiB in all"},
           // What a pass keeps as it runs is bounded, whatever keeps it: texts
           // \@! puts aside, symbols, the lines kept to be encoded again, the
           // runs of the layout, the choices of size, the way to each line
           // that messages name, the symbol table written as text.
           {"m macro\n dc.b 0 ;" + Repeat("\\@!", 8) + "\n endm\n rept 10000000\n m\n endr\n",
            96 * MiB, SIZE_MAX, "holds more than 64 MiB in all"},
           {"n set 0\n rept 1000000\n" + std::string(1000, 'l') + "\\#n:\nn set n+1\n endr\n",
            160 * MiB, SIZE_MAX, "more than 4,000,000 symbols, or more than 64 MiB in their names"},
           {" rept 8000\n dc.b x" + Repeat(",x", 1999) + "\n endr\nx equ 1\n", 112 * MiB,
            SIZE_MAX, "0 errors, 0 warnings, 16000000 bytes"},
           {" rept 19000000\n nop\n org 0\n endr\n", 320 * MiB, SIZE_MAX,
            "holds more than 64 MiB in all"},
           {" opt os\n rept 4000000\n bra x\n endr\nx: nop\n", 256 * MiB, SIZE_MAX,
            "branch target is out of range"},
           {deep, 16 * MiB, SIZE_MAX, "(and 160 more levels)"},
           {table, 8 * MiB, SIZE_MAX, "the symbol table would be larger than 256 MiB", true},
           // Each line of the source costs room: their number is bounded.
           {Repeat("a\n", 10000001), 512 * MiB, SIZE_MAX,
            "test.asm:1: error: more than 10,000,000 lines that hold something"},
           // Once the image is over its limit the run stops.
           {"a: ds.b b-a+1\nb:\n" + Repeat(" dcb.l $400000,1\n", 200), SIZE_MAX, 64 * MiB,
            "test.asm:4: error: the image would be larger than 16 MiB"},
       }) {
    SCOPED_TRACE(c.source.substr(0, 40));
    asm68k::MemoryFiles memory(FileMap{{"big.bin", std::string(16 * MiB, 'x')}});
    asm68k::DiskFiles disk;
    asm68k::FileReader& reader = c.source.find(huge.string()) == std::string::npos
                                     ? static_cast<asm68k::FileReader&>(memory)
                                     : disk;
    std::string source = c.source;
    asm68k::AssemblyOptions options;
    options.symbols = options.textSymbols = c.textSymbols;
    asm68k::AssemblyResult result;
    {
      AllocationLimit limit(c.live, c.total);
      result = asm68k::AssembleText(std::move(source), "test.asm", reader, options);
    }
    const std::string& first = result.messages.empty() ? result.summary : result.messages[0];
    EXPECT_NE(first.find(c.message), std::string::npos) << first;
  }
  std::filesystem::remove(huge);
}

}  // namespace
