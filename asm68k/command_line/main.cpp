// ASM68k: the 68000 assembler the program runs as "ASM68k /p SOURCE,OUTPUT".
#include "command_line.h"

int main(int argc, char** argv) { return asm68k::RunCommandLine(argc, argv, stdout); }
