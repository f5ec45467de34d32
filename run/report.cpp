#include "report.h"

#include <cwchar>
#include <stdexcept>

#include "resource.h"

std::wstring FormatHexDump(const unsigned char* bytes, std::size_t count) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    // Refused before 3 * count can wrap around to a short string.
    if (count > std::wstring().max_size() / 3) throw std::length_error("hex dump too long");
    std::wstring dump(3 * count, L' ');
    wchar_t* out = &dump[0];
    for (std::size_t i = 0; i < count; ++i, out += 3) {
        out[0] = kDigits[bytes[i] >> 4];
        out[1] = kDigits[bytes[i] & 0x0F];
    }
    return dump;
}

std::wstring ComposeReport(const wchar_t* headline, const RunLog& log) {
    std::size_t headlineLength = std::wcslen(headline);
    std::wstring report;
    report.reserve(headlineLength + 2 + log.size());
    report.append(headline, headlineLength);
    report.append(L"\r\n");
    for (unsigned char byte : log) report.push_back(static_cast<wchar_t>(byte));
    return report;
}

void ShowRunReport(HWND dialog, const wchar_t* headline, const RunLog& log) {
    std::wstring report = ComposeReport(headline, log);
    SetDlgItemTextW(dialog, IDC_OUTPUT, report.c_str());
}
