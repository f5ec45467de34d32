// Names that stand for registers: NAME equr REGISTER (one register, usable
// wherever a register stands) and NAME reg LIST (a movem list, usable
// wherever a movem list stands, or inside one).

#include "directive_families.h"
#include "directive_support.h"

namespace asm68k {

namespace {

bool ParseRegisterOperand(DirectiveParse& p, bool list, std::string& error) {
  if (p.label.empty()) {
    error = std::string(p.name) + " needs a name in the label field";
    return false;
  }
  Operand operand;
  operand.kind = kOpRegList;
  if (!ParseRegisterSet(p.operands, p.parser, list, operand.regMask)) {
    std::string written = Excerpt(p.operands.begin, p.operands.end);
    error = list ? "reg takes a register list (d0-d3/a0), not " + written
                 : "equr takes a data or address register, not " + written;
    return false;
  }
  SetOnlyOperand(p, operand);
  return true;
}

// Gives NAME its register or list in this pass: once, or again the same. The
// symbol is defined too, so that no label or equate takes its name.
void DefineRegisterEquate(PassState& state, const Statement& statement, RegisterEquate equate) {
  if (statement.label < 0) return;
  Assembly& assembly = *state.assembly;
  const Symbol& symbol = assembly.symbols.symbols[static_cast<size_t>(statement.label)];
  equate.pass = static_cast<int16_t>(state.pass);
  RegisterEquate& kept = assembly.registerEquates.bySymbol[static_cast<uint32_t>(statement.label)];
  if (kept.pass == state.pass && symbol.kind == SymbolKind::Register && kept.reg == equate.reg &&
      kept.mask == equate.mask) {
    return;  // a file included from two places
  }
  bool taken = symbol.definedPass == state.pass;
  DefineSymbol(state, statement.label, SymbolKind::Register, equate.reg, true);
  if (taken) return;
  kept = equate;
  // An expression above took it for a value: it never is one.
  if (symbol.forwardPass == state.pass) {
    PassError(state,
              "'" + symbol.name + "' stands for a register, but a line above uses it as a value");
  }
}

}  // namespace

bool ParseEqur(DirectiveParse& p, std::string& error) {
  return ParseRegisterOperand(p, false, error);
}

bool ParseReg(DirectiveParse& p, std::string& error) {
  return ParseRegisterOperand(p, true, error);
}

void RunEqur(PassState& state, const Statement& statement) {
  RegisterEquate equate;
  uint16_t mask = StatementOperands(state, statement)[0].regMask;  // the register's one bit
  for (int reg = 0; reg < 16; ++reg) {
    if (mask == 1u << reg) equate.reg = static_cast<int8_t>(reg);
  }
  DefineRegisterEquate(state, statement, equate);
}

void RunReg(PassState& state, const Statement& statement) {
  RegisterEquate equate;
  equate.mask = StatementOperands(state, statement)[0].regMask;
  DefineRegisterEquate(state, statement, equate);
}

}  // namespace asm68k
