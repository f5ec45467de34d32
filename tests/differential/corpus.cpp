// Corpus of 68000 instruction lines in the forms on which our assembler and
// GNU as in MRI mode (-m68000 -M --bitwise-or --base-size-default-16) agree
// byte for byte. GNU as rewrites some forms on its own, so the generator keeps
// away from them (each rule below was checked against GNU as):
//   - move.l #n,Dn with n in -128..127 becomes moveq      -> n outside that range
//     (as a 32-bit value: $FFFFFFFF too)
//   - add/sub #1..8 becomes addq/subq (any destination)   -> plain add/sub avoid 1..8
//   - unsized branches become short                      -> every branch sized
//   - 0(An) becomes (An); numeric d16(PC) means an address -> displacements non-zero,
//                                                            PC-relative only to labels
//   - an unsized label reference becomes PC-relative      -> absolute labels as (label).l
//   - a negative byte immediate is encoded $FFxx          -> byte immediates 0..255
//   - $FFFF8000..$FFFFFFFF unsized is taken as word       -> unsized only below $FFFF8000
//   - dc.b pads the next instruction to an even address   -> dc.b with even byte counts
//   - a space ends the operand field; mixed-case "Sp" is a symbol -> no spaces in
//     operands, keywords all lower or all upper case
//   - exg.l, abcd.b, dblo, shs, slo are unknown                   -> exg, abcd unsized; aliases
//                                                            respelled for GNU only
//   - doubled quotes inside strings misassemble           -> none
//   - a movep displacement naming a later equ comes out 0 -> movep only uses
//                                                            constants defined above
// Labels ("anchors") t0, t1, ... sit every 8 instruction lines, so a branch or
// PC-relative reference to the nearest anchor is always within byte range and
// one to an anchor up to 30 away within word range.
#include "corpus.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <iterator>
#include <cctype>
#include <fstream>
#include <functional>
#include <map>
#include <unordered_set>

namespace corpus {
namespace {

// splitmix64: the same sequence on every platform and library.
struct Rng {
    std::uint64_t state;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    std::int64_t range(std::int64_t lo, std::int64_t hi) {  // inclusive
        return lo + static_cast<std::int64_t>(next() % static_cast<std::uint64_t>(hi - lo + 1));
    }
    bool one_in(int n) { return next() % static_cast<std::uint64_t>(n) == 0; }
    template <class T>
    const T& pick(const std::vector<T>& items) { return items[next() % items.size()]; }
};

enum Mode : unsigned {
    kDn = 1u << 0, kAn = 1u << 1, kInd = 1u << 2, kPostInc = 1u << 3, kPreDec = 1u << 4,
    kDisp = 1u << 5, kIndex = 1u << 6, kAbsW = 1u << 7, kAbsL = 1u << 8,
    kPcDisp = 1u << 9, kPcIndex = 1u << 10, kImm = 1u << 11,
};
constexpr unsigned kAll = (1u << 12) - 1;
constexpr unsigned kData = kAll & ~kAn;
constexpr unsigned kControl = kInd | kDisp | kIndex | kAbsW | kAbsL | kPcDisp | kPcIndex;
constexpr unsigned kAlterable = kDn | kAn | kInd | kPostInc | kPreDec | kDisp | kIndex | kAbsW | kAbsL;
constexpr unsigned kDataAlt = kAlterable & ~kAn;
constexpr unsigned kMemAlt = kDataAlt & ~kDn;
constexpr unsigned kCtrlAlt = kControl & ~(kPcDisp | kPcIndex);

std::vector<Mode> modes_in(unsigned mask) {
    std::vector<Mode> modes;
    for (unsigned bit = 1; bit <= kImm; bit <<= 1)
        if (mask & bit) modes.push_back(static_cast<Mode>(bit));
    return modes;
}

enum class Size { None, B, W, L, S };

const std::vector<std::string> kConditions = {"hi", "ls", "cc", "hs", "cs", "lo", "ne", "eq",
                                              "vc", "vs", "pl", "mi", "ge", "lt", "gt", "le"};

constexpr int kAnchorSpacing = 8;   // instruction lines between anchors
constexpr int kFarAnchors = 30;     // word-range references reach this many anchors away

std::string hex(std::uint64_t v, bool upper) {
    static const char* lower_digits = "0123456789abcdef";
    static const char* upper_digits = "0123456789ABCDEF";
    const char* digits = upper ? upper_digits : lower_digits;
    std::string s;
    do {
        s.insert(s.begin(), digits[v & 15]);
        v >>= 4;
    } while (v);
    return s;
}

std::string to_upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

class Generator {
public:
    explicit Generator(const Options& options) : opt_(options), rng_{options.seed} {}

    Corpus run() {
        define_constants(0, std::size(kConstants) / 2);  // the others at the end: forward references
        do {
            sweep();
        } while (opt_.target_lines && !target_reached());
        closing_ = true;
        place_remaining_anchors();
        define_constants(std::size(kConstants) / 2, std::size(kConstants));
        corpus_.uses_absolute_labels = used_absolute_labels_;
        corpus_.distinct_bodies = seen_.size();
        return std::move(corpus_);
    }

private:
    // ---- line bookkeeping -------------------------------------------------

