// The first pass as the last: lines that took values from further down,
// encoded again at the pass's end, once every value is there.

#include <cstring>

#include "layout.h"

namespace asm68k {

namespace {

// A copy of the statement with its operands, their expressions and texts,
// in `to`: the store it was parsed in may be cut back before the pass ends.
Statement CopyStatement(const ParseStore& from, const Statement& statement, ParseStore& to) {
  Statement copy = statement;
  copy.firstOperand = static_cast<uint32_t>(to.operands.size());
  copy.messageCount = 0;
  for (uint16_t i = 0; i < statement.operandCount; ++i) {
    Operand operand = from.operands[statement.firstOperand + i];
    Expr& expr = operand.expr;
    if (operand.kind == kOpBytes) {
      size_t first = to.bytes.size();
      to.bytes.insert(to.bytes.end(), from.bytes.begin() + expr.first,
                      from.bytes.begin() + expr.first + expr.count);
      expr.first = static_cast<uint32_t>(first);
    } else if (expr.count > 0) {
      size_t first = to.expressions.nodes.size();
      to.expressions.nodes.insert(to.expressions.nodes.end(),
                                  from.expressions.nodes.begin() + expr.first,
                                  from.expressions.nodes.begin() + expr.first + expr.count);
      expr.first = static_cast<uint32_t>(first);
    }
    to.operands.push_back(operand);
  }
  return copy;
}

// Keeps the line that just ran, to be encoded again at the pass's end.
[[gnu::noinline]] void KeepForRedo(PassState& state, const Statement& statement,
                                   const Options& options) {
  PassState::Redo& redo = state.lineRedo;
  redo.options = PackedOptions(options);
  redo.statement = CopyStatement(*state.store, statement, state.redoStore);
  state.redo.push_back(redo);
  // The room the lists take as they grow, not only what they hold.
  const ParseStore& kept = state.redoStore;
  if (state.redo.size() * sizeof(PassState::Redo) + kept.operands.capacity() * sizeof(Operand) +
          kept.expressions.nodes.capacity() * sizeof(ExprNode) + kept.bytes.capacity() >
      kMaxRedoBytes) {
    state.redoPossible = false;
    state.redo = ChunkedVector<PassState::Redo>();
    state.redoStore = ParseStore();
  }
}

}  // namespace

void RunRedoable(PassState& state, const Statement& statement, bool instruction,
                 void (*run)(PassState& state, const Statement& statement)) {
  // A line of an obj block runs at another address than its place: it is not
  // kept to be encoded again (a value from further down means another pass).
  if (state.pass != 1 || !state.redoPossible || state.redoBytes || state.inObj) {
    run(state, statement);
    return;
  }
  state.lineCanRedo = true;
  state.lineUsesLater = false;
  state.lineBytesStarted = false;
  state.lineBytesMissing = false;
  PassState::Redo& redo = state.lineRedo;
  redo.location = static_cast<uint32_t>(state.location);  // kept only for bytes placed in the image
  redo.section = static_cast<uint32_t>(state.section);
  redo.inOffset = state.inOffset;
  const Options options = state.options;  // packed only for a line that is kept
  redo.order = state.order;
  redo.file = state.file;
  redo.line = state.line;
  redo.instruction = instruction;
  run(state, statement);
  state.lineCanRedo = false;
  if (!state.lineUsesLater || !state.redoPossible) return;
  // Bytes that were not placed, or an address after it that may still
  // move, can't be mended at the end: another pass is due.
  if (!state.lineBytesStarted || state.lineBytesMissing || !state.locationKnown) {
    state.redoPossible = false;
    return;
  }
  KeepForRedo(state, statement, options);
}

bool RedoLaterLines(PassState& state,
                    void (*runData)(PassState& state, const Statement& statement)) {
  if (state.pass != 1 || !state.redoPossible || state.unsettled || state.fatal ||
      state.image.merges != 0) {
    return false;
  }
  const uint64_t location = state.location;
  const size_t section = state.section;
  const bool inOffset = state.inOffset, locationKnown = state.locationKnown;
  const Options options = state.options;
  const uint32_t order = state.order, file = state.file, line = state.line;
  const ParseStore* store = state.store;
  std::vector<uint8_t> bytes;
  state.redoBytes = &bytes;
  state.redoFailed = false;
  bool done = true;
  for (const PassState::Redo& redo : state.redo) {
    bytes.clear();
    state.location = redo.location;
    state.section = redo.section;
    state.inOffset = redo.inOffset;
    state.locationKnown = true;
    state.options = redo.options.Unpacked();
    state.order = redo.order;
    state.file = redo.file;
    state.line = redo.line;
    state.store = &state.redoStore;
    if (redo.instruction) {
      EncodeAndEmit(state, redo.statement);
    } else {
      runData(state, redo.statement);
    }
    // The same bytes, in length, and nothing to say: else another pass tells.
    if (state.redoFailed || bytes.size() != redo.length) {
      done = false;
      break;
    }
    std::memcpy(state.image.runs[redo.run].bytes.data() + redo.offset, bytes.data(), bytes.size());
  }
  state.redoBytes = nullptr;
  state.location = location;
  state.section = section;
  state.inOffset = inOffset;
  state.locationKnown = locationKnown;
  state.options = options;
  state.order = order;
  state.file = file;
  state.line = line;
  state.store = store;
  return done;
}

}  // namespace asm68k
