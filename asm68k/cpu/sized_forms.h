#pragma once
// The sizes an optimisation chooses among (opt os, ow, op, oz, omq, oaq,
// osq): what the encoder asks for, and the forms it may be given (the
// choice itself is the pass's: see relax.h).

#include <cstdint>

namespace asm68k {

// The kinds of size an optimisation chooses from a value (see relax.h).
enum class SizedKind : uint8_t {
  Branch,        // os: bcc.s or bcc.w
  Absolute,      // op, ow: d16(pc), abs.w or abs.l
  Displacement,  // oz: (An) or d16(An)
  Quick,         // omq, oaq, osq: moveq, addq, subq or the instruction as written
  // The 68020's wider forms, chosen for an unsized value (see ea_full.cpp).
  BranchFar,           // bcc.s (with os), bcc.w or bcc.l
  DisplacementFar,     // (An) (with oz), d16(An) or (bd.l,An)
  IndexFar,            // d8(An,Xn), (bd.w,An,Xn) or (bd.l,An,Xn)
  PcDisplacementFar,   // d16(pc) or (bd.l,pc)
  PcIndexFar,          // d8(pc,Xn), (bd.w,pc,Xn) or (bd.l,pc,Xn)
  FullDisplacement,    // a base or outer displacement: none (with oz), .w or .l
  PcFullDisplacement,  // a base displacement from pc: .w or .l
};

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
  // The 68020's kinds of three forms (BranchFar, DisplacementFar, IndexFar,
  // PcIndexFar, FullDisplacement): the shortest, a word, a long.
  kFarShort = 0, kFarWord = 1, kFarLong = 2,
  // Those of two (PcDisplacementFar, PcFullDisplacement).
  kNearWord = 0, kNearLong = 1,
};

// The longest form of each kind: it reaches everything.
constexpr uint8_t LastForm(SizedKind kind) {
  switch (kind) {
    case SizedKind::Absolute:
    case SizedKind::BranchFar:
    case SizedKind::DisplacementFar:
    case SizedKind::IndexFar:
    case SizedKind::PcIndexFar:
    case SizedKind::FullDisplacement:
      return 2;
    default:
      return 1;
  }
}

// Whether a line that took `form` may still grow in a later pass (forms
// only grow, so the longest one stays).
inline bool MayStillGrow(SizedKind kind, uint8_t form) { return form < LastForm(kind); }

}  // namespace asm68k
