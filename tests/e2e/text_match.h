// Compares report texts character for character and, when they differ,
// says where, with the characters around that place made visible: reports
// run to millions of characters, too many to print whole.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace e2e {

inline std::string Visible(const std::wstring& text, std::size_t from, std::size_t count) {
  std::string shown;
  for (std::size_t i = from; i < text.size() && i < from + count; ++i) {
    wchar_t character = text[i];
    if (character == L'\r') shown += "\\r";
    else if (character == L'\n') shown += "\\n";
    else if (character >= 0x20 && character < 0x7F) shown += static_cast<char>(character);
    else {
      char escaped[16];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(character));
      shown += escaped;
    }
  }
  return shown;
}

inline ::testing::AssertionResult SameText(const std::wstring& expected, const std::wstring& actual) {
  std::size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  if (at == expected.size() && at == actual.size()) return ::testing::AssertionSuccess();
  std::size_t from = at > 20 ? at - 20 : 0;
  return ::testing::AssertionFailure()
         << "texts differ at character " << at << " (expected length " << expected.size()
         << ", actual length " << actual.size() << ")\n  expected: \"" << Visible(expected, from, 60)
         << "\"\n  actual:   \"" << Visible(actual, from, 60) << "\"";
}

}  // namespace e2e
