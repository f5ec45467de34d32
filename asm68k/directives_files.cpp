#include "directive_families.h"

#include <vector>

#include "directive_support.h"
#include "line_source.h"

namespace asm68k {

namespace {

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool IsAbsolutePath(const std::string& path) {
  if (path.empty()) return false;
  if (path[0] == '/' || path[0] == '\\') return true;
  return path.size() > 1 && path[1] == ':';
}

// The file at `path` if there is one: read the first time, else the one
// read before under any spelling. Null, with `result` saying why, otherwise.
SourceFile* Load(Assembly& assembly, const std::string& name, const std::string& path,
                 uint64_t limit, ReadResult& result) {
  FileId id;
  result = ReadResult::Missing;
  if (!assembly.reader->Identify(path, id)) return nullptr;
  auto known = assembly.fileById.find(id);
  if (known != assembly.fileById.end()) {
    SourceFile* file = assembly.files[known->second].get();
    result = file->text.text.size() > limit ? ReadResult::TooLarge : ReadResult::Ok;
    return result == ReadResult::Ok ? file : nullptr;
  }
  auto file = std::make_unique<SourceFile>();
  result = assembly.reader->Read(path, limit, file->text.text);
  if (result != ReadResult::Ok) return nullptr;
  file->name = name;
  file->path = path;
  file->text.file = static_cast<uint32_t>(assembly.files.size());
  assembly.fileById.emplace(id, file->text.file);
  assembly.files.push_back(std::move(file));
  return assembly.files.back().get();
}

}  // namespace

bool ParseNamedFile(DirectiveParse& p, std::string& error) {
  std::string name;
  if (!ParseFileName(p.operands, name, error)) {
    error = std::string(p.name) + ": " + error;
    return false;
  }
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = 1;
  p.store.operands.push_back(TextOperand(p.store, name));
  return true;
}

// incbin "FILE"[,OFFSET[,LENGTH]]
bool ParseIncbin(DirectiveParse& p, std::string& error) {
  std::vector<TextRange> items;
  if (!SplitOperands(p.operands.begin, p.operands.end, items, error)) return false;
  std::string name;
  if (items.empty() || !ParseFileName(items[0], name, error)) {
    error = "incbin: " + (items.empty() ? std::string("missing file name") : error);
    return false;
  }
  if (items.size() > 3) {
    error = "incbin takes a file name, an offset and a length";
    return false;
  }
  p.statement.firstOperand = static_cast<uint32_t>(p.store.operands.size());
  p.statement.operandCount = static_cast<uint16_t>(items.size());
  p.store.operands.push_back(TextOperand(p.store, name));
  for (size_t i = 1; i < items.size(); ++i) {
    Operand operand;
    if (!ParseValue(items[i], p.parser, "incbin", operand.expr, error)) return false;
    p.store.operands.push_back(operand);
  }
  return true;
}

void RunIncbin(PassState& state, const Statement& statement) {
  const Operand* ops = StatementOperands(state, statement);
  std::string name(OperandText(*state.store, ops[0]));
  // Offset and length first: evaluating can't move the operands afterwards.
  EvalResult offset, length;
  if (statement.operandCount > 1) offset = EvaluateExpr(state, ops[1].expr);
  if (statement.operandCount > 2) length = EvaluateExpr(state, ops[2].expr);
  if (!PlacesBytes(state, "incbin")) return;
  // Every incbin lands in the image: a file that can't fit is refused before it is read.
  ReadResult result;
  SourceFile* file = LoadFile(*state.assembly, name, state.file, state.lines->includeDirs,
                              kMaxImageSize, result);
  if (!file) {
    PassError(state, result == ReadResult::Missing
                         ? "cannot open incbin file '" + name + "'"
                         : "incbin file '" + name + "' would make the image larger than 16 MiB");
    return;
  }
  const std::string& bytes = file->text.text;
  uint64_t from = 0, count = bytes.size();
  if (statement.operandCount > 1) {
    if (!offset.valid) return;
    if (offset.value < 0 || static_cast<uint64_t>(offset.value) > bytes.size()) {
      PassError(state, "incbin offset " + std::to_string(offset.value) + " is outside '" + name +
                           "' (" + std::to_string(bytes.size()) + " bytes)");
      return;
    }
    from = static_cast<uint64_t>(offset.value);
    count = bytes.size() - from;
  }
  if (statement.operandCount > 2) {
    if (!length.valid) return;
    if (length.value < 0 || static_cast<uint64_t>(length.value) > count) {
      PassError(state, "incbin length " + std::to_string(length.value) + " runs past the end of '" +
                           name + "' (" + std::to_string(count) + " bytes from the offset)");
      return;
    }
    count = static_cast<uint64_t>(length.value);
  }
  if (state.image.placed + count > kMaxImageSize) {
    PassError(state, "incbin file '" + name + "' would make the image larger than 16 MiB");
    return;
  }
  EmitBytes(state, reinterpret_cast<const uint8_t*>(bytes.data()) + from, count);
}

void RunIncdir(PassState& state, const Statement& statement) {
  state.lines->includeDirs.emplace_back(
      OperandText(*state.store, StatementOperands(state, statement)[0]));
}
void RunInclude(PassState& state, const Statement& statement) {
  LineSource& source = *state.lines;
  std::string name(OperandText(*state.store, StatementOperands(state, statement)[0]));
  if (++source.includes > kMaxIncludes) {
    PassError(state, "more than " + std::to_string(kMaxIncludes) + " includes in all" +
                         IncludeChain(state));
    state.fatal = true;
    source.Stop();
    return;
  }
  ReadResult result;
  SourceFile* file =
      LoadFile(*state.assembly, name, state.file, source.includeDirs, kMaxSourceBytes, result);
  if (!file) {
    PassError(state, result == ReadResult::Missing
                         ? "cannot open include file '" + name + "'"
                         : "include file '" + name + "' is larger than 256 MiB");
    return;
  }
  for (const Frame& frame : source.frames) {
    if (frame.text == &file->text) {
      PassError(state, "'" + name + "' includes itself" + IncludeChain(state));
      return;
    }
  }
  source.sourceEntered += file->text.text.size();
  if (source.sourceEntered > kMaxSourceBytes) {
    PassError(state, "more than 256 MiB of source text to read in all" + IncludeChain(state));
    state.fatal = true;
    source.Stop();
    return;
  }
  if (NestTooDeep(state)) return;
  if (!file->text.indexed) IndexLines(file->text);
  Frame frame;
  frame.kind = Frame::Include;
  frame.text = &file->text;
  frame.end = static_cast<uint32_t>(file->text.lines.size());
  frame.conditionals = source.conditionals.size();
  frame.callFile = state.file;
  frame.callLine = state.line;
  source.frames.push_back(std::move(frame));
}

SourceFile* LoadFile(Assembly& assembly, const std::string& name, uint32_t includer,
                     const std::vector<std::string>& includeDirs, uint64_t limit,
                     ReadResult& result) {
  std::vector<std::string> paths{name};
  if (!IsAbsolutePath(name)) {
    std::string folder = DirectoryOf(assembly.files[includer]->path);
    if (!folder.empty()) paths.push_back(folder + name);
    for (const std::string& dir : includeDirs) {
      std::string path = dir;
      if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
      paths.push_back(path + name);
    }
  }
  for (const std::string& path : paths) {
    SourceFile* file = Load(assembly, name, path, limit, result);
    if (file || result != ReadResult::Missing) return file;
  }
  return nullptr;
}
}  // namespace asm68k
