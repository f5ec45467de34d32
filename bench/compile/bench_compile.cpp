// How long a press of Compile takes, from the click to the report in the
// output pane, for large images and for a large amount of assembler output;
// and how fast the hex dump is on its own.  Prints a table; asserts nothing.
//
// Runs the real program under the stand-in assembler (tests/double), so the
// figures include writing temp.asm, starting the assembler, its writing the
// image or printing, draining the pipe, reading temp.bin, the dump and
// setting the pane's text.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "harness.h"
#include "report.h"

namespace {

const int kRepeats = 5;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// One click, timed until the output pane holds a text of the report's length.
double TimeOneCompile(e2e::Program& program, std::size_t reportLength) {
  e2e::Deadline deadline(120000);
  e2e::SetPaneText(program.output, e2e::kNoReportYet, deadline);
  const auto waitingLength = static_cast<std::size_t>(std::wcslen(e2e::kNoReportYet));
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  PostMessageW(program.compile, BM_CLICK, 0, 0);
  // While the run blocks the dialog this message waits for it, so the answer
  // comes as soon as the report has been set.
  std::size_t length;
  while ((length = static_cast<std::size_t>(
              e2e::SendWithin(program.output, WM_GETTEXTLENGTH, 0, 0, deadline))) == waitingLength)
    Sleep(0);
  QueryPerformanceCounter(&end);
  if (length != reportLength)
    throw e2e::HarnessError("report of " + std::to_string(length) + " characters, expected " +
                            std::to_string(reportLength));
  return Seconds(start, end);
}

struct CompileCase {
  const char* name;
  std::wstring source;
  std::size_t reportLength;
};

void PrintCompileTimes(const CompileCase& compileCase) {
  e2e::Deadline deadline(60000);
  e2e::WorkFolder folder;
  e2e::Program program;
  e2e::StartProgram(folder, e2e::Assembler::Double, program, deadline);
  e2e::SetPaneText(program.source, compileCase.source, deadline);
  TimeOneCompile(program, compileCase.reportLength);  // warms the file cache
  std::vector<double> times;
  for (int i = 0; i < kRepeats; ++i) times.push_back(TimeOneCompile(program, compileCase.reportLength));
  std::sort(times.begin(), times.end());
  std::printf("| %-28s | %5d | %9.1f | %9.1f |\n", compileCase.name, kRepeats, times.front() * 1000,
              times[times.size() / 2] * 1000);
  std::fflush(stdout);
}

void PrintHexDumpThroughput() {
  const std::size_t kSize = 16 << 20;
  std::vector<unsigned char> image(kSize);
  for (std::size_t i = 0; i < kSize; ++i) image[i] = static_cast<unsigned char>(i * 37 + (i >> 8));
  double best = 1e9;
  std::size_t checkLength = 0;
  for (int i = 0; i < kRepeats; ++i) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    auto dump = FormatHexDump(image.data(), image.size());
    QueryPerformanceCounter(&end);
    checkLength = dump.size();
    best = std::min(best, Seconds(start, end));
  }
  std::printf("\nHex dump alone (FormatHexDump), %zu MiB image -> %zu characters, best of %d:\n",
              kSize >> 20, checkLength, kRepeats);
  std::printf("  %.1f ms, %.0f MB/s of image bytes (%.0f MB/s of UTF-16 text written)\n", best * 1000,
              kSize / best / 1e6, checkLength * sizeof(wchar_t) / best / 1e6);
}

}  // namespace

int main() {
  const std::size_t kib = 1024, mib = 1024 * 1024;
  const CompileCase cases[] = {
      {"image 64 KiB", L"image-size " + std::to_wstring(64 * kib) + L"\r\n", 3 * 64 * kib + 2},
      {"image 1 MiB", L"image-size " + std::to_wstring(mib) + L"\r\n", 3 * mib + 2},
      {"image 4 MiB", L"image-size " + std::to_wstring(4 * mib) + L"\r\n", 3 * 4 * mib + 2},
      {"5 MiB of assembler output", L"image 01\r\nprint " + std::to_wstring(5 * mib) + L"\r\n",
       3 + 2 + 5 * mib},
  };
  try {
    std::printf("Compile click to report in the pane (stand-in assembler), milliseconds:\n\n");
    std::printf("| %-28s | %5s | %9s | %9s |\n", "case", "runs", "best", "median");
    std::printf("|%s|%s|%s|%s|\n", std::string(30, '-').c_str(), std::string(7, '-').c_str(),
                std::string(11, '-').c_str(), std::string(11, '-').c_str());
    for (const CompileCase& compileCase : cases) PrintCompileTimes(compileCase);
    PrintHexDumpThroughput();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_compile: %s\n", error.what());
    return 1;
  }
  return 0;
}
