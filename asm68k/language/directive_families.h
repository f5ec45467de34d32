#pragma once
// The parse and run functions of every directive, by family, for the
// directive table. Each family's file says what its directives do.

#include <string>
#include <string_view>
#include <vector>

#include "directive_table.h"

namespace asm68k {

using ParseFunction = bool(DirectiveParse& parse, std::string& error);
using RunFunction = void(PassState& state, const Statement& statement);

// Shared parses (directive_support.cpp).
ParseFunction ParseNone, ParseOne, ParseTwo;

// Data, layout and symbols (directives_data.cpp).
ParseFunction ParseDc, ParseDs, ParseDcb, ParseAssignment, ParseSection, ParseNamedSection,
    ParseOffset, ParseHex, ParseRorg;
RunFunction RunHex, RunOrg, RunEqu, RunSet, RunDc, RunDs, RunDcb, RunEven, RunCnop, RunSimhalt,
    RunSection, RunOffset, RunRsReset, RunRsSet, RunRs, RunAlign, RunObj, RunObjEnd, RunRorg;

// Conditional assembly (directives_conditionals.cpp).
ParseFunction ParseIf, ParseIfDefined, ParseIfSame, ParseIfBlank;
RunFunction RunIf, RunIfDefined, RunElse, RunEndIf;

// Macros and repetition (directives_macros.cpp).
ParseFunction ParseMacro, ParseLocal, ParsePurge;
RunFunction RunMacro, RunMacroCall, RunMexit, RunEndMacro, RunShift, RunLocal, RunPurge, RunRept,
    RunEndRept, RunWhile, RunEndWhile, RunEnd;

// Text: string equates and the source's own messages (directives_text.cpp).
ParseFunction ParseEqus, ParseSubstr, ParseInform, ParseFail, ParseFatal, ParsePushp, ParsePopp;
RunFunction RunEqus, RunSubstr, RunInform, RunFail, RunFatal, RunPushp, RunPopp;

// Names that stand for registers (directives_registers.cpp).
ParseFunction ParseEqur, ParseReg;
RunFunction RunEqur, RunReg;

// Files (directives_files.cpp).
ParseFunction ParseNamedFile, ParseIncbin;
RunFunction RunInclude, RunIncbin, RunIncdir;

// Options and the directives a flat image ignores (directives_options.cpp).
ParseFunction ParseAnything, ParseOpt, ParseMachine, ParseFpu;
RunFunction RunNothing, RunOpt, RunPushOptions, RunPopOptions, RunMachine, RunProcessorName,
    RunCoprocessorName, RunFpu;

// After the passes: each include and incbin line of the files the run read
// that no pass reached (after an end or a stop, in a false branch, in a
// macro never called), whose file name is the name of one of `outputs`, has
// its file looked at as the run would find it (opened, not read), so that
// the reader knows it as a file the source names. False when there were
// too many places to look in (kMaxFileLookups), or a file's lines were not
// all indexed: the files the source names are then not all known.
bool LookAtUnreachedFiles(Assembly& assembly, const std::vector<std::string>& outputs);

// Whether a value read by a directive is known where it is read (if, rept);
// reports why not.
bool KnownWhereRead(PassState& state, std::string_view directive, const EvalResult& r);

}  // namespace asm68k
