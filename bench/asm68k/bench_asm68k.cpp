// Assembler benchmark, run by `./dev bench`. It prints three tables:
//   1. ours against GNU as (as, then objcopy -O binary; the sources refer to
//      no label as an absolute address, so GNU needs no ld) on two programs,
//      each written in each assembler's syntax: a generated plain source of
//      mixed instructions and a macro-heavy one. Runs alternate between the
//      two assemblers; best, median and their ratios.
//   2. ours alone on the plain source at growing sizes: time per 100,000
//      lines and peak memory (max RSS) per source line.
//   3. instructions counted for one run of each on the two programs of 1,
//      steadier than the times on a shared machine.
// Nothing is asserted about time; the goals are printed beside the figures.
//
//   bench_asm68k_driver OURS_EXECUTABLE WORK_DIR [LINES] [RUNS]
#include "corpus.h"
#include "gnu_as.h"
#include "process.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kGoalTimeFraction = 0.33;  // our time at most this much of GNU as's
constexpr double kGoalBytesPerLine = 55;    // our peak memory on the largest scaling source

struct ScalingSize {
    std::size_t lines;
    int runs;  // fewer for the big ones, so the whole benchmark stays within minutes
};
constexpr ScalingSize kScaling[] = {{10000, 5}, {100000, 5}, {1000000, 3}, {4000000, 2}};

constexpr int kMacroCalls = 20000;
constexpr int kReptCount = 100000;

std::string with_commas(std::uint64_t n) {
    std::string digits = std::to_string(n), text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
        text += digits[i];
    }
    return text;
}

std::string hex_byte(int byte) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", byte);
    return text;
}

std::uint64_t file_size(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

// Read in small blocks, so that this process's peak stays small (see
// write_sources_in_child).
std::size_t count_lines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char block[65536];
    std::size_t lines = 0;
    while (in.read(block, sizeof block) || in.gcount() > 0)
        lines += static_cast<std::size_t>(std::count(block, block + in.gcount(), '\n'));
    return lines;
}

// "identical", or where and how two images differ.
std::string compare_images(const std::string& ours_path, const std::string& gnu_path) {
    std::ifstream ours(ours_path, std::ios::binary), gnu(gnu_path, std::ios::binary);
    for (std::uint64_t offset = 0;; ++offset) {
        int a = ours.get(), b = gnu.get();
        if (a == b && a != EOF) continue;
        if (a == EOF && b == EOF) return "identical";
        char at[32];
        std::snprintf(at, sizeof at, "$%llX", static_cast<unsigned long long>(offset));
        std::string detail = a == EOF   ? "ours ends there"
                             : b == EOF ? "GNU's ends there"
                                        : "ours " + hex_byte(a) + ", GNU " + hex_byte(b);
        return "DIFFER from byte " + std::string(at) + " (" + detail + "): ours " +
               with_commas(file_size(ours_path)) + " bytes, GNU " + with_commas(file_size(gnu_path));
    }
}

double peak_of_this_process_mb() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) * 1024 / 1e6;
}

// ---- the sources ------------------------------------------------------------

std::string scaling_source(const std::string& work, std::size_t lines) {
    return work + "/scale_" + std::to_string(lines) + ".s";
}

bool write_plain_source(std::size_t lines, const std::string& ours_path, const std::string& gnu_path) {
    corpus::Options options;
    options.target_lines = lines;
    options.distinct = false;
    options.absolute_labels = false;
    options.seed = 0xBE5C;
    corpus::Corpus source = corpus::generate(options);
    return corpus::write_ours(source, ours_path) && (gnu_path.empty() || corpus::write_gnu(source, gnu_path, false));
}

