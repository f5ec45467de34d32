// Differential test of the system instructions of the 68030, 68040, 68060
// and CPU32: for each processor a generated corpus of its MMU, cache and
// table forms must assemble to the same bytes with our assembler (after
// `machine CPU`) as with GNU as (-m68030, -m68040, -m68060, -mcpu=cpu32).
// One run of each assembler a processor; when the images differ, each line
// is assembled alone by both to name the lines that differ.
//
//   system_gnu_as OURS_EXECUTABLE WORK_DIR
//
// Each line stands alone: a PC-relative line defines the label it refers to.
// Forms where GNU as and the processor manuals part are left out here (the
// unit tests hold the manuals' choice): the 68030's pflusha.
#include "gnu_as.h"
#include "process.h"

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

struct Line {
    std::string ours, gnu;  // the body, as each assembler reads it
    std::string label;      // defined on the line, for a PC-relative operand; or empty
};

struct Processor {
    std::string machine;   // our `machine` operand
    std::string gnu_flag;  // GNU as's processor flag
    std::vector<Line> lines;
};

// Adds one line the same for both assemblers, or spelled apart.
void add(std::vector<Line>& lines, const std::string& ours, const std::string& gnu = "") {
    lines.push_back({ours, gnu.empty() ? ours : gnu, ""});
}

// Control alterable addresses; on the 68020 and later an index is scaled too.
std::vector<std::string> control_alterable(bool scaled) {
    std::vector<std::string> eas = {"(a0)", "(a7)", "4(a1)", "-6(a6)", "$7ffe(a2)", "(12,a4)",
                                    "8(a5,d1.w)", "-2(a0,a3.l)", "(126,a6,d7.w)", "$1234.w",
                                    "$12345678", "$4000.l", "$7ff0"};
    if (scaled) {
        eas.push_back("(4,a0,d1.w*4)");
        eas.push_back("2(a1,a2.l*8)");
    }
    return eas;
}

// The `k`-th of `items`, round and round: crossing two lists without
// writing every pair.
const std::string& nth(const std::vector<std::string>& items, std::size_t k) { return items[k % items.size()]; }

std::vector<Line> mmu_68030() {
    std::vector<Line> lines;
    const std::vector<std::string> eas = control_alterable(true);
    const std::vector<std::string> regs = {"tc", "srp", "crp", "tt0", "tt1", "mmusr"};
    std::size_t k = 0;
    for (const std::string& reg : regs) {
        // GNU as knows mmusr only by its older name.
        const std::string gnu_reg = reg == "mmusr" ? "psr" : reg;
        for (const std::string& ea : eas) {
            add(lines, "pmove " + ea + "," + reg, "pmove " + ea + "," + gnu_reg);
            add(lines, "pmove " + reg + "," + ea, "pmove " + gnu_reg + "," + ea);
            if (reg != "mmusr") add(lines, "pmovefd " + ea + "," + reg);
        }
    }
    const std::vector<std::string> codes = {"sfc", "dfc", "d0", "d5", "#0", "#7", "#3"};
    const std::vector<std::string> levels = {"#0", "#1", "#3", "#7"};
    for (const std::string& fc : codes) {
        for (const std::string& mask : {"#0", "#5", "#7"}) {
            add(lines, "pflush " + fc + "," + mask);
            add(lines, "pflush " + fc + "," + mask + "," + nth(eas, k++));
        }
        for (std::size_t i = 0; i < 4; ++i) {
            const std::string& ea = nth(eas, k++);
            add(lines, "ploadr " + fc + "," + ea);
            add(lines, "ploadw " + fc + "," + nth(eas, k++));
            add(lines, "ptestr " + fc + "," + ea + "," + nth(levels, i));
            add(lines, "ptestw " + fc + "," + nth(eas, k++) + "," + nth(levels, i + 1) + ",a" +
                           std::to_string(k % 8));
            add(lines, "ptestr " + fc + "," + nth(eas, k++) + "," + nth(levels, i + 2) + ",a" +
                           std::to_string((k + 3) % 8));
        }
    }
    return lines;
}

// The 68040's and the 68060's: move16, the caches, the MMU by (An).
std::vector<Line> system_68040(bool is_68060) {
    std::vector<Line> lines;
    const std::vector<std::string> addresses = {"$12345678", "$1234", "$7ff0.l", "$fffffff0", "$10"};
    for (int a = 0; a < 8; ++a) {
        const std::string an = "a" + std::to_string(a), other = "a" + std::to_string((a * 3 + 1) % 8);
        const std::string& address = addresses[a % addresses.size()];
        add(lines, "move16 (" + an + ")+,(" + other + ")+");
        add(lines, "move16 (" + an + ")+," + address);
        add(lines, "move16 " + address + ",(" + an + ")+");
        add(lines, "move16 (" + an + ")," + address);
        add(lines, "move16 " + address + ",(" + an + ")");
        for (const char* op : {"pflush", "pflushn"}) add(lines, std::string(op) + " (" + an + ")");
        if (is_68060) {
            add(lines, "plpar (" + an + ")");
            add(lines, "plpaw (" + an + ")");
        } else {
            add(lines, "ptestr (" + an + ")");
            add(lines, "ptestw (" + an + ")");
        }
        for (const char* cache : {"nc", "dc", "ic", "bc"}) {
            for (const char* op : {"cinvl", "cinvp", "cpushl", "cpushp"})
                add(lines, std::string(op) + " " + cache + ",(" + an + ")");
        }
    }
    for (const char* cache : {"nc", "dc", "ic", "bc"}) {
        add(lines, std::string("cinva ") + cache);
        add(lines, std::string("cpusha ") + cache);
    }
    add(lines, "pflusha");
    add(lines, "pflushan");
    if (is_68060) {
        for (const char* value : {"#0", "#$2700", "#$ffff", "#-1", "#8192"}) add(lines, std::string("lpstop ") + value);
    }
    return lines;
}

