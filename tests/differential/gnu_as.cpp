#include "gnu_as.h"

#include "process.h"

#include <sstream>

namespace gnu_as {

Toolchain find_toolchain() {
    Toolchain t;
    struct Entry { std::string* path; const char* name; };
    for (Entry e : {Entry{&t.as, "m68k-linux-gnu-as"}, Entry{&t.ld, "m68k-linux-gnu-ld"},
                    Entry{&t.objcopy, "m68k-linux-gnu-objcopy"}, Entry{&t.nm, "m68k-linux-gnu-nm"}}) {
        *e.path = tools::find_in_path(e.name);
        if (e.path->empty()) t.missing += std::string(t.missing.empty() ? "" : ", ") + e.name;
    }
    return t;
}

const std::vector<std::string>& as_flags() {
    static const std::vector<std::string> flags = {"-m68000", "-M", "--bitwise-or", "--base-size-default-16"};
    return flags;
}

const std::vector<std::string>& standard_syntax_flags() {
    static const std::vector<std::string> flags = {"-m68000", "--register-prefix-optional"};
    return flags;
}

std::vector<std::vector<std::string>> image_commands(const Toolchain& t, const std::string& source,
                                                     const std::string& work_prefix, bool link,
                                                     const std::vector<std::string>& flags) {
    const std::string object = work_prefix + ".o", linked = work_prefix + ".elf", image = work_prefix + ".bin";
    std::vector<std::vector<std::string>> commands;
    std::vector<std::string> as_command = {t.as};
    as_command.insert(as_command.end(), flags.begin(), flags.end());
    as_command.insert(as_command.end(), {"-o", object, source});
    commands.push_back(as_command);
    if (link) commands.push_back({t.ld, "-Ttext=0", "-e", "0", "-o", linked, object});
    commands.push_back({t.objcopy, "-O", "binary", "-j", ".text", link ? linked : object, image});
    return commands;
}

Assembly assemble(const Toolchain& t, const std::string& source, const std::string& work_prefix,
                  bool link, bool want_symbols, const std::vector<std::string>& flags) {
    Assembly result;
    const std::string program = work_prefix + (link ? ".elf" : ".o"), image = work_prefix + ".bin",
                      log = work_prefix + ".log";
    for (const std::vector<std::string>& command : image_commands(t, source, work_prefix, link, flags)) {
        tools::Result r = tools::run_capture(command, log);
        result.messages += r.output;
        if (r.exit_code != 0) return result;
    }
    if (!tools::read_file(image, result.image)) return result;

    if (want_symbols) {
        tools::Result r = tools::run_capture({t.nm, program}, log);
        if (r.exit_code != 0) {
            result.messages += r.output;
            return result;
        }
        std::istringstream lines(r.output);
        std::string text;
        while (std::getline(lines, text)) {
            std::istringstream fields(text);
            std::string address, kind, name;
            if (fields >> address >> kind >> name)  // undefined symbols have no address
                result.symbols[name] = static_cast<std::uint32_t>(std::stoul(address, nullptr, 16));
        }
    }
    result.ok = true;
    return result;
}

}  // namespace gnu_as
