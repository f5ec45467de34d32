// Sizes that optimisations choose from addresses, decided by relaxation.
//
// Each pass records every such choice (a SizedLine) with its address, its
// run of contiguous layout and its target. Between passes the table alone is
// iterated: a line's growth moves every later address of its run by the
// bytes it adds, so each line's reach is worked out again from the others'
// forms, and a line out of reach grows. Forms only grow and each kind has at
// most three, so the iteration ends; the labels then move by what grew
// before them, so that the next pass, taking the table's forms, finds the
// addresses it guessed. Each pass checks every choice again with its own
// values, growing one still out of reach, so no short form is ever out of
// reach in the last pass.

#include "relax.h"

#include <algorithm>

#include "line_source.h"

namespace asm68k {

namespace {

bool FitsSigned8(int32_t v) { return v >= -128 && v <= 127; }
bool FitsSigned16(int32_t v) { return v >= -32768 && v <= 32767; }
int32_t Distance(uint32_t target, uint32_t from) { return static_cast<int32_t>(target - from); }

// What each form of the 68020's kinds reaches, and the bytes it takes
// beyond the kind's shortest.
enum Reach : uint8_t { kReachZero, kReachByte, kReachWord, kReachAny };
struct FarForms {
  Reach reach[3];
  uint8_t bytes[3];
  bool pcRelative;  // the value is a distance from the line's base
};

FarForms FarFormsOf(SizedKind kind) {
  switch (kind) {
    case SizedKind::DisplacementFar:  // (An), d16(An), (bd.l,An) with its extension word
      return {{kReachZero, kReachWord, kReachAny}, {0, 2, 6}, false};
    case SizedKind::IndexFar:  // the brief extension word, the full one and a word, and a long
      return {{kReachByte, kReachWord, kReachAny}, {0, 2, 4}, false};
    case SizedKind::PcIndexFar:
      return {{kReachByte, kReachWord, kReachAny}, {0, 2, 4}, true};
    case SizedKind::PcDisplacementFar:
      return {{kReachWord, kReachAny, kReachAny}, {0, 4, 4}, true};
    case SizedKind::FullDisplacement:
      return {{kReachZero, kReachWord, kReachAny}, {0, 2, 4}, false};
    case SizedKind::PcFullDisplacement:
      return {{kReachWord, kReachAny, kReachAny}, {0, 2, 2}, true};
    default:  // BranchFar: .s, .w, .l
      return {{kReachByte, kReachWord, kReachAny}, {0, 2, 4}, true};
  }
}

// The bytes a form takes beyond the kind's shortest.
uint32_t FormSize(const SizedLine& line, uint8_t form) {
  switch (line.kind) {
    case SizedKind::Branch:
      return form == kBranchWord ? 2 : 0;
    case SizedKind::Absolute:
      return form == kAbsoluteLong ? 2 : 0;
    case SizedKind::Displacement:
      return form == kDisplacementWord ? 2 : 0;
    case SizedKind::Quick:
      return form == kQuickWritten ? line.growth : 0;
    default:
      return FarFormsOf(line.kind).bytes[form];
  }
}

static_assert(kAbsoluteLong == 2 && kBranchWord == 1 && kDisplacementWord == 1 &&
                  kQuickWritten == 1 && kFarLong == 2 && kNearLong == 1,
              "LastForm knows the longest forms");

struct Target {
  uint32_t value;
  int16_t section;
  bool valid;
};

// Whether `form` reaches the target, a displacement counting from `base`.
bool Reaches(const SizedLine& line, uint8_t form, const Target& target, uint32_t base) {
  const int32_t value = static_cast<int32_t>(target.value);
  switch (line.kind) {
    case SizedKind::Branch: {
      if (form != kBranchShort) return true;
      // Not to the next word: a displacement of 0 means the word form.
      int32_t displacement = Distance(target.value, base);
      return displacement != 0 && FitsSigned8(displacement) && !(target.value & 1);
    }
    case SizedKind::Absolute:
      if (form == kAbsoluteLong) return true;
      if (form == kAbsoluteWord) return FitsSigned16(value);
      return target.section >= 0 && target.section == line.section &&
             FitsSigned16(Distance(target.value, base));
    case SizedKind::Displacement:
      return form != kDisplacementNone || value == 0;
    case SizedKind::Quick:
      return form != kQuickForm || (value >= line.low && value <= line.high);
    default:
      break;
  }
  const FarForms forms = FarFormsOf(line.kind);
  const int32_t reached = forms.pcRelative ? Distance(target.value, base) : value;
  if (line.kind == SizedKind::BranchFar && form == kFarShort) {
    return reached != 0 && FitsSigned8(reached) && !(target.value & 1);
  }
  switch (forms.reach[form]) {
    case kReachZero:
      return reached == 0;
    case kReachByte:
      return FitsSigned8(reached);
    case kReachWord:
      return FitsSigned16(reached);
    default:
      return true;
  }
}

// The first form from `form` on that the line may take.
uint8_t AllowedFrom(const SizedLine& line, uint8_t form) {
  while (form < LastForm(line.kind) && !(line.allowed & (1u << form))) ++form;
  return form;
}

// The first form from `form` on that the line may take and that reaches.
uint8_t Grown(const SizedLine& line, uint8_t form, const Target& target, uint32_t base) {
  form = AllowedFrom(line, form);
  while (!Reaches(line, form, target, base)) form = AllowedFrom(line, static_cast<uint8_t>(form + 1));
  return form;
}

// Whether a value tells where things will be: not while a section it
// involves has no base yet (the first pass it appears in), except for a
// branch's distance within one section.
bool Placed(const PassState& state, SizedKind kind, const EvalResult& r) {
  auto baseKnown = [&](int16_t section) {
    return section < 0 || state.sections[static_cast<size_t>(section)].baseKnown;
  };
  // Addresses of several sections together: any of them may be one without a base.
  if (r.section == kAddressOutsideSections && state.sectionsUnplaced > 0) return false;
  const int16_t here = LocationSection(state);
  const bool distance = kind == SizedKind::Branch || (kind > SizedKind::Quick && FarFormsOf(kind).pcRelative);
  if (distance) return r.section == here || (baseKnown(r.section) && baseKnown(here));
  return baseKnown(r.section);
}

// The form a line without a value takes in the first pass: short for a
// branch or an address (a label near by), as written for a displacement or
// an immediate (an equate further down is seldom 0, or 1 to 8).
uint8_t PlaceHolder(SizedKind kind) {
  if (kind == SizedKind::Displacement || kind == SizedKind::Quick) return LastForm(kind);
  // The 68020's: the form the 68000 gives it, a word for a displacement.
  return kind == SizedKind::DisplacementFar || kind == SizedKind::FullDisplacement ? kFarWord : 0;
}

uint64_t Key(uint32_t order, uint8_t slot) { return (static_cast<uint64_t>(order) << 8) | slot; }

// The line's entry in the table the pass follows: the last pass's, read in
// order; or, for a line encoded again at the pass's end, this pass's own.
SizedLine* Prior(PassState& state, uint32_t order, uint8_t slot) {
  const uint64_t wanted = Key(order, slot);
  if (state.redoBytes) {
    auto found = std::lower_bound(
        state.sized.begin(), state.sized.end(), wanted,
        [](const SizedLine& line, uint64_t key) { return Key(line.order, line.slot) < key; });
    return found != state.sized.end() && Key(found->order, found->slot) == wanted ? &*found : nullptr;
  }
  std::vector<SizedLine>& table = state.assembly->sized;
  size_t& at = state.sizedCursor;
  while (at < table.size() && Key(table[at].order, table[at].slot) < wanted) ++at;
  return at < table.size() && Key(table[at].order, table[at].slot) == wanted ? &table[at] : nullptr;
}

// A sum over positions that changes one position at a time (a Fenwick tree).
class GrowthSums {
 public:
  explicit GrowthSums(size_t size) : tree_(size + 1, 0) {}
  void Add(size_t position, int64_t amount) {
    for (size_t i = position + 1; i < tree_.size(); i += i & (0 - i)) tree_[i] += amount;
  }
  // The sum over positions [0, end).
  int64_t Before(size_t end) const {
    int64_t sum = 0;
    for (size_t i = end; i > 0; i -= i & (0 - i)) sum += tree_[i];
    return sum;
  }