// Four macros, one calling the other three, each call with its own local
// label; then kMacroCalls calls and a rept of kReptCount. GNU's twin takes the
// size as the first argument, since its macro calls have no size of their own.
bool write_macro_sources(const std::string& ours_path, const std::string& gnu_path) {
    std::string ours =
        "save\tmacro\n\tmovem.l\t\\1,-(sp)\n\tendm\n"
        "restore\tmacro\n\tmovem.l\t(sp)+,\\1\n\tendm\n"
        "clamp\tmacro\n\tcmp.w\t#\\2,\\1\n\tble.s\t.ok\\@\n\tmove.w\t#\\2,\\1\n.ok\\@\n\tendm\n"
        "step\tmacro\n\tsave\td2-d3/a0\n\tadd.\\0\t\\1,\\2\n\tclamp\t\\2,\\3\n"
        "\trestore\td2-d3/a0\n\tendm\n";
    std::string gnu =
        "\t.macro\tsave regs\n\tmovem.l\t\\regs,-(sp)\n\t.endm\n"
        "\t.macro\trestore regs\n\tmovem.l\t(sp)+,\\regs\n\t.endm\n"
        "\t.macro\tclamp reg,limit\n\tcmp.w\t#\\limit,\\reg\n\tble.s\t.ok\\@\n\tmove.w\t#\\limit,\\reg\n"
        ".ok\\@:\n\t.endm\n"
        "\t.macro\tstep size,src,dst,limit\n\tsave\td2-d3/a0\n\tadd.\\size\t\\src,\\dst\n\tclamp\t\\dst,\\limit\n"
        "\trestore\td2-d3/a0\n\t.endm\n";
    for (int i = 0; i < kMacroCalls; ++i) {
        const std::string arguments =
            "d" + std::to_string(i % 8) + ",d" + std::to_string((i + 1) % 8) + "," + std::to_string(i % 1000);
        ours += "\tstep.w\t" + arguments + "\n";
        gnu += "\tstep\tw," + arguments + "\n";
    }
    ours += "\trept\t" + std::to_string(kReptCount) + "\n\taddq.w\t#1,d0\n\tendr\n";
    gnu += "\t.rept\t" + std::to_string(kReptCount) + "\n\taddq.w\t#1,d0\n\t.endr\n";
    return tools::write_text(ours_path, ours) && tools::write_text(gnu_path, gnu);
}

struct Program {
    std::string name;
    std::string ours_source, gnu_source;
    std::vector<std::string> gnu_flags;
    std::string about;
};

// Writes every source in a child process: the corpus of four million lines
// takes some 700 MB while it is made, and the kernel starts each child's max
// RSS from the peak of the process that starts it, so this one stays small.
bool write_sources_in_child(const std::vector<Program>& programs, std::size_t plain_lines, const std::string& work) {
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        bool ok = write_plain_source(plain_lines, programs[0].ours_source, programs[0].gnu_source) &&
                  write_macro_sources(programs[1].ours_source, programs[1].gnu_source);
        for (const ScalingSize& size : kScaling)
            ok = ok && write_plain_source(size.lines, scaling_source(work, size.lines), "");
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// ---- running ------------------------------------------------------------------

struct Timing {
    double best = 0, median = 0;
};

Timing summarise(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2]};
}

std::vector<std::string> ours_command(const std::string& ours, const std::string& source, const std::string& image) {
    return {ours, "/p", source + "," + image};
}

// One untimed run of every command, in order: false, after printing the
// messages of the first that fails.
bool runs_cleanly(const std::vector<std::vector<std::string>>& commands, const std::string& log_path,
                  const std::string& what) {
    for (const std::vector<std::string>& command : commands) {
        tools::Result r = tools::run_capture(command, log_path);
        if (r.exit_code == 0) continue;
        std::printf("%s failed (%s, exit %d):\n%s\n", what.c_str(), command[0].c_str(), r.exit_code,
                    r.output.substr(0, 2000).c_str());
        return false;
    }
    return true;
}

// Wall time of the commands run one after the other; negative when one fails.
double time_commands(const std::vector<std::vector<std::string>>& commands) {
    double seconds = 0;
    for (const std::vector<std::string>& command : commands) {
        tools::Measured m = tools::run_measured(command);
        if (m.exit_code != 0) return -1;
        seconds += m.seconds;
    }
    return seconds;
}

// ---- counting instructions ----------------------------------------------------

// The count in perf stat's CSV output (value,unit,event,...), 0 when it
// holds none ("<not supported>" where the machine gives perf no counter).
std::uint64_t perf_instructions(const std::string& text) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        std::size_t first = line.find(','), second = first == std::string::npos ? first : line.find(',', first + 1);
        if (second == std::string::npos || first == 0 || line.find_first_not_of("0123456789") != first) continue;
        if (line.compare(second + 1, 12, "instructions") == 0) return std::strtoull(line.c_str(), nullptr, 10);
    }
    return 0;
}

