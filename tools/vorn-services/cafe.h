// The cafe-information service: the cafe document, scrambled and wrapped.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vorn::svc {

using CafeKey = std::array<uint8_t, 8>;

// "0x5A3C9E17,0xC4D2816B": two 32-bit constants, each contributing its four
// bytes in little-endian order (the first gives key bytes 1-4).
bool ParseCafeKey(const std::string& text, CafeKey* key);

// Byte i exclusive-or key byte (i mod 8); applying it twice gives the input.
std::string ScrambleCafe(const std::string& bytes, const CafeKey& key);

// Standard alphabet with padding, no line breaks.
std::string Base64Encode(const std::string& bytes);

// CXR_LOC_JSONP({"data":"<base64 of the scrambled document>"})
std::string CafeAnswer(const std::string& document, const CafeKey& key);

}  // namespace vorn::svc
