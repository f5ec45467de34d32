// Where the bytes of a pass go: the location, sections and offset blocks,
// placing bytes in the image, and laying the sections out at the pass's end.

#include "layout.h"

#include <algorithm>

#include "encoder.h"
#include "line_source.h"
#include "relax.h"

namespace asm68k {

namespace {

Section& Current(PassState& state) { return state.sections[state.section]; }

uint64_t EvenUp(uint64_t address) { return address + (address & 1); }

void Advance(PassState& state, uint64_t count) {
  state.labelsAbove.clear();
  // Bytes or space past the last address, however they are reached: data,
  // an instruction, ds, padding.
  if (count > 0 && state.location + count > kAddressEnd) {
    PastEnd(state, "the program runs past address $FFFFFFFF");
  }
  state.location += count;
  state.high = std::max(state.high, std::min(state.location, kAddressEnd));
}

// The current line's context, kept for a message given later in the pass.
uint32_t KeepContext(PassState& state) { return ContextStepHere(state); }

void SaveSection(PassState& state) {
  if (state.inOffset) return;
  Section& section = Current(state);
  section.location = state.location;
  section.locationKnown = state.locationKnown;
  section.high = state.high;
}

void LoadSection(PassState& state, size_t index) {
  state.section = index;
  const Section& section = Current(state);
  state.location = section.location;
  state.locationKnown = section.locationKnown;
  state.high = section.high;
}

}  // namespace

namespace {

// Where the bytes of a line that may be encoded again went: one stretch of one run.
void KeepRedoBytes(PassState& state, const uint8_t* placed, uint64_t count) {
  PassState::Redo& redo = state.lineRedo;
  const ImageRun* run = state.image.runs.empty() ? nullptr : &state.image.runs.back();
  size_t offset = run && placed ? static_cast<size_t>(placed - run->bytes.data()) : 0;
  if (!placed) {
    state.lineBytesMissing = true;
  } else if (!state.lineBytesStarted) {
    state.lineBytesStarted = true;
    // Its bytes are inside the image, so each of these fits 32 bits.
    redo.run = static_cast<uint32_t>(state.image.runs.size() - 1);
    redo.offset = static_cast<uint32_t>(offset);
    redo.length = static_cast<uint32_t>(count);
  } else if (redo.run == state.image.runs.size() - 1 && offset == redo.offset + redo.length) {
    redo.length += static_cast<uint32_t>(count);
  } else {
    state.redoPossible = false;
  }
}

}  // namespace

namespace {

// Most lines place a few bytes right after the last ones, in a section
// that places bytes, far from every limit: they extend the last run, with
// its source already kept. `count` bytes, written by `write(bytes)`; returns
// where they went, or null when the line is not such a case (nothing done then).
template <typename Write>
uint8_t* ExtendLastRun(PassState& state, uint64_t count, Write write) {
  ImageBuilder& image = state.image;
  if (count > 16 || state.redoBytes || state.inOffset || state.unsettled || image.full ||
      image.pieceNeeded || image.runs.empty() ||
      (state.unresolvedForward && !state.redoPossible)) {
    return nullptr;
  }
  ImageRun& run = image.runs.back();
  std::vector<uint8_t>& bytes = run.bytes;
  if (bytes.empty() || run.End() != state.location || state.location + count > kAddressEnd ||
      bytes.size() + count > bytes.capacity() ||
      image.wanted + count > kMaxImageSize ||
      Current(state).kind == SectionKind::Bss) {
    return nullptr;
  }
  size_t offset = bytes.size();
  write(bytes);  // in room reserved above
  uint8_t* placed = bytes.data() + offset;
  image.wanted += count;
  image.placed += count;
  image.recorded = false;
  Current(state).started = true;
  if (state.lineCanRedo) KeepRedoBytes(state, placed, count);
  state.labelsAbove.clear();
  state.location += count;
  state.high = std::max(state.high, state.location);
  return placed;
}

}  // namespace

void EmitWords(PassState& state, const uint16_t* words, int count) {
  if (count <= 0 || count > kMaxInstructionWords) return;  // not an instruction's words
  auto write = [&](std::vector<uint8_t>& bytes) {
    for (int i = 0; i < count; ++i) {
      bytes.push_back(static_cast<uint8_t>(words[i] >> 8));
      bytes.push_back(static_cast<uint8_t>(words[i]));
    }
  };
  // Most instructions are at most five words: the bound lets the copy unroll.
  if (count <= 5 && ExtendLastRun(state, static_cast<uint64_t>(count) * 2, write)) return;
  uint8_t bytes[2 * kMaxInstructionWords];
  for (int i = 0; i < count; ++i) {
    bytes[2 * i] = static_cast<uint8_t>(words[i] >> 8);
    bytes[2 * i + 1] = static_cast<uint8_t>(words[i]);
  }
  EmitBytes(state, bytes, static_cast<uint64_t>(count) * 2);
}

uint8_t* EmitBytes(PassState& state, const uint8_t* data, uint64_t count, bool included) {
  if (count == 0) return nullptr;
  if (data && !included) {
    auto write = [&](std::vector<uint8_t>& bytes) {
      for (uint64_t i = 0; i < count; ++i) bytes.push_back(data[i]);
    };
    if (uint8_t* placed = ExtendLastRun(state, count, write)) return placed;
  }
  if (state.redoBytes) {  // a line encoded again: its bytes go back where they were
    if (data) {
      state.redoBytes->insert(state.redoBytes->end(), data, data + count);
    } else {
      state.redoBytes->resize(state.redoBytes->size() + count);
    }
    state.location += count;
    return nullptr;
  }
  uint8_t* placed = nullptr;
  bool placing = !state.inOffset && Current(state).kind != SectionKind::Bss;
  if (placing && state.location + count <= kAddressEnd) {
    ImageBuilder& image = state.image;
    image.wanted += count;
    image.Note(state.location, count);
    // Past the largest image the pass stops: the rest could only be more of
    // it. (Bytes placed over others, as a patch does, make no image larger.)
    if (image.wanted > kMaxImageSize && !state.fatal && image.HeldSpan() > kMaxImageSize) {
      EndRun(state, "the image would be larger than 16 MiB");
    }
    if (image.wanted > kMaxPlacedInPass && !state.fatal) {
      EndRun(state, "more than 256 MiB of bytes placed in one pass (bytes placed again over "
                    "others counting again)");
    }
    // A pass sure to be followed by another only counts addresses.
    if (!state.unsettled && (!state.unresolvedForward || state.redoPossible)) {
      uint32_t merges = image.merges;
      placed = image.Place(static_cast<uint32_t>(state.location), data, count,
                           {state.order, state.file, state.line, 0}, included);
      // Merged runs have moved: the first pass can't mend its lines in place.
      if (image.merges != merges) state.redoPossible = false;
      // A message about these bytes, at the pass's end, shows how their line was reached.
      if (state.image.recorded) {
        state.image.runs.back().pieces.back().source.context = KeepContext(state);
      }
    }
    Current(state).started = true;
  }
  if (state.lineCanRedo) KeepRedoBytes(state, placed, count);
  Advance(state, count);
  return placed;
}

void AdvanceLocation(PassState& state, uint64_t count) { Advance(state, count); }

void ReserveSpace(PassState& state, uint64_t count) {
  // Space, not bytes: zeros between bytes. Right after bytes it makes the
  // image reach its end (ROM sources pad to their size with "ds.b
  // ROM_SIZE-*"); anywhere else it takes no room, so "org RAM" with ds
  // names variables without filling the image up to RAM.
  ImageBuilder& image = state.image;
  if (count > 0 && !state.inOffset && Current(state).kind != SectionKind::Bss &&
      state.location + count <= kAddressEnd && image.Follows(state.location)) {
    image.Reserve(state.location + count, {state.order, state.file, state.line, KeepContext(state)});
  }
  Advance(state, count);
}

void Pad(PassState& state, uint64_t count) {
  // Padding right after the image's highest bytes that would take it past
  // what is held (a Sega CD boot source pads its disc image to 32 MiB)
  // becomes the zeros the image ends with, held no more than a ds's there.
  ImageBuilder& image = state.image;
  const uint64_t high = image.High();
  if (image.low != UINT64_MAX && state.location >= high &&
      (state.location == high || state.location == image.reservedEnd) &&
      image.HeldSpanWith(state.location, count) > kMaxImageSize && !state.inOffset &&
      Current(state).kind != SectionKind::Bss && state.location + count <= kAddressEnd) {
    image.Reserve(state.location + count, {state.order, state.file, state.line, KeepContext(state)});
    Advance(state, count);
    return;
  }
  EmitBytes(state, nullptr, count);
}

void PadOddAddress(PassState& state, std::string_view what) {
  PassWarning(state, std::string(what) + " at odd address " + HexAddress(state.location) +
                         ": a zero byte is added before it");
  // Labels alone on the lines just above name what follows them: the padded address.
  std::vector<int32_t> labels;
  labels.swap(state.labelsAbove);
  uint32_t before = Here(state);
  Pad(state, 1);
  for (int32_t label : labels) MoveLabel(state, label, before, Here(state));
}

bool RefuseBytesInBss(PassState& state, std::string_view what) {
  PassError(state, std::string(what) + " in bss section '" + Current(state).name +
                       "': a bss section holds no bytes, only ds");
  return false;
}

void EncodeAndEmit(PassState& state, const Statement& statement) {
  const InstructionForm* form = &FormAt(statement.form);
  const Operand* operands = StatementOperands(state, statement);
  bool lengthMayChange = false;
  if (statement.operandCount == 2 &&
      (state.options.moveq || state.options.addq || state.options.subq)) {
    form = &FormAt(QuickForm(state, state.store->expressions, statement.form, statement.size,
                             operands, statement.operandCount, lengthMayChange));
  }
  uint16_t words[kMaxInstructionWords];
  bool mayChange = false;
  int count = EncodeInstruction(state, state.store->expressions, *form, statement.size,
                                statement.flags & kSizeWritten, operands, words, mayChange);
  // The addresses after an instruction whose length may still change are
  // not known yet.
  if (lengthMayChange || mayChange) state.locationKnown = false;
  EmitWords(state, words, count);
}

PassEncodeCalls::PassEncodeCalls(PassState& state) : state(state) { state.calls = this; }

EvalResult PassEncodeCalls::EvaluateNamed(Expr expr) { return asm68k::EvaluateNamed(state, expr); }

void PassEncodeCalls::Error(std::string text) { PassError(state, std::move(text)); }

uint8_t PassEncodeCalls::ChooseForm(const SizedRequest& request, const EvalResult& r, Expr expr) {
  return asm68k::ChooseForm(state, request, r, expr);
}

void EnterSection(PassState& state, const std::string& name, SectionKind kind) {
  state.labelsAbove.clear();
  LeaveObj(state);
  SaveSection(state);
  state.inOffset = false;
  size_t index = 0;
  if (!name.empty()) {
    index = state.sectionsByName.emplace(name, state.sections.size()).first->second;
  }
  if (index == state.sections.size()) {
    // Kept twice: in order, and to be found.
    if (state.lines && !state.lines->Keep(2 * (name.size() + kEntryCost), 0)) {
      state.sectionsByName.erase(name);
      return;
    }
    Section section;
    section.name = name;
    section.kind = kind;
    auto known = state.assembly->sectionBases.find(name);
    section.baseKnown = known != state.assembly->sectionBases.end();
    if (!section.baseKnown) ++state.sectionsUnplaced;
    section.base = section.baseKnown ? known->second : 0;
    section.location = section.high = section.base;
    section.locationKnown = section.baseKnown;
    section.order = state.order;
    section.file = state.file;
    section.line = state.line;
    section.context = KeepContext(state);
    section.run = static_cast<uint32_t>(state.runSections.size());
    state.runSections.push_back(index);
    state.sections.push_back(std::move(section));
  }
  LoadSection(state, index);
  NoteRun(state, state.order + 1);
}

void StartRun(PassState& state) {
  state.sections[state.section].run = static_cast<uint32_t>(state.runSections.size());
  state.runSections.push_back(state.section);
  NoteRun(state, state.order);
}

void EnterOffset(PassState& state, uint32_t value, bool known) {
  state.labelsAbove.clear();
  LeaveObj(state);
  SaveSection(state);
  state.inOffset = true;
  state.location = value;
  state.locationKnown = known;
  NoteRun(state, state.order + 1);
}

void LeaveOffset(PassState& state) {
  if (!state.inOffset) return;
  state.labelsAbove.clear();
  state.inOffset = false;
  LoadSection(state, state.section);
  NoteRun(state, state.order + 1);
}

bool LayOutSections(PassState& state) {
  LeaveOffset(state);
  SaveSection(state);
  // Code and data sections in the order they first appeared, then bss ones.
  std::vector<Section*> order;
  for (Section& section : state.sections) {
    if (section.kind != SectionKind::Bss) order.push_back(&section);
  }
  for (Section& section : state.sections) {
    if (section.kind == SectionKind::Bss) order.push_back(&section);
  }
  bool settled = true;
  uint64_t next = 0;
  for (Section* section : order) {
    if (!section->baseKnown || section->base != next) {
      if (settled) state.movedSection = section - state.sections.data();
      settled = false;
    }
    state.assembly->sectionBases[section->name] = next;
    // The next one starts after the highest address this one reached, moved
    // as far as this one's start moved; one that reached nothing takes no room.
    int64_t end = std::max<int64_t>(section->high, section->base) +
                  (static_cast<int64_t>(next) - section->base);
    next = EvenUp(static_cast<uint64_t>(std::max<int64_t>(end, 0)));
  }

  // Bytes placed over an incbin's replace them without a word (a patch);
  // over another line's, with a warning that names both.
  std::vector<Overlap> replaced;
  FindReplaced(state.image, replaced);
  if (!replaced.empty() && !state.image.recordSources) {
    // Another pass finds the lines that placed them.
    state.assembly->recordSources = true;
    state.overlapUnnamed = true;
    settled = false;
  } else if (state.options.warnings) {
    for (const Overlap& overlap : replaced) {
      PassMessageAt(state, Severity::Warning, overlap.second,
                    "this line replaces bytes at " + Hex(overlap.address) + " that line " +
                        std::to_string(overlap.first.line) +
                        (overlap.first.file != overlap.second.file
                             ? " of " + state.assembly->files[overlap.first.file]->name
                             : std::string()) +
                        " placed");
    }
  }
  const ImageBuilder& image = state.image;
  uint64_t span = image.HeldSpan();
  // (A run that ended at a limit has said why: the image's size, mostly.)
  if (span > kMaxImageSize && !state.fatal && !image.runs.empty() &&
      !image.runs.back().pieces.empty()) {
    PassMessageAt(state, Severity::Error, image.runs.back().pieces.back().source,
                  "the image would span " + std::to_string(span) +
                      " bytes, more than 16 MiB, from its lowest byte to its highest");
  } else if (image.Span() > kMaxImageLength && !state.fatal && !image.runs.empty()) {
    PassMessageAt(state, Severity::Error, image.reservedBy,
                  "the image would be " + std::to_string(image.Span()) +
                      " bytes long with the zeros that end it, more than 2 GiB");
  }
  return settled;
}

}  // namespace asm68k
