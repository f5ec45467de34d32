#pragma once
// Sizes that optimisations choose from addresses (opt os, ow, op, oz, omq,
// oaq, osq): each such choice is a line of a table kept from pass to pass.
// A choice starts at its shortest form and only grows, when its target is out
// of reach; between passes the table alone is iterated until no size changes,
// so that the next pass takes sizes that already fit together.

#include <cstdint>

#include "assembly.h"

namespace asm68k {

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