    // Produces one line from `make`, retrying when the body was already made.
    void line(const std::function<std::string()>& make, bool distinct = true) {
        if (target_reached() && !closing_) return;  // the rest of the sweep makes nothing
        if (since_anchor_ >= kAnchorSpacing && pending_anchor_ < 0) {
            pending_anchor_ = anchors_made_++;
            since_anchor_ = 0;
        }
        for (int attempt = 0; attempt < 12; ++attempt) {
            upper_ = rng_.one_in(8);
            std::string body = make();
            if (rng_.one_in(25)) body += rng_.one_in(2) ? "\t; note" : " ; checked";
            if (distinct && opt_.distinct && !seen_.insert(body).second) continue;
            commit(body, distinct);
            return;
        }
    }

    void commit(const std::string& body, bool distinct) {
        if (pending_anchor_ >= 0) {
            std::string name = "t" + std::to_string(pending_anchor_);
            int style = static_cast<int>(rng_.range(0, 7));
            std::string text = style < 4 ? name + ":" : style < 6 ? name : "  " + name + ":";
            if (style == 7) {  // the label alone on its line, the instruction below
                corpus_.lines.push_back({name, name + ":", "", "", false, false});
            } else {
                Line l{name, text, body, gnu_spelling(body), distinct};
                corpus_.lines.push_back(l);
                pending_anchor_ = -1;
                ++since_anchor_;
                return;
            }
            pending_anchor_ = -1;
        }
        corpus_.lines.push_back({"", "", body, gnu_spelling(body), distinct});
        ++since_anchor_;
    }

    bool target_reached() const { return opt_.target_lines && corpus_.lines.size() >= opt_.target_lines; }

    void place_remaining_anchors() {
        // Let the next anchor come at its usual place, so a short branch to it
        // from the last lines never lands on the very next instruction.
        int goal = anchors_made_ + 1;
        while (anchors_made_ < goal || pending_anchor_ >= 0) line([] { return std::string("\tnop"); }, false);
        while (anchors_made_ <= highest_reference_) {
            pending_anchor_ = anchors_made_++;
            line([] { return std::string("\tnop"); }, false);
        }
    }

    // GNU as does not know these aliases; it gets the canonical mnemonic.
    static std::string gnu_spelling(const std::string& body) {
        static const std::map<std::string, std::string> aliases = {
            {"dblo", "dbcs"}, {"shs", "scc"}, {"slo", "scs"}};
        std::size_t start = body.find_first_not_of(" \t");
        std::size_t end = body.find_first_of(" \t.", start);
        std::string word = body.substr(start, end - start);
        std::string lower = word;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        auto it = aliases.find(lower);
        if (it == aliases.end()) return body;
        std::string replacement = word == lower ? it->second : to_upper(it->second);
        return body.substr(0, start) + replacement + body.substr(end);
    }

    // ---- symbols defined with equ -----------------------------------------

    // Values chosen so that no use of them lets GNU as pick a shorter form:
    // none is 0, in 1..8, or in -128..127 except those meant for d8.
    static constexpr std::int64_t kConstants[] = {200, 1000, -300, 0x1234, 213, -20000, 100,
                                                   150, 30000, -1000, 0xAB, 4000, -129, -100};

    void define_constants(std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            std::string name = "k" + std::to_string(i);
            std::string body = "\tequ\t" + number(kConstants[i], false);
            corpus_.lines.push_back({name, name, body, body, false, false});
        }
    }

    // A constant's name whose value is in [lo, hi] and not excluded, or empty.
    std::string constant(std::int64_t lo, std::int64_t hi, const std::function<bool(std::int64_t)>& excluded = nullptr,
                         bool defined_above_only = false) {
        std::vector<std::size_t> fitting;
        std::size_t count = defined_above_only ? std::size(kConstants) / 2 : std::size(kConstants);
        for (std::size_t i = 0; i < count; ++i)
            if (kConstants[i] >= lo && kConstants[i] <= hi && !(excluded && excluded(kConstants[i]))) fitting.push_back(i);
        if (fitting.empty()) return "";
        return "k" + std::to_string(rng_.pick(fitting));
    }

    // ---- labels -----------------------------------------------------------

    int current_anchor() const { return pending_anchor_ >= 0 ? pending_anchor_ : anchors_made_ - 1; }

    std::string anchor(int index) {
        highest_reference_ = std::max(highest_reference_, index);
        return "t" + std::to_string(index);
    }
    // Within byte range: the anchor at or above this line, or the next one.
    std::string near_back() { return anchor(std::max(current_anchor(), 0)); }
    std::string near_forward() { return anchor(current_anchor() + 1); }
    // Lines still to come before the next anchor, not counting this one.
    int lines_before_next_anchor() const {
        int since = pending_anchor_ >= 0 ? 0 : since_anchor_;
        return kAnchorSpacing - since - 1;
    }
    std::string near() { return rng_.one_in(2) ? near_back() : near_forward(); }
    std::string far() {
        int lo = std::max(0, current_anchor() - kFarAnchors);
        int hi = current_anchor() + kFarAnchors;
        return anchor(static_cast<int>(rng_.range(lo, hi)));
    }

    // ---- tokens -----------------------------------------------------------

