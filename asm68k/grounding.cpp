// Symbols defined from themselves. An equate read above its definition takes
// the value the last pass gave it, so "X equ X" would take its first guess,
// 0, and keep it: the passes settle on a value that nothing gave. A value
// is grounded when it rests on labels, numbers and grounded symbols; each
// pass grounds what it can at its end, and after the last one the symbols
// that lead back to themselves are named, and have no value.

#include <algorithm>

#include "assembly.h"

namespace asm68k {

void NoteGrounding(PassState& state, int32_t symbol, bool grounded, const ExprPool& pool, Expr expr) {
  if (symbol < 0) return;
  auto& symbols = state.assembly->symbols.symbols;
  if (grounded) {
    if (!state.ungrounded.empty()) state.ungrounded.erase(static_cast<uint32_t>(symbol));
    return;
  }
  symbols[static_cast<size_t>(symbol)].grounded = false;
  PassState::Ungrounded& kept = state.ungrounded[static_cast<uint32_t>(symbol)];
  kept.context = ContextStepHere(state);
  std::vector<uint32_t>& reads = kept.reads;
  reads.clear();
  for (uint32_t i = 0; i < expr.count; ++i) {
    const ExprNode& node = pool.nodes[expr.first + i];
    if (node.op != ExprOp::Symbol) continue;
    const uint32_t read = static_cast<uint32_t>(node.value);
    if (!symbols[read].grounded && std::find(reads.begin(), reads.end(), read) == reads.end()) {
      reads.push_back(read);
    }
  }
}

namespace {

// Whether a symbol the pass kept is still waiting to be grounded: one it
// did not keep (a label, an undefined name) counts as grounded here, its
// own error said elsewhere if it has one.
bool Waiting(const PassState& state, uint32_t symbol) {
  return state.ungrounded.count(symbol) > 0 &&
         !state.assembly->symbols.symbols[symbol].grounded;
}

}  // namespace

void GroundDefinitions(PassState& state) {
  auto& symbols = state.assembly->symbols.symbols;
  // Each kept symbol waits for the kept symbols it read; those that wait for
  // none are grounded, and ground in turn those that waited only for them.
  std::unordered_map<uint32_t, size_t> waits;
  std::unordered_map<uint32_t, std::vector<uint32_t>> waitedBy;
  std::vector<uint32_t> ready;
  for (const auto& [symbol, kept] : state.ungrounded) {
    size_t count = 0;
    for (uint32_t read : kept.reads) {
      if (!Waiting(state, read)) continue;
      ++count;
      waitedBy[read].push_back(symbol);
    }
    waits[symbol] = count;
    if (count == 0) ready.push_back(symbol);
  }
  while (!ready.empty()) {
    const uint32_t symbol = ready.back();
    ready.pop_back();
    symbols[symbol].grounded = true;
    auto by = waitedBy.find(symbol);
    if (by == waitedBy.end()) continue;
    for (uint32_t other : by->second) {
      if (--waits[other] == 0) ready.push_back(other);
    }
  }
  for (auto it = state.ungrounded.begin(); it != state.ungrounded.end();) {
    it = symbols[it->first].grounded ? state.ungrounded.erase(it) : std::next(it);
  }
}

void ReportSelfDefined(PassState& state) {
  const auto& symbols = state.assembly->symbols.symbols;
  // What is left waits, through the symbols it read, on a set of symbols
  // that lead back to themselves: each such set is one error, at the
  // definition of the first of them in the source.
  std::vector<uint32_t> left;
  for (const auto& entry : state.ungrounded) left.push_back(entry.first);
  std::sort(left.begin(), left.end(), [&](uint32_t a, uint32_t b) {
    return symbols[a].definedOrder < symbols[b].definedOrder;
  });
  enum : uint8_t { kUnseen, kOnPath, kDone };
  std::unordered_map<uint32_t, uint8_t> seen;
  for (uint32_t start : left) {
    std::vector<uint32_t> path;
    uint32_t at = start;
    while (seen[at] == kUnseen) {
      seen[at] = kOnPath;
      path.push_back(at);
      // Each one left waits for at least one other one left.
      const std::vector<uint32_t>& reads = state.ungrounded[at].reads;
      auto next = std::find_if(reads.begin(), reads.end(),
                               [&](uint32_t read) { return state.ungrounded.count(read) > 0; });
      if (next == reads.end()) break;
      at = *next;
    }
    if (seen[at] == kOnPath) {
      // `at` comes round again: path[from...] is the loop.
      std::vector<uint32_t> loop(std::find(path.begin(), path.end(), at), path.end());
      std::rotate(loop.begin(),
                  std::min_element(loop.begin(), loop.end(),
                                   [&](uint32_t a, uint32_t b) {
                                     return symbols[a].definedOrder < symbols[b].definedOrder;
                                   }),
                  loop.end());
      const Symbol& first = symbols[loop[0]];
      Message message;
      // An error when a line read such a value, which would otherwise be
      // the first guess, 0. Unused, a warning: a Sega CD disassembly's
      // register list defines such equates and never uses them.
      message.severity = state.ungroundedRead ? Severity::Error : Severity::Warning;
      message.order = first.definedOrder;
      message.file = first.definedFile;
      message.line = first.definedLine;
      message.context = StepText(state, state.ungrounded[loop[0]].context);
      message.text = "'" + first.name + "' is defined from itself";
      constexpr size_t kNamed = 8;
      for (size_t i = 1; i < loop.size() && i <= kNamed; ++i) {
        message.text += (i == 1 ? ", through '" : ", '") + symbols[loop[i]].name + "'";
      }
      if (loop.size() > kNamed + 1) {
        message.text += " and " + std::to_string(loop.size() - kNamed - 1) + " more";
      }
      message.text += ": it has no value";
      state.messages.Add(std::move(message));
    }
    for (uint32_t done : path) seen[done] = kDone;
  }
}

}  // namespace asm68k
