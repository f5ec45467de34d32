// Differential test of the FPU's instructions: a generated corpus of every
// operation with every data format and addressing mode, the control and
// register list moves, the conditional forms on all 32 conditions, and the
// 68040's rounding forms, must assemble to the same image with our
// assembler as with GNU as (-m68020 -m68881, and -m68040). The forms where
// the processor manuals and GNU as differ are left out (docs/assembler.md
// lists them): an extended or packed decimal literal, a double or larger
// format from a data register, a negative byte immediate.
//
//   differential_fpu OURS_EXECUTABLE WORK_DIR
#include "gnu_as.h"
#include "process.h"

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const char* const kMonadic[] = {"fabs",   "facos",  "fasin",  "fatan",   "fatanh",  "fcos",
                                "fcosh",  "fetox",  "fetoxm1", "fgetexp", "fgetman", "fint",
                                "fintrz", "flog10", "flog2",  "flogn",   "flognp1", "fneg",
                                "fsin",   "fsinh",  "fsqrt",  "ftan",    "ftanh",   "ftentox",
                                "ftwotox"};
const char* const kDyadic[] = {"fadd", "fcmp", "fdiv", "fmod", "fmul", "frem", "fscale",
                               "fsgldiv", "fsglmul", "fsub", "fmove"};
const char* const k040Monadic[] = {"fssqrt", "fdsqrt", "fsabs", "fdabs", "fsneg", "fdneg"};
const char* const k040Dyadic[] = {"fsmove", "fdmove", "fsdiv", "fddiv", "fsadd",
                                  "fdadd",  "fsmul",  "fdmul", "fssub", "fdsub"};
const char* const kConditions[] = {"f",   "eq",  "ogt", "oge", "olt", "ole",  "ogl", "or",
                                   "un",  "ueq", "ugt", "uge", "ult", "ule",  "ne",  "t",
                                   "sf",  "seq", "gt",  "ge",  "lt",  "le",   "gl",  "gle",
                                   "ngle", "ngl", "nle", "nlt", "nge", "ngt", "sne", "st"};

// Sources in memory, for every format.
const char* const kMemorySources[] = {"(a0)",       "(a1)+",      "-(a2)",      "(4,a3)",
                                      "-6(a4,d1.w)", "(2,a5,a6.l)", "$1234.w",   "$12345678.l",
                                      "back(pc)"};
const char* const kDestinations[] = {"(a0)", "(a1)+", "-(a2)", "(4,a3)", "-6(a4,d1.w)", "$1234.w",
                                     "$12345678.l"};

// An immediate of each format that GNU as and the manuals read alike.
const char* ImmediateFor(char size) {
    switch (size) {
        case 'b': return "#$7F";
        case 'w': return "#-1234";
        case 'l': return "#$12345678";
        case 's': return "#-1.5";
        case 'd': return "#0.1";
        default: return "#7";  // .x and .p: a whole number's bits
    }
}

void Arithmetic(std::vector<std::string>& out, const std::string& name, bool monadic, int n) {
    const std::string fpn = "fp" + std::to_string(n % 8), fpm = "fp" + std::to_string((n + 3) % 8);
    for (char size : std::string("bwlsdxp")) {
        std::string op = name + "." + size + " ";
        if (std::string("bwls").find(size) != std::string::npos) out.push_back(op + "d" + std::to_string(n % 8) + "," + fpn);
        out.push_back(op + ImmediateFor(size) + "," + fpn);
        for (const char* source : kMemorySources) out.push_back(op + source + "," + fpn);
    }
    out.push_back(name + ".x " + fpm + "," + fpn);
    if (monadic) out.push_back(name + ".x " + fpn);
}

