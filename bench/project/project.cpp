#include "project.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "corpus.h"

namespace project {
namespace {

namespace fs = std::filesystem;

constexpr int kGroups = 12;
constexpr int kObjectsPerGroup = 20;
constexpr int kCoreFiles = 24;
constexpr int kZones = 8;
constexpr int kActsPerZone = 3;
constexpr int kSongs = 40;
constexpr int kSamples = 10;

// splitmix64: the same project on every machine.
struct Rng {
    std::uint64_t state;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int range(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<std::uint64_t>(hi - lo + 1)); }
};

std::string upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return text;
}

std::string two_digits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }
std::string three_digits(int n) { return (n < 100 ? "0" : "") + two_digits(n); }

class Writer {
public:
    Writer(const std::string& root, Shape& shape) : root_(root), shape_(shape) {}

    // How an include or incbin names `path` (as on disk, '/' between
    // folders): mostly in upper case with `\` between folders, as DOS-era
    // sources do, one name in ten as it is on disk.
    std::string written(const std::string& path) {
        if (++named_ % 10 == 0) return path;
        std::string name = upper(path);
        for (char& c : name)
            if (c == '/') c = '\\';
        if (name != path) ++shape_.miscased;
        return name;
    }
    std::string include(const std::string& path) {
        ++shape_.includes;
        return "\tinclude\t\"" + written(path) + "\"\n";
    }
    std::string incbin(const std::string& path, const std::string& rest = "") {
        return "\tincbin\t\"" + written(path) + "\"" + rest + "\n";
    }

    bool source(const std::string& path, const std::string& text) {
        ++shape_.files;
        shape_.source_bytes += text.size();
        for (char c : text) shape_.lines += c == '\n';
        return write(path, text);
    }
    bool data(const std::string& path, std::size_t size, Rng& rng) {
        std::string bytes(size, '\0');
        for (char& b : bytes) b = static_cast<char>(rng.next());
        ++shape_.incbins;
        shape_.data_bytes += size;
        return write(path, bytes);
    }

private:
    bool write(const std::string& path, const std::string& bytes) {
        fs::path full = fs::path(root_) / path;
        std::error_code error;
        if (!fs::exists(full.parent_path())) {
            fs::create_directories(full.parent_path(), error);
            for (fs::path p = full.parent_path(); p != fs::path(root_) && !p.empty(); p = p.parent_path())
                if (folders_.insert(p.string()).second) ++shape_.folders;
        }
        std::ofstream out(full, std::ios::binary);
        out << bytes;
        return static_cast<bool>(out);
    }

    std::string root_;
    Shape& shape_;
    int named_ = 0;
    std::set<std::string> folders_;
};

// The generated instruction lines, cut into `pieces` files' worth, in order:
// the code files are included one after another with nothing between them,
// so every branch keeps the distance the corpus gave it.
std::vector<std::string> code_pieces(std::size_t lines, int pieces) {
    corpus::Options options;
    options.target_lines = lines;
    options.distinct = false;
    options.absolute_labels = false;
    options.seed = 0xF11E5;
    corpus::Corpus corpus = corpus::generate(options);
    std::vector<std::string> texts(static_cast<std::size_t>(pieces));
    for (std::size_t i = 0; i < corpus.lines.size(); ++i)
        texts[i * static_cast<std::size_t>(pieces) / corpus.lines.size()] += corpus::ours_text(corpus.lines[i]) + "\n";
    return texts;
}

// Mappings, two branches further on, and the object's art. In one object
// of eight the branches are unsized, so that opt os+ makes them short: the
// addresses after them settle over a few passes.
std::string sprites_text(Writer& w, const std::string& name, const std::string& art, bool unsized, Rng& rng) {
    std::string text = "; mappings and art of " + name + "\n" + name + "_Map:\n";
    int frames = rng.range(4, 12);
    for (int f = 0; f < frames; ++f)
        text += "\tdc.w\t" + name + "_Frame" + std::to_string(f) + "-" + name + "_Map\n";
    for (int f = 0; f < frames; ++f) {
        text += name + "_Frame" + std::to_string(f) + ":\tdc.b\t1\n";
        text += "\tdc.b\t$" + std::to_string(rng.range(10, 99)) + ",$0" + std::to_string(rng.range(0, 9)) +
                ",0," + std::to_string(rng.range(0, 90)) + ",$" + std::to_string(rng.range(10, 99)) + "\n";
    }
    const std::string branch = unsized ? "bra\t" : "bra.w\t";
    text += "\teven\n" + name + "_Draw:\n\t" + branch + name + "_Far\n\t" + branch + name + "_Near\n\tdcb.b\t20,0\n" + name +
            "_Near:\n\tdcb.b\t40,0\n" + name + "_Far:\n\trts\n" + name + "_Art:\n" + w.incbin(art);
    return text;
}

std::string song_text(int song, Rng& rng) {
    std::string text = "; song " + std::to_string(song) + "\nSong" + two_digits(song) + ":\n";
    int rows = rng.range(80, 200);
    for (int r = 0; r < rows; ++r) {
        text += "\tdc.b\t$" + std::to_string(rng.range(80, 99)) + ",$0" + std::to_string(rng.range(0, 9)) + ",$" +
                std::to_string(rng.range(10, 99)) + "," + std::to_string(rng.range(0, 127)) + "\n";
    }
    return text + "\teven\n";
}

}  // namespace