// perf stat where it counts instructions on this machine (most virtual
// machines give it no counter), else callgrind; empty when neither runs.
std::string choose_counter(const std::string& work) {
    const std::string out = work + "/perf_check.txt";
    std::string text;
    if (!tools::find_in_path("perf").empty() &&
        tools::run({"perf", "stat", "-x", ",", "-e", "instructions", "-o", out, "true"}) == 0 &&
        tools::read_text(out, text) && perf_instructions(text) > 0)
        return "perf";
    if (!tools::find_in_path("valgrind").empty()) return "callgrind";
    return "";
}

// Instructions one run of `command` executes; 0 when it could not be counted.
std::uint64_t count_instructions(const std::string& counter, const std::vector<std::string>& command,
                                 const std::string& work) {
    const std::string out = work + "/count.txt";
    std::vector<std::string> argv;
    std::string text;
    if (counter == "perf") {
        argv = {"perf", "stat", "-x", ",", "-e", "instructions", "-o", out, "--"};
        argv.insert(argv.end(), command.begin(), command.end());
        if (tools::run(argv) != 0 || !tools::read_text(out, text)) return 0;
        return perf_instructions(text);
    }
    argv = {"valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null"};
    argv.insert(argv.end(), command.begin(), command.end());
    if (tools::run(argv, out) != 0 || !tools::read_text(out, text)) return 0;
    std::size_t at = text.find("Collected : ");
    return at == std::string::npos ? 0 : std::strtoull(text.c_str() + at + 12, nullptr, 10);
}