 private:
  std::vector<int64_t> tree_;
};

// The table's lines grouped by run, in address order within each run, with
// the bytes each has grown by since its pass; and the sections, in the order
// they are laid out, each moved by where the pass's end put it and by what
// grew in those before it.
struct Relaxation {
  Assembly& assembly;
  const PassState& state;
  std::vector<SizedLine>& lines;
  std::vector<uint32_t> runBegin;  // a run's lines are byRun[runBegin[run], runBegin[run + 1])
  std::vector<uint32_t> byRun;
  std::vector<uint32_t> position;  // of each line in byRun, or UINT32_MAX
  std::vector<bool> followed;      // a run whose addresses go back is not
  GrowthSums growth;
  // A section's first run starts at its base, which moves; after an org,
  // a run's addresses stay where they are.
  std::vector<bool> based;
  std::vector<uint32_t> layoutPlace;  // of each section
  std::vector<int64_t> baseMoved;     // of each section, by the pass's layout
  // What grew in each section laid out in one run (whose end then moves),
  // by its place in the layout.
  std::vector<bool> moves;
  GrowthSums sectionGrowth;

  Relaxation(Assembly& assembly, const PassState& state)
      : assembly(assembly),
        state(state),
        lines(assembly.sized),
        growth(lines.size()),
        sectionGrowth(state.sections.size()) {
    const size_t runs = state.runSections.size();
    runBegin.assign(runs + 1, 0);
    for (const SizedLine& line : lines) {
      if (line.run < runs) ++runBegin[line.run + 1];
    }
    for (size_t run = 0; run < runs; ++run) runBegin[run + 1] += runBegin[run];
    byRun.resize(runBegin[runs]);
    position.assign(lines.size(), UINT32_MAX);
    std::vector<uint32_t> next(runBegin.begin(), runBegin.end() - 1);
    followed.assign(runs, true);
    for (uint32_t i = 0; i < lines.size(); ++i) {
      const uint32_t run = lines[i].run;
      if (run >= runs) continue;
      uint32_t at = next[run]++;
      if (at > runBegin[run] && lines[byRun[at - 1]].insert > lines[i].insert) followed[run] = false;
      byRun[at] = i;
      position[i] = at;
    }
    // A run whose addresses go back: its lines move nothing, and nothing in it moves.
    for (size_t run = 0; run < runs; ++run) {
      if (followed[run]) continue;
      for (uint32_t at = runBegin[run]; at < runBegin[run + 1]; ++at) position[byRun[at]] = UINT32_MAX;
    }

    const size_t sections = state.sections.size();
    std::vector<uint32_t> runsOf(sections, 0);
    based.assign(runs, false);
    for (size_t run = 0; run < runs; ++run) {
      size_t section = state.runSections[run];
      if (runsOf[section]++ == 0) based[run] = true;
    }
    // As LayOutSections orders them: code and data, then bss.
    layoutPlace.assign(sections, 0);
    uint32_t place = 0;
    for (bool bss : {false, true}) {
      for (size_t i = 0; i < sections; ++i) {
        if ((state.sections[i].kind == SectionKind::Bss) == bss) layoutPlace[i] = place++;
      }
    }
    baseMoved.assign(sections, 0);
    moves.assign(sections, false);
    for (size_t i = 0; i < sections; ++i) {
      const Section& section = state.sections[i];
      auto laid = assembly.sectionBases.find(section.name);
      if (laid != assembly.sectionBases.end()) {
        baseMoved[i] = static_cast<int64_t>(laid->second) - static_cast<int64_t>(section.base);
      }
      moves[i] = runsOf[i] == 1;
    }
    // A line whose form only held a place starts from its shortest.
    for (uint32_t i = 0; i < lines.size(); ++i) {
      SizedLine& line = lines[i];
      if (!line.undecided) continue;
      uint8_t shortest = AllowedFrom(line, 0);
      Grow(i, static_cast<int64_t>(FormSize(line, shortest)) - FormSize(line, line.form));
      line.form = shortest;
      line.undecided = false;
    }
  }

