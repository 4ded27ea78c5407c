// Text conversions between the client's Windows code pages and UTF-8.
#pragma once

#include <string>

namespace vorn::svc {

// Converts bytes in a Windows code page (936, 1252, 65001, ...) to UTF-8. Bytes
// that do not convert become U+FFFD, except the five bytes CP1252 leaves
// undefined, which Windows maps to the C1 controls of the same value. *exact
// (if given) tells whether every byte converted.
std::string CodepageToUtf8(const std::string& bytes, int codepage, bool* exact = nullptr);

// UTF-8 to a Windows code page; false when some character has no mapping.
bool Utf8ToCodepage(const std::string& text, int codepage, std::string* out);

// Replaces invalid UTF-8 sequences with U+FFFD, so that the text can go into JSON.
std::string SanitizeUtf8(const std::string& bytes);

std::string ToHex(const std::string& bytes);  // lower case
bool FromHex(const std::string& hex, std::string* bytes);

}  // namespace vorn::svc
