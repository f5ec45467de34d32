// A program written with macros, conditional assembly and rept must give the
// same bytes with our assembler as the same program written out by hand
// gives with GNU as.
//
//   expansion_gnu_as OURS_EXECUTABLE WORK_DIR MACRO_SOURCE FLAT_SOURCE
#include "gnu_as.h"
#include "process.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: expansion_gnu_as OURS WORK_DIR MACRO_SOURCE FLAT_SOURCE\n");
        return 2;
    }
    const std::string ours = argv[1], work = argv[2], macros = argv[3], flat = argv[4];
    gnu_as::Toolchain toolchain = gnu_as::find_toolchain();
    if (!toolchain.missing.empty()) {
        std::printf("missing GNU tools:%s\n", toolchain.missing.c_str());
        return 1;
    }
    tools::run({"mkdir", "-p", work});
    gnu_as::Assembly gnu = gnu_as::assemble(toolchain, flat, work + "/flat", true, false);
    if (!gnu.ok) {
        std::printf("GNU as did not accept %s:\n%s\n", flat.c_str(), gnu.messages.c_str());
        return 1;
    }
    const std::string image = work + "/macros.bin";
    tools::Result run = tools::run_capture({ours, "/p", macros + "," + image}, work + "/macros.log");
    std::vector<std::uint8_t> bytes;
    tools::read_file(image, bytes);
    if (run.exit_code == 0 && bytes == gnu.image) {
        std::printf("identical: %zu bytes\n", bytes.size());
        return 0;
    }
    std::printf("ours (exit %d):\n%s\n  %s\nGNU as on the flat program:\n  %s\n", run.exit_code,
                run.output.c_str(), tools::hex_bytes(bytes, 0, bytes.size()).c_str(),
                tools::hex_bytes(gnu.image, 0, gnu.image.size()).c_str());
    return 1;
}