  // How far a run's start has moved.
  int64_t RunMoved(uint32_t run) const {
    if (!based[run]) return 0;
    size_t section = state.runSections[run];
    return baseMoved[section] + sectionGrowth.Before(layoutPlace[section]);
  }

  // How far an address of `run` moves: with the run, and by what its lines
  // placed at or before it have grown by.
  int64_t ShiftAt(uint32_t run, uint32_t address) const {
    if (run >= state.runSections.size() || !followed[run]) return 0;
    auto first = byRun.begin() + runBegin[run], last = byRun.begin() + runBegin[run + 1];
    auto after = std::upper_bound(first, last, address, [&](uint32_t at, uint32_t index) {
      return at < lines[index].insert;
    });
    return RunMoved(run) + growth.Before(static_cast<size_t>(after - byRun.begin())) -
           growth.Before(runBegin[run]);
  }

  // A line grew by `added` bytes.
  void Grow(uint32_t index, int64_t added) {
    if (added == 0 || position[index] == UINT32_MAX) return;
    growth.Add(position[index], added);
    const SizedLine& line = lines[index];
    size_t section = state.runSections[line.run];
    if (based[line.run] && moves[section]) sectionGrowth.Add(layoutPlace[section], added);
  }

  // The run a label is in: the one its line started in, when in its section.
  uint32_t LabelRun(const Symbol& symbol) const {
    if (symbol.kind != SymbolKind::Label || symbol.section < 0) return kNoRun;
    auto after = std::upper_bound(
        state.runStarts.begin(), state.runStarts.end(), symbol.definedOrder,
        [](uint32_t order, const PassState::RunStart& start) { return order < start.order; });
    if (after == state.runStarts.begin()) return kNoRun;
    uint32_t run = (after - 1)->run;
    return run < state.runSections.size() &&
                   state.runSections[run] == static_cast<size_t>(symbol.section)
               ? run
               : kNoRun;
  }