// A pc-relative index is near its label: a brief extension word.
std::vector<std::string> Corpus020() {
    std::vector<std::string> out = {"back:", "fadd.x (back,pc,d2.w),fp1", "fsub.s (back,pc,a3.l),fp2"};
    int n = 0;
    for (const char* name : kMonadic) Arithmetic(out, name, true, n++);
    for (const char* name : kDyadic) Arithmetic(out, name, false, n++);
    // fsincos, ftst.
    out.insert(out.end(), {"fsincos.x fp3,fp1:fp2", "fsincos.s d0,fp7:fp0", "fsincos.d (a0),fp4:fp5",
                           "ftst.x fp3", "ftst.l d0", "ftst.b #3", "ftst.p (a1)+", "ftst.s -(a2)"});
    // fmove out: to a data register, to memory, .p with its k-factor.
    for (char size : std::string("bwls")) out.push_back(std::string("fmove.") + size + " fp1,d2");
    for (const char* destination : kDestinations)
        for (char size : std::string("bwlsdx")) out.push_back(std::string("fmove.") + size + " fp5," + destination);
    out.insert(out.end(), {"fmove.p fp0,(a0){#3}", "fmove.p fp1,-(a7){#-64}", "fmove.p fp2,(8,a1){#63}",
                           "fmove.p fp3,(a0){d1}", "fmove.p fp7,$1234.w{d7}"});
    // The control registers.
    for (const char* reg : {"fpcr", "fpsr", "fpiar"}) {
        std::string r = reg;
        out.insert(out.end(), {"fmove.l d3," + r, "fmove.l " + r + ",d4", "fmove.l (a0)," + r,
                               "fmove.l " + r + ",-(a7)", "fmove.l #$12345678," + r, "fmovem.l (a5)+," + r,
                               "fmovem.l " + r + ",(4,a6)", "fmovem.l d5," + r});
    }
    out.insert(out.end(), {"fmove.l a3,fpiar", "fmove.l fpiar,a4", "fmovem.l fpcr/fpsr,(a0)",
                           "fmovem.l -(a7),fpcr/fpiar", "fmovem.l fpsr/fpiar,-(a7)",
                           "fmovem.l (a7)+,fpcr/fpsr/fpiar", "fmovem.l #$1234,fpsr"});
    // fmovem.x: static lists and a data register, each direction.
    out.insert(out.end(), {"fmovem.x fp0-fp3,-(a7)", "fmovem.x fp0/fp2/fp7,(a0)", "fmovem.x (a7)+,fp0-fp3/fp7",
                           "fmovem.x (4,a1),fp5", "fmovem.x fp6,-(a2)", "fmovem.x d1,-(a7)", "fmovem.x (a7)+,d1",
                           "fmovem.x d6,(a3)", "fmovem fp0-fp1,-(a7)"});
    for (int rom : {0, 0x0B, 0x32, 0x3F}) out.push_back("fmovecr.x #" + std::to_string(rom) + ",fp" + std::to_string(rom % 8));
    out.insert(out.end(), {"fnop", "fsave (a0)", "fsave -(a7)", "fsave (8,a1)", "frestore (a7)+",
                           "frestore (a2)", "frestore back(pc)"});
    // The conditional forms, backward to back (GNU as takes fbcc unsized or .l).
    int k = 0;
    for (const char* cc : kConditions) {
        std::string c = cc, d = std::to_string(k++ % 8);
        out.insert(out.end(), {"fb" + c + " back", "fb" + c + ".l back", "fdb" + c + " d" + d + ",back",
                               "fs" + c + " d" + d, "fs" + c + " (4,a" + d + ")", "ftrap" + c,
                               "ftrap" + c + ".w #$1234", "ftrap" + c + ".l #$12345678"});
    }
    return out;
}

std::vector<std::string> Corpus040() {
    std::vector<std::string> out = {"back:", "fsadd.d (back,pc,d2.w),fp1"};
    int n = 0;
    for (const char* name : k040Monadic) Arithmetic(out, name, true, n++);
    for (const char* name : k040Dyadic) Arithmetic(out, name, false, n++);
    return out;
}

int fail(const std::string& why) {
    std::printf("FAIL: %s\n", why.c_str());
    return 1;
}