bool write_project(const std::string& folder, std::size_t corpus_lines, Shape& shape) {
    shape = Shape();
    Writer w(folder, shape);
    Rng rng{0x5EED};
    const int pieces = kCoreFiles + kGroups * kObjectsPerGroup + kZones + 1;
    std::vector<std::string> code = code_pieces(corpus_lines, pieces);
    std::size_t next_piece = 0;
    bool ok = true;

    // The equates every object includes (the same values each time).
    std::string defs = "; object fields\n";
    const char* fields[] = {"id", "render", "routine", "frame", "anim", "status", "xpos", "ypos", "xvel", "yvel"};
    for (int i = 0; i < 10; ++i) defs += "obj_" + std::string(fields[i]) + "\tequ\t$" + two_digits(i * 2 + 10) + "\n";
    ok = ok && w.source("engine/objdefs.i", defs);

    // The engine: its core files found through incdir, by their names alone.
    std::string engine = "; the engine\n" + w.include("engine/objdefs.i");
    for (int i = 0; i < kCoreFiles; ++i) {
        std::string name = "core" + two_digits(i) + ".asm";
        ++shape.includes;
        engine += "\tinclude\t\"" + upper(name) + "\"\n";
        ++shape.miscased;
        ok = ok && w.source("engine/core/" + name, "Core" + two_digits(i) + ":\n" + code[next_piece++]);
    }
    ok = ok && w.source("engine/engine.asm", engine);

    // The objects' code, then their data, group by group.
    std::string objects_code = "; the objects' code\n", objects_data = "; the objects' data\n";
    for (int g = 0; g < kGroups; ++g) {
        const std::string group = "objects/group" + two_digits(g);
        std::string group_code = "; group " + std::to_string(g) + "\n", group_data = group_code;
        for (int o = 0; o < kObjectsPerGroup; ++o) {
            const int number = g * kObjectsPerGroup + o;
            const std::string name = "Obj" + three_digits(number);
            const std::string dir = group + "/obj" + three_digits(number);
            ok = ok && w.source(dir + "/code.asm", "; object " + std::to_string(number) + "\n" +
                                                       w.include("engine/objdefs.i") + name + ":\n" +
                                                       code[next_piece++] + name + "_End:\n");
            ok = ok && w.data(dir + "/art.bin", static_cast<std::size_t>(rng.range(256, 2048)) * 2, rng);
            ok = ok && w.source(dir + "/sprites.asm", sprites_text(w, name, dir + "/art.bin", number % 8 == 0, rng));
            group_code += w.include(dir + "/code.asm");
            group_data += w.include(dir + "/sprites.asm");
        }
        ok = ok && w.source(group + "/code.asm", group_code) && w.source(group + "/data.asm", group_data);
        objects_code += w.include(group + "/code.asm");
        objects_data += w.include(group + "/data.asm");
    }
    ok = ok && w.source("objects/code.asm", objects_code) && w.source("objects/data.asm", objects_data);

    // The levels: events (code), then each act's layout and object places.
    std::string events = "; level events\n", levels = "; level data\n";
    for (int z = 0; z < kZones; ++z) {
        const std::string zone = "levels/zone" + std::to_string(z + 1);
        ok = ok && w.source(zone + "/events.asm", "Events" + std::to_string(z) + ":\n" + code[next_piece++]);
        events += w.include(zone + "/events.asm");
        std::string zone_text = "; zone " + std::to_string(z + 1) + "\n";
        for (int a = 0; a < kActsPerZone; ++a) {
            const std::string act = zone + "/act" + std::to_string(a + 1);
            ok = ok && w.data(act + "/layout.bin", 8192, rng);
            std::string places = "Places" + std::to_string(z) + "_" + std::to_string(a) + ":\n";
            for (int p = rng.range(30, 90); p > 0; --p)
                places += "\tdc.w\t$" + std::to_string(rng.range(1000, 9999)) + ",$0" + std::to_string(rng.range(100, 999)) +
                          ",$" + std::to_string(rng.range(1000, 9999)) + "\n";
            ok = ok && w.source(act + "/places.asm", places);
            zone_text += "Layout" + std::to_string(z) + "_" + std::to_string(a) + ":\n" +
                         w.incbin(act + "/layout.bin") + w.include(act + "/places.asm");
        }
        ok = ok && w.source(zone + "/zone.asm", zone_text);
        levels += w.include(zone + "/zone.asm");
    }
    ok = ok && w.source("levels/events.asm", events) && w.source("levels/levels.asm", levels);

    // The sound driver (code), its songs and its samples, some taken in part.
    ok = ok && w.source("Sound/driver.asm", "Driver:\n" + code[next_piece++]);
    std::string sound = "; music and samples\n";
    for (int s = 0; s < kSongs; ++s) {
        const std::string path = "Sound/Music/song" + two_digits(s) + ".asm";
        ok = ok && w.source(path, song_text(s, rng));
        sound += w.include(path);
    }
    for (int s = 0; s < kSamples; ++s) {
        const std::string path = "Sound/Samples/sample" + two_digits(s) + ".pcm";
        ok = ok && w.data(path, 16384, rng);
        sound += "Sample" + two_digits(s) + ":\n" + w.incbin(path, s % 3 == 0 ? ",256,8192" : "");
    }
    ok = ok && w.source("Sound/sound.asm", sound);

    std::string main = "; a generated project: code first, then data\n\topt\tos+\n\tincdir\t\"ENGINE\\CORE\"\n" +
                       w.include("engine/engine.asm") + w.include("objects/code.asm") +
                       w.include("levels/events.asm") + w.include("Sound/driver.asm") +
                       w.include("objects/data.asm") + w.include("levels/levels.asm") +
                       w.include("Sound/sound.asm") + "\tend\n";
    ok = ok && w.source("main.asm", main);
    return ok && next_piece == code.size();
}

}  // namespace project
