// The channel file's cipher: DES in ECB mode with the bits of every byte
// numbered from the least significant one and one changed entry of the
// second key permutation. Portable: the host tool shares it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vorn {

enum class DesVariant {
    Channel,   // the channel file's variant
    Standard,  // FIPS 46-3 as published, for comparison in tests
};

class DesCipher {
  public:
    explicit DesCipher(const uint8_t key[8], DesVariant variant = DesVariant::Channel);
    void EncryptBlock(const uint8_t in[8], uint8_t out[8]) const;
    void DecryptBlock(const uint8_t in[8], uint8_t out[8]) const;

  private:
    void Crypt(const uint8_t in[8], uint8_t out[8], bool decrypt) const;
    // round keys, 48 bits each, bit i of the key in element i
    uint8_t roundKeys_[16][48];
    bool lsbFirst_;
};

// Bytes of the deciphered final block that are kept: 8 - d when its last byte
// d is 1..7 and the d - 1 bytes before it are zero, else 8.
size_t FinalBlockLength(const uint8_t block[8]);

// Deciphers whole blocks; a short tail is dropped, an empty input gives nothing.
std::vector<uint8_t> DecryptChannelData(const std::vector<uint8_t>& cipher, const uint8_t key[8]);

// Pads (d - 1 zero bytes and the byte d) to whole blocks and enciphers. Fails
// for a text of whole blocks whose end would be taken for padding.
bool EncryptChannelData(const std::vector<uint8_t>& plain, const uint8_t key[8],
                        std::vector<uint8_t>& cipher, std::string& error);

// 1 done, -3 the cipher file cannot be read, -1 the plain file cannot be created.
int32_t DesDecryptFile(const char* cipherPath, const uint8_t key[8], const char* plainPath);
#ifdef _WIN32
int32_t DesDecryptFile(const std::wstring& cipherPath, const uint8_t key[8],
                       const std::wstring& plainPath);
#endif

}  // namespace vorn
