// Differential test of the 68020's and 68030's integer forms: addressing
// modes with the full extension word, 32-bit branches, the wider modes of
// the 68000's instructions, multiply and divide long, bit fields, cas,
// chk2, pack and trapcc. A generated corpus for each processor must give
// the same bytes with our assembler (after "machine CPU") as with GNU as
// given that processor; on a difference, each line is assembled alone at
// GNU's address for it, and the lines that differ are shown.
//
//   family_gnu_as OURS_EXECUTABLE WORK_DIR
//
// The corpus keeps to what both write alike: displacements are numbers
// known where they are read, or distances to labels (whose size both
// choose from the distance); no zero displacement is written (GNU leaves
// it out, as our opt oz does).
#include "gnu_as.h"
#include "process.h"

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

// Addressing modes only the 68020 and later have (the full extension
// word), or that take it for a displacement the 68000's form can't hold.
const std::vector<std::string> kFullSources = {
    "1000(a0,d0)", "(-1000,a2,a3.w*2)", "(100000,a0,d1.l*4)", "100000(a5,d0)",
    "(-40000,a4)", "(100000,a3)", "(12.w,a0,d0)", "(10.l,a1,d1*8)", "(1000.w,a2)",
    "(za0,d0)", "(a0,zd0)", "(d3)", "(1000,d3.l*2)", "(100000,za1)", "(za2,d1.l*4)",
    "([a0])", "([4,a0],d0,8)", "([4,a0,d0],8)", "([4.w,a0,d0],8.l)", "([a0,zd0])",
    "([100000,a1],d2.l*4,-6)", "([-300,a2,d3.w*2],70000)", "([1000])", "([a0],d1)",
    "([a3,d4])", "([16,za0],d1)", "([a5],-2.w)", "([6,a6,a0.l],-40000.l)",
    "([-32768,a1,d7*2],32767)", "([32768,a4],a2.w*8,-32769)",
};
// The same from pc, to labels near and far.
const std::vector<std::string> kPcSources = {
    "(near,pc,d0)", "(near,pc,a1.l*2)", "(zpc,d0)", "([near,pc])", "([near,pc],d0,4)",
    "([near,pc,d1.l*2],-8)", "(far,pc,d0)", "(far,pc)", "(near.w,pc)",
    "(mid,pc,d2.w*4)",
};

// The 68020's wider forms of the 68000's instructions, which the CPU32 has too.
const std::vector<std::string> kWiderLines = {
    // 32-bit branches: written .l, or unsized out of a word's reach.
    "\tbra.l\tnear", "\tbsr.l\tfar", "\tbeq.l\tnear", "\tbhs.l\tfar", "\tble.l\tmid",
    "\tbra\tfar", "\tbne\tfar", "\tbsr\tfar",
    "\tlink.l\ta6,#-100000", "\tlink.l\ta0,#8", "\tlink\ta5,#100000",
    "\ttst.w\ta0", "\ttst.l\ta7", "\ttst.b\t(near,pc)", "\ttst.l\t#5", "\ttst.w\t(near,pc,d0)",
    "\tcmpi.w\t#1,(near,pc)", "\tcmp.l\t#100000,(near,pc,d1)",
};

// The 68020's integer additions the CPU32 has too.
const std::vector<std::string> kIntegerLines = {
    // Multiply and divide long.
    "\tmuls.l\td0,d1", "\tmulu.l\t(a0),d2", "\tmulu.l\td0,d2:d1", "\tmuls.l\t#100000,d7:d6",
    "\tdivu.l\td0,d1", "\tdivs.l\t(a1)+,d3", "\tdivu.l\td0,d2:d1", "\tdivs.l\t-(a2),d4:d5",
    "\tdivul.l\td0,d2:d1", "\tdivsl.l\t(8,a3),d6:d7", "\tdivsl.l\td0,d1:d1",
    "\tdivs.l\t(near,pc),d0",
    // chk2 and cmp2.
    "\tchk2.w\t(a0),d1", "\tcmp2.l\t(a0),a1", "\tchk2.b\t(near,pc),a7", "\tcmp2.w\t$1234.w,d0",
    "\tchk2.l\t(8,a2,d3.l*4),d4",
    // trapcc.
    "\ttrapeq", "\ttrapt", "\ttrapf", "\ttrapne.w\t#1", "\ttraphi.l\t#100000", "\ttrapls.w\t#-2",
    "\ttrapcc", "\ttrapcs.l\t#0", "\ttrapvc", "\ttrapvs.w\t#$ffff", "\ttrappl", "\ttrapmi.l\t#-1",
    "\ttrapge", "\ttraplt.w\t#7", "\ttrapgt", "\ttraple.l\t#8", "\ttpcc", "\ttpf",
};

