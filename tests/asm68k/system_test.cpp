// The system instructions of the 68030, 68040, 68060 and CPU32: the forms
// where the processor manuals and GNU as part, and the messages on a
// processor that lacks a form. Their encodings are checked byte for byte
// against GNU as by the differential test (tests/differential/system.cpp).

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

using asm68k_test::ExpectErrors;
using asm68k_test::ExpectWords;

TEST(System, TheManualsDecideWhereGnuAsDiffers) {
  ExpectWords({
      // The 68030's own pflusha, not the 68040's one-word form.
      {"machine 68030\n pflusha", {0xF000, 0x2400}},
      // mmusr and its older name psr; sfc and dfc are function codes 0 and 1.
      {"machine 68030\n pmove mmusr,(a0)\n pmove (a1),psr\n pflush dfc,#7,(a2)",
       {0xF010, 0x6200, 0xF011, 0x6000, 0xF012, 0x38E1}},
      // pmove's size, where written, is the register's.
      {"machine 68030\n pmove.l tc,(sp)\n pmove.w mmusr,(a0)\n pmovefd.l (a1),tt0",
       {0xF017, 0x4200, 0xF010, 0x6200, 0xF011, 0x0900}},
      // Unsized, the CPU32's tables are .w (GNU as wants the size).
      {"machine cpu32\n tbls d0:d1,d2\n tblun (a0),d3", {0xF800, 0x2841, 0xF810, 0x3540}},
  });
}

TEST(System, WhatTheProcessorLacksIsAnError) {
  ExpectErrors({
      {"pmove tc,(a0)", "pmove needs a 68030: machine 68030"},
      // pmove moves to and from memory only (control alterable modes).
      {"machine 68030\n pmove tc,d0", "pmove cannot take a data register as destination"},
      {"machine 68030\n pmovefd (a0),mmusr", "pmovefd cannot load mmusr"},
      {"machine 68030\n pmove.w tc,(a0)", "pmove.w cannot move tc, a long word; write pmove.l"},
      {"machine 68030\n pmove.l crp,(a0)",
       "pmove.l cannot move crp, a quad word; write pmove without a size"},
      // The 68030's function code and mask are three bits, its levels 0 to 7.
      {"machine 68030\n pflush #8,#1", "a function code is 0 to 7, not 8"},
      {"machine 68030\n pflush #1,#8", "pflush's mask is 0 to 7, not 8"},
      {"machine 68030\n ptestw d0,(a0),#8", "ptest's level is 0 to 7, not 8"},
      {"machine 68030\n ploadr vbr,(a0)", "a function code is sfc, dfc, a data register or #0-7"},
      {"machine 68030\n ptestr #1,(a0)", "ptestr takes three or four operands"},
      {"machine 68030\n ptestr (a0)",
       "ptestr takes three or four operands; a 68040 has it: machine 68040"},
      // The 68060 has plpar and plpaw in place of ptest.
      {"machine 68060\n ptestw (a0)", "ptestw needs a 68030: machine 68030"},
      {"machine 68040\n plpaw (a0)", "plpaw needs a 68060: machine 68060"},
      {"machine 68040\n cinvl xc,(a0)", "cinvl names the caches nc, dc, ic or bc, not 'xc'"},
      {"machine 68040\n cinva dc,(a0)", "cinva takes one operand"},
      {"machine 68060\n move16 $12.w,(a1)", "move16 takes a long address, not .w"},
      {"machine 68060\n tbls.w (a0),d0", "tbls needs a CPU32: machine cpu32"},
      {"machine cpu32\n tblu.w a0:d1,d2", "tblu interpolates between two data registers, Dym:Dyn"},
  });
}

}  // namespace