    std::string kw(const std::string& s) const { return upper_ ? to_upper(s) : s; }
    std::string dreg() { return kw("d" + std::to_string(rng_.range(0, 7))); }
    std::string dreg(int n) const { return kw("d" + std::to_string(n)); }
    std::string areg() {
        int n = static_cast<int>(rng_.range(0, 7));
        if (n == 7 && rng_.one_in(2)) return kw("sp");
        return kw("a" + std::to_string(n));
    }
    std::string suffix(Size size) const {
        switch (size) {
            case Size::None: return "";
            case Size::B: return kw(".b");
            case Size::W: return kw(".w");
            case Size::L: return kw(".l");
            case Size::S: return kw(".s");
        }
        return "";
    }
    std::string sep() { return rng_.one_in(4) ? "\t" : rng_.one_in(3) ? "  " : " "; }
    std::string ins(const std::string& mnemonic, Size size, const std::string& operands = "") {
        std::string head = (rng_.one_in(6) ? " " : "\t") + kw(mnemonic) + suffix(size);
        return operands.empty() ? head : head + sep() + operands;
    }

    // A number written in one of the notations both assemblers read.
    // In an operand (`in_operand`, e.g. a displacement or an address) no
    // parentheses are used, since "(" and "-(" start addressing modes there.
    std::string number(std::int64_t v, bool in_operand, int char_width = 0) {
        if (v < 0) {
            std::int64_t m = -v;
            int form = static_cast<int>(rng_.range(0, 5));
            if (form == 0) return "-$" + hex(static_cast<std::uint64_t>(m), rng_.one_in(2));
            if (form == 1 && m > 1) {  // small difference
                std::int64_t a = rng_.range(0, std::min<std::int64_t>(m - 1, 1000));
                return std::to_string(a) + "-" + std::to_string(a + m);
            }
            if (form == 2 && !in_operand) return "-(" + std::to_string(m) + ")";
            return "-" + std::to_string(m);
        }
        int form = static_cast<int>(rng_.range(0, 11));
        if (!in_operand && char_width > 0 && form >= 10) {
            std::uint64_t u = static_cast<std::uint64_t>(v);
            std::string chars;
            bool printable = true;
            for (int i = char_width - 1; i >= 0; --i) {
                char c = static_cast<char>((u >> (8 * i)) & 0xFF);
                if (!std::isalnum(static_cast<unsigned char>(c))) printable = false;
                chars += c;
            }
            if (printable && (u >> (8 * char_width)) == 0) return "'" + chars + "'";
        }
        switch (form) {
            case 0: case 1: case 2: return std::to_string(v);
            case 3: case 4: case 5: return "$" + hex(static_cast<std::uint64_t>(v), rng_.one_in(2));
            case 6:
                if (v < 65536) {
                    std::string bits;
                    std::uint64_t u = static_cast<std::uint64_t>(v);
                    do { bits.insert(bits.begin(), static_cast<char>('0' + (u & 1))); u >>= 1; } while (u);
                    return "%" + bits;
                }
                return std::to_string(v);
            case 7: {
                std::string oct;
                std::uint64_t u = static_cast<std::uint64_t>(v);
                do { oct.insert(oct.begin(), static_cast<char>('0' + (u & 7))); u >>= 3; } while (u);
                return "@" + oct;
            }
            case 8:
                if (v >= 2) {  // a sum
                    std::int64_t a = rng_.range(1, std::min<std::int64_t>(v - 1, 5000));
                    return std::to_string(a) + "+" + (rng_.one_in(2) ? std::to_string(v - a) : "$" + hex(static_cast<std::uint64_t>(v - a), false));
                }
                return std::to_string(v);
            case 9:
                if (in_operand) return "$" + hex(static_cast<std::uint64_t>(v), false);
                if (v >= 4 && v % 4 == 0 && v < 0x10000000) return "(" + std::to_string(v / 4) + ")*4";
                if (v >= 2 && v % 2 == 0 && v < 0x40000000) return std::to_string(v / 2) + "<<1";
                return "$" + hex(static_cast<std::uint64_t>(v), true);
            default: return std::to_string(v);
        }
    }

    std::int64_t pick_byte() {
        static const std::vector<std::int64_t> edges = {0, 1, 0x7F, 0x80, 0xFF, 0x55, 0xAA};
        return rng_.one_in(3) ? rng_.pick(edges) : rng_.range(0, 255);
    }
    std::int64_t pick_word() {
        static const std::vector<std::int64_t> edges = {0, 1, -1, 0x7FFF, 0x8000, 0xFFFF, -32768, 0x1234, 255, 256};
        if (rng_.one_in(3)) return rng_.pick(edges);
        if (rng_.one_in(2)) return rng_.range(-300, 300);
        return rng_.range(-32768, 65535);
    }
    std::int64_t pick_long() {
        static const std::vector<std::int64_t> edges = {0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, -1, 0x10000,
                                                        0x12345678, -2147483647 - 1, 128, -129, 0xFFFF};
        if (rng_.one_in(3)) return rng_.pick(edges);
        int magnitude = static_cast<int>(rng_.range(0, 3));
        if (magnitude == 0) return rng_.range(-100000, 100000);
        if (magnitude == 1) return rng_.range(-2147483647 - 1, 2147483647);
        return rng_.range(0, 0xFFFFFFFFLL);
    }

