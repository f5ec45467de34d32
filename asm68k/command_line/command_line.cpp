#include "command_line.h"

#include <filesystem>
#include <new>
#include <stdexcept>
#include <vector>

#include "assembly.h"
#include "image.h"
#include "messages.h"
#include "source.h"

namespace asm68k {

namespace {

bool IsSwitch(const std::string& argument) {
  return argument.size() >= 2 && (argument[0] == '/' || argument[0] == '-');
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trimmed(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool HasControlCharacter(const std::string& text) {
  for (char c : text) {
    if (static_cast<uint8_t>(c) < 0x20 || c == 0x7F) return true;
  }
  return false;
}

// NAME=VALUE[;NAME=VALUE...], NAME alone meaning NAME=1. A ';' inside quotes
// belongs to the value.
bool ParseEquates(const std::string& text, std::vector<Equate>& equates, std::string& error) {
  std::vector<std::string> items(1);
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == ';') {
      items.emplace_back();
      continue;
    }
    items.back() += c;
    if (c == '\'' || c == '"') {
      size_t close = text.find(c, i + 1);
      if (close == std::string::npos) close = text.size() - 1;
      items.back().append(text, i + 1, close - i);
      i = close;
    }
  }
  size_t found = 0;
  for (const std::string& item : items) {
    if (item.empty()) continue;
    ++found;
    size_t equals = item.find('=');
    Equate equate;
    equate.name = item.substr(0, equals);
    equate.value = equals == std::string::npos ? "1" : item.substr(equals + 1);
    bool isName = !equate.name.empty() && IsIdentStart(equate.name[0]) && !IsLocalName(equate.name);
    for (size_t k = 1; k < equate.name.size(); ++k) isName = isName && IsIdentChar(equate.name[k]);
    if (!isName) {
      error = "'" + equate.name + "' is not a name for an equate";
      return false;
    }
    if (Trimmed(equate.value).empty()) {
      error = "'" + item + "' gives " + equate.name + " no value";
      return false;
    }
    if (HasControlCharacter(equate.value)) {
      error = "the value of " + equate.name + " holds a control character";
      return false;
    }
    equates.push_back(std::move(equate));
  }
  if (found == 0) error = "needs NAME=VALUE";
  return found > 0;
}

bool SamePath(const std::string& a, const std::string& b) {
  return std::filesystem::path(a).lexically_normal() == std::filesystem::path(b).lexically_normal();
}

// SOURCE,OUTPUT[,SYMBOLS[,LISTING]]; blanks around a field are ignored, and
// an empty SYMBOLS or LISTING means none.
bool SplitFileList(const std::string& list, CommandLine& line, std::string& error) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t comma = list.find(',', start);
    fields.push_back(Trimmed(list.substr(start, comma - start)));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  const std::string shown = "the file list '" + list + "'";
  if (fields.size() > 4) {
    error = shown + " has more fields than SOURCE,OUTPUT,SYMBOLS,LISTING";
  } else if (fields[0].empty()) {
    error = shown + " names no SOURCE";
  } else if (fields.size() < 2 || fields[1].empty()) {
    error = shown + " names no OUTPUT (the files are separated by commas)";
  }
  // One file can't take two results (the identities of existing files are
  // compared again before writing).
  const char* kinds[] = {"SOURCE", "OUTPUT", "SYMBOLS", "LISTING"};
  for (size_t i = 2; i < fields.size() && error.empty(); ++i) {
    for (size_t j = 1; j < i && error.empty(); ++j) {
      if (!fields[i].empty() && SamePath(fields[i], fields[j])) {
        error = shown + " names '" + fields[i] + "' as both " + kinds[j] + " and " + kinds[i];
      }
    }
  }
  if (!error.empty()) return false;
  line.source = fields[0];
  line.output = fields[1];
  if (fields.size() > 2) line.symbols = fields[2];
  if (fields.size() > 3) line.listing = fields[3];
  return true;
}

// What a switch asks for that this assembler doesn't make: one error line,
// without the usage line, names the switch.
const char* OutputNotMade(const std::string& name) {
  if (name == "l") return "linkable object files";
  if (name == "sdb") return "debugger object files";
  return nullptr;
}

// The flags of /o FLAGS (`shown` as the command line wrote them), kept for
// the opt line they make.
bool ParseOptFlags(const std::string& shown, const std::string& value, CommandLine& line,
                   std::string& error) {
  // Its flags are an opt line's operand: no blank, comment or line break may end it early.
  bool plain = !value.empty() && !HasControlCharacter(value);
  for (char c : value) plain = plain && !IsBlank(c) && c != ';';
  if (!plain) {
    error = shown + ": opt flags are FLAG[,FLAG...] without blanks";
    return false;
  }
  line.options.opts.push_back(value);
  return true;
}

// A switch at argv[i]; one that takes a value takes the next argument,
// moving `i` past it. False with `error` set when it is unknown or its
// value is malformed, and `notMade` set too when it asks for an output this
// assembler doesn't make.
bool ParseSwitch(int argc, const char* const* argv, int& i, CommandLine& line, bool& binary,
                 bool& notMade, std::string& error) {
  const std::string argument = argv[i];
  const std::string name = ToLowerCopy(argument.substr(1));
  if (name == "p") {
    binary = true;
    return true;
  }
  if (name == "q") {
    line.quiet = true;
    return true;
  }
  if (name == "symtext") {
    line.options.textSymbols = true;
    return true;
  }
  if (name == "symlines") {
    line.options.sourceLines = true;
    return true;
  }
  // Switches build scripts pass, which would change nothing in an image,
  // symbol file or listing made here (macro expansions, which /m asks to
  // list, are always listed).
  for (const char* accepted : {"k", "m", "c", "w", "g", "z", "zd", "i", "d"}) {
    if (name == accepted) return true;
  }
  // "/oos+" is "/o os+": build scripts write an option's flag against the
  // /o, one switch a flag.
  if (name.size() > 1 && name[0] == 'o') {
    return ParseOptFlags(argument, argument.substr(2), line, error);
  }
  if (const char* output = OutputNotMade(name)) {
    notMade = true;
    error = argument + " asks for " + output +
            ", which ASM68k does not make: it writes the binary image (/p), its symbols and "
            "its listing";
    return false;
  }
  const char* wants = name == "e"      ? "NAME=VALUE"
                      : name == "j"    ? "a folder"
                      : name == "o"    ? "opt flags"
                      : name == "dmax" ? "a number"
                                       : nullptr;
  if (!wants) {
    error = "unknown switch '" + argument + "'";
    return false;
  }
  if (i + 1 >= argc) {
    error = argument + " needs " + wants + " after it";
    return false;
  }
  std::string value = argv[++i];
  const std::string shown = argument + " " + value;
  if (name == "e") {
    if (!ParseEquates(value, line.options.equates, error)) {
      error = shown + ": " + error;
      return false;
    }
  } else if (name == "j") {
    if (value.empty() || HasControlCharacter(value)) {
      error = shown + ": not a folder";
      return false;
    }
    // Sega CD build scripts write the folder as a pattern of its files
    // ("include\*", "_inc*", ".*"): the folder is what stands before the '*'.
    if (value.size() > 1 && value.back() == '*') {
      value.pop_back();
      if (value.size() > 1 && (value.back() == '\\' || value.back() == '/')) value.pop_back();
    }
    line.options.includeDirs.push_back(value);
  } else if (name == "o") {
    return ParseOptFlags(shown, value, line, error);
  } else {
    bool number = !value.empty();
    for (char c : value) number = number && IsDigit(c);
    if (!number) {
      error = shown + ": needs a number";
      return false;
    }
  }
  return true;
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
  CommandLine line;
  std::string error;  // the first problem, in the order of the arguments
  bool binary = false;
  std::string list;
  bool listSeen = false;
  bool listOpen = false;  // the last piece of the list ended with a comma
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    bool continues = listOpen || (listSeen && !argument.empty() && argument[0] == ',');
    if (!continues && IsSwitch(argument) && argument.find(',') == std::string::npos) {
      std::string problem;
      bool notMade = false;
      if (!ParseSwitch(argc, argv, i, line, binary, notMade, problem) && error.empty()) {
        error = problem;
        line.showUsage = !notMade;
      }
      continue;
    }
    if (!continues && listSeen) {
      if (error.empty()) {
        error = "unexpected '" + argument + "' after the file list '" + list +
                "' (the files are separated by commas)";
      }
      continue;
    }
    list += argument;
    listSeen = true;
    if (!argument.empty()) listOpen = argument.back() == ',';
  }
  std::string listError;
  if (!listSeen) {
    listError = "no SOURCE,OUTPUT given";
  } else {
    SplitFileList(list, line, listError);  // names no file unless the whole list is well formed
  }
  if (error.empty()) error = listError;
  if (error.empty() && !binary) {
    error = "/p is missing: it asks for the binary image, the only format";
  }
  if (error.empty() && line.options.sourceLines && line.options.textSymbols) {
    error = "/symlines adds source lines to the binary symbol file, and /symtext asks for text";
  }
  line.valid = error.empty();
  line.error = error;
  line.options.symbols = !line.symbols.empty();
  line.options.listing = !line.listing.empty();
  line.options.outputs = {line.output, line.symbols, line.listing};
  return line;
}

