#include "directive_families.h"

#include <algorithm>
#include <vector>

#include "directive_support.h"
#include "file_lookup.h"
#include "layout.h"
#include "line_source.h"
#include "operation_names.h"
#include "statements.h"

namespace asm68k {

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
  FileLookup lookup;
  SourceFile* file = LoadFile(*state.assembly, name, state.file, state.lines->includeDirs,
                              kMaxImageSize, lookup);
  if (!file) {
    // A run out of lookups ends here.
    (lookup.outcome == FileLookup::OverLimit ? EndRun : PassError)(
        state, lookup.outcome == FileLookup::TooLarge
                         ? "incbin file '" + name + "' would make the image larger than 16 MiB"
                         : LookupError("incbin", name, lookup));
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
  // Over bytes already placed, a patch's original, it makes the image no larger.
  if (!state.inOffset && state.image.HeldSpanWith(state.location, count) > kMaxImageSize) {
    PassError(state, "incbin file '" + name + "' would make the image larger than 16 MiB");
    return;
  }
  EmitBytes(state, reinterpret_cast<const uint8_t*>(bytes.data()) + from, count, true);
}

void RunIncdir(PassState& state, const Statement& statement) {
  // A folder already searched is not searched again (a file with an incdir
  // may be included many times).
  std::string folder(OperandText(*state.store, StatementOperands(state, statement)[0]));
  LineSource& source = *state.lines;
  if (source.includeDirsSeen.count(folder) > 0) return;
  // Kept twice: in order, and to be found.
  if (!source.Keep(2 * (folder.size() + kEntryCost), 0)) return;
  source.includeDirsSeen.insert(folder);
  source.includeDirs.push_back(std::move(folder));
}
void RunInclude(PassState& state, const Statement& statement) {
  LineSource& source = *state.lines;
  std::string name(OperandText(*state.store, StatementOperands(state, statement)[0]));
  if (++state.assembly->includesEntered > kMaxIncludes) {
    EndRun(state, "more than 100,000 includes in all passes");
    return;
  }
  FileLookup lookup;
  SourceFile* file =
      LoadFile(*state.assembly, name, state.file, source.includeDirs, kMaxSourceBytes, lookup);
  if (!file) {
    // A run out of lookups ends here.
    (lookup.outcome == FileLookup::OverLimit ? EndRun : PassError)(
        state, lookup.outcome == FileLookup::TooLarge
                         ? "include file '" + name + "' is larger than 256 MiB"
                         : LookupError("include", name, lookup));
    return;
  }
  for (const Frame& frame : source.frames) {
    if (frame.text == &file->text) {
      PassError(state, "'" + name + "' includes itself");
      return;
    }
  }
  if (!source.ReadText(file->text.text.size())) return;
  if (NestTooDeep(state)) return;
  if (!file->text.indexed) IndexLines(file->text, state.assembly->linesToIndex);
  if (!source.WholeText(file->text)) return;
  Frame frame;
  frame.kind = Frame::Include;
  frame.text = &file->text;
  frame.end = static_cast<uint32_t>(file->text.lines.size());
  frame.conditionals = source.conditionals.size();
  frame.callFile = state.file;
  frame.callLine = state.line;
  PushFrame(source, std::move(frame));
}

namespace {

// A path's last part in lower case: what an include of that file must end with.
std::string LastPartLower(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return ToLowerCopy(slash == std::string::npos ? path : path.substr(slash + 1));
}

}  // namespace

bool LookAtUnreachedFiles(Assembly& assembly, const std::vector<std::string>& outputs) {
  // Only a file that is there can be one the source names.
  std::vector<std::string> names;
  for (const std::string& output : outputs) {
    FileId id;
    if (!output.empty() && assembly.reader->Identify(output, id) == ReadResult::Ok) {
      names.push_back(LastPartLower(output));
    }
  }
  if (names.empty()) return true;
  // Most runs read every line of their files: nothing to look for then.
  uint64_t lines = 0;
  for (const auto& file : assembly.files) {
    if (!file->text.indexed) continue;
    if (file->text.truncated) return false;
    lines += file->text.lines.size();
  }
  if (lines == assembly.linesReached) return true;
  const int include = FindDirective("include"), incbin = FindDirective("incbin");
  // Files read for their lines only (not those incbin or filesize read), and
  // those added while looking (none of them is indexed).
  const size_t files = assembly.files.size();
  for (size_t f = 0; f < files; ++f) {
    if (IsCommandLineFile(assembly, static_cast<uint32_t>(f))) continue;
    SourceText& text = assembly.files[f]->text;
    if (!text.indexed) continue;
    if (text.truncated) return false;
    const LineInfo* lines = text.lines.data();
    const uint32_t count = static_cast<uint32_t>(text.lines.size());
    for (uint32_t i = 0; i < count; ++i) {
      if (lines[i].statement != -1) continue;  // read in some pass
      const int directive = ClassifyLine(text, i);
      if (directive != include && directive != incbin) continue;
      LineFields fields;
      std::string error, name;
      if (!SplitLine(text.LineBegin(lines[i]), text.LineEnd(lines[i]), IsOperationName,
                     fields, error, false) ||
          !ParseFileName({fields.operands, fields.operandsEnd}, name, error) ||
          std::find(names.begin(), names.end(), LastPartLower(name)) == names.end()) {
        continue;
      }
      FileLookup lookup;
      LoadFile(assembly, name, static_cast<uint32_t>(f), assembly.lastIncludeDirs, 0, lookup);
      if (lookup.outcome == FileLookup::OverLimit) return false;
    }
  }
  return true;
}

}  // namespace asm68k
