// The channel file's cipher: any bytes deciphered with the product's key and
// with one taken from the input; what enciphers must decipher to itself.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "installer/channelcipher.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Every block is deciphered alike: longer inputs only slow the search.
    if (size > 256)
        return 0;
    static const uint8_t kKey[8] = {'m', 'o', 'r', 'v', 'e', 'k', '3', '7'};
    const std::vector<uint8_t> bytes(data, data + size);
    const std::vector<uint8_t> plain = vorn::DecryptChannelData(bytes, kKey);
    if (plain.size() > size || plain.size() + 7 < (size / 8) * 8)
        __builtin_trap();

    if (size < 8)
        return 0;
    uint8_t key[8];
    std::memcpy(key, data, 8);
    const std::vector<uint8_t> text(data + 8, data + size);
    std::vector<uint8_t> cipher;
    std::string error;
    if (vorn::EncryptChannelData(text, key, cipher, error)) {
        if (cipher.size() % 8 != 0 || vorn::DecryptChannelData(cipher, key) != text)
            __builtin_trap();
    }
    return 0;
}