namespace {

// Written whole with fwrite: text with a NUL in it must not end early.
void Print(std::FILE* out, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), out);
}

// Whether `path` is an input of this run: the source, or a file the source
// names as an include or incbin (read, or refused for its size), compared
// by identity however the paths are spelled (as the run's reader knows
// them: a path it opened is not asked again).
bool IsInput(DiskFiles& files, const std::string& path, const std::string& source) {
  FileId output, id;
  if (files.Identify(path, output) != ReadResult::Ok) return false;
  if (files.named.count(output) > 0) return true;
  return files.Identify(source, id) == ReadResult::Ok && id == output;
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

// The files a run writes, with what goes in them: the image, and the
// symbols and listing when asked for.
struct Result {
  const std::string* path;
  const char* what;  // for messages: "output", "symbols", "listing"
  const uint8_t* data;
  size_t size;
  uint64_t zeros = 0;  // after the data (the image's zeros past its bytes)
};

std::vector<Result> ResultFiles(const CommandLine& line, const AssemblyResult& assembled) {
  auto bytes = [](const std::string& text) {
    return reinterpret_cast<const uint8_t*>(text.data());
  };
  std::vector<Result> results;
  if (!line.output.empty()) {
    results.push_back({&line.output, "output", assembled.image.data(), assembled.image.size(),
                       assembled.imageZeros});
  }
  if (!line.symbols.empty()) {
    results.push_back(
        {&line.symbols, "symbols", bytes(assembled.symbols), assembled.symbols.size()});
  }
  if (!line.listing.empty()) {
    results.push_back(
        {&line.listing, "listing", bytes(assembled.listing), assembled.listing.size()});
  }
  return results;
}

// A failed run leaves no image, symbols or listing that could pass for its
// result: each one it would write is removed (emptied, where it can't be),
// but only a regular file, and never one it reads.
void RemoveResults(DiskFiles& files, const CommandLine& line) {
  for (const Result& result : ResultFiles(line, AssemblyResult())) {
    if (!IsInput(files, *result.path, line.source)) RemoveRegularFile(*result.path);
  }
}

std::string NotRegularRefusal(const std::string& path) {
  return FormatFileMessage(path,
                           "is not a regular file (a folder, a FIFO or a device); nothing was written");
}

// Writes the image, the symbols and the listing, or refuses: a file the run
// reads is never written, nor one file twice under two names, nor anything
// but a regular file. Returns a message for each refusal. After errors in
// the source, or a refusal, the results are removed instead.
std::vector<std::string> WriteResults(DiskFiles& files, const CommandLine& line,
                                      const AssemblyResult& assembled) {
  std::vector<std::string> refusals;
  const std::vector<Result> results = ResultFiles(line, assembled);
  if (!assembled.inputsKnown) {
    // Any of them might be a file the source names: none is touched.
    for (const Result& result : results) {
      refusals.push_back(FormatFileMessage(
          *result.path, "was left as it was: the files the source names could not all be "
                        "looked at"));
    }
    return refusals;
  }
  for (const Result& result : results) {
    if (IsInput(files, *result.path, line.source)) {
      refusals.push_back(FormatFileMessage(
          *result.path,
          "is a file this run reads (the source, an include or an incbin); it was left as it was"));
    }
  }
  const bool failed = assembled.errors > 0;
  std::vector<std::pair<FileId, const Result*>> written;
  for (size_t i = 0; refusals.empty() && i < results.size(); ++i) {
    const Result& result = results[i];
    FileId id;
    const ReadResult found = IdentifyOnDisk(*result.path, id);
    if (failed) {
      if (found == ReadResult::NotRegular) refusals.push_back(NotRegularRefusal(*result.path));
      continue;
    }
    bool exists = found == ReadResult::Ok;
    for (const auto& [other, earlier] : written) {
      if (exists && other == id) {
        refusals.push_back(FormatFileMessage(*result.path, "is the same file as " + *earlier->path +
                                                               ", the " + earlier->what + " file"));
      }
    }
    if (!refusals.empty()) break;
    switch (WriteWholeFile(*result.path, result.data, result.size, result.zeros)) {
      case WriteResult::Ok:
        if (IdentifyOnDisk(*result.path, id) == ReadResult::Ok) written.push_back({id, &result});
        break;
      case WriteResult::NotRegular:
        refusals.push_back(NotRegularRefusal(*result.path));
        break;
      case WriteResult::Failed:
        refusals.push_back(FormatFileMessage(
            *result.path, std::string("cannot write the ") + result.what + " file"));
        break;
    }
  }
  if (failed || !refusals.empty()) RemoveResults(files, line);
  return refusals;
}

int Run(const CommandLine& line, DiskFiles& files, std::FILE* out) {
  if (!line.valid) {
    // Nothing is removed: the source was not read, so the files it names
    // are not known, and none of them may be touched.
    std::string text = FormatFileMessage("ASM68k", line.error) + "\n";
    if (line.showUsage) text += std::string(kUsage) + "\n";
    Print(out, text);
    return 2;
  }
  std::string source;
  ReadResult read = files.Read(line.source, kMaxSourceBytes, source);
  if (read != ReadResult::Ok) {
    RemoveResults(files, line);
    Print(out, FormatFileMessage(line.source, SourceRefusal(read)) + "\n" +
                   FormatSummary(1, 0, false, 0) + "\n");
    return 2;
  }
  AssemblyResult result = AssembleText(std::move(source), line.source, files, line.options);
  std::string text;
  for (const std::string& message : result.messages) {
    text += message;
    text += '\n';
  }
  std::vector<std::string> refusals = WriteResults(files, line, result);
  for (const std::string& refusal : refusals) text += refusal + "\n";
  // What was not shown, then the counts of everything.
  if (!result.notShown.empty()) text += result.notShown + "\n";
  if (!refusals.empty()) {
    text += FormatSummary(static_cast<uint64_t>(result.errors) + refusals.size(),
                          static_cast<uint64_t>(result.warnings), false, 0) +
            "\n";
    Print(out, text);
    return 2;
  }
  // Quiet: a run without errors shows its warnings only.
  if (!line.quiet || result.errors > 0) {
    text += result.summary;
    text += '\n';
  }
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
  // room to say so; if not even that, a fixed line. The source was not read
  // to its end, so the files it names are not all known: the outputs, any
  // of which might be one, are left as they are.
  try {
    Print(out, FormatFileMessage(line.source.empty() ? "ASM68k" : line.source,
                                 "not enough memory to assemble this source; the output files "
                                 "were left as they were") +
                   "\n" + FormatSummary(1, 0, false, 0) + "\n");
  } catch (const std::exception&) {
    std::fputs("ASM68k: error: not enough memory\n", out);
  }
  return 2;
}

}  // namespace asm68k
