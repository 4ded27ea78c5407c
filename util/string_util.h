// Splitting and the text conversions between wide strings (UTF-16) and the
// narrow encodings the installer deals with: UTF-8, the ANSI code page and
// code page 936. A text that cannot be converted gives an empty string.
#pragma once

#include <string>
#include <vector>

namespace vorn {

// Appends the pieces of text between separators to out; empty pieces are kept.
void SplitString(const std::string& text, const std::string& separator,
                 std::vector<std::string>& out);
void SplitString(const std::wstring& text, const std::wstring& separator,
                 std::vector<std::wstring>& out);

// Each UTF-8 sequence of one to four bytes gives one 16-bit unit (a code point
// above U+FFFF keeps its low 16 bits); an invalid sequence gives an empty string.
std::wstring Utf8ToWide(const std::string& text);
// Each 16-bit unit on its own as one to three bytes.
std::string WideToUtf8(const std::wstring& text);

#ifdef _WIN32
std::wstring AnsiToWide(const std::string& text);
// Empty when a character has no form in the ANSI code page.
std::string WideToAnsi(const std::wstring& text);
// Code page 936; empty when a character has no form there. Leaves the C
// runtime's locale alone, so conversions on other threads are unaffected.
std::string WideToChs(const std::wstring& text);
std::wstring ChsToWide(const std::string& text);
#endif

}  // namespace vorn