    // An immediate for an instruction of `size`; `excluded` rejects values
    // GNU as would turn into another instruction.
    std::string immediate(Size size, const std::function<bool(std::int64_t)>& excluded = nullptr) {
        if (rng_.one_in(12)) {
            std::string name = size == Size::B   ? constant(0, 255, excluded)
                               : size == Size::L ? constant(INT32_MIN, UINT32_MAX, excluded)
                                                 : constant(-32768, 65535, excluded);
            if (!name.empty()) return "#" + name;
        }
        if (size != Size::B && size != Size::L && !excluded && rng_.one_in(15))  // a distance between labels
            return "#" + far() + "-" + near_back();
        for (;;) {
            std::int64_t v;
            int width;
            if (size == Size::B) { v = pick_byte(); width = 1; }
            else if (size == Size::L) { v = pick_long(); width = 4; }
            else { v = pick_word(); width = rng_.one_in(2) ? 2 : 1; }
            if (excluded && excluded(v)) continue;
            return "#" + number(v, false, width);
        }
    }

    // GNU as leaves a movep displacement 0 when it is a symbol defined further
    // down, so movep gets `defined_above_only`.
    std::string displacement16(bool defined_above_only = false) {
        static const std::vector<std::int64_t> edges = {1, -1, 2, 0x7FFF, -32768, 0x80, -0x81, 0x100, -2};
        if (rng_.one_in(12)) return constant(-32768, 32767, nullptr, defined_above_only);
        std::int64_t v;
        do {
            if (rng_.one_in(3)) v = rng_.pick(edges);
            else if (rng_.one_in(2)) v = rng_.range(-128, 127);
            else v = rng_.range(-32768, 32767);
        } while (v == 0);
        return number(v, true);
    }
    std::string displacement8() {
        static const std::vector<std::int64_t> edges = {0, 127, -128, 1, -1};
        if (rng_.one_in(12)) return constant(-128, 127);
        return number(rng_.one_in(3) ? rng_.pick(edges) : rng_.range(-128, 127), true);
    }
    std::string index_register() {
        std::string reg = rng_.one_in(3) ? kw("a" + std::to_string(rng_.range(0, 7))) : dreg();
        int s = static_cast<int>(rng_.range(0, 4));
        return reg + (s < 2 ? kw(".w") : s < 4 ? kw(".l") : "");
    }

    std::string absolute_word() {
        int form = static_cast<int>(rng_.range(0, 6));
        std::int64_t v = rng_.one_in(4) ? rng_.range(-32768, -1) : rng_.range(0, 0x7FFF);
        if (rng_.one_in(6)) v = rng_.pick(std::vector<std::int64_t>{0x7FFF, -32768, 0, -1});
        if (form == 0 && v >= 0) return number(v, true);  // unsized, known and short
        if (form == 1 && v < 0 && v > -1000) return number(v, true);
        std::string text = v < 0 && rng_.one_in(2) ? "$" + hex(static_cast<std::uint64_t>(v) & 0xFFFFFFFFu, rng_.one_in(2))
                                                   : number(v, true);
        if (form <= 3 || text.find_first_of("+-", 1) != std::string::npos) return "(" + text + ")" + kw(".w");
        return text + kw(".w");
    }
    std::string absolute_long() {
        if (opt_.absolute_labels && rng_.one_in(3)) {
            used_absolute_labels_ = true;
            std::string target = far();
            int form = static_cast<int>(rng_.range(0, 3));
            if (form == 0) return "(" + target + "+" + std::to_string(2 * rng_.range(1, 20)) + ")" + kw(".l");
            if (form == 1) return target + kw(".l");
            return "(" + target + ")" + kw(".l");
        }
        int form = static_cast<int>(rng_.range(0, 4));
        if (form == 0) return number(rng_.range(0x8000, 0xFFFF7FFFLL), true);  // unsized, too big for a word
        std::int64_t v = rng_.one_in(5) ? rng_.range(0, 0x7FFF) : rng_.range(0, 0xFFFFFFFFLL);
        std::string text = rng_.one_in(2) ? "$" + hex(static_cast<std::uint64_t>(v), rng_.one_in(2)) : number(v, true);
        if (form == 1 || text.find_first_of("+-", 1) != std::string::npos) return "(" + text + ")" + kw(".l");
        return text + kw(".l");
    }

    std::string pc_target(const std::string& label) {
        if (rng_.one_in(6)) return label + "+" + std::to_string(2 * rng_.range(1, 8));
        return label;
    }

    // The operand text for an addressing mode; `size` decides immediates.
    std::string ea(Mode mode, Size size) {
        switch (mode) {
            case kDn: return dreg();
            case kAn: return areg();
            case kInd: return "(" + areg() + ")";
            case kPostInc: return "(" + areg() + ")+";
            case kPreDec: return "-(" + areg() + ")";
            case kDisp: {
                std::string d = displacement16();
                return rng_.one_in(2) ? d + "(" + areg() + ")" : "(" + d + "," + areg() + ")";
            }
            case kIndex: {
                std::string d = displacement8();
                std::string an = areg();
                return rng_.one_in(2) ? d + "(" + an + "," + index_register() + ")"
                                      : "(" + d + "," + an + "," + index_register() + ")";
            }
            case kAbsW: return absolute_word();
            case kAbsL: return absolute_long();
            case kPcDisp: {
                std::string t = pc_target(rng_.one_in(4) ? near() : far());
                return rng_.one_in(2) ? t + "(" + kw("pc") + ")" : "(" + t + "," + kw("pc") + ")";
            }
            case kPcIndex: {
                std::string t = near();
                return rng_.one_in(2) ? t + "(" + kw("pc") + "," + index_register() + ")"
                                      : "(" + t + "," + kw("pc") + "," + index_register() + ")";
            }
            case kImm: return immediate(size == Size::None ? Size::W : size);
        }
        return "";
    }

