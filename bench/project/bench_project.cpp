// Multi-file project benchmark, run by `./dev bench`: a generated project
// of several hundred include files (see project.h) assembled by the native
// build and by the Windows build under Wine. It prints:
//   1. wall times: native; under Wine warm (the Wine server already running,
//      as when a build script runs the assembler again) and cold (each run
//      starts the server and Wine's services); and a one-line source under
//      warm Wine, what starting any Windows program costs there;
//   2. file-system calls per run: natively the system calls (strace -f -c),
//      under Wine the Windows file calls the program makes (WINEDEBUG=+relay
//      limited to those functions), its requests to the Wine server (the
//      server's own log, -d1, of the program's threads) and the system calls
//      of its process (strace -f -c) -- each also for the same project in
//      one pass (opt os- instead of os+), which must need the same calls.
// Nothing is asserted about time; the goal is printed beside the figures.
//
//   bench_project_driver NATIVE_ASM68K WORK_DIR [WINDOWS_ASM68K win32|win64 [RUNS]]
#include "process.h"
#include "project.h"

#include "assembler.h"
#include "files.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr double kGoalWineOverNative = 1.5;
constexpr std::size_t kCorpusLines = 200000;

std::string with_commas(std::uint64_t n) {
    std::string digits = std::to_string(n), text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
        text += digits[i];
    }
    return text;
}

struct Measured {
    int exit_code = -1;
    double seconds = 0;  // wall time from the start to the exit
    double cpu = 0;      // user and system time of the process
};

// Runs `argv` in `folder` with its output (both streams) in `output_path`,
// and returns its exit code, wall time and processor time.
Measured run_in(const std::string& folder, const std::vector<std::string>& argv,
                const std::string& output_path = "/dev/null") {
    Measured measured;
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid < 0) return measured;
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) _exit(127);
        std::FILE* out = std::freopen(output_path.c_str(), "w", stdout);
        if (!out || dup2(fileno(stdout), 2) < 0 || !std::freopen("/dev/null", "r", stdin)) _exit(127);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid) return measured;
    measured.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    measured.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    measured.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return measured;
}

struct Timing {
    double best = 0, median = 0, cpu = 0;  // cpu: the least of the runs
    int runs = 0;
};

Timing summarise(const std::vector<Measured>& runs) {
    std::vector<double> times, cpu;
    for (const Measured& m : runs) {
        times.push_back(m.seconds);
        cpu.push_back(m.cpu);
    }
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2], *std::min_element(cpu.begin(), cpu.end()),
            static_cast<int>(times.size())};
}

// ---- Wine ---------------------------------------------------------------------

struct Wine {
    std::string arch, loader, exe, prefix;

    // The environment every Wine command of the benchmark runs with.
    void enter() const {
        setenv("WINEPREFIX", prefix.c_str(), 1);
        setenv("WINEDEBUG", "-all", 1);
        setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
        setenv("WINEARCH", arch.c_str(), 1);
        if (arch == "win64")
            setenv("WINELOADER", loader.c_str(), 1);
        else
            unsetenv("WINELOADER");
    }
    std::vector<std::string> command(const std::string& files) const { return {loader, exe, "/p", files}; }
    void stop_server() const {
        run_in(".", {"wineserver", "-k"});
        run_in(".", {"wineserver", "-w"});
    }
    // A server that stays between runs, as after any Wine program has run,
    // and Wine's services started by a first program.
    void start_server() const {
        stop_server();
        run_in(".", {"wineserver", "-p"});
        run_in(".", command("nothing.asm,nothing.bin"));
    }
};

// ---- counting -------------------------------------------------------------------

// strace -c's table: calls (and errors) by system call name, and the total.
struct CallCounts {
    std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> calls;
    std::uint64_t total = 0;
    bool ok = false;
    std::uint64_t of(const std::string& name) const {
        auto found = calls.find(name);
        return found == calls.end() ? 0 : found->second.first;
    }
    std::uint64_t failed(const std::string& name) const {
        auto found = calls.find(name);
        return found == calls.end() ? 0 : found->second.second;
    }
};