// Both assemblers on one corpus; on a difference, the lines that differ.
bool Compare(const gnu_as::Toolchain& toolchain, const std::string& ours, const std::string& work,
             const std::string& name, const std::vector<std::string>& lines,
             const std::vector<std::string>& gnuFlags, const std::string& ourHeader) {
    std::string body;
    for (const std::string& line : lines) body += (line.back() == ':' ? "" : "\t") + line + "\n";
    const std::string gnuSource = work + "/" + name + "_gnu.s", ourSource = work + "/" + name + "_ours.s";
    tools::write_text(gnuSource, body);
    tools::write_text(ourSource, ourHeader + body);
    gnu_as::Assembly gnu = gnu_as::assemble(toolchain, gnuSource, work + "/" + name + "_gnu", false, false, gnuFlags);
    if (!gnu.ok) {
        fail(name + ": GNU as did not accept the corpus (a generator fault):\n" + gnu.messages.substr(0, 3000));
        return false;
    }
    const std::string image = work + "/" + name + "_ours.bin";
    std::remove(image.c_str());
    tools::Result run = tools::run_capture({ours, "/p", ourSource + "," + image}, work + "/" + name + "_ours.log");
    std::vector<std::uint8_t> bytes;
    tools::read_file(image, bytes);
    if (run.exit_code == 0 && bytes == gnu.image) {
        std::printf("%s: %zu lines, identical: %zu bytes from both assemblers\n", name.c_str(), lines.size(),
                    bytes.size());
        return true;
    }
    std::printf("%s: our assembler: exit %d, %zu bytes; GNU as: %zu bytes\n%s\n", name.c_str(), run.exit_code,
                bytes.size(), gnu.image.size(), run.output.substr(0, 3000).c_str());
    // Each line alone, after the label, until 25 differ.
    int shown = 0;
    for (const std::string& line : lines) {
        if (line.back() == ':' || shown >= 25) continue;
        const std::string one = "back:\n\t" + line + "\n";
        tools::write_text(gnuSource, one);
        tools::write_text(ourSource, ourHeader + one);
        gnu_as::Assembly g = gnu_as::assemble(toolchain, gnuSource, work + "/" + name + "_gnu", false, false, gnuFlags);
        tools::Result r = tools::run_capture({ours, "/p", ourSource + "," + image}, work + "/" + name + "_ours.log");
        std::vector<std::uint8_t> b;
        tools::read_file(image, b);
        if (r.exit_code == 0 && b == g.image) continue;
        ++shown;
        std::printf("%s\n    GNU as: %s\n    ours:   %s\n", line.c_str(), tools::hex_bytes(g.image, 0, g.image.size()).c_str(),
                    r.exit_code == 0 ? tools::hex_bytes(b, 0, b.size()).c_str() : r.output.c_str());
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: differential_fpu OURS_EXECUTABLE WORK_DIR\n");
        return 2;
    }
    const std::string ours = argv[1], work = argv[2];
    mkdir(work.c_str(), 0755);
    gnu_as::Toolchain toolchain = gnu_as::find_toolchain();
    if (!toolchain.missing.empty())
        return fail("GNU binutils for m68k not found (" + toolchain.missing +
                    "); install the Debian package binutils-m68k-linux-gnu");
    const std::vector<std::string> mri = {"-M", "--bitwise-or", "--base-size-default-16"};
    std::vector<std::string> flags020 = {"-m68020", "-m68881"}, flags040 = {"-m68040"};
    flags020.insert(flags020.end(), mri.begin(), mri.end());
    flags040.insert(flags040.end(), mri.begin(), mri.end());
    bool same = Compare(toolchain, ours, work, "fpu68881", Corpus020(), flags020, "\tmachine 68020\n\tfpu 1\n");
    // The 68040's rounding forms, and its FPU without fpu 1.
    same = Compare(toolchain, ours, work, "fpu68040", Corpus040(), flags040, "\tmachine 68040\n") && same;
    return same ? 0 : 1;
}
