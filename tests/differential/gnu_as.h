// GNU as for m68k as the reference assembler: source -> raw binary image at 0.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace gnu_as {

struct Toolchain {
    std::string as, ld, objcopy, nm;
    std::string missing;  // names of the tools not found, empty when all are there
};

Toolchain find_toolchain();

// MRI syntax on a plain 68000; `|` is an operator, not a comment; an index
// register without a size is a word, as in our assembler.
const std::vector<std::string>& as_flags();

// GNU's own syntax, for sources written with .macro and .rept (MRI mode knows
// no directive spelled with a dot): registers without %, on a plain 68000.
const std::vector<std::string>& standard_syntax_flags();

struct Assembly {
    bool ok = false;
    std::string messages;
    std::vector<std::uint8_t> image;
    std::map<std::string, std::uint32_t> symbols;  // only when asked for
};

// Assembles `source`; intermediate files are `work_prefix` + ".o", ".elf", ".bin".
// `link` runs ld -Ttext=0, needed when the source refers to labels as
// absolute addresses (otherwise the object holds relocations, not values).
Assembly assemble(const Toolchain& tools, const std::string& source, const std::string& work_prefix,
                  bool link, bool want_symbols, const std::vector<std::string>& flags = as_flags());

// The commands assemble() runs to make the image, in order: as, ld when
// `link`, objcopy.
std::vector<std::vector<std::string>> image_commands(const Toolchain& tools, const std::string& source,
                                                     const std::string& work_prefix, bool link,
                                                     const std::vector<std::string>& flags = as_flags());

}  // namespace gnu_as
