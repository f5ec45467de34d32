// The report that ends every run: a headline, CR LF, and the assembler's output.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "run_log.h"

// The image as one line of "%02X " groups: exactly 3 * count characters.
std::wstring FormatHexDump(const unsigned char* bytes, std::size_t count);

// The headline, CR LF, and the log widened byte for byte (0x80..0xFF become
// U+0080..U+00FF; nothing is decoded, line breaks pass through unchanged).
std::wstring ComposeReport(const wchar_t* headline, const RunLog& log);

// Makes the composed report the whole content of the dialog's output pane.
void ShowRunReport(HWND dialog, const wchar_t* headline, const RunLog& log);