  // A line's target worked out again, its labels and '*' moved by what grew
  // before them; the value the pass saw when a symbol in it has no value
  // at the pass's end to go by (a set symbol, or one not defined).
  class MovedValues : public ValueSource {
   public:
    MovedValues(const Relaxation& relaxation, const SizedLine& line)
        : relaxation_(relaxation), line_(line) {}
    bool SymbolValue(uint32_t index, int32_t& value, int16_t& section) const override {
      const Symbol& symbol = relaxation_.assembly.symbols.symbols[index];
      if (symbol.definedPass != relaxation_.state.pass || symbol.kind == SymbolKind::Set) return false;
      uint32_t moved = static_cast<uint32_t>(symbol.value);
      moved += static_cast<uint32_t>(relaxation_.ShiftAt(relaxation_.LabelRun(symbol), moved));
      value = static_cast<int32_t>(moved);
      section = symbol.section;
      return true;
    }
    bool IsDefined(uint32_t index) const override {
      return relaxation_.assembly.symbols.symbols[index].definedPass == relaxation_.state.pass;
    }
    int32_t Location(int16_t& section) const override {
      section = line_.section;
      return static_cast<int32_t>(line_.location +
                                  static_cast<uint32_t>(relaxation_.ShiftAt(line_.run, line_.location)));
    }

   private:
    const Relaxation& relaxation_;
    const SizedLine& line_;
  };

  Target TargetOf(const SizedLine& line) const {
    int32_t value;
    int16_t section;
    if (EvaluateWith(assembly.sizedNodes.data() + line.firstNode, line.nodeCount,
                     MovedValues(*this, line), value, section)) {
      return {static_cast<uint32_t>(value), section, true};
    }
    return {static_cast<uint32_t>(line.seen), line.seenSection, line.seenValid};
  }

