#include "command_line_items.h"

#include <memory>
#include <utility>

namespace asm68k {

void AddCommandLineItem(Assembly& assembly, std::string name, std::string line) {
  size_t lineEnd = line.find_first_of("\r\n");
  if (lineEnd != std::string::npos) line.resize(lineEnd);  // one line, whatever it was given
  auto file = std::make_unique<SourceFile>();
  file->name = std::move(name);
  file->text.file = static_cast<uint32_t>(assembly.files.size());
  file->text.text = std::move(line);
  IndexLines(file->text, assembly.linesToIndex);
  assembly.files.push_back(std::move(file));
  ++assembly.commandLineFiles;
}

void StartCommandLineItems(Assembly& assembly, LineSource& source) {
  source.includeDirs = assembly.includeDirs;
  source.includeDirsSeen.insert(assembly.includeDirs.begin(), assembly.includeDirs.end());
  // The first item on top: it runs first.
  for (uint32_t file = assembly.commandLineFiles; file >= 1; --file) {
    Frame frame;
    frame.kind = Frame::File;
    frame.text = &assembly.files[file]->text;
    frame.end = static_cast<uint32_t>(frame.text->lines.size());
    PushFrame(source, std::move(frame));
  }
}

std::string FormatItemMessage(const Assembly& assembly, const Message& message) {
  std::string shown = FormatMessage(assembly.files[message.file]->name, message.line,
                                    message.severity, message.text, message.context);
  // The same without the name tells where the name ends, however it was shown.
  std::string tail =
      FormatMessage(std::string(), message.line, message.severity, message.text, message.context);
  size_t number = std::to_string(message.line).size() + 1;  // ":1"
  return shown.substr(0, shown.size() - tail.size()) + tail.substr(number);
}

}  // namespace asm68k
