// A stand-in for ASM68k.exe whose behaviour is chosen by the source it is
// given, so that every end-to-end case is just a source text.
//
// It reads "temp.asm" from the current directory and obeys one command per
// line, in order; any other line is ignored, so a real source does no harm.
//
//   print N [zero AT...] [stdout|stderr|both] [piece K] [pause MS]
//       N bytes of the output pattern (patterns.h); the bytes at the given
//       positions become zero.  "both" alternates pieces between standard
//       output and standard error.  Each piece of K bytes is one write,
//       followed by a pause of MS milliseconds when given.
//   text "..." [stdout|stderr]
//       exact bytes; escapes \r \n \t \0 \\ \" and \xHH.
//   empty-write [stderr] one write of zero bytes
//   image HEX...         writes temp.bin with exactly these bytes
//   image-size N         writes temp.bin with N bytes of the image pattern
//   image-empty          writes temp.bin with no bytes
//   no-image             writes nothing (the default); an old temp.bin stays
//   read-stdin           reads standard input to its end, then prints
//                        "stdin: N bytes\n"
//   sleep MS
//   exit N               ends at once with that exit code
//   echo-source          prints temp.asm's bytes unchanged
//   echo-cmdline         prints the command line, then "\n"
//   echo-startup         prints "flags=0x%lX show=%u\n" from its start-up info
//
// Every run also appends its command line as one line to "runs.log", so a
// test can count the runs that happened.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "patterns.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

void WriteAll(HANDLE target, const char* bytes, std::size_t count) {
  while (count > 0) {
    DWORD written = 0;
    if (!WriteFile(target, bytes, static_cast<DWORD>(count), &written, nullptr) || written == 0) return;
    bytes += written;
    count -= written;
  }
}

HANDLE Stdout() { return GetStdHandle(STD_OUTPUT_HANDLE); }
HANDLE Stderr() { return GetStdHandle(STD_ERROR_HANDLE); }

void Print(const std::string& text) { WriteAll(Stdout(), text.data(), text.size()); }

bool ReadWholeFile(const char* name, std::string& content) {
  File file(std::fopen(name, "rb"));
  if (!file) return false;
  char buffer[65536];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) content.append(buffer, got);
  return true;
}

void WriteImage(const std::string& bytes) {
  File file(std::fopen("temp.bin", "wb"));
  if (file) std::fwrite(bytes.data(), 1, bytes.size(), file.get());
}

std::vector<std::string> SplitWords(const std::string& line) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    std::size_t end = at;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
    if (end > at) words.push_back(line.substr(at, end - at));
    at = end;
  }
  return words;
}

bool IsNumber(const std::string& word) {
  return !word.empty() && word.find_first_not_of("0123456789") == std::string::npos;
}

std::size_t Number(const std::string& word) { return std::strtoul(word.c_str(), nullptr, 10); }

// The quoted part of a text command with its escapes resolved; `rest` gets
// what follows the closing quote.
std::string Unquote(const std::string& line, std::string& rest) {
  std::string bytes;
  std::size_t at = line.find('"');
  if (at == std::string::npos) return bytes;
  for (++at; at < line.size() && line[at] != '"'; ++at) {
    if (line[at] != '\\' || at + 1 >= line.size()) {
      bytes += line[at];
      continue;
    }
    char escaped = line[++at];
    switch (escaped) {
      case 'r': bytes += '\r'; break;
      case 'n': bytes += '\n'; break;
      case 't': bytes += '\t'; break;
      case '0': bytes += '\0'; break;
      case 'x':
        bytes += static_cast<char>(std::strtoul(line.substr(at + 1, 2).c_str(), nullptr, 16));
        at += 2;
        break;
      default: bytes += escaped; break;
    }
  }
  rest = at < line.size() ? line.substr(at + 1) : std::string();
  return bytes;
}