CallCounts strace_counts(const std::string& folder, const std::vector<std::string>& command,
                         const std::string& work) {
    CallCounts counts;
    if (tools::find_in_path("strace").empty()) return counts;
    const std::string table = work + "/strace.txt";
    std::vector<std::string> argv = {"strace", "-f", "-c", "-o", table};
    argv.insert(argv.end(), command.begin(), command.end());
    if (run_in(folder, argv).exit_code != 0) return counts;
    std::ifstream in(table);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::vector<std::string> words;
        for (std::string w; fields >> w;) words.push_back(w);
        // % time, seconds, usecs/call, calls, [errors,] syscall
        if (words.size() < 5 || words[0].find_first_not_of("0123456789.") != std::string::npos) continue;
        const std::string& name = words.back();
        std::uint64_t calls = std::strtoull(words[3].c_str(), nullptr, 10);
        std::uint64_t errors = words.size() >= 6 ? std::strtoull(words[4].c_str(), nullptr, 10) : 0;
        if (name == "total") {
            counts.total = calls;
            counts.ok = true;
        } else {
            counts.calls[name] = {calls, errors};
        }
    }
    return counts;
}

// The file-system calls of a strace table, in one line.
std::string file_calls(const CallCounts& c) {
    const std::uint64_t stats = c.of("newfstatat") + c.of("stat") + c.of("lstat") + c.of("statx") + c.of("fstat");
    const std::uint64_t failed =
        c.failed("newfstatat") + c.failed("stat") + c.failed("lstat") + c.failed("statx");
    std::string text = "openat " + with_commas(c.of("openat") + c.of("open")) + ", stat " + with_commas(stats) +
                       " (" + with_commas(failed) + " failing), getdents64 " + with_commas(c.of("getdents64")) +
                       ", read " + with_commas(c.of("read") + c.of("pread64")) + ", close " +
                       with_commas(c.of("close"));
    if (c.of("getxattr") + c.of("fgetxattr") > 0)
        text += ", getxattr " + with_commas(c.of("getxattr") + c.of("fgetxattr"));
    return text;
}

// The Windows file functions a run calls, from Wine's relay log limited to
// them (the limit is a setting of the benchmark's own Wine prefix).
const char* const kRelayed[] = {"KERNEL32.CreateFileA",  "KERNEL32.GetFileAttributesA",
                                "KERNEL32.GetFileType",  "KERNEL32.GetFileInformationByHandle",
                                "ntdll.NtQueryInformationFile", "KERNEL32.FindFirstFileA",
                                "KERNEL32.FindNextFileA", "KERNEL32.ReadFile",
                                "KERNEL32.CloseHandle"};

std::map<std::string, std::uint64_t> relay_counts(const Wine& wine, const std::string& folder,
                                                  const std::string& files, const std::string& work) {
    std::map<std::string, std::uint64_t> counts;
    const std::string log = work + "/relay.txt";
    setenv("WINEDEBUG", "+relay", 1);
    Measured m = run_in(folder, wine.command(files), log);
    wine.enter();
    if (m.exit_code != 0) return counts;
    std::ifstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        std::size_t call = line.find("Call ");
        if (call == std::string::npos) continue;
        std::size_t end = line.find('(', call);
        if (end != std::string::npos) ++counts[line.substr(call + 5, end - call - 5)];
    }
    fs::remove(log);
    return counts;
}

