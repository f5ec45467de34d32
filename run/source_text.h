// The source pane's text on its way to the 8-bit work file.
#pragma once

#include <cstddef>
#include <string>

// Narrows UTF-16 text to 8-bit characters: characters 0 to 255 become the byte
// of the same value; any other character becomes '?', a surrogate pair a single
// '?', and the text after it is kept in full.
std::string NarrowSourceText(const wchar_t* text, std::size_t length);
