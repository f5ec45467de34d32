#pragma once
// Directives: org, equ, set and =, dc, ds, dcb, even, cnop, include, incbin
// and end. Their operands are read once; their effect is applied in every
// pass.

#include <cstdint>
#include <string>
#include <string_view>

#include "assembly.h"
#include "operands.h"

namespace asm68k {

enum class Directive : uint8_t {
  None,
  Org,
  Equ,
  Set,
  Dc,
  Ds,
  Dcb,
  Even,
  Cnop,
  Include,
  Incbin,
  End
};

Directive FindDirective(std::string_view lowerName);

// Reads the operands of org, equ/set, dc, ds, dcb, even and cnop into the
// statement (kind, size and operands). `name` is the directive as written
// in lower case, for messages.
bool ParseDirective(Directive directive, std::string_view name, uint8_t writtenSize,
                    TextRange operands, Assembly& assembly, ExprParser& parser,
                    Statement& statement, std::string& error);

// The file name of include and incbin: quoted, or the bare rest of the field.
bool ParseFileName(TextRange operands, std::string& name, std::string& error);

// Applies a directive statement in the current pass.
void RunDirective(PassState& state, const Statement& statement);

}  // namespace asm68k