    std::string register_list() {
        unsigned mask = 0;
        while (mask == 0) {
            int style = static_cast<int>(rng_.range(0, 3));
            if (style == 0) mask = static_cast<unsigned>(rng_.range(1, 0xFFFF));
            else if (style == 1) mask = 1u << rng_.range(0, 15);
            else {  // a run in one bank, perhaps plus a few others
                int bank = static_cast<int>(rng_.range(0, 1)) * 8;
                int lo = static_cast<int>(rng_.range(0, 7)), hi = static_cast<int>(rng_.range(lo, 7));
                for (int r = lo; r <= hi; ++r) mask |= 1u << (bank + r);
                if (style == 3) mask |= 1u << rng_.range(0, 15);
            }
        }
        std::vector<std::string> groups;
        for (int bank = 0; bank < 2; ++bank) {
            const char* letter = bank == 0 ? "d" : "a";
            for (int r = 0; r < 8;) {
                if (!(mask & (1u << (bank * 8 + r)))) { ++r; continue; }
                int end = r;
                while (end + 1 < 8 && (mask & (1u << (bank * 8 + end + 1)))) ++end;
                std::string first = kw(letter + std::to_string(r));
                if (end == r) groups.push_back(first);
                else if (end == r + 1 && rng_.one_in(2)) { groups.push_back(first); groups.push_back(kw(letter + std::to_string(end))); }
                else groups.push_back(first + "-" + kw(letter + std::to_string(end)));
                r = end + 1;
            }
        }
        if (rng_.one_in(4)) std::reverse(groups.begin(), groups.end());
        std::string text;
        for (const std::string& g : groups) text += (text.empty() ? "" : "/") + g;
        return text;
    }

    // ---- instruction families ---------------------------------------------

    int variants() const { return opt_.variants; }

    void repeat(int count, const std::function<std::string()>& make) {
        for (int i = 0; i < count; ++i) line(make);
    }

    // As a 32-bit value: $FFFFFFFF is -1 and GNU as makes it a moveq too.
    static bool moveq_range(std::int64_t v) {
        std::int32_t as_long = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
        return as_long >= -128 && as_long <= 127;
    }
    static bool quick_range(std::int64_t v) { return v >= 1 && v <= 8; }

    void family_move() {
        for (Size size : {Size::B, Size::W, Size::L, Size::None})
            for (Mode src : modes_in(kAll))
                for (Mode dst : modes_in(kDataAlt)) {
                    if (size == Size::B && src == kAn) continue;
                    repeat(variants(), [&] {
                        std::string s = src == kImm && size == Size::L && dst == kDn
                                            ? immediate(Size::L, moveq_range)
                                            : ea(src, size);
                        return ins("move", size, s + "," + ea(dst, size));
                    });
                }
        for (const char* mnemonic : {"movea", "move"})
            for (Size size : {Size::W, Size::L, Size::None})
                for (Mode src : modes_in(kAll))
                    repeat(variants(), [&] { return ins(mnemonic, size, ea(src, size) + "," + areg()); });
        for (Size size : {Size::W, Size::None}) {
            for (Mode src : modes_in(kData)) {
                repeat(variants(), [&] { return ins("move", size, ea(src, Size::W) + "," + kw("ccr")); });
                repeat(variants(), [&] { return ins("move", size, ea(src, Size::W) + "," + kw("sr")); });
            }
            for (Mode dst : modes_in(kDataAlt))
                repeat(variants(), [&] { return ins("move", size, kw("sr") + "," + ea(dst, Size::W)); });
        }
        for (Size size : {Size::L, Size::None}) {
            repeat(8, [&] { return ins("move", size, kw("usp") + "," + areg()); });
            repeat(8, [&] { return ins("move", size, areg() + "," + kw("usp")); });
        }
        for (Size size : {Size::L, Size::None})
            repeat(60, [&] {
                std::int64_t v = rng_.one_in(4) ? rng_.pick(std::vector<std::int64_t>{-128, 127, 0, -1}) : rng_.range(-128, 127);
                return ins("moveq", size, "#" + number(v, false, 1) + "," + dreg());
            });
    }

