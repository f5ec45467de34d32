#pragma once
// The layout of a pass: where its bytes go. The location, sections, offset
// and obj blocks, placing bytes in the image (an instruction's words as the
// encoder builds them), and laying the sections out at the pass's end
// (layout.cpp); the first pass's lines encoded again at its end (redo.cpp).

#include <cstdint>
#include <string>
#include <string_view>

#include "assembly.h"

namespace asm68k {

// Places bytes (or zeros when `data` is null) at the location and moves past
// them; in a bss section or an offset block only the location moves.
// Returns where the bytes are kept, or null when none were placed.
// `included`: an incbin's bytes, which bytes placed over them replace without a word.
uint8_t* EmitBytes(PassState& state, const uint8_t* data, uint64_t count, bool included = false);
// The same for an instruction's words (1 to kMaxInstructionWords), high byte first.
void EmitWords(PassState& state, const uint16_t* words, int count);
// Moves the location without placing anything.
void AdvanceLocation(PassState& state, uint64_t count);
// ds: moves the location; space right after bytes makes the image reach its end.
void ReserveSpace(PassState& state, uint64_t count);
// Padding: zeros (a new address only, in a bss section or an offset block).
void Pad(PassState& state, uint64_t count);
// `what` (an instruction, dc.w, ...) at an odd address gets a zero byte
// before it, and a warning.
void PadOddAddress(PassState& state, std::string_view what);
// With opt ae-, nothing: what follows is placed where it falls.
inline void AlignToWord(PassState& state, std::string_view what) {
  if ((state.location & 1) && state.options.autoEven) PadOddAddress(state, what);
}
// False, after an error, in a bss section: it holds no bytes of its own.
bool RefuseBytesInBss(PassState& state, std::string_view what);
inline bool PlacesBytes(PassState& state, std::string_view what) {
  return state.inOffset || state.sections[state.section].kind != SectionKind::Bss ||
         RefuseBytesInBss(state, what);
}

// Makes the named section current, creating it the first time.
void EnterSection(PassState& state, const std::string& name, SectionKind kind);
// Starts an offset block at `value`, or ends one (org, section).
void EnterOffset(PassState& state, uint32_t value, bool known);
void LeaveOffset(PassState& state);
// Org: the current section's layout goes on elsewhere, in a new run from this line.
void StartRun(PassState& state);
// At the end of a pass: lays the sections out and checks the image. False
// when the layout differs from the one the pass assumed (another pass is due).
bool LayOutSections(PassState& state);

// The encoder's calls, answered by the pass (see EncodeCalls): made for a
// run, it sets itself in state.calls.
class PassEncodeCalls final : public EncodeCalls {
 public:
  explicit PassEncodeCalls(PassState& state);
  EvalResult EvaluateNamed(Expr expr) override;
  void Error(std::string text) override;
  uint8_t ChooseForm(const SizedRequest& request, const EvalResult& r, Expr expr) override;

 private:
  PassState& state;
};

// Places an instruction's bytes (after its label and alignment).
void EncodeAndEmit(PassState& state, const Statement& statement);

// Runs an instruction or dc line (without its label and alignment) so that
// the first pass may encode it again at its end.
void RunRedoable(PassState& state, const Statement& statement, bool instruction,
                 void (*run)(PassState& state, const Statement& statement));
// At the end of the first pass: encodes the kept lines again (a dc line with
// `runData`); true when the pass is then the last one.
bool RedoLaterLines(PassState& state,
                    void (*runData)(PassState& state, const Statement& statement));

}  // namespace asm68k