// The CPU32's tables, from memory (control modes) or between two registers.
std::vector<Line> tables_cpu32() {
    std::vector<Line> lines;
    std::vector<std::string> eas = control_alterable(true);
    std::size_t k = 0;
    for (const char* op : {"tbls", "tblsn", "tblu", "tblun"}) {
        for (const char* size : {".b", ".w", ".l"}) {
            const std::string name = std::string(op) + size + " ";
            for (int i = 0; i < 4; ++i, ++k) {
                const std::string dx = "d" + std::to_string(k % 8);
                add(lines, name + nth(eas, k) + "," + dx);
                add(lines, name + "d" + std::to_string((k + 3) % 8) + ":d" + std::to_string((k * 5) % 8) + "," + dx);
            }
            const std::string label = "l" + std::to_string(k++);
            const std::string pc = name + label + "(pc),d1", pc_index = name + label + "x(pc,a2.l*2),d3";
            lines.push_back({pc, pc, label});
            lines.push_back({pc_index, pc_index, label + "x"});
        }
    }
    add(lines, "bgnd");
    for (const char* value : {"#0", "#$2700", "#$ffff"}) add(lines, std::string("lpstop ") + value);
    return lines;
}

std::vector<Processor> processors() {
    return {
        {"68030", "-m68030", mmu_68030()},
        {"68040", "-m68040", system_68040(false)},
        {"68060", "-m68060", system_68040(true)},
        {"cpu32", "-mcpu=cpu32", tables_cpu32()},
    };
}

std::string source(const std::vector<Line>& lines, bool ours, const std::string& machine) {
    std::string text = ours ? "\tmachine\t" + machine + "\n" : "";
    for (const Line& line : lines) {
        if (!line.label.empty()) text += line.label + ":";
        text += "\t" + (ours ? line.ours : line.gnu) + "\n";
    }
    return text;
}

std::vector<std::string> gnu_flags(const std::string& processor) {
    std::vector<std::string> flags = gnu_as::as_flags();
    flags[0] = processor;  // in place of -m68000
    return flags;
}

struct Run {
    bool ok = false;
    std::vector<std::uint8_t> bytes;
    std::string messages;
};

Run run_gnu(const gnu_as::Toolchain& toolchain, const std::string& text, const std::string& prefix,
            const std::string& flag) {
    tools::write_text(prefix + ".s", text);
    gnu_as::Assembly a = gnu_as::assemble(toolchain, prefix + ".s", prefix, false, false, gnu_flags(flag));
    return {a.ok, a.image, a.messages};
}

Run run_ours(const std::string& ours, const std::string& text, const std::string& prefix) {
    tools::write_text(prefix + ".s", text);
    std::remove((prefix + ".bin").c_str());
    tools::Result r = tools::run_capture({ours, "/p", prefix + ".s," + prefix + ".bin"}, prefix + ".log");
    Run run;
    run.ok = r.exit_code == 0;
    run.messages = r.output;
    if (run.ok) tools::read_file(prefix + ".bin", run.bytes);
    return run;
}

std::string shown(const Run& run) {
    if (!run.ok) {
        std::string text = run.messages.substr(0, 300);
        for (char& ch : text) if (ch == '\n') ch = '|';
        return "failed: " + text;
    }
    return tools::hex_bytes(run.bytes, 0, run.bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: system_gnu_as OURS_EXECUTABLE WORK_DIR\n");
        return 2;
    }
    const std::string ours = argv[1], work = argv[2];
    mkdir(work.c_str(), 0755);
    gnu_as::Toolchain toolchain = gnu_as::find_toolchain();
    if (!toolchain.missing.empty()) {
        std::printf("FAIL: GNU binutils for m68k not found (%s)\n", toolchain.missing.c_str());
        return 1;
    }
    int failures = 0;
    for (const Processor& p : processors()) {
        const std::string prefix = work + "/" + p.machine;
        Run gnu = run_gnu(toolchain, source(p.lines, false, p.machine), prefix + "_gnu", p.gnu_flag);
        if (!gnu.ok) {
            std::printf("FAIL: GNU as %s refused the corpus (a generator fault):\n%s\n", p.gnu_flag.c_str(),
                        gnu.messages.substr(0, 3000).c_str());
            return 1;
        }
        Run mine = run_ours(ours, source(p.lines, true, p.machine), prefix + "_ours");
        std::printf("%s: %zu lines, %zu bytes from GNU as %s\n", p.machine.c_str(), p.lines.size(),
                    gnu.bytes.size(), p.gnu_flag.c_str());
        if (mine.ok && mine.bytes == gnu.bytes) continue;
        // Each line alone, to name those that differ.
        int shown_lines = 0;
        for (const Line& line : p.lines) {
            Run g = run_gnu(toolchain, source({line}, false, p.machine), prefix + "_line_gnu", p.gnu_flag);
            Run o = run_ours(ours, source({line}, true, p.machine), prefix + "_line_ours");
            if (o.ok && o.bytes == g.bytes) continue;
            ++failures;
            if (++shown_lines <= 25)
                std::printf("  %s\n    GNU as: %s\n    ours:   %s\n", line.ours.c_str(), shown(g).c_str(),
                            shown(o).c_str());
        }
        if (shown_lines == 0) {
            ++failures;
            std::printf("  every line alone matches; the whole differs (ours: %s)\n", shown(mine).substr(0, 300).c_str());
        }
    }
    if (failures) {
        std::printf("FAIL: %d lines differ\n", failures);
        return 1;
    }
    std::printf("identical for every processor\n");
    return 0;
}
