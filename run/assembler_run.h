// One press of "Compile": source pane -> temp.asm -> ASM68k.exe -> temp.bin -> report.
#pragma once

#include <windows.h>

// Runs the assembler on the source pane's text and shows exactly one report in
// the output pane. Blocks the dialog until the assembler has ended.
void RunAssembler(HWND dialog);
