// Starting the external tools (GNU as, ld, objcopy, nm, our assembler) and
// small file helpers shared by the differential test and the benchmark.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

struct Result {
    int exit_code = -1;   // -1 when the program could not be started or was killed
    std::string output;   // standard output and standard error together
};

// Runs argv[0] (looked up in PATH when it has no slash) with its output sent
// to `output_path` (or /dev/null when empty), and waits for it.
int run(const std::vector<std::string>& argv, const std::string& output_path = "");

// What one run cost, for the benchmark.
struct Measured {
    int exit_code = -1;
    double seconds = 0;            // wall time from the start to the exit
    std::uint64_t peak_bytes = 0;  // the child's largest resident set (max RSS)
};

// Same as run(), measured. The kernel starts a child's max RSS from the peak
// of the process that started it, so a caller that wants the child's own
// figure keeps its own peak small.
Measured run_measured(const std::vector<std::string>& argv, const std::string& output_path = "");

// Same, but returns the output as text.
Result run_capture(const std::vector<std::string>& argv, const std::string& scratch_path);

// The full path of `name` in PATH, or empty when absent.
std::string find_in_path(const std::string& name);

bool read_file(const std::string& path, std::vector<std::uint8_t>& bytes);
bool read_text(const std::string& path, std::string& text);
bool write_text(const std::string& path, const std::string& text);

std::string hex_bytes(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to);

}  // namespace tools
