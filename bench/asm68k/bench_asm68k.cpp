// Assembler benchmark: one generated source of mixed 68000 instructions,
// assembled to a raw binary image by ours (ASM68k /p) and by GNU as
// (as, then objcopy -O binary; the source refers to no label as an absolute
// address, so GNU needs no ld), several times each; prints the best and the
// median wall time and their ratio. Then a macro-heavy source (nested macro
// calls and a long rept), assembled by ours alone.
//
//   bench_asm68k_driver OURS_EXECUTABLE WORK_DIR [LINES] [REPEATS]
#include "corpus.h"
#include "gnu_as.h"
#include "process.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Timing {
    double best = 0, median = 0;
};

Timing summarise(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2]};
}

// One untimed run of ours on `source`: false, after printing its messages,
// when it fails.
bool AssemblesCleanly(const std::vector<std::string>& command, const std::string& log_path,
                      const char* source) {
    if (tools::run(command, log_path) == 0) return true;
    std::string log;
    tools::read_text(log_path, log);
    std::printf("our assembler failed on the %s:\n%s\n", source, log.substr(0, 2000).c_str());
    return false;
}

// Best and median of `repeats` timed runs of `command`.
Timing TimeRuns(const std::vector<std::string>& command, int repeats) {
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        Clock::time_point start = Clock::now();
        tools::run(command);
        times.push_back(seconds_since(start));
    }
    return summarise(times);
}

constexpr int kMacroCalls = 20000;
constexpr int kReptCount = 100000;

// Four macros, one calling the other three, each call with its own local
// label; then kMacroCalls calls and a rept of kReptCount.
void write_macro_source(const std::string& path) {
    std::string text =
        "save\tmacro\n\tmovem.l\t\\1,-(sp)\n\tendm\n"
        "restore\tmacro\n\tmovem.l\t(sp)+,\\1\n\tendm\n"
        "clamp\tmacro\n\tcmp.w\t#\\2,\\1\n\tble.s\t.ok\\@\n\tmove.w\t#\\2,\\1\n.ok\\@\n\tendm\n"
        "step\tmacro\n\tsave\td2-d3/a0\n\tadd.\\0\t\\1,\\2\n\tclamp\t\\2,\\3\n"
        "\trestore\td2-d3/a0\n\tendm\n";
    for (int i = 0; i < kMacroCalls; ++i)
        text += "\tstep.w\td" + std::to_string(i % 8) + ",d" + std::to_string((i + 1) % 8) + "," +
                std::to_string(i % 1000) + "\n";
    text += "\trept\t" + std::to_string(kReptCount) + "\n\taddq.w\t#1,d0\n\tendr\n";
    tools::write_text(path, text);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_asm68k_driver OURS_EXECUTABLE WORK_DIR [LINES] [REPEATS]\n");
        return 2;
    }
    const std::string ours = argv[1], work = argv[2];
    const std::size_t lines = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 200000;
    const int repeats = std::max(1, argc > 4 ? std::atoi(argv[4]) : 5);
    mkdir(work.c_str(), 0755);

    gnu_as::Toolchain toolchain = gnu_as::find_toolchain();
    if (!toolchain.missing.empty()) {
        std::printf("GNU binutils for m68k not found (%s); install binutils-m68k-linux-gnu\n", toolchain.missing.c_str());
        return 1;
    }
    struct stat info;
    if (stat(ours.c_str(), &info) != 0) {
        std::printf("our assembler not found: %s\n", ours.c_str());
        return 1;
    }

    corpus::Options options;
    options.target_lines = lines;
    options.distinct = false;
    options.absolute_labels = false;
    options.seed = 0xBE5C;
    corpus::Corpus source = corpus::generate(options);
    const std::string ours_source = work + "/bench_ours.s", gnu_source = work + "/bench_gnu.s";
    const std::string ours_image = work + "/ours.bin";
    corpus::write_ours(source, ours_source);
    corpus::write_gnu(source, gnu_source, false);
    struct stat source_info;
    stat(ours_source.c_str(), &source_info);

    // One untimed run of each: both must succeed, and their images should agree.
    gnu_as::Assembly gnu = gnu_as::assemble(toolchain, gnu_source, work + "/gnu", false, false);
    if (!gnu.ok) {
        std::printf("GNU as failed on the benchmark source:\n%s\n", gnu.messages.substr(0, 2000).c_str());
        return 1;
    }
    const std::vector<std::string> ours_command = {ours, "/p", ours_source + "," + ours_image};
    if (!AssemblesCleanly(ours_command, work + "/ours.log", "benchmark source")) return 1;
    std::vector<std::uint8_t> ours_bytes;
    tools::read_file(ours_image, ours_bytes);
    const bool identical = ours_bytes == gnu.image;

    std::vector<double> ours_times, gnu_times;
    for (int i = 0; i < repeats; ++i) {
        Clock::time_point start = Clock::now();
        tools::run(ours_command);
        ours_times.push_back(seconds_since(start));

        start = Clock::now();
        gnu_as::assemble(toolchain, gnu_source, work + "/gnu", false, false);
        gnu_times.push_back(seconds_since(start));
    }
    Timing o = summarise(ours_times), g = summarise(gnu_times);

    std::printf("source: %s (%zu lines, %.1f MB); images %s\n", ours_source.c_str(), source.lines.size(),
                static_cast<double>(source_info.st_size) / 1e6,
                identical ? "identical" : "DIFFER (run the differential test)");
    std::printf("%-8s %9s %9s %10s %10s %8s\n", "", "lines", "bytes", "ours s", "GNU s", "GNU/ours");
    std::printf("%-8s %9zu %9zu %10.3f %10.3f %8.2f\n", "best", source.lines.size(), gnu.image.size(), o.best, g.best,
                g.best / o.best);
    std::printf("%-8s %9zu %9zu %10.3f %10.3f %8.2f\n", "median", source.lines.size(), gnu.image.size(), o.median,
                g.median, g.median / o.median);
    std::printf("ratio (GNU as time / our time, median of %d runs): %.2f -> ours is %s\n", repeats,
                g.median / o.median, g.median >= o.median ? "at least as fast" : "SLOWER");

    const std::string macro_source = work + "/bench_macros.s";
    write_macro_source(macro_source);
    const std::vector<std::string> macro_command = {ours, "/p", macro_source + "," + ours_image};
    if (!AssemblesCleanly(macro_command, work + "/macros.log", "macro source")) return 1;
    tools::read_file(ours_image, ours_bytes);
    Timing m = TimeRuns(macro_command, repeats);
    std::printf("macros: %s (%d calls of nested macros, a rept of %d), %zu bytes: "
                "ours best %.3f s, median %.3f s\n",
                macro_source.c_str(), kMacroCalls, kReptCount, ours_bytes.size(), m.best, m.median);
    return 0;
}
