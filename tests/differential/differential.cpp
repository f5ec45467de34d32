// Differential test: the generated corpus must assemble to the same image
// with our assembler as with GNU as. On a difference it finds the lines that
// differ by assembling each line on its own at GNU's address for it.
//
//   differential_gnu_as OURS_EXECUTABLE WORK_DIR [SEED [VARIANTS]]
// (another seed or more variants per form give a different, larger corpus
// for a deeper search by hand; the test uses the defaults)
#include "corpus.h"
#include "gnu_as.h"
#include "process.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr std::size_t kMinimumDistinctLines = 5000;
constexpr std::size_t kChunkLines = 64;
constexpr std::size_t kShownMismatches = 25;

struct Mismatch {
    std::size_t line_index;
    std::string expected;  // GNU's bytes in hex
    std::string ours;      // our bytes in hex, or our messages when it failed
};

std::string hex32(std::uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "$%X", v);
    return text;
}

class Comparison {
public:
    Comparison(const corpus::Corpus& c, const gnu_as::Assembly& gnu, std::string ours, std::string work)
        : corpus_(c), gnu_(gnu), ours_(std::move(ours)), work_(std::move(work)) {
        for (std::size_t i = 0; i < c.lines.size(); ++i) {
            if (!c.lines[i].emits_code) continue;
            auto it = gnu.symbols.find("m" + std::to_string(i));
            if (it == gnu.symbols.end()) continue;
            instruction_lines_.push_back(i);
            start_[i] = it->second;
        }
        for (std::size_t k = 0; k < instruction_lines_.size(); ++k) {
            std::size_t i = instruction_lines_[k];
            end_[i] = k + 1 < instruction_lines_.size() ? start_[instruction_lines_[k + 1]]
                                                        : static_cast<std::uint32_t>(gnu.image.size());
        }
        for (const corpus::Line& line : c.lines)
            if (!line.label.empty()) {
                auto it = gnu.symbols.find(line.label);
                if (it != gnu.symbols.end()) equates_ += line.label + "\tequ\t" + hex32(it->second) + "\n";
            }
    }

    std::size_t line_of_offset(std::size_t offset) const {
        for (std::size_t i : instruction_lines_)
            if (offset >= start_.at(i) && offset < end_.at(i)) return i;
        return instruction_lines_.empty() ? 0 : instruction_lines_.back();
    }

    // Every instruction line whose bytes from our assembler, placed with org
    // at GNU's address and with every label given GNU's value, differ.
    std::vector<Mismatch> find_mismatches() {
        std::vector<Mismatch> found;
        for (std::size_t k = 0; k < instruction_lines_.size(); k += kChunkLines) {
            std::vector<std::size_t> chunk(instruction_lines_.begin() + static_cast<long>(k),
                                           instruction_lines_.begin() + static_cast<long>(std::min(k + kChunkLines, instruction_lines_.size())));
            std::string messages;
            std::vector<std::uint8_t> bytes;
            if (assemble_alone(chunk, bytes, messages) && same_as_gnu(chunk, bytes)) continue;
            for (std::size_t i : chunk) {
                if (assemble_alone({i}, bytes, messages) && same_as_gnu({i}, bytes)) continue;
                Mismatch m{i, tools::hex_bytes(gnu_.image, start_[i], end_[i]), ""};
                m.ours = messages.empty() ? tools::hex_bytes(bytes, 0, bytes.size()) : messages;
                found.push_back(m);
            }
        }
        return found;
    }

private:
    bool assemble_alone(const std::vector<std::size_t>& lines, std::vector<std::uint8_t>& bytes, std::string& messages) {
        std::string source = equates_;
        for (std::size_t i : lines) source += "\torg\t" + hex32(start_[i]) + "\n" + corpus_.lines[i].ours_body + "\n";
        const std::string path = work_ + "/alone.s", image = work_ + "/alone.bin", log = work_ + "/alone.log";
        tools::write_text(path, source);
        bytes.clear();
        messages.clear();
        tools::Result r = tools::run_capture({ours_, "/p", path + "," + image}, log);
        if (r.exit_code != 0) {
            // Keep only the messages, without the equates' line numbers' noise.
            messages = "exit " + std::to_string(r.exit_code) + ": " + r.output;
            while (!messages.empty() && (messages.back() == '\n' || messages.back() == '\r')) messages.pop_back();
            for (char& ch : messages) if (ch == '\n') ch = '|';
            return false;
        }
        tools::read_file(image, bytes);
        return true;
    }

    bool same_as_gnu(const std::vector<std::size_t>& lines, const std::vector<std::uint8_t>& bytes) const {
        std::size_t from = start_.at(lines.front()), to = end_.at(lines.back());
        return bytes.size() == to - from && std::equal(bytes.begin(), bytes.end(), gnu_.image.begin() + static_cast<long>(from));
    }

    const corpus::Corpus& corpus_;
    const gnu_as::Assembly& gnu_;
    std::string ours_, work_, equates_;
    std::vector<std::size_t> instruction_lines_;
    std::map<std::size_t, std::uint32_t> start_, end_;
};

