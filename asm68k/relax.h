#pragma once
// Sizes that optimisations choose from addresses (opt os, ow, op, oz, omq,
// oaq, osq): each such choice is a line of a table kept from pass to pass.
// A choice starts at its shortest form and only grows, when its target is out
// of reach; between passes the table alone is iterated until no size changes,
// so that the next pass takes sizes that already fit together.

#include <cstdint>

#include "assembly.h"

namespace asm68k {

// What a choice needs from the line that makes it; ChooseForm fills in the rest.
struct SizedRequest {
  SizedKind kind;
  uint8_t slot;     // see SizedLine::slot
  uint8_t allowed;  // the forms it may take: a bit for each
  uint8_t growth;   // Quick: the bytes the form as written adds
  uint32_t base;    // see SizedLine::base
  uint32_t insert;  // see SizedLine::insert
  int32_t low = 0, high = 0;  // Quick: the values the quick form takes
};

// Forms of each kind, shortest first.
enum : uint8_t {
  kBranchShort = 0, kBranchWord = 1,
  kAbsolutePc = 0, kAbsoluteWord = 1, kAbsoluteLong = 2,
  kDisplacementNone = 0, kDisplacementWord = 1,
  kQuickForm = 0, kQuickWritten = 1,
};

// Whether a line that took `form` may still grow in a later pass (forms
// only grow, so the longest one stays).
inline bool MayStillGrow(SizedKind kind, uint8_t form) {
  return form < (kind == SizedKind::Absolute ? kAbsoluteLong : 1);
}

// The form the line takes in this pass: the one the table gave it, grown
// while the value `r` (of `expr`, from the store being run) is out of its reach.
uint8_t ChooseForm(PassState& state, const SizedRequest& request, const EvalResult& r, Expr expr);

// Between passes: grows the table's lines whose targets the others' growth
// puts out of reach, until none does, and moves the labels by what grew
// before them. The next pass takes the table's forms.
void RelaxSizes(Assembly& assembly, PassState& state);

// Where the layout of the pass stops being contiguous (a section entered, an
// offset block, org): the lines from `firstOrder` on are in the current run.
void NoteRun(PassState& state, uint32_t firstOrder);

}  // namespace asm68k