// The 68020's that the CPU32 lacks.
const std::vector<std::string> kNotOnCpu32 = {
    "\tbftst\t(a0){4:8}", "\tbftst\td0{d1:d2}", "\tbfextu\td0{d1:d2},d3",
    "\tbfextu\t(100000,a1){31:32},d7", "\tbfexts\t$1234.w{0:1},d0", "\tbfffo\t(near,pc){d3:4},d2",
    "\tbfchg\t(a1){5:d6}", "\tbfclr\t(8,a2,d0){d7:16}", "\tbfset\t([a0]){0:32}",
    "\tbfins\td3,(a0){0:32}", "\tbfins\td0,d1{3:5}", "\tbftst\t(near,pc,d0){1:2}",
    "\tcas.b\td0,d1,(a0)", "\tcas.w\td2,d3,(8,a1)", "\tcas.l\td4,d5,([a0],d0)",
    "\tcas2.w\td0:d1,d2:d3,(a0):(a1)", "\tcas2.l\td4:d5,d6:d7,(d0):(a7)",
    "\tpack\t-(a0),-(a1),#5", "\tpack\td0,d1,#$ffff", "\tunpk\td0,d1,#5", "\tunpk\t-(a2),-(a3),#-1",
    "\tchk.l\t(a0),d1", "\tchk.l\t#100000,d7", "\tmulu.l\t([4,a0],d1),d2",
};

// The 68020's alone: modules.
const std::vector<std::string> k68020Only = {
    "\tcallm\t#4,(a0)", "\tcallm\t#255,(near,pc)", "\trtm\ta2", "\trtm\td5",
};

// The CPU32's own addressing: the brief extension word with a scaled index.
const std::vector<std::string> kCpu32Sources = {
    "(4,a0,d0.w*2)", "-8(a1,d1.l*4)", "(near,pc,d2*8)", "(a3,a4.l*1)",
};

// Pc-relative displacements and branches to labels all around, whose
// sizes depend on each other: both settle them alike.
std::vector<std::string> Relaxed() {
    std::vector<std::string> lines;
    for (int i = 0; i < 60; ++i) {
        const std::string t = std::to_string(i);
        lines.push_back("\tmove.w\t(t" + t + ",pc,d0),d1");
        lines.push_back("\tbra.w\tt" + std::to_string(i * 7 % 60));
        if (i % 3 == 0) lines.push_back("\tds.b\t" + std::to_string(2 * (15 + i)));
        lines.push_back("t" + t + ":");
        lines.push_back("\tmove.l\t([t" + std::to_string((i + 5) % 60) + ",pc],d1),(" +
                        std::to_string(i * 1111 % 70000) + ",a0,d2)");
        lines.push_back("\tlea\t(t" + std::to_string(i * 13 % 60) + ",pc),a0");
    }
    return lines;
}

struct Run {
    std::string gnu_flag, machine;
    std::vector<std::string> lines;
};

void AddSourceForms(const std::vector<std::string>& sources, bool alterable, bool control,
                    std::vector<std::string>& out) {
    for (const std::string& ea : sources) {
        out.push_back("\tmove.w\t" + ea + ",d1");
        out.push_back("\tadd.l\t" + ea + ",d3");
        out.push_back("\ttst.b\t" + ea);
        if (control) {
            out.push_back("\tlea\t" + ea + ",a1");
            out.push_back("\tpea\t" + ea);
        }
        if (alterable) {
            out.push_back("\tmove.l\td2," + ea);
            out.push_back("\taddq.w\t#3," + ea);
            out.push_back("\tmove.b\t" + ea + "," + ea);
        }
    }
}

bool IsControl(const std::string& ea) {
    return ea.find("+") == std::string::npos && ea.find("-(") == std::string::npos;
}

std::vector<Run> Runs() {
    std::vector<std::string> full;
    AddSourceForms(kFullSources, true, true, full);
    AddSourceForms(kPcSources, false, true, full);
    for (const std::string& ea : kFullSources) full.push_back("\tmove.l\t" + ea + ",(1000,a1,d2.w)");
    for (const std::string& ea : kPcSources) full.push_back("\tmove.w\t" + ea + ",([100000,a2],d0)");
    full.insert(full.end(), kWiderLines.begin(), kWiderLines.end());
    full.push_back("\tcmpi.b\t#3,(far,pc)");
    std::vector<std::string> integer = kIntegerLines;
    integer.insert(integer.end(), kNotOnCpu32.begin(), kNotOnCpu32.end());
    full.insert(full.end(), integer.begin(), integer.end());
    full.insert(full.end(), k68020Only.begin(), k68020Only.end());
    std::vector<std::string> cpu32;
    AddSourceForms(kCpu32Sources, false, true, cpu32);
    cpu32.insert(cpu32.end(), kWiderLines.begin(), kWiderLines.end());
    cpu32.insert(cpu32.end(), kIntegerLines.begin(), kIntegerLines.end());
    // The later processors: the same words (the modules only on the 68020).
    const std::vector<std::string> relaxed = Relaxed();
    full.insert(full.end(), relaxed.begin(), relaxed.end());
    return {{"-m68020", "68020", full}, {"-m68030", "68030", integer},
            {"-m68040", "68040", kWiderLines}, {"-m68060", "68060", integer},
            {"-mcpu=cpu32", "cpu32", cpu32}};
}