    // add/sub/and/or/cmp in all their operand forms.
    void family_arith() {
        for (const char* m : {"add", "sub"}) {
            std::string name = m;
            for (Size size : {Size::B, Size::W, Size::L, Size::None}) {
                for (Mode src : modes_in(kAll)) {
                    if (size == Size::B && src == kAn) continue;
                    repeat(variants(), [&] {
                        std::string s = src == kImm ? immediate(size, quick_range) : ea(src, size);
                        return ins(name, size, s + "," + dreg());
                    });
                }
                for (Mode dst : modes_in(kMemAlt))
                    repeat(variants(), [&] { return ins(name, size, dreg() + "," + ea(dst, size)); });
                for (Mode dst : modes_in(kMemAlt))  // immediate source: the assembler picks addi/subi
                    repeat(variants(), [&] { return ins(name, size, immediate(size, quick_range) + "," + ea(dst, size)); });
                for (Mode dst : modes_in(kDataAlt)) {
                    repeat(variants(), [&] { return ins(name + "i", size, immediate(size) + "," + ea(dst, size)); });
                    repeat(variants(), [&] { return ins(name + "q", size, "#" + std::to_string(rng_.range(1, 8)) + "," + ea(dst, size)); });
                }
                if (size != Size::B) {
                    repeat(variants() * 2, [&] { return ins(name + "q", size, "#" + std::to_string(rng_.range(1, 8)) + "," + areg()); });
                    for (Mode src : modes_in(kAll)) {
                        repeat(variants(), [&] { return ins(name + "a", size, ea(src, size) + "," + areg()); });
                        repeat(variants(), [&] {
                            std::string s = src == kImm ? immediate(size, quick_range) : ea(src, size);
                            return ins(name, size, s + "," + areg());
                        });
                    }
                }
                repeat(variants() * 2, [&] { return ins(name + "x", size, dreg() + "," + dreg()); });
                repeat(variants() * 2, [&] { return ins(name + "x", size, "-(" + areg() + "),-(" + areg() + ")"); });
            }
        }
        for (const char* m : {"and", "or"}) {
            std::string name = m;
            for (Size size : {Size::B, Size::W, Size::L, Size::None}) {
                for (Mode src : modes_in(kData))
                    repeat(variants(), [&] { return ins(name, size, ea(src, size) + "," + dreg()); });
                for (Mode dst : modes_in(kMemAlt)) {
                    repeat(variants(), [&] { return ins(name, size, dreg() + "," + ea(dst, size)); });
                    repeat(variants(), [&] { return ins(name, size, immediate(size) + "," + ea(dst, size)); });
                }
                for (Mode dst : modes_in(kDataAlt))
                    repeat(variants(), [&] { return ins(name + "i", size, immediate(size) + "," + ea(dst, size)); });
            }
        }
        for (Size size : {Size::B, Size::W, Size::L, Size::None}) {
            for (Mode dst : modes_in(kDataAlt)) {
                repeat(variants(), [&] { return ins("eor", size, dreg() + "," + ea(dst, size)); });
                repeat(variants(), [&] { return ins("eori", size, immediate(size) + "," + ea(dst, size)); });
                repeat(variants(), [&] { return ins("eor", size, immediate(size) + "," + ea(dst, size)); });
                repeat(variants(), [&] { return ins("cmpi", size, immediate(size) + "," + ea(dst, size)); });
            }
            for (Mode dst : modes_in(kMemAlt))
                repeat(variants(), [&] { return ins("cmp", size, immediate(size) + "," + ea(dst, size)); });
            for (Mode src : modes_in(kAll)) {
                if (size == Size::B && src == kAn) continue;
                repeat(variants(), [&] { return ins("cmp", size, ea(src, size) + "," + dreg()); });
                if (size != Size::B) {
                    repeat(variants(), [&] { return ins("cmpa", size, ea(src, size) + "," + areg()); });
                    repeat(variants(), [&] { return ins("cmp", size, ea(src, size) + "," + areg()); });
                }
            }
            repeat(variants() * 3, [&] { return ins("cmpm", size, "(" + areg() + ")+,(" + areg() + ")+"); });
        }
        for (const char* m : {"andi", "ori", "eori"}) {
            for (Size size : {Size::B, Size::None})
                repeat(variants() * 3, [&] { return ins(m, size, "#" + number(pick_byte(), false, 1) + "," + kw("ccr")); });
            for (Size size : {Size::W, Size::None})
                repeat(variants() * 3, [&] {
                    return ins(m, size, "#" + number(rng_.range(0, 0xFFFF), false, 2) + "," + kw("sr"));
                });
        }
    }

    void family_unary() {
        for (const char* m : {"clr", "neg", "negx", "not", "tst"})
            for (Size size : {Size::B, Size::W, Size::L, Size::None})
                for (Mode dst : modes_in(kDataAlt))
                    repeat(variants(), [&] { return ins(m, size, ea(dst, size)); });
        for (const char* m : {"nbcd", "tas"})
            for (Size size : {Size::B, Size::None})
                for (Mode dst : modes_in(kDataAlt))
                    repeat(variants() * 2, [&] { return ins(m, size, ea(dst, Size::B)); });
        std::vector<std::string> conditions = kConditions;
        conditions.insert(conditions.begin(), {"t", "f"});
        for (const std::string& cc : conditions)
            for (Size size : {Size::B, Size::None})
                for (Mode dst : modes_in(kDataAlt))
                    repeat(std::max(1, variants() / 2), [&] { return ins("s" + cc, size, ea(dst, Size::B)); });
        for (const char* m : {"abcd", "sbcd"})
            for (Size size : {Size::B, Size::None}) {
                if (size == Size::B && std::string(m) == "abcd") continue;  // GNU as knows no abcd.b
                repeat(variants() * 3, [&] { return ins(m, size, dreg() + "," + dreg()); });
                repeat(variants() * 3, [&] { return ins(m, size, "-(" + areg() + "),-(" + areg() + ")"); });
            }
        for (const char* m : {"muls", "mulu", "divs", "divu", "chk"})
            for (Size size : {Size::W, Size::None})
                for (Mode src : modes_in(kData))
                    repeat(variants(), [&] { return ins(m, size, ea(src, Size::W) + "," + dreg()); });
        for (Size size : {Size::W, Size::L, Size::None})
            repeat(16, [&] { return ins("ext", size, dreg()); });
        for (Size size : {Size::W, Size::None})
            repeat(16, [&] { return ins("swap", size, dreg()); });
        repeat(variants() * 20, [&] {
            int form = static_cast<int>(rng_.range(0, 3));
            if (form == 0) return ins("exg", Size::None, dreg() + "," + dreg());
            if (form == 1) return ins("exg", Size::None, areg() + "," + areg());
            if (form == 2) return ins("exg", Size::None, dreg() + "," + areg());
            return ins("exg", Size::None, areg() + "," + dreg());
        });
    }

