#include "process.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tools {

int run(const std::vector<std::string>& argv, const std::string& output_path) {
    return run_measured(argv, output_path).exit_code;
}

Measured run_measured(const std::vector<std::string>& argv, const std::string& output_path) {
    Measured measured;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const char* target = output_path.empty() ? "/dev/null" : output_path.c_str();
    posix_spawn_file_actions_addopen(&actions, 1, target, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return measured;
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) < 0) return measured;
    measured.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    measured.peak_bytes = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;  // Linux counts KiB
    measured.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return measured;
}

Result run_capture(const std::vector<std::string>& argv, const std::string& scratch_path) {
    Result result;
    result.exit_code = run(argv, scratch_path);
    read_text(scratch_path, result.output);
    return result;
}

std::string find_in_path(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}

bool read_file(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool read_text(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool write_text(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

std::string hex_bytes(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (std::size_t i = from; i < to && i < bytes.size(); ++i) {
        if (!s.empty()) s += ' ';
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    return s;
}

}  // namespace tools
