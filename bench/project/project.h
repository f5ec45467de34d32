// A generated multi-file project, as the community's Mega Drive games are
// laid out: several hundred include files in nested folders, data pulled in
// with incbin, names written in the source in another case than on disk (and
// with `\` between folders), a folder searched through incdir, one file of
// equates included by every object, and branches whose sizes settle only
// after several passes.
#pragma once

#include <cstdint>
#include <string>

namespace project {

struct Shape {
    int files = 0;            // source files, main.asm included
    int folders = 0;          // folders below the project's own
    int incbins = 0;          // distinct files pulled in with incbin
    int includes = 0;         // include lines in all the files (a pass enters each once)
    int miscased = 0;         // include and incbin names written in another case than on disk
    std::size_t lines = 0;    // source lines in all the files
    std::uint64_t source_bytes = 0;
    std::uint64_t data_bytes = 0;  // of the incbin files
};

// Writes the project into `folder` (which must exist and be empty): main.asm
// and everything it includes. The same seed gives the same files.
bool write_project(const std::string& folder, std::size_t corpus_lines, Shape& shape);

}  // namespace project