    void family_shift() {
        for (const char* m : {"asl", "asr", "lsl", "lsr", "rol", "ror", "roxl", "roxr"}) {
            for (Size size : {Size::B, Size::W, Size::L, Size::None}) {
                repeat(variants() * 2, [&] { return ins(m, size, dreg() + "," + dreg()); });
                repeat(variants() * 2, [&] { return ins(m, size, "#" + std::to_string(rng_.range(1, 8)) + "," + dreg()); });
            }
            for (Size size : {Size::W, Size::None})
                for (Mode dst : modes_in(kMemAlt))
                    repeat(variants(), [&] { return ins(m, size, ea(dst, Size::W)); });
        }
    }

    void family_bits() {
        for (const char* m : {"btst", "bchg", "bclr", "bset"}) {
            std::string name = m;
            unsigned dynamic_modes = name == "btst" ? kData : kDataAlt;
            unsigned static_modes = name == "btst" ? (kData & ~kImm) : kDataAlt;
            for (Mode dst : modes_in(dynamic_modes)) {
                Size size = dst == kDn ? Size::L : Size::B;
                for (Size s : {size, Size::None})
                    repeat(variants(), [&] { return ins(name, s, dreg() + "," + ea(dst, Size::B)); });
            }
            for (Mode dst : modes_in(static_modes)) {
                Size size = dst == kDn ? Size::L : Size::B;
                int top = dst == kDn ? 31 : 7;
                for (Size s : {size, Size::None})
                    repeat(variants(), [&] {
                        return ins(name, s, "#" + number(rng_.range(0, top), false) + "," + ea(dst, Size::B));
                    });
            }
        }
    }

    void family_flow() {
        std::vector<std::string> branches = {"bra", "bsr"};
        for (const std::string& cc : kConditions) branches.push_back("b" + cc);
        for (const std::string& b : branches) {
            repeat(variants() * 2, [&] { return ins(b, Size::W, rng_.one_in(3) ? near() : far()); });
            repeat(variants() * 2, [&] {
                std::string target = lines_before_next_anchor() >= 1 && rng_.one_in(2) ? near_forward() : near_back();
                return ins(b, Size::S, target);
            });
        }
        auto relative = [](std::int64_t n) {
            return n == 0 ? std::string("*") : n > 0 ? "*+" + std::to_string(n) : "*-" + std::to_string(-n);
        };
        repeat(variants() * 16, [&] {  // short: displacement n-2 in -128..127 and not 0
            std::int64_t n = 2 * rng_.range(-63, 64);
            if (n == 2) n = 4;
            return ins(rng_.pick(branches), Size::S, relative(n));
        });
        repeat(variants() * 16, [&] { return ins(rng_.pick(branches), Size::W, relative(2 * rng_.range(-3000, 3000))); });
        repeat(variants() * 4, [&] {
            return ins("lea", Size::None, relative(2 * rng_.range(-3000, 3000)) + "(" + kw("pc") + ")," + areg());
        });
        std::vector<std::string> decrements = {"dbt", "dbf", "dbra"};
        for (const std::string& cc : kConditions) decrements.push_back("db" + cc);
        for (const std::string& db : decrements)
            repeat(variants() * 2, [&] { return ins(db, Size::None, dreg() + "," + (rng_.one_in(3) ? near() : far())); });
        for (const char* m : {"jmp", "jsr", "pea"})
            for (Mode dst : modes_in(kControl))
                for (Size s : {Size::None, std::string(m) == "pea" ? Size::L : Size::None})
                    repeat(variants(), [&] { return ins(m, s, ea(dst, Size::L)); });
        for (Size s : {Size::None, Size::L})
            for (Mode src : modes_in(kControl))
                repeat(variants(), [&] { return ins("lea", s, ea(src, Size::L) + "," + areg()); });
        for (Size s : {Size::None, Size::W})
            repeat(variants() * 4, [&] {
                std::int64_t d = rng_.one_in(4) ? rng_.pick(std::vector<std::int64_t>{0, -32768, 32767, -4})
                                                : rng_.range(-32768, 32767);
                return ins("link", s, areg() + ",#" + number(d, false));
            });
        repeat(8, [&] { return ins("unlk", Size::None, areg()); });
        repeat(16, [&] { return ins("trap", Size::None, "#" + number(rng_.range(0, 15), false)); });
        repeat(variants() * 4, [&] { return ins("stop", Size::None, "#" + number(rng_.range(0, 0xFFFF), false)); });
        for (const char* m : {"nop", "rts", "rte", "rtr", "reset", "illegal", "trapv"}) {
            line([&] { return std::string("\t") + m; });
            line([&] { return std::string("\t") + to_upper(m); });
        }
    }

