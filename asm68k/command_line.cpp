#include "command_line.h"

#include <new>
#include <stdexcept>

#include "assembler.h"
#include "assembly.h"
#include "image.h"
#include "messages.h"

namespace asm68k {

CommandLine ParseCommandLine(int argc, const char* const* argv) {
  CommandLine line;
  bool binary = false;
  int pairs = 0;
  bool malformed = false;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    size_t comma = argument.find(',');
    if (comma != std::string::npos) {
      ++pairs;
      line.source = argument.substr(0, comma);
      line.output = argument.substr(comma + 1);
      if (line.source.empty() || line.output.empty() ||
          line.output.find(',') != std::string::npos) {
        malformed = true;
      }
      continue;
    }
    if (argument.size() >= 2 && (argument[0] == '/' || argument[0] == '-')) {
      std::string option = ToLowerCopy(argument.substr(1));
      if (option == "p") {
        binary = true;
        continue;
      }
    }
    malformed = true;  // an unknown option or a stray word
  }
  line.valid = binary && pairs == 1 && !malformed;
  // Without one well-formed pair nothing names the output for certain.
  if (pairs != 1 || line.source.empty() || line.output.empty() ||
      line.output.find(',') != std::string::npos) {
    line.source.clear();
    line.output.clear();
  }
  return line;
}

namespace {

// Written whole with fwrite: text with a NUL in it must not end early.
void Print(std::FILE* out, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), out);
}

// Whether `path` is an input of this run: the source, or a file the source
// names as an include or incbin (read, or refused for its size), compared
// by identity however the paths are spelled.
bool IsInput(const DiskFiles& files, const std::string& path, const std::string& source) {
  FileId output, id;
  if (IdentifyOnDisk(path, output) != ReadResult::Ok) return false;
  if (files.named.count(output) > 0) return true;
  return IdentifyOnDisk(source, id) == ReadResult::Ok && id == output;
}

// A failed run leaves no old image that could pass for its result, but it
// creates no file, and never empties an input or anything but a regular file.
void EmptyOldImage(const DiskFiles& files, const CommandLine& line) {
  FileId id;
  if (!line.output.empty() && IdentifyOnDisk(line.output, id) == ReadResult::Ok &&
      !IsInput(files, line.output, line.source)) {
    WriteWholeFile(line.output, nullptr, 0);
  }
}

const char* SourceRefusal(ReadResult read) {
  switch (read) {
    case ReadResult::TooLarge:
      return "the source file is larger than 256 MiB";
    case ReadResult::NotRegular:
      return "the source is not a regular file (a folder, a FIFO or a device): it was not read";
    default:
      return "cannot read the source file";
  }
}

int Run(const CommandLine& line, DiskFiles& files, std::FILE* out) {
  if (!line.valid) {
    EmptyOldImage(files, line);
    Print(out, std::string(kUsage) + "\n");
    return 2;
  }
  std::string source;
  ReadResult read = files.Read(line.source, kMaxSourceBytes, source);
  if (read != ReadResult::Ok) {
    EmptyOldImage(files, line);
    Print(out, FormatFileMessage(line.source, SourceRefusal(read)) + "\n" +
                   FormatSummary(1, 0, false, 0) + "\n");
    return 2;
  }
  AssemblyResult result = AssembleText(std::move(source), line.source, files);
  std::string text;
  for (const std::string& message : result.messages) {
    text += message;
    text += '\n';
  }
  const char* refusal = nullptr;
  if (IsInput(files, line.output, line.source)) {
    refusal =
        "is a file this run reads (the source, an include or an incbin); it was left as it was";
  } else {
    switch (WriteWholeFile(line.output, result.image.data(), result.image.size())) {
      case WriteResult::Ok:
        break;
      case WriteResult::NotRegular:
        refusal = "is not a regular file (a folder, a FIFO or a device); nothing was written";
        break;
      case WriteResult::Failed:
        refusal = "cannot write the output file";
        break;
    }
  }
  if (refusal) text += FormatFileMessage(line.output, refusal) + "\n";
  // What was not shown, then the counts of everything.
  if (!result.notShown.empty()) text += result.notShown + "\n";
  if (refusal) {
    text += FormatSummary(static_cast<uint64_t>(result.errors) + 1,
                          static_cast<uint64_t>(result.warnings), false, 0) +
            "\n";
    Print(out, text);
    return 2;
  }
  text += result.summary;
  text += '\n';
  Print(out, text);
  return result.errors == 0 ? 0 : 1;
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::FILE* out) {
  CommandLine line;
  DiskFiles files;
  try {
    line = ParseCommandLine(argc, argv);
    return Run(line, files, out);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {  // a request too large to make at all
  }
  // Out of memory. The frames that held the memory are gone, so there is
  // room to say so; if not even that, a fixed line.
  try {
    EmptyOldImage(files, line);
    Print(out, FormatFileMessage(line.source.empty() ? "ASM68k" : line.source,
                                 "not enough memory to assemble this source") +
                   "\n" + FormatSummary(1, 0, false, 0) + "\n");
  } catch (const std::exception&) {
    std::fputs("ASM68k: error: not enough memory\n", out);
  }
  return 2;
}

}  // namespace asm68k
