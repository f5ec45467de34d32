#include "parser.h"

#include <algorithm>
#include <map>
#include <memory>

#include "directives.h"
#include "encoder.h"
#include "instruction_table.h"
#include "operands.h"

namespace asm68k {

namespace {

// Copies a word into `buffer` in lower case; false when too long to be a name we know.
bool LowerWord(std::string_view word, char* buffer, size_t capacity, std::string_view& out) {
  if (word.size() >= capacity) return false;
  for (size_t i = 0; i < word.size(); ++i) buffer[i] = ToLower(word[i]);
  out = std::string_view(buffer, word.size());
  return true;
}

bool IsOperationName(std::string_view word) {
  char buffer[16];
  std::string_view lower;
  if (!LowerWord(word, buffer, sizeof(buffer), lower)) return false;
  return FindForms(lower).count > 0 || FindDirective(lower) != Directive::None;
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool IsAbsolutePath(const std::string& path) {
  if (path.empty()) return false;
  if (path[0] == '/' || path[0] == '\\') return true;
  return path.size() > 1 && path[1] == ':';
}

// A file being read, and the line reached in it.
struct OpenFile {
  uint32_t file;
  uint32_t line;
};

struct Reader {
  explicit Reader(Assembly& target) : assembly(target) {}

  Assembly& assembly;
  int32_t scope = kNoScope;  // the nearest global label above, owner of ".local" names
  std::vector<OpenFile> includeStack;
  std::map<FileId, uint32_t> textOf;  // every file read so far, by identity
  bool ended = false;                 // after end, or when the source is too big to go on
  uint32_t current = 0;               // index the statement being read gets (or has)
  uint32_t includes = 0;
  uint64_t textWalked = 0;   // bytes of source, counting each include again
  uint64_t incbinBytes = 0;  // all of which must fit in the image
  std::vector<TextRange> pieces;

  void Error(const Statement& statement, std::string text) {
    // Only the first errors are shown; one more tells that there are more.
    if (assembly.readMessages.size() > static_cast<size_t>(kMaxErrors)) return;
    Message message;
    message.order = current;
    message.file = statement.file;
    message.line = statement.line;
    message.severity = Severity::Error;
    message.text = std::move(text);
    assembly.readMessages.push_back(std::move(message));
  }

  // " (include chain: main.asm:3 > a.asm:7 > b.asm:2)": how the line being
  // read was reached, when it is inside an include.
  std::string IncludeChain() const {
    if (includeStack.size() < 2) return std::string();
    std::string chain = " (include chain: ";
    for (size_t i = 0; i < includeStack.size(); ++i) {
      if (i > 0) chain += " > ";
      chain +=
          assembly.files[includeStack[i].file]->name + ':' + std::to_string(includeStack[i].line);
    }
    return chain + ')';
  }

  // A source that would take more work than any real program: one error, and
  // nothing more is read.
  void Stop(const Statement& statement, const std::string& text) {
    Error(statement, text + IncludeChain());
    ended = true;
  }

  std::string Where(uint32_t statementIndex, uint32_t currentFile) const {
    const Statement& first = assembly.statements[statementIndex];
    std::string where = "line " + std::to_string(first.line);
    if (first.file != currentFile) where += " of " + assembly.files[first.file]->name;
    return where;
  }

  // Enters a name defined by this statement; -1 after reporting a clash.
  int32_t Declare(Statement& statement, std::string_view name, SymbolKind kind) {
    if (RegisterFromName(name) != kRegNone) {
      Error(statement, "'" + std::string(name) + "' is a register name and cannot be a label");
      return -1;
    }
    if (name == ".") {
      Error(statement, "'.' alone is not a label");
      return -1;
    }
    uint32_t index = assembly.symbols.Intern(name, scope);
    Symbol& symbol = assembly.symbols.symbols[index];
    uint32_t here = current;
    if (symbol.kind == SymbolKind::Undefined) {
      symbol.kind = kind;
      symbol.definedAt = here;
      return static_cast<int32_t>(index);
    }
    if (symbol.kind == SymbolKind::Set && kind == SymbolKind::Set)
      return static_cast<int32_t>(index);
    Error(statement, "'" + std::string(name) + "' is already defined on " +
                         Where(symbol.definedAt, statement.file));
    return -1;
  }

  uint32_t AddText(std::unique_ptr<FileText> text) {
    uint32_t index = static_cast<uint32_t>(assembly.texts.size());
    if (text->identified) textOf[text->id] = index;
    assembly.texts.push_back(std::move(text));
    return index;
  }

  // Finds `name` as written, then beside the file that names it, and reads it
  // unless it was read before. `text` is its index in assembly.texts.
  ReadResult Load(const std::string& name, const std::string& includer, uint64_t limit,
                  std::string& path, uint32_t& text) {
    FileReader& reader = *assembly.reader;
    FileId id;
    path = name;
    if (!reader.Identify(path, id)) {
      std::string folder = DirectoryOf(includer);
      if (folder.empty() || IsAbsolutePath(name)) return ReadResult::Missing;
      path = folder + name;
      if (!reader.Identify(path, id)) return ReadResult::Missing;
    }
    auto known = textOf.find(id);
    if (known != textOf.end()) {
      text = known->second;
      return assembly.texts[text]->text.size() > limit ? ReadResult::TooLarge : ReadResult::Ok;
    }
    auto loaded = std::make_unique<FileText>();
    ReadResult result = reader.Read(path, limit, loaded->text);
    if (result != ReadResult::Ok) return result;
    loaded->id = id;
    loaded->identified = true;
    text = AddText(std::move(loaded));
    return ReadResult::Ok;
  }

  void Include(Statement& statement, TextRange field) {
    std::string name, error;
    if (!ParseFileName(field, name, error)) {
      Error(statement, "include: " + error);
      return;
    }
    if (includeStack.size() > static_cast<size_t>(kMaxIncludeDepth)) {
      Error(statement,
            "includes are nested more than " + std::to_string(kMaxIncludeDepth) + " deep");
      return;
    }
    if (++includes > kMaxIncludes) {
      Stop(statement, "more than " + std::to_string(kMaxIncludes) + " includes in all");
      return;
    }
    auto file = std::make_unique<SourceFile>();
    file->name = name;
    const std::string& includer = assembly.files[statement.file]->path;
    ReadResult result = Load(name, includer, kMaxSourceBytes, file->path, file->text);
    if (result != ReadResult::Ok) {
      Error(statement, result == ReadResult::Missing
                           ? "cannot open include file '" + name + "'"
                           : "include file '" + name + "' is larger than 256 MiB");
      return;
    }
    for (const OpenFile& open : includeStack) {
      if (assembly.files[open.file]->text == file->text) {
        Error(statement, "'" + name + "' includes itself" + IncludeChain());
        return;
      }
    }
    textWalked += assembly.texts[file->text]->text.size();
    if (textWalked > kMaxSourceBytes) {
      Stop(statement, "more than 256 MiB of source text to read in all");
      return;
    }
    uint32_t index = static_cast<uint32_t>(assembly.files.size());
    assembly.files.push_back(std::move(file));
    ReadFile(index);
  }

  void Incbin(Statement& statement, TextRange field) {
    std::string name, error, path;
    statement.kind = StatementKind::Invalid;
    if (!ParseFileName(field, name, error)) {
      Error(statement, "incbin: " + error);
      return;
    }
    // Every incbin lands in the image, so together they must fit in it;
    // a file that cannot is refused before it is read.
    uint32_t text;
    ReadResult result =
        Load(name, assembly.files[statement.file]->path, kMaxImageSize - incbinBytes, path, text);
    if (result != ReadResult::Ok) {
      Error(statement, result == ReadResult::Missing
                           ? "cannot open incbin file '" + name + "'"
                           : "incbin file '" + name + "' would make the image larger than 16 MiB");
      return;
    }
    Operand operand;
    operand.kind = kOpBytes;
    operand.expr.first = text;
    operand.expr.count = static_cast<uint32_t>(assembly.texts[text]->text.size());
    incbinBytes += operand.expr.count;
    statement.kind = StatementKind::Incbin;
    statement.firstOperand = static_cast<uint32_t>(assembly.operands.size());
    statement.operandCount = 1;
    assembly.operands.push_back(operand);
  }

  void Instruction(Statement& statement, std::string_view name, FormRange forms,
                   uint8_t writtenSize, TextRange field, ExprParser& parser) {
    std::string error;
    statement.kind = StatementKind::Invalid;
    if (!SplitOperands(field.begin, field.end, pieces, error)) {
      Error(statement, error);
      return;
    }
    if (pieces.size() > 2) {
      Error(statement, std::string(name) + " takes at most two operands, not " +
                           std::to_string(pieces.size()));
      return;
    }
    Operand operands[2];
    for (size_t i = 0; i < pieces.size(); ++i) {
      if (!ParseOperand(pieces[i], parser, operands[i], error)) {
        Error(statement, error);
        return;
      }
    }
    int count = static_cast<int>(pieces.size());
    uint16_t form;
    uint8_t size;
    if (!MatchForm(name, forms, writtenSize, operands, count, form, size, error)) {
      Error(statement, error);
      return;
    }
    statement.kind = StatementKind::Instruction;
    statement.form = form;
    statement.size = size;
    statement.firstOperand = static_cast<uint32_t>(assembly.operands.size());
    statement.operandCount = static_cast<uint16_t>(count);
    for (int i = 0; i < count; ++i) assembly.operands.push_back(operands[i]);
  }

  void ReadLine(uint32_t file, uint32_t lineNumber, const char* begin, const char* end) {
    current = static_cast<uint32_t>(assembly.statements.size());
    Statement statement;
    statement.file = file;
    statement.line = lineNumber;
    LineFields fields;
    std::string error;
    bool split = SplitLine(begin, end, IsOperationName, fields, error);
    if (split && fields.label.empty() && fields.operation.empty()) return;  // nothing to assemble
    if (!split || assembly.statements.size() >= kMaxStatements) {
      statement.kind = StatementKind::Invalid;
      if (split) {
        Stop(statement, "more than " + std::to_string(kMaxStatements) + " lines of code in all");
      } else {
        Error(statement, error);
      }
      assembly.statements.push_back(statement);
      return;
    }

    char buffer[16];
    std::string_view op;
    bool shortName = LowerWord(fields.operation, buffer, sizeof(buffer), op);
    Directive directive = shortName ? FindDirective(op) : Directive::None;
    uint8_t writtenSize = fields.size == 'b'   ? kSizeB
                          : fields.size == 'w' ? kSizeW
                          : fields.size == 'l' ? kSizeL
                          : fields.size == 's' ? kSizeS
                                               : kSizeNone;
    TextRange field{fields.operands, fields.operandsEnd};

    bool assignment = directive == Directive::Equ || directive == Directive::Set;
    if (assignment) {
      if (fields.label.empty()) {
        Error(statement, std::string(op) + " needs a name in the label field");
        statement.kind = StatementKind::Invalid;
        assembly.statements.push_back(statement);
        return;
      }
      statement.label = Declare(statement, fields.label,
                                directive == Directive::Set ? SymbolKind::Set : SymbolKind::Equ);
    } else if (!fields.label.empty()) {
      statement.label = Declare(statement, fields.label, SymbolKind::Label);
      if (fields.label[0] != '.') {
        scope = static_cast<int32_t>(assembly.symbols.Intern(fields.label, kNoScope));
      }
    }

    ExprParser parser{assembly.expressions, assembly.symbols, scope};
    if (fields.operation.empty()) {
      statement.kind = StatementKind::Empty;
    } else if (directive == Directive::Include || directive == Directive::Incbin ||
               directive == Directive::End) {
      statement.kind = StatementKind::Empty;
      if (writtenSize != kSizeNone) {
        Error(statement, std::string(op) + " takes no size");
      } else if (directive == Directive::Incbin) {
        Incbin(statement, field);
      } else if (directive == Directive::End) {
        ended = true;
      } else {
        // The include line goes first so its label precedes the included text.
        assembly.statements.push_back(statement);
        Include(statement, field);
        return;
      }
    } else if (directive != Directive::None) {
      if (!ParseDirective(directive, op, writtenSize, field, assembly, parser, statement, error)) {
        statement.kind = StatementKind::Invalid;
        Error(statement, error);
        if (assignment) {
          // Keep the name defined (as 0) so its uses do not add "undefined" errors.
          statement.kind = directive == Directive::Set ? StatementKind::Set : StatementKind::Equ;
          statement.firstOperand = static_cast<uint32_t>(assembly.operands.size());
          statement.operandCount = 1;
          Operand zero;
          zero.expr = ConstantExpr(assembly.expressions, 0);
          assembly.operands.push_back(zero);
        }
      }
    } else {
      FormRange forms = shortName ? FindForms(op) : FormRange();
      if (forms.count == 0) {
        statement.kind = StatementKind::Invalid;
        std::string written(fields.operation);
        if (fields.size != 0) written += std::string(".") + fields.size;
        Error(statement, "unknown instruction '" + written + "'");
      } else {
        Instruction(statement, op, forms, writtenSize, field, parser);
      }
    }
    assembly.statements.push_back(statement);
  }

  void ReadFile(uint32_t index) {
    includeStack.push_back({index, 0});
    const std::string& text = assembly.texts[assembly.files[index]->text]->text;
    LineWalker lines(text.data(), text.data() + text.size());
    const char* begin;
    const char* end;
    uint32_t lineNumber = 0;
    while (!ended && lines.Next(begin, end)) {
      includeStack.back().line = ++lineNumber;
      ReadLine(index, lineNumber, begin, end);
    }
    includeStack.pop_back();
  }
};

}  // namespace

void ReadSource(Assembly& assembly, std::string source, const std::string& name) {
  Reader reader{assembly};
  // Each line of code makes a statement, typically with an operand or two:
  // room for them up front saves regrowing the biggest tables. Blank and
  // comment lines take none.
  size_t code = std::min<size_t>(CountCodeLines(source.data(), source.data() + source.size()),
                                 kMaxStatements);
  assembly.statements.reserve(code);
  assembly.operands.reserve(code * 2);
  assembly.expressions.nodes.reserve(code * 2);
  auto text = std::make_unique<FileText>();
  text->identified = assembly.reader->Identify(name, text->id);
  text->text = std::move(source);
  reader.textWalked = text->text.size();
  auto root = std::make_unique<SourceFile>();
  root->name = name;
  root->path = name;
  root->text = reader.AddText(std::move(text));
  assembly.files.push_back(std::move(root));
  reader.ReadFile(0);
}

}  // namespace asm68k
