// Generated 68000 source on which our assembler and GNU as (MRI mode) must
// produce the same bytes. Used by the differential test and the benchmark.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corpus {

// One source line. `ours` is what our assembler reads; `gnu` is the same
// instruction spelled for GNU as (they differ only for the few aliases GNU
// does not know, e.g. dblo -> dbcs). `label` is the label field (may be empty,
// then `label_text` is too); `ours_body`/`gnu_body` are the lines without it.
struct Line {
    std::string label;       // name defined on this line, or empty
    std::string label_text;  // the label field as written ("t5:", "t5", "  t5:")
    std::string ours_body;   // "\tmove.w d0,d1" etc.
    std::string gnu_body;
    bool counts_as_distinct = true;  // false for the padding lines at the end
    bool emits_code = true;          // false for label-only and equ lines
};

struct Options {
    std::uint64_t seed = 0x68000;
    int variants = 3;               // lines per (instruction, size, modes) combination
    bool absolute_labels = true;    // allow (label).l and dc.l label (GNU then needs ld)
    bool distinct = true;           // reject a line body already produced
    std::size_t target_lines = 0;   // 0: one sweep; else sweeps until reached, stopping within one,
                                    // then the few lines that close the corpus
};

struct Corpus {
    std::vector<Line> lines;
    std::size_t distinct_bodies = 0;
    bool uses_absolute_labels = false;
};

Corpus generate(const Options& options);

std::string ours_text(const Line& line);
std::string gnu_text(const Line& line);

// Writes the corpus as a source file for one assembler. For GNU, when
// `line_markers` is set, a label "m<N>:" is put on its own line before line N
// so that the symbol table tells at which address each line starts.
bool write_ours(const Corpus& corpus, const std::string& path);
bool write_gnu(const Corpus& corpus, const std::string& path, bool line_markers);

// Every 68000 mnemonic (with each condition code spelled out) that the corpus
// must contain; the differential test checks coverage against it.
const std::vector<std::string>& required_mnemonics();

// The mnemonic of a body line ("move" for "\tMOVE.L d0,d1"), lower case.
std::string mnemonic_of(const std::string& body);

}  // namespace corpus