// The source around the lines: labels near every line, one in the middle,
// one out of a word's reach. GNU's has a marker label before each line.
std::string Source(const std::vector<std::string>& lines, bool gnu, const std::string& machine) {
    std::string text = gnu ? "" : "\tmachine\t" + machine + "\n";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i % 8 == 0) text += "near\tset\t*\n";
        if (i == lines.size() / 2) text += "mid:\n";
        if (gnu) text += "m" + std::to_string(i) + ":\n";
        text += lines[i] + "\n";
    }
    text += "\tds.b\t40000\nfar:\tnop\n";
    return text;
}

int Fail(const std::string& why) {
    std::printf("FAIL: %s\n", why.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: family_gnu_as OURS_EXECUTABLE WORK_DIR\n");
        return 2;
    }
    const std::string ours = argv[1], work = argv[2];
    mkdir(work.c_str(), 0755);
    gnu_as::Toolchain toolchain = gnu_as::find_toolchain();
    if (!toolchain.missing.empty()) return Fail("GNU binutils for m68k not found (" + toolchain.missing + ")");
    int failures = 0;
    for (const Run& run : Runs()) {
        std::vector<std::string> flags = gnu_as::as_flags();
        flags[0] = run.gnu_flag;
        const std::string prefix = work + "/" + run.machine;
        tools::write_text(prefix + "_gnu.s", Source(run.lines, true, run.machine));
        tools::write_text(prefix + "_ours.s", Source(run.lines, false, run.machine));
        gnu_as::Assembly gnu = gnu_as::assemble(toolchain, prefix + "_gnu.s", prefix + "_gnu", false, true, flags);
        if (!gnu.ok) return Fail("GNU as " + run.gnu_flag + " did not accept the corpus:\n" + gnu.messages.substr(0, 3000));
        tools::Result r = tools::run_capture({ours, "/p", prefix + "_ours.s," + prefix + "_ours.bin"}, prefix + "_ours.log");
        std::vector<std::uint8_t> bytes;
        tools::read_file(prefix + "_ours.bin", bytes);
        if (r.exit_code == 0 && bytes == gnu.image) {
            std::printf("%s: %zu lines, %zu bytes, identical\n", run.machine.c_str(), run.lines.size(), bytes.size());
            continue;
        }
        ++failures;
        std::printf("%s: differs (exit %d): %s\n", run.machine.c_str(), r.exit_code, r.output.substr(0, 2000).c_str());
        // Each line alone, at GNU's address, with the labels at GNU's.
        std::string equates;
        for (const char* label : {"far", "mid"}) {
            equates += std::string(label) + "\tequ\t" + std::to_string(gnu.symbols[label]) + "\n";
        }
        int shown = 0;
        for (std::size_t i = 0; i < run.lines.size() && shown < 25; ++i) {
            const std::uint32_t start = gnu.symbols["m" + std::to_string(i)];
            const std::uint32_t end = i + 1 < run.lines.size() ? gnu.symbols["m" + std::to_string(i + 1)]
                                                               : gnu.symbols["far"] - 40000;
            const std::uint32_t nearAt = gnu.symbols["m" + std::to_string(i - i % 8)];
            std::string alone = "\tmachine\t" + run.machine + "\n" + equates + "near\tequ\t" +
                                std::to_string(nearAt) + "\n\torg\t" + std::to_string(start) + "\n" + run.lines[i] + "\n";
            tools::write_text(prefix + "_alone.s", alone);
            tools::Result one = tools::run_capture({ours, "/p", prefix + "_alone.s," + prefix + "_alone.bin"}, prefix + "_alone.log");
            std::vector<std::uint8_t> mine;
            tools::read_file(prefix + "_alone.bin", mine);
            std::vector<std::uint8_t> theirs(gnu.image.begin() + start, gnu.image.begin() + end);
            if (one.exit_code == 0 && mine == theirs) continue;
            ++shown;
            std::printf("  %s\n    GNU as: %s\n    ours:   %s\n", run.lines[i].c_str(),
                        tools::hex_bytes(theirs, 0, theirs.size()).c_str(),
                        one.exit_code == 0 ? tools::hex_bytes(mine, 0, mine.size()).c_str() : one.output.c_str());
        }
    }
    return failures == 0 ? 0 : 1;
}