// Requests the program's threads make to the Wine server, from a server
// started for it with its request log (-d1).
std::uint64_t server_requests(const Wine& wine, const std::string& folder, const std::string& files,
                              const std::string& work) {
    const std::string log = work + "/server.txt";
    wine.stop_server();
    pid_t server = fork();
    if (server == 0) {
        if (!std::freopen(log.c_str(), "w", stderr)) _exit(127);
        execlp("wineserver", "wineserver", "-f", "-p", "-d1", static_cast<char*>(nullptr));
        _exit(127);
    }
    // Wine's services start with the first program; they are not counted.
    run_in(folder, wine.command("nothing.asm,nothing.bin"));
    std::uint64_t from = fs::file_size(log);
    Measured m = run_in(folder, wine.command(files));
    wine.stop_server();
    waitpid(server, nullptr, 0);
    if (m.exit_code != 0) return 0;
    std::ifstream in(log);
    in.seekg(static_cast<std::streamoff>(from));
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(in, line)) lines.push_back(line);
    // The program's threads: the one that starts it, and those it starts.
    const std::regex first("^([0-9a-f]{4}): init_first_thread\\(\\) = 0 \\{ pid=([0-9a-f]+)");
    const std::regex other("^([0-9a-f]{4}): init_thread\\(\\) = 0 \\{ pid=([0-9a-f]+)");
    const std::regex request("^([0-9a-f]{4}): [a-z_]+\\((?!\\) =)");
    std::string pid;
    std::vector<std::string> threads;
    std::smatch m2;
    for (const std::string& l : lines) {
        if (std::regex_search(l, m2, first) && pid.empty()) {
            pid = m2[2];
            threads.push_back(m2[1]);
        } else if (!pid.empty() && std::regex_search(l, m2, other) && m2[2] == pid) {
            threads.push_back(m2[1]);
        }
    }
    std::uint64_t requests = 0;
    for (const std::string& l : lines)
        if (l.size() > 4 && std::find(threads.begin(), threads.end(), l.substr(0, 4)) != threads.end() &&
            std::regex_search(l, request))
            ++requests;
    fs::remove(log);
    return requests;
}

// ---- the project ----------------------------------------------------------------

// Passes the project takes, from the assembler's library on the same files.
int passes_of(const std::string& folder, const std::string& source) {
    const fs::path here = fs::current_path();
    fs::current_path(folder);
    asm68k::DiskFiles files;
    std::string text;
    int passes = 0;
    if (files.Read(source, 1u << 30, text) == asm68k::ReadResult::Ok)
        passes = asm68k::AssembleText(std::move(text), source, files).passes;
    fs::current_path(here);
    return passes;
}

