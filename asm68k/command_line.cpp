#include "command_line.h"

#include "assembler.h"
#include "assembly.h"
#include "image.h"
#include "messages.h"

namespace asm68k {

CommandLine ParseCommandLine(int argc, const char* const* argv) {
  CommandLine line;
  bool binary = false;
  bool pairSeen = false;
  bool malformed = false;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    size_t comma = argument.find(',');
    if (comma != std::string::npos) {
      if (pairSeen) malformed = true;
      pairSeen = true;
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
  line.valid = binary && pairSeen && !malformed;
  return line;
}

namespace {

// Written whole with fwrite: text with a NUL in it must not end early.
void Print(std::FILE* out, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), out);
}

}  // namespace

int RunAssembler(int argc, const char* const* argv, std::FILE* out) {
  CommandLine line = ParseCommandLine(argc, argv);
  std::string text;
  if (!line.valid) {
    // Never leave an old image behind that could pass for this run's result.
    if (!line.output.empty()) WriteImageFile(line.output, nullptr, 0);
    std::fprintf(out, "%s\n", kUsage);
    return 2;
  }
  DiskFiles files;
  std::string source;
  if (files.Read(line.source, kMaxSourceBytes, source) != ReadResult::Ok) {
    WriteImageFile(line.output, nullptr, 0);
    text = FormatFileMessage(line.source, "cannot read the source file") + "\n" +
           FormatSummary(1, 0, false, false, 0) + "\n";
    Print(out, text);
    return 2;
  }
  AssemblyResult result = AssembleText(std::move(source), line.source, files);
  for (const std::string& message : result.messages) {
    text += message;
    text += '\n';
  }
  if (!WriteImageFile(line.output, result.image.data(), result.image.size())) {
    text += FormatFileMessage(line.output, "cannot write the output file") + "\n" +
            FormatSummary(result.errors + 1, result.warnings, false, false, 0) + "\n";
    Print(out, text);
    return 2;
  }
  text += result.summary;
  text += '\n';
  Print(out, text);
  return result.errors == 0 ? 0 : 1;
}

}  // namespace asm68k