    void family_movem() {
        for (Size size : {Size::W, Size::L, Size::None}) {
            for (Mode dst : modes_in(kCtrlAlt | kPreDec))
                repeat(variants() * 2, [&] { return ins("movem", size, register_list() + "," + ea(dst, size)); });
            for (Mode src : modes_in(kControl | kPostInc))
                repeat(variants() * 2, [&] { return ins("movem", size, ea(src, size) + "," + register_list()); });
        }
        for (Size size : {Size::W, Size::L}) {
            auto disp = [&] {
                std::string d = displacement16(true);
                return rng_.one_in(2) ? d + "(" + areg() + ")" : "(" + d + "," + areg() + ")";
            };
            repeat(variants() * 4, [&] { return ins("movep", size, dreg() + "," + disp()); });
            repeat(variants() * 4, [&] { return ins("movep", size, disp() + "," + dreg()); });
        }
    }

    void family_data() {
        repeat(variants() * 6, [&] {
            std::string values;
            int count = static_cast<int>(rng_.range(1, 3)) * 2;
            for (int i = 0; i < count; ++i) values += (i ? "," : "") + number(pick_byte(), false, 1);
            return ins("dc", Size::B, values);
        });
        repeat(variants() * 4, [&] {
            std::string text;
            int count = static_cast<int>(rng_.range(1, 4)) * 2;
            for (int i = 0; i < count; ++i) text += static_cast<char>(rng_.one_in(2) ? 'a' + rng_.range(0, 25) : '0' + rng_.range(0, 9));
            return ins("dc", Size::B, "'" + text + "'");
        });
        repeat(variants() * 6, [&] {
            std::string values;
            int count = static_cast<int>(rng_.range(1, 3));
            for (int i = 0; i < count; ++i) values += (i ? "," : "") + number(pick_word(), false, 2);
            return ins("dc", Size::W, values);
        });
        repeat(variants() * 6, [&] {
            std::string values;
            int count = static_cast<int>(rng_.range(1, 3));
            for (int i = 0; i < count; ++i) {
                std::string v = number(pick_long(), false, 4);
                if (opt_.absolute_labels && rng_.one_in(3)) {
                    used_absolute_labels_ = true;
                    v = far();
                }
                values += (i ? "," : "") + v;
            }
            return ins("dc", Size::L, values);
        });
    }

    void sweep() {
        family_move();
        family_arith();
        family_unary();
        family_shift();
        family_bits();
        family_flow();
        family_movem();
        family_data();
    }

    Options opt_;
    Rng rng_;
    Corpus corpus_;
    std::unordered_set<std::string> seen_;
    bool upper_ = false;
    int since_anchor_ = kAnchorSpacing;  // the first line gets an anchor
    int pending_anchor_ = -1;
    int anchors_made_ = 0;
    int highest_reference_ = -1;
    bool used_absolute_labels_ = false;
    bool closing_ = false;  // placing the last anchors: past the target too
};

}  // namespace

Corpus generate(const Options& options) { return Generator(options).run(); }

std::string ours_text(const Line& line) { return line.label_text + line.ours_body; }
std::string gnu_text(const Line& line) { return line.label_text + line.gnu_body; }

bool write_ours(const Corpus& corpus, const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    for (const Line& line : corpus.lines) out << ours_text(line) << '\n';
    return static_cast<bool>(out);
}

bool write_gnu(const Corpus& corpus, const std::string& path, bool line_markers) {
    std::ofstream out(path, std::ios::binary);
    for (std::size_t i = 0; i < corpus.lines.size(); ++i) {
        const Line& line = corpus.lines[i];
        if (line_markers && line.emits_code) out << 'm' << i << ":\n";
        out << gnu_text(line) << '\n';
    }
    return static_cast<bool>(out);
}

const std::vector<std::string>& required_mnemonics() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n = {
            "abcd", "add", "adda", "addi", "addq", "addx", "and", "andi", "asl", "asr", "bchg", "bclr",
            "bset", "btst", "bra", "bsr", "chk", "clr", "cmp", "cmpa", "cmpi", "cmpm", "dbt", "dbf",
            "dbra", "divs", "divu", "eor", "eori", "exg", "ext", "illegal", "jmp", "jsr", "lea", "link",
            "lsl", "lsr", "move", "movea", "movem", "movep", "moveq", "muls", "mulu", "nbcd", "neg",
            "negx", "nop", "not", "or", "ori", "pea", "reset", "rol", "ror", "roxl", "roxr", "rte", "rtr",
            "rts", "sbcd", "st", "sf", "stop", "sub", "suba", "subi", "subq", "subx", "swap", "tas",
            "trap", "trapv", "tst", "unlk"};
        for (const std::string& cc : kConditions) {
            n.push_back("b" + cc);
            n.push_back("db" + cc);
            n.push_back("s" + cc);
        }
        return n;
    }();
    return names;
}

std::string mnemonic_of(const std::string& body) {
    std::size_t start = body.find_first_not_of(" \t");
    if (start == std::string::npos) return "";
    std::size_t end = body.find_first_of(" \t.", start);
    std::string word = body.substr(start, end == std::string::npos ? std::string::npos : end - start);
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return word;
}

}  // namespace corpus