const char* verdict(bool met) { return met ? "met" : "NOT met"; }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_asm68k_driver OURS_EXECUTABLE WORK_DIR [LINES] [RUNS]\n");
        return 2;
    }
    const auto started = std::chrono::steady_clock::now();
    const std::string ours = argv[1], work = argv[2];
    const std::size_t plain_lines = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 200000;
    const int runs = std::max(1, argc > 4 ? std::atoi(argv[4]) : 11);
    mkdir(work.c_str(), 0755);

    gnu_as::Toolchain toolchain = gnu_as::find_toolchain();
    if (!toolchain.missing.empty()) {
        std::printf("GNU binutils for m68k not found (%s); install binutils-m68k-linux-gnu\n", toolchain.missing.c_str());
        return 1;
    }
    if (file_size(ours) == 0) {
        std::printf("our assembler not found: %s\n", ours.c_str());
        return 1;
    }

    std::vector<Program> programs = {
        {"plain", work + "/bench_ours.s", work + "/bench_gnu.s", gnu_as::as_flags(),
         "generated mixed instructions, the same as in the differential test"},
        {"macros", work + "/bench_macros.s", work + "/bench_macros_gnu.s", gnu_as::standard_syntax_flags(),
         "four macros, one calling the other three, " + with_commas(kMacroCalls) +
             " calls each with a local label of its own, a rept of " + with_commas(kReptCount) +
             "; GNU's with .macro, .rept and \\@"}};
    double load[3] = {0, 0, 0};
    getloadavg(load, 3);
    std::printf("Assembler benchmark: `./dev bench` (or `cmake --build build/native --target bench_asm68k`)\n");
    std::printf("machine: %ld cores, load average %.2f at the start\n", sysconf(_SC_NPROCESSORS_ONLN), load[0]);
    std::printf("goals: our time at most %.2f of GNU as's (GNU/ours at least %.2f) on both sources of table 1;\n"
                "       peak memory at most %.0f bytes per source line on the %s-line source of table 2\n",
                kGoalTimeFraction, 1 / kGoalTimeFraction, kGoalBytesPerLine, with_commas(kScaling[3].lines).c_str());
    if (!write_sources_in_child(programs, plain_lines, work)) {
        std::printf("could not write the sources to %s\n", work.c_str());
        return 1;
    }

    // ---- 1. against GNU as ----
    struct Compared {
        std::size_t lines = 0;
        std::uint64_t image_bytes = 0;
        std::string images;
        Timing ours, gnu;
    };
    std::vector<Compared> compared;
    for (const Program& p : programs) {
        const std::string ours_image = work + "/" + p.name + "_ours.bin", gnu_prefix = work + "/" + p.name + "_gnu";
        const std::vector<std::vector<std::string>> ours_run = {ours_command(ours, p.ours_source, ours_image)};
        const std::vector<std::vector<std::string>> gnu_run =
            gnu_as::image_commands(toolchain, p.gnu_source, gnu_prefix, false, p.gnu_flags);
        if (!runs_cleanly(ours_run, work + "/" + p.name + "_ours.log", "our assembler on the " + p.name + " source") ||
            !runs_cleanly(gnu_run, gnu_prefix + ".log", "GNU as on the " + p.name + " source"))
            return 1;
        Compared c;
        c.lines = count_lines(p.ours_source);
        c.image_bytes = file_size(ours_image);
        c.images = compare_images(ours_image, gnu_prefix + ".bin");
        std::vector<double> ours_times, gnu_times;
        for (int i = 0; i < runs; ++i) {  // alternating, so that the machine's load falls on both alike
            ours_times.push_back(time_commands(ours_run));
            gnu_times.push_back(time_commands(gnu_run));
            if (ours_times.back() < 0 || gnu_times.back() < 0) {
                std::printf("a timed run on the %s source failed\n", p.name.c_str());
                return 1;
            }
        }
        c.ours = summarise(ours_times);
        c.gnu = summarise(gnu_times);
        compared.push_back(c);
    }

    std::printf("\n1. Time against GNU as on the same program: %d runs of each, alternating\n", runs);
    std::printf("   (wall time of whole runs; GNU as = %s, then %s -O binary, both counted)\n\n",
                toolchain.as.c_str(), toolchain.objcopy.c_str());
    std::printf("%-8s %9s %11s  %-10s %-7s %8s %9s %9s %9s\n", "source", "lines", "image bytes", "images", "", "ours s",
                "GNU as s", "GNU/ours", "ours/GNU");
    for (std::size_t i = 0; i < programs.size(); ++i) {
        const Compared& c = compared[i];
        const std::string images = c.images == "identical" ? c.images : "DIFFER";
        std::printf("%-8s %9s %11s  %-10s %-7s %8.3f %9.3f %9.2f %9.2f\n", programs[i].name.c_str(),
                    with_commas(c.lines).c_str(), with_commas(c.image_bytes).c_str(), images.c_str(), "best",
                    c.ours.best, c.gnu.best, c.gnu.best / c.ours.best, c.ours.best / c.gnu.best);
        std::printf("%-8s %9s %11s  %-10s %-7s %8.3f %9.3f %9.2f %9.2f\n", "", "", "", "", "median", c.ours.median,
                    c.gnu.median, c.gnu.median / c.ours.median, c.ours.median / c.gnu.median);
    }
    std::printf("\ngoal: ours/GNU at most %.2f (our time at most %.2f of GNU as's)\n", kGoalTimeFraction,
                kGoalTimeFraction);
    for (std::size_t i = 0; i < programs.size(); ++i) {
        const Compared& c = compared[i];
        const double best = c.ours.best / c.gnu.best, median = c.ours.median / c.gnu.median;
        std::printf("  %-7s best %.2f, median %.2f: %s\n", (programs[i].name + ":").c_str(), best, median,
                    verdict(best <= kGoalTimeFraction && median <= kGoalTimeFraction));
    }
    std::printf("sources:\n");
    for (std::size_t i = 0; i < programs.size(); ++i) {
        const Program& p = programs[i];
        std::printf("  %-7s %s (GNU: %s), %.1f MB: %s\n", (p.name + ":").c_str(), p.ours_source.c_str(),
                    p.gnu_source.substr(p.gnu_source.rfind('/') + 1).c_str(),
                    static_cast<double>(file_size(p.ours_source)) / 1e6, p.about.c_str());
        if (compared[i].images != "identical")
            std::printf("  %-7s images %s\n", "", compared[i].images.c_str());
    }

    // ---- 2. scaling ----
    std::printf("\n2. Scaling: ours on the plain source at four sizes\n");
    std::printf("   (best wall time of the runs; peak = the largest max RSS of the runs, from wait4)\n\n");
    std::printf("%10s %7s %5s %8s %13s %9s %10s %12s\n", "lines", "MB", "runs", "best s", "s/100k lines", "peak MB",
                "bytes/line", "bytes/added");
    std::size_t previous_lines = 0;
    std::uint64_t previous_peak = 0;
    double last_bytes_per_line = 0;
    for (const ScalingSize& size : kScaling) {
        const std::string source = scaling_source(work, size.lines), image = work + "/scale.bin";
        const std::vector<std::string> command = ours_command(ours, source, image);
        const std::size_t lines = count_lines(source);
        double best = 0;
        std::uint64_t peak = 0;
        for (int i = 0; i < size.runs; ++i) {
            tools::Measured m = tools::run_measured(command, work + "/scale.log");
            if (m.exit_code != 0) {
                std::string log;
                tools::read_text(work + "/scale.log", log);
                std::printf("our assembler failed on %s (exit %d):\n%s\n", source.c_str(), m.exit_code,
                            log.substr(0, 2000).c_str());
                return 1;
            }
            if (i == 0 || m.seconds < best) best = m.seconds;
            peak = std::max(peak, m.peak_bytes);
        }
        last_bytes_per_line = static_cast<double>(peak) / static_cast<double>(lines);
        std::string added = "-";
        if (previous_lines > 0)
            added = std::to_string(static_cast<long long>(
                (static_cast<double>(peak) - static_cast<double>(previous_peak)) /
                static_cast<double>(lines - previous_lines) + 0.5));
        std::printf("%10s %7.1f %5d %8.3f %13.3f %9.1f %10.0f %12s\n", with_commas(lines).c_str(),
                    static_cast<double>(file_size(source)) / 1e6, size.runs, best,
                    best * 100000 / static_cast<double>(lines), static_cast<double>(peak) / 1e6, last_bytes_per_line,
                    added.c_str());
        previous_lines = lines;
        previous_peak = peak;
    }
    std::printf("\ngoal: peak memory at most %.0f bytes per source line on the %s-line source: %.0f, %s\n",
                kGoalBytesPerLine, with_commas(kScaling[3].lines).c_str(), last_bytes_per_line,
                verdict(last_bytes_per_line <= kGoalBytesPerLine));
    std::printf("(bytes/added = extra peak per extra line against the row above; this driver's own peak,\n"
                " below which no child's max RSS can go, is %.1f MB)\n", peak_of_this_process_mb());

    // ---- 3. counted instructions ----
    const std::string counter = choose_counter(work);
    std::printf("\n3. Instructions counted, one run of each on the sources of table 1\n");
    if (counter.empty()) {
        std::printf("   neither perf stat nor valgrind can count here: install valgrind\n");
    } else {
        std::printf("   (%s)\n\n", counter == "perf" ? "perf stat -e instructions"
                                                     : "valgrind --tool=callgrind; perf stat -e instructions counts "
                                                       "nothing on this machine");
        std::printf("%-8s %15s %15s %15s %13s %9s %9s\n", "source", "ours", "GNU as+objcopy", "as", "objcopy",
                    "GNU/ours", "ours/GNU");
        for (const Program& p : programs) {
            const std::string gnu_prefix = work + "/" + p.name + "_gnu";
            const std::vector<std::vector<std::string>> gnu_run =
                gnu_as::image_commands(toolchain, p.gnu_source, gnu_prefix, false, p.gnu_flags);
            const std::uint64_t o =
                count_instructions(counter, ours_command(ours, p.ours_source, work + "/" + p.name + "_ours.bin"), work);
            const std::uint64_t as = count_instructions(counter, gnu_run[0], work);
            const std::uint64_t objcopy = count_instructions(counter, gnu_run[1], work);
            if (o == 0 || as == 0 || objcopy == 0) {
                std::printf("%-8s could not be counted (see %s/count.txt)\n", p.name.c_str(), work.c_str());
                continue;
            }
            const double gnu = static_cast<double>(as + objcopy);
            std::printf("%-8s %15s %15s %15s %13s %9.2f %9.2f\n", p.name.c_str(), with_commas(o).c_str(),
                        with_commas(as + objcopy).c_str(), with_commas(as).c_str(), with_commas(objcopy).c_str(),
                        gnu / static_cast<double>(o), static_cast<double>(o) / gnu);
        }
    }

    getloadavg(load, 3);
    std::printf("\nload average %.2f at the end; the benchmark took %.0f s\n", load[0],
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    return 0;
}