int fail(const std::string& why) {
    std::printf("FAIL: %s\n", why.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 5) {
        std::fprintf(stderr, "usage: differential_gnu_as OURS_EXECUTABLE WORK_DIR [SEED [VARIANTS]]\n");
        return 2;
    }
    const std::string ours = argv[1], work = argv[2];
    mkdir(work.c_str(), 0755);

    gnu_as::Toolchain toolchain = gnu_as::find_toolchain();
    if (!toolchain.missing.empty())
        return fail("GNU binutils for m68k not found (" + toolchain.missing +
                    "); install the Debian package binutils-m68k-linux-gnu");
    if (tools::find_in_path(ours).empty() && ours.find('/') == std::string::npos)
        return fail("our assembler not found: " + ours);

    // The corpus itself: big and complete enough to mean something.
    corpus::Options options;
    if (argc > 3) options.seed = std::strtoull(argv[3], nullptr, 0);
    if (argc > 4) options.variants = std::max(1, std::atoi(argv[4]));
    corpus::Corpus c = corpus::generate(options);
    std::map<std::string, std::size_t> per_mnemonic;
    std::size_t instructions = 0;
    for (const corpus::Line& line : c.lines)
        if (line.emits_code) {
            ++per_mnemonic[corpus::mnemonic_of(line.ours_body)];
            ++instructions;
        }
    std::string uncovered;
    for (const std::string& m : corpus::required_mnemonics())
        if (!per_mnemonic.count(m)) uncovered += " " + m;
    if (!uncovered.empty()) return fail("the corpus lacks the instructions" + uncovered);
    if (c.distinct_bodies < kMinimumDistinctLines)
        return fail("the corpus has only " + std::to_string(c.distinct_bodies) + " distinct lines");

    const std::string ours_source = work + "/corpus_ours.s", gnu_source = work + "/corpus_gnu.s";
    if (!corpus::write_ours(c, ours_source) || !corpus::write_gnu(c, gnu_source, true))
        return fail("cannot write the corpus into " + work);
    std::printf("corpus: %zu instruction lines (%zu distinct), %zu mnemonics, in %s\n", instructions,
                c.distinct_bodies, per_mnemonic.size(), ours_source.c_str());

    gnu_as::Assembly gnu = gnu_as::assemble(toolchain, gnu_source, work + "/gnu", c.uses_absolute_labels, true);
    if (!gnu.ok)
        return fail("GNU as did not accept the corpus (a generator fault):\n" + gnu.messages.substr(0, 4000));

    // Our assembler on the whole corpus.
    struct stat info;
    if (stat(ours.c_str(), &info) != 0) return fail("our assembler not found: " + ours);
    const std::string ours_image = work + "/ours.bin";
    std::remove(ours_image.c_str());
    tools::Result run = tools::run_capture({ours, "/p", ours_source + "," + ours_image}, work + "/ours.log");
    std::vector<std::uint8_t> bytes;
    tools::read_file(ours_image, bytes);
    if (run.exit_code == 0 && bytes == gnu.image) {
        std::printf("identical: %zu bytes from both assemblers\n", bytes.size());
        return 0;
    }

    std::printf("our assembler: exit %d, %zu bytes; GNU as: %zu bytes\n", run.exit_code, bytes.size(), gnu.image.size());
    if (run.exit_code != 0) {
        std::string shown = run.output.substr(0, 3000);
        std::printf("its messages (first ones):\n%s\n", shown.c_str());
    }
    Comparison comparison(c, gnu, ours, work);
    if (run.exit_code == 0) {
        std::size_t first = 0;
        while (first < bytes.size() && first < gnu.image.size() && bytes[first] == gnu.image[first]) ++first;
        std::size_t i = comparison.line_of_offset(first);
        std::printf("first difference at offset $%zX, in line %zu: %s\n", first, i + 1, corpus::ours_text(c.lines[i]).c_str());
    }

    std::vector<Mismatch> mismatches = comparison.find_mismatches();
    std::vector<std::string> entries;
    std::string report;
    std::map<std::string, std::size_t> per_mnemonic_wrong;
    for (const Mismatch& m : mismatches) {
        const corpus::Line& line = c.lines[m.line_index];
        ++per_mnemonic_wrong[corpus::mnemonic_of(line.ours_body)];
        entries.push_back("corpus_ours.s:" + std::to_string(m.line_index + 1) + ":" + line.ours_body +
                          "\n    GNU as: " + m.expected + "\n    ours:   " + m.ours);
        report += entries.back() + "\n";
    }
    tools::write_text(work + "/mismatches.txt", report);
    if (mismatches.empty()) {
        std::printf("every line alone matches GNU as, so the difference comes from how lines combine "
                    "(labels, addresses); compare %s with %s\n", ours_image.c_str(), (work + "/gnu.bin").c_str());
        return 1;
    }
    std::printf("%zu of %zu lines differ (all of them in %s/mismatches.txt); by mnemonic:", mismatches.size(),
                instructions, work.c_str());
    for (const auto& [name, count] : per_mnemonic_wrong) std::printf(" %s:%zu", name.c_str(), count);
    std::printf("\n");
    for (std::size_t k = 0; k < entries.size() && k < kShownMismatches; ++k) std::printf("%s\n", entries[k].c_str());
    return 1;
}
