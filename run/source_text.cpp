#include "source_text.h"

namespace {

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::string NarrowSourceText(const wchar_t* text, std::size_t length) {
    std::string narrow;
    narrow.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        wchar_t c = text[i];
        if (c <= 0xFF) {
            narrow.push_back(static_cast<char>(c));
            continue;
        }
        narrow.push_back('?');
        if (IsHighSurrogate(c) && i + 1 < length && IsLowSurrogate(text[i + 1])) ++i;
    }
    return narrow;
}