  // Looks at one line: true when it grew.
  bool Step(uint32_t index) {
    SizedLine& line = lines[index];
    if (line.form == LastForm(line.kind)) return false;
    Target target = TargetOf(line);
    if (!target.valid) return false;
    uint32_t base = line.base;
    if (position[index] != UINT32_MAX) {
      base += static_cast<uint32_t>(RunMoved(line.run) + growth.Before(position[index]) -
                                    growth.Before(runBegin[line.run]));
    }
    uint8_t form = Grown(line, line.form, target, base);
    if (form == line.form) return false;
    Grow(index, static_cast<int64_t>(FormSize(line, form)) - FormSize(line, line.form));
    line.form = form;
    return true;
  }
};

}  // namespace

uint8_t ChooseForm(PassState& state, const SizedRequest& request, const EvalResult& r, Expr expr) {
  // Past the choices a pass may keep, a line takes its longest form, which
  // reaches any value: the table stays within its room.
  if (state.sized.size() >= kMaxSizedLines) return LastForm(request.kind);
  SizedLine line;
  line.order = state.order;
  line.kind = request.kind;
  line.slot = request.slot;
  line.allowed = static_cast<uint8_t>(request.allowed | (1u << LastForm(request.kind)));
  line.growth = request.growth;
  line.base = request.base;
  line.insert = request.insert;
  line.low = request.low;
  line.high = request.high;
  line.location = Here(state);
  line.section = LocationSection(state);
  line.run = state.inOffset ? kNoRun : state.sections[state.section].run;
  line.seen = r.value;
  line.seenSection = r.section;
  line.seenValid = r.valid;
  SizedLine* prior = Prior(state, line.order, line.slot);
  if (prior && (prior->kind != line.kind || prior->undecided)) prior = nullptr;
  // A line the table does not hold yet (all of them in the first pass)
  // takes a form that only holds its place: the relaxation after the pass
  // starts it from its shortest, whatever this pass guessed before it.
  line.undecided = !prior;
  uint8_t form;
  if (r.valid && Placed(state, line.kind, r)) {
    form = Grown(line, prior ? prior->form : 0,
                 Target{static_cast<uint32_t>(r.value), r.section, true}, line.base);
  } else if (prior) {
    form = AllowedFrom(line, prior->form);
  } else {
    // No value yet (a name further down): the form it most often takes,
    // so that the first pass may still be the last.
    form = AllowedFrom(line, PlaceHolder(line.kind));
  }
  line.form = form;
  // A line encoded again at the pass's end leaves the table as it is: the
  // table's forms are those its addresses were laid out with.
  if (!state.redoBytes) {
    const ExprNode* nodes = state.store->expressions.nodes.data() + expr.first;
    line.firstNode = static_cast<uint32_t>(state.sizedNodes.size());
    line.nodeCount = expr.count;
    state.sizedNodes.insert(state.sizedNodes.end(), nodes, nodes + expr.count);
    state.sized.push_back(line);
  }
  return form;
}

void RelaxSizes(Assembly& assembly, PassState& state) {
  if (assembly.sized.empty()) return;
  Relaxation relaxation(assembly, state);
  const uint32_t count = static_cast<uint32_t>(assembly.sized.size());
  // Forward then backward, and again: a growth that puts an earlier line
  // out of reach is found in the next sweep. Past the steps allowed, the
  // passes carry on the work.
  bool changed = true;
  for (int sweep = 0; changed && assembly.relaxationSteps < kMaxRelaxationSteps; ++sweep) {
    changed = false;
    for (uint32_t k = 0; k < count && assembly.relaxationSteps < kMaxRelaxationSteps; ++k) {
      ++assembly.relaxationSteps;
      if (relaxation.Step(sweep % 2 == 0 ? k : count - 1 - k)) changed = true;
    }
  }
  // The labels move with their sections and by what grew before them: the
  // next pass's references to labels further down see the addresses it
  // will give them.
  ChunkedVector<Symbol>& symbols = assembly.symbols.symbols;
  for (size_t i = 0; i < symbols.size(); ++i) {
    Symbol& symbol = symbols[i];
    if (symbol.definedPass != state.pass) continue;
    uint32_t run = relaxation.LabelRun(symbol);
    if (run == kNoRun) continue;
    uint32_t value = static_cast<uint32_t>(symbol.value);
    symbol.value = static_cast<int32_t>(value + static_cast<uint32_t>(relaxation.ShiftAt(run, value)));
  }
  // And the next pass lays the sections out where that puts them.
  for (size_t i = 0; i < state.sections.size(); ++i) {
    auto laid = assembly.sectionBases.find(state.sections[i].name);
    if (laid == assembly.sectionBases.end()) continue;
    laid->second += static_cast<uint64_t>(relaxation.sectionGrowth.Before(relaxation.layoutPlace[i]));
  }
}

void NoteRun(PassState& state, uint32_t firstOrder) {
  const uint32_t run = state.inOffset ? kNoRun : state.sections[state.section].run;
  std::vector<PassState::RunStart>& starts = state.runStarts;
  while (!starts.empty() && starts.back().order >= firstOrder) starts.pop_back();
  if (starts.empty() || starts.back().run != run) {
    starts.push_back({firstOrder, run});
    // Each run of the layout may start a run of the image too: counted as
    // what the pass keeps, so that an org or a section change repeated
    // without end ends the run.
    if (state.lines) state.lines->Keep(kEntryCost, 0);
  }
}

}  // namespace asm68k