void PrintPattern(const std::vector<std::string>& words) {
  std::size_t count = Number(words[1]);
  std::vector<std::size_t> zeros;
  HANDLE first = Stdout(), second = Stdout();
  std::size_t piece = 65536;
  DWORD pause = 0;
  for (std::size_t i = 2; i < words.size(); ++i) {
    if (words[i] == "zero") {
      while (i + 1 < words.size() && IsNumber(words[i + 1])) zeros.push_back(Number(words[++i]));
    } else if (words[i] == "stderr") {
      first = second = Stderr();
    } else if (words[i] == "both") {
      second = Stderr();
      piece = 13;
    } else if (words[i] == "piece" && i + 1 < words.size()) {
      piece = Number(words[++i]);
    } else if (words[i] == "pause" && i + 1 < words.size()) {
      pause = static_cast<DWORD>(Number(words[++i]));
    }
  }
  if (piece == 0) piece = 1;
  std::string bytes(count, '\0');
  for (std::size_t i = 0; i < count; ++i) bytes[i] = OutputPatternByte(i);
  for (std::size_t position : zeros)
    if (position < count) bytes[position] = '\0';
  bool toFirst = true;
  for (std::size_t at = 0; at < count; at += piece) {
    WriteAll(toFirst ? first : second, bytes.data() + at, std::min(piece, count - at));
    toFirst = !toFirst;
    if (pause) Sleep(pause);
  }
}

void Obey(const std::string& line, const std::string& source) {
  std::vector<std::string> words = SplitWords(line);
  if (words.empty()) return;
  const std::string& command = words[0];
  if (command == "print" && words.size() >= 2 && IsNumber(words[1])) {
    PrintPattern(words);
  } else if (command == "text") {
    std::string rest;
    std::string bytes = Unquote(line, rest);
    bool toStderr = rest.find("stderr") != std::string::npos;
    WriteAll(toStderr ? Stderr() : Stdout(), bytes.data(), bytes.size());
  } else if (command == "empty-write") {
    DWORD written = 0;
    WriteFile(line.find("stderr") != std::string::npos ? Stderr() : Stdout(), "", 0, &written, nullptr);
  } else if (command == "image") {
    std::string bytes;
    for (std::size_t i = 1; i < words.size(); ++i)
      bytes += static_cast<char>(std::strtoul(words[i].c_str(), nullptr, 16));
    WriteImage(bytes);
  } else if (command == "image-size" && words.size() >= 2) {
    std::string bytes(Number(words[1]), '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(ImagePatternByte(i));
    WriteImage(bytes);
  } else if (command == "image-empty") {
    WriteImage(std::string());
  } else if (command == "read-stdin") {
    std::size_t total = 0;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) && got > 0)
      total += got;
    Print("stdin: " + std::to_string(total) + " bytes\n");
  } else if (command == "sleep" && words.size() >= 2) {
    Sleep(static_cast<DWORD>(Number(words[1])));
  } else if (command == "exit" && words.size() >= 2) {
    ExitProcess(static_cast<UINT>(Number(words[1])));
  } else if (command == "echo-source") {
    Print(source);
  } else if (command == "echo-cmdline") {
    Print(std::string(GetCommandLineA()) + "\n");
  } else if (command == "echo-startup") {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    char line[64];
    std::snprintf(line, sizeof line, "flags=0x%lX show=%u\n", startup.dwFlags,
                  static_cast<unsigned>(startup.wShowWindow));
    Print(line);
  }
}

void RecordRun() {
  File log(std::fopen("runs.log", "ab"));
  if (log) std::fprintf(log.get(), "%s\n", GetCommandLineA());
}

}  // namespace

int main() {
  RecordRun();
  std::string source;
  if (!ReadWholeFile("temp.asm", source)) {
    Print("double: can't read temp.asm\n");
    return 1;
  }
  std::size_t start = 0;
  while (start < source.size()) {
    std::size_t end = source.find('\n', start);
    if (end == std::string::npos) end = source.size();
    std::string line = source.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    Obey(line, source);
    start = end + 1;
  }
  return 0;
}
