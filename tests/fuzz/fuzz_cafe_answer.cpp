// The cafe answer: JSONP cut, the payload's JSON, Base64, the key, the cafe document.
#include <cstdint>
#include <string>

#include "installer/serviceanswers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string document;
    const vorn::CafeAnswerStatus status =
        vorn::DecodeCafeAnswer(text, 0x5A3C9E17u, 0xC4D2816Bu, document);
    if (status == vorn::CafeAnswerStatus::Ok || status == vorn::CafeAnswerStatus::NotJson) {
        // Cut at the first zero byte.
        if (document.find('\0') != std::string::npos)
            __builtin_trap();
        vorn::CafeDocument values;
        vorn::ParseCafeDocument(document, values);
    }
    // The input itself as Base64 text and as a document.
    const std::string decoded = vorn::DecodeBase64Prefix(text);
    if (decoded.size() > (size / 4) * 3 + 2)
        __builtin_trap();
    vorn::CafeDocument values;
    vorn::ParseCafeDocument(text, values);
    return 0;
}
