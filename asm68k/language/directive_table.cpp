#include "directive_table.h"

#include "directive_families.h"
#include "directive_support.h"

namespace asm68k {

namespace {

// Each row: name, flags, parse, run.
const Directive kDirectives[] = {
    {"org", kLabelAfter, ParseOne, RunOrg},
    {"obj", kLabelAfter, ParseOne, RunObj},
    {"objend", kLabelAfter, ParseNone, RunObjEnd},
    {"rorg", kLabelAfter, ParseRorg, RunRorg},
    {"equ", kNamesSymbol, ParseAssignment, RunEqu},
    {"set", kNamesSymbol, ParseAssignment, RunSet},
    {"=", kNamesSymbol, ParseAssignment, RunSet},
    {"equr", kNamesSymbol, ParseEqur, RunEqur},
    {"reg", kNamesSymbol, ParseReg, RunReg},
    {"dc", kTakesSize | kWordAligned, ParseDc, RunDc},
    {"ds", kTakesSize | kWordAligned, ParseDs, RunDs},
    {"dcb", kTakesSize | kWordAligned, ParseDcb, RunDcb},
    {"blk", kTakesSize | kWordAligned, ParseDcb, RunDcb},
    {"even", kLabelAfter, ParseNone, RunEven},
    {"cnop", kLabelAfter, ParseTwo, RunCnop},
    {"include", 0, ParseNamedFile, RunInclude},
    {"incbin", 0, ParseIncbin, RunIncbin},
    {"incdir", 0, ParseNamedFile, RunIncdir},
    {"end", 0, ParseNone, RunEnd},
    {"if", kOpensIf, ParseIf, RunIf},
    {"ifne", kOpensIf, ParseIf, RunIf},
    {"ifeq", kOpensIf, ParseIf, RunIf},
    {"ifgt", kOpensIf, ParseIf, RunIf},
    {"ifge", kOpensIf, ParseIf, RunIf},
    {"iflt", kOpensIf, ParseIf, RunIf},
    {"ifle", kOpensIf, ParseIf, RunIf},
    {"ifd", kOpensIf, ParseIfDefined, RunIfDefined},
    {"ifdef", kOpensIf, ParseIfDefined, RunIfDefined},
    {"ifnd", kOpensIf, ParseIfDefined, RunIfDefined},
    {"ifndef", kOpensIf, ParseIfDefined, RunIfDefined},
    {"ifc", kOpensIf, ParseIfSame, RunIf},
    {"ifnc", kOpensIf, ParseIfSame, RunIf},
    {"ifb", kOpensIf, ParseIfBlank, RunIf},
    {"ifnb", kOpensIf, ParseIfBlank, RunIf},
    {"else", kElse, ParseNone, RunElse},
    {"elseif", kElseIf, ParseIf, RunElse},
    {"endif", kEndIf, ParseNone, RunEndIf},
    {"endc", kEndIf, ParseNone, RunEndIf},
    {"macro", kNamesSymbol | kOpensMacro | kMacroName, ParseMacro, RunMacro},
    {"macros", kNamesSymbol | kMacroName, ParseMacro, RunMacro},
    {"shift", 0, ParseNone, RunShift},
    {"local", 0, ParseLocal, RunLocal},
    {"purge", 0, ParsePurge, RunPurge},
    {"equs", kNamesSymbol | kNamesText, ParseEqus, RunEqus},
    {"substr", kNamesSymbol | kNamesText, ParseSubstr, RunSubstr},
    {"inform", 0, ParseInform, RunInform},
    {"endm", kEndMacro, ParseNone, RunEndMacro},
    {"mexit", 0, ParseNone, RunMexit},
    {"rept", kOpensRept, ParseOne, RunRept},
    {"endr", kEndRept, ParseNone, RunEndRept},
    {"while", kOpensWhile, ParseOne, RunWhile},
    {"endw", kEndWhile, ParseNone, RunEndWhile},
    {"section", 0, ParseSection, RunSection},
    {"code", 0, ParseNamedSection, RunSection},
    {"text", 0, ParseNamedSection, RunSection},
    {"data", 0, ParseNamedSection, RunSection},
    {"bss", 0, ParseNamedSection, RunSection},
    {"offset", 0, ParseOffset, RunOffset},
    {"rsreset", 0, ParseNone, RunRsReset},
    {"rsset", 0, ParseOne, RunRsSet},
    {"rs", kTakesSize | kNamesSymbol, ParseOne, RunRs},
    {"align", kLabelAfter, ParseOne, RunAlign},
    {"simhalt", kWordAligned, ParseNone, RunSimhalt},
    {"hex", 0, ParseHex, RunHex},
    {"opt", 0, ParseOpt, RunOpt},
    {"pusho", 0, ParseNone, RunPushOptions},
    {"popo", 0, ParseNone, RunPopOptions},
    {"fail", 0, ParseFail, RunFail},
    {"fatal", 0, ParseFatal, RunFatal},
    {"pushp", 0, ParsePushp, RunPushp},
    {"popp", 0, ParsePopp, RunPopp},
    {"xdef", 0, ParseAnything, RunNothing},
    {"xref", 0, ParseAnything, RunNothing},
    {"public", 0, ParseAnything, RunNothing},
    {"global", 0, ParseAnything, RunNothing},
    {"cpu", 0, ParseAnything, RunNothing},
    {"machine", 0, ParseAnything, RunNothing},
    {"list", 0, ParseAnything, RunNothing},
    {"nolist", 0, ParseAnything, RunNothing},
    {"page", 0, ParseAnything, RunNothing},
    {"nopage", 0, ParseAnything, RunNothing},
    {"title", 0, ParseAnything, RunNothing},
    {"ttl", 0, ParseAnything, RunNothing},
    {"spc", 0, ParseAnything, RunNothing},
    {"llen", 0, ParseAnything, RunNothing},
    {"plen", 0, ParseAnything, RunNothing},
    {"output", 0, ParseAnything, RunNothing},
    {"module", 0, ParseAnything, RunNothing},
};


}  // namespace

const Directive& DirectiveAt(int index) { return kDirectives[index]; }

int DirectiveCount() { return static_cast<int>(sizeof(kDirectives) / sizeof(kDirectives[0])); }

}  // namespace asm68k
