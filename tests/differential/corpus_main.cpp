// Writes the differential corpus for both assemblers, for looking at by hand:
//   asm68k_corpus OUT_DIR   ->  OUT_DIR/corpus_ours.s, OUT_DIR/corpus_gnu.s
#include "corpus.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: asm68k_corpus OUT_DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    corpus::Corpus c = corpus::generate(corpus::Options{});
    if (!corpus::write_ours(c, dir + "/corpus_ours.s") || !corpus::write_gnu(c, dir + "/corpus_gnu.s", false)) {
        std::fprintf(stderr, "asm68k_corpus: cannot write to %s\n", dir.c_str());
        return 2;
    }
    std::printf("%zu lines, %zu distinct instruction lines%s\n", c.lines.size(), c.distinct_bodies,
                c.uses_absolute_labels ? " (refers to labels as absolute addresses: GNU output needs ld)" : "");
    return 0;
}