// Text as the native build prints it: the Windows C runtime ends lines
// with CR LF on the console.
std::string without_returns(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

bool same_file(const std::string& a, const std::string& b) {
    std::string x, y;
    return tools::read_text(a, x) && tools::read_text(b, y) && x == y;
}

void print_time(const char* what, const Timing& t, const Timing& native) {
    std::printf("%-34s %5d %9.3f s %9.3f s %12.2f %9.3f s\n", what, t.runs, t.best, t.median, t.best / native.best,
                t.cpu);
}

// The project, in `project`, and the two sources beside its main.asm: the
// same project in one pass (the branches opt os+ shortens stay long), and a
// one-line source.
bool write_sources(const std::string& project, project::Shape& shape) {
    fs::remove_all(project);
    fs::create_directories(project);
    if (!project::write_project(project, kCorpusLines, shape)) return false;
    std::string text;
    tools::read_text(project + "/main.asm", text);
    text.replace(text.find("opt\tos+"), 7, "opt\tos-");
    return tools::write_text(project + "/main2.asm", text) && tools::write_text(project + "/one.asm", "\tnop\n");
}

// Makes the benchmark's prefix (on first use) with its relay log limited to
// the file functions counted, runs the Windows build once on the project and
// compares its image and messages with the native build's. Empty when they
// agree; `ran` false when it did not run.
std::string check_wine(const Wine& wine, const std::string& project, const std::string& work, bool& ran) {
    wine.enter();
    fs::create_directories(wine.prefix);
    std::string relayed;
    for (const char* name : kRelayed) relayed += std::string(relayed.empty() ? "" : ";") + name;
    run_in(project, {wine.loader, "reg", "add", "HKCU\\Software\\Wine\\Debug", "/v", "RelayInclude", "/t", "REG_SZ",
                     "/d", relayed, "/f"});
    wine.start_server();
    Measured m = run_in(project, wine.command("main.asm,main.bin"), work + "/wine.txt");
    std::string native_out, wine_out;
    tools::read_text(work + "/native.txt", native_out);
    tools::read_text(work + "/wine.txt", wine_out);
    ran = m.exit_code == 0;
    if (!ran)
        return "the Windows build failed under Wine (exit " + std::to_string(m.exit_code) + "):\n" +
               wine_out.substr(0, 2000);
    if (!same_file(project + "/main.bin", work + "/native.bin")) return "the images of the two builds DIFFER";
    if (native_out != without_returns(wine_out))
        return "the messages of the two builds DIFFER:\nnative: " + native_out + "Wine: " + wine_out;
    return "";
}

// Table 1: the runs timed, alternating so that the machine's load falls on
// all alike; then the cold runs.
void time_runs(const std::string& native, const Wine* wine, const std::string& project, int runs) {
    const std::string files = "main.asm,main.bin";
    std::vector<Measured> native_times, warm_times, cold_times, one_times;
    for (int i = 0; i < runs; ++i) {
        native_times.push_back(run_in(project, {native, "/p", files}));
        if (!wine) continue;
        warm_times.push_back(run_in(project, wine->command(files)));
        one_times.push_back(run_in(project, wine->command("one.asm,one.bin")));
    }
    for (int i = 0; wine && i < std::max(3, runs / 3); ++i) {
        wine->stop_server();
        cold_times.push_back(run_in(project, wine->command(files)));
    }
    const Timing native_t = summarise(native_times);
    std::printf("\n1. Wall time of whole runs: best and median of the runs, alternating; cpu: the least\n"
                "   user and system time of the run's own process (not the Wine server's)\n\n");
    std::printf("%-34s %5s %11s %11s %12s %11s\n", "", "runs", "best", "median", "best/native", "cpu");
    print_time("native", native_t, native_t);
    if (!wine) {
        std::printf("(no Windows build given, or it failed: Wine not measured)\n");
        return;
    }
    const Timing warm = summarise(warm_times), cold = summarise(cold_times), one = summarise(one_times);
    const std::string build = wine->arch == "win32" ? "32-bit" : "64-bit";
    print_time(("Wine, warm (" + build + " build)").c_str(), warm, native_t);
    print_time("Wine, cold (the server starts)", cold, native_t);
    print_time("Wine, warm, a one-line source", one, native_t);
    const double best = warm.best / native_t.best, median = warm.median / native_t.median;
    std::printf("\ngoal: warm Wine at most %.1f times native: best %.2f, median %.2f: %s\n", kGoalWineOverNative, best,
                median, best <= kGoalWineOverNative && median <= kGoalWineOverNative ? "met" : "NOT met");
}

// Table 2 for one source: each count made warm (the server and Wine's
// services already running).
void count_calls(const std::string& native, const Wine* wine, const std::string& project, const std::string& source,
                 int passes, const std::string& work) {
    const std::string list = source + ",main.bin";
    std::printf("%s, %d pass%s:\n", source.c_str(), passes, passes == 1 ? "" : "es");
    CallCounts c = strace_counts(project, {native, "/p", list}, work);
    if (c.ok)
        std::printf("  native (strace -f -c): %s system calls in all; %s\n", with_commas(c.total).c_str(),
                    file_calls(c).c_str());
    else
        std::printf("  native: strace is not installed or failed\n");
    if (!wine) return;
    wine->start_server();
    std::map<std::string, std::uint64_t> relayed = relay_counts(*wine, project, list, work);
    std::string calls;
    for (const char* name : kRelayed) {
        std::string shown = std::string(name).substr(std::string(name).find('.') + 1);
        calls += (calls.empty() ? "" : ", ") + shown + " " + with_commas(relayed[name]);
    }
    std::printf("  Wine, Windows calls (+relay): %s\n", calls.c_str());
    std::printf("  Wine, requests to the server (wineserver -d1): %s\n",
                with_commas(server_requests(*wine, project, list, work)).c_str());
    wine->start_server();
    CallCounts w = strace_counts(project, wine->command(list), work);
    if (w.ok)
        std::printf("  Wine, the program's process (strace -f -c): %s system calls; %s\n", with_commas(w.total).c_str(),
                    file_calls(w).c_str());
}

// What starting any program costs under Wine, to set against the project's.
void count_start(const Wine& wine, const std::string& project, const std::string& work) {
    std::printf("a one-line source, for what starting a program costs under Wine:\n");
    std::printf("  Wine, requests to the server: %s\n",
                with_commas(server_requests(wine, project, "one.asm,one.bin", work)).c_str());
    wine.start_server();
    CallCounts w = strace_counts(project, wine.command("one.asm,one.bin"), work);
    if (w.ok) std::printf("  Wine, system calls: %s\n", with_commas(w.total).c_str());
    wine.stop_server();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_project_driver NATIVE_ASM68K WORK_DIR [WINDOWS_ASM68K win32|win64 [RUNS]]\n");
        return 2;
    }
    const auto started = std::chrono::steady_clock::now();
    const std::string native = fs::absolute(argv[1]).string(), work = fs::absolute(argv[2]).string();
    const std::string project = work + "/project";
    const int runs = std::max(3, argc > 5 ? std::atoi(argv[5]) : 11);
    Wine wine;
    if (argc > 4) {
        wine.exe = fs::absolute(argv[3]).string();
        wine.arch = argv[4];
        wine.loader = wine.arch == "win32" ? "/usr/lib/wine/wine" : "/usr/lib/wine/wine64";
        wine.prefix = work + "/wineprefix-" + wine.arch;
    }
    project::Shape shape;
    if (!write_sources(project, shape)) {
        std::printf("could not write the project to %s\n", project.c_str());
        return 1;
    }
    const int passes = passes_of(project, "main.asm"), passes2 = passes_of(project, "main2.asm");
    const int distinct = shape.files - 2 + shape.incbins;  // main2.asm and one.asm are not the project's

    double load[3] = {0, 0, 0};
    getloadavg(load, 3);
    std::printf("Multi-file project benchmark: `./dev bench` (or bench_project_driver, see bench/project)\n");
    std::printf("machine: %ld cores, load average %.2f at the start\n", sysconf(_SC_NPROCESSORS_ONLN), load[0]);
    std::printf("project: %s (%d source files and %d incbin files in %d folders, %s include lines,\n"
                "         %s lines, %.1f MB of source, %.1f MB of data; %d of the include and incbin names\n"
                "         written in another case than on disk, with '\\' between folders); %d passes\n",
                project.c_str(), shape.files - 2, shape.incbins, shape.folders, with_commas(shape.includes).c_str(),
                with_commas(shape.lines).c_str(), static_cast<double>(shape.source_bytes) / 1e6,
                static_cast<double>(shape.data_bytes) / 1e6, shape.miscased, passes);
    std::printf("goal: under warm Wine, at most %.1f times the native time; file-system calls a small\n"
                "      constant per distinct file (%d here), whatever the number of passes\n",
                kGoalWineOverNative, distinct);

    if (run_in(project, {native, "/p", "main.asm,main.bin"}, work + "/native.txt").exit_code != 0) {
        std::string log;
        tools::read_text(work + "/native.txt", log);
        std::printf("the native assembler failed on the project:\n%s\n", log.substr(0, 2000).c_str());
        return 1;
    }
    fs::copy_file(project + "/main.bin", work + "/native.bin", fs::copy_options::overwrite_existing);
    std::printf("image: %s bytes\n", with_commas(fs::file_size(work + "/native.bin")).c_str());
    bool wine_ran = false;
    const std::string wine_problem = wine.exe.empty() ? "" : check_wine(wine, project, work, wine_ran);
    const Wine* measured = wine_ran ? &wine : nullptr;

    time_runs(native, measured, project, runs);
    if (!wine_problem.empty()) std::printf("%s\n", wine_problem.c_str());
    std::printf("\n2. File-system calls of one run (%d distinct files: sources and incbins)\n\n", distinct);
    count_calls(native, measured, project, "main.asm", passes, work);
    count_calls(native, measured, project, "main2.asm", passes2, work);
    if (measured) count_start(wine, project, work);

    getloadavg(load, 3);
    std::printf("\nload average %.2f at the end; the benchmark took %.0f s\n", load[0],
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    return 0;
}
