#include "installer/channelcipher.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace vorn {
namespace {

// Tables as published; entries are 1-based bit numbers.
// clang-format off
const uint8_t kIP[64] = {58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
                         62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
                         57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
                         61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};
const uint8_t kFP[64] = {40, 8, 48, 16, 56, 24, 64, 32, 39, 7, 47, 15, 55, 23, 63, 31,
                         38, 6, 46, 14, 54, 22, 62, 30, 37, 5, 45, 13, 53, 21, 61, 29,
                         36, 4, 44, 12, 52, 20, 60, 28, 35, 3, 43, 11, 51, 19, 59, 27,
                         34, 2, 42, 10, 50, 18, 58, 26, 33, 1, 41, 9,  49, 17, 57, 25};
const uint8_t kE[48] = {32, 1,  2,  3,  4,  5,  4,  5,  6,  7,  8,  9,  8,  9,  10, 11,
                        12, 13, 12, 13, 14, 15, 16, 17, 16, 17, 18, 19, 20, 21, 20, 21,
                        22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1};
const uint8_t kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                        2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};
const uint8_t kPC1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                          10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                          63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                          14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
const uint8_t kPC2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                          26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                          51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
// The channel variant's 36th PC-2 entry takes bit 47 instead of 48.
const size_t kPC2ChangedEntry = 35;
const uint8_t kPC2ChangedValue = 47;
const uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};
const uint8_t kS[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8,  3,  10, 6,  12, 5,  9,  0, 7,  0, 15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5,  3,  8,  4,  1,  14, 8,  13, 6, 2, 11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2,  4,  9,  1,  7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4,  9,  7, 2,  13, 12, 0, 5,  10, 3,  13, 4,  7,  15, 2,
     8,  14, 12, 0,  1,  10, 6,  9,  11, 5, 0,  14, 7,  11, 10, 4, 13, 1,  5,  8,  12, 6,
     9,  3,  2,  15, 13, 8,  10, 1,  3,  15, 4,  2,  11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6,  3,  15, 5,  1,  13, 12, 7,  11, 4,  2,  8,  13, 7,  0,  9,  3,  4,
     6,  10, 2,  8,  5,  14, 12, 11, 15, 1,  13, 6,  4,  9,  8,  15, 3,  0,  11, 1,  2,  12,
     5,  10, 14, 7,  1,  10, 13, 0,  6,  9,  8,  7,  4,  15, 14, 3,  11, 5,  2,  12},
    {7,  13, 14, 3,  0,  6,  9,  10, 1,  2,  8,  5,  11, 12, 4,  15, 13, 8,  11, 5,  6,  15,
     0,  3,  4,  7,  2,  12, 1,  10, 14, 9,  10, 6,  9,  0,  12, 11, 7,  13, 15, 1,  3,  14,
     5,  2,  8,  4,  3,  15, 0,  6,  10, 1,  13, 8,  9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4,  1,  7,  10, 11, 6,  8,  5,  3,  15, 13, 0, 14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5,  0,  15, 10, 3,  9,  8,  6,  4,  2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0,  14, 11, 8,  12, 7,  1,  14, 2,  13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6,  8,  0,  13, 3,  4,  14, 7,  5,  11, 10, 15, 4,  2,  7,  12,
     9,  5,  6,  1,  13, 14, 0,  11, 3,  8,  9,  14, 15, 5,  2,  8,  12, 3,  7,  0,  4,  10,
     1,  13, 11, 6,  4,  3,  2,  12, 9,  5,  15, 10, 11, 14, 1,  7,  6,  0,  8,  13},
    {4,  11, 2,  14, 15, 0,  8,  13, 3,  12, 9,  7,  5,  10, 6,  1,  13, 0,  11, 7,  4,  9,
     1,  10, 14, 3,  5,  12, 2,  15, 8,  6,  1,  4,  11, 13, 12, 3,  7,  14, 10, 15, 6,  8,
     0,  5,  9,  2,  6,  11, 13, 8,  1,  4,  10, 7,  9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2,  8,  4,  6,  15, 11, 1,  10, 9,  3,  14, 5,  0,  12, 7,  1,  15, 13, 8,  10, 3,
     7,  4,  12, 5,  6,  11, 0,  14, 9,  2,  7,  11, 4,  1,  9,  12, 14, 2,  0,  6,  10, 13,
     15, 3,  5,  8,  2,  1,  14, 7,  4,  10, 8,  13, 15, 12, 9,  0,  3,  5,  6,  11},
};

// clang-format on

// bits[i] holds bit number i + 1 of the block.
void Unpack(const uint8_t bytes[8], bool lsbFirst, uint8_t bits[64]) {
    for (int n = 0; n < 64; ++n) {
        const int shift = lsbFirst ? (n % 8) : (7 - n % 8);
        bits[n] = (bytes[n / 8] >> shift) & 1;
    }
}

void Pack(const uint8_t bits[64], bool lsbFirst, uint8_t bytes[8]) {
    std::memset(bytes, 0, 8);
    for (int n = 0; n < 64; ++n) {
        const int shift = lsbFirst ? (n % 8) : (7 - n % 8);
        bytes[n / 8] |= static_cast<uint8_t>(bits[n] << shift);
    }
}

void RotateLeft28(uint8_t* half, int count) {
    for (int c = 0; c < count; ++c) {
        const uint8_t first = half[0];
        std::memmove(half, half + 1, 27);
        half[27] = first;
    }
}

}  // namespace

DesCipher::DesCipher(const uint8_t key[8], DesVariant variant)
    : lsbFirst_(variant == DesVariant::Channel) {
    uint8_t keyBits[64];
    Unpack(key, lsbFirst_, keyBits);
    uint8_t cd[56];
    for (int i = 0; i < 56; ++i)
        cd[i] = keyBits[kPC1[i] - 1];
    for (int round = 0; round < 16; ++round) {
        RotateLeft28(cd, kShifts[round]);
        RotateLeft28(cd + 28, kShifts[round]);
        for (size_t i = 0; i < 48; ++i) {
            uint8_t entry = kPC2[i];
            if (variant == DesVariant::Channel && i == kPC2ChangedEntry)
                entry = kPC2ChangedValue;
            roundKeys_[round][i] = cd[entry - 1];
        }
    }
}

void DesCipher::EncryptBlock(const uint8_t in[8], uint8_t out[8]) const {
    Crypt(in, out, false);
}

void DesCipher::DecryptBlock(const uint8_t in[8], uint8_t out[8]) const {
    Crypt(in, out, true);
}

void DesCipher::Crypt(const uint8_t in[8], uint8_t out[8], bool decrypt) const {
    uint8_t bits[64], lr[64];
    Unpack(in, lsbFirst_, bits);
    for (int i = 0; i < 64; ++i)
        lr[i] = bits[kIP[i] - 1];
    uint8_t* left = lr;
    uint8_t* right = lr + 32;
    for (int round = 0; round < 16; ++round) {
        const uint8_t* k = roundKeys_[decrypt ? 15 - round : round];
        uint8_t x[48];
        for (int i = 0; i < 48; ++i)
            x[i] = right[kE[i] - 1] ^ k[i];
        uint8_t s[32];
        for (int box = 0; box < 8; ++box) {
            const uint8_t* b = x + box * 6;
            const int row = (b[0] << 1) | b[5];
            const int col = (b[1] << 3) | (b[2] << 2) | (b[3] << 1) | b[4];
            const uint8_t v = kS[box][row * 16 + col];
            for (int j = 0; j < 4; ++j)
                s[box * 4 + j] = (v >> (3 - j)) & 1;
        }
        uint8_t f[32];
        for (int i = 0; i < 32; ++i)
            f[i] = s[kP[i] - 1] ^ left[i];
        std::memcpy(left, right, 32);
        std::memcpy(right, f, 32);
    }
    // undo the exchange after the last round
    uint8_t preout[64];
    std::memcpy(preout, right, 32);
    std::memcpy(preout + 32, left, 32);
    for (int i = 0; i < 64; ++i)
        bits[i] = preout[kFP[i] - 1];
    Pack(bits, lsbFirst_, out);
}

size_t FinalBlockLength(const uint8_t block[8]) {
    const int d = static_cast<int8_t>(block[7]);
    if (d < 1 || d > 7)
        return 8;
    for (int i = 8 - d; i <= 6; ++i) {
        if (block[i] != 0)
            return 8;
    }
    return 8 - d;
}

std::vector<uint8_t> DecryptChannelData(const std::vector<uint8_t>& cipher, const uint8_t key[8]) {
    const DesCipher des(key);
    const size_t blocks = cipher.size() / 8;
    std::vector<uint8_t> plain;
    plain.reserve(blocks * 8);
    for (size_t b = 0; b < blocks; ++b) {
        uint8_t out[8];
        des.DecryptBlock(&cipher[b * 8], out);
        const size_t keep = (b + 1 == blocks) ? FinalBlockLength(out) : 8;
        plain.insert(plain.end(), out, out + keep);
    }
    return plain;
}

bool EncryptChannelData(const std::vector<uint8_t>& plain, const uint8_t key[8],
                        std::vector<uint8_t>& cipher, std::string& error) {
    std::vector<uint8_t> padded = plain;
    const size_t rest = plain.size() % 8;
    if (rest != 0) {
        const size_t d = 8 - rest;
        padded.insert(padded.end(), d - 1, 0);
        padded.push_back(static_cast<uint8_t>(d));
    } else if (!plain.empty() && FinalBlockLength(&plain[plain.size() - 8]) != 8) {
        error = "the text ends in bytes that would be read as padding";
        return false;
    }
    const DesCipher des(key);
    cipher.assign(padded.size(), 0);
    for (size_t b = 0; b < padded.size(); b += 8)
        des.EncryptBlock(&padded[b], &cipher[b]);
    return true;
}

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f != nullptr)
            std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

int32_t DecryptOpenedFiles(const FilePtr& in, const uint8_t key[8], const FilePtr& out) {
    if (!in)
        return -3;
    if (!out)
        return -1;
    std::vector<uint8_t> cipher;
    uint8_t chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, in.get())) > 0) {
        cipher.insert(cipher.end(), chunk, chunk + n);
    }
    const std::vector<uint8_t> plain = DecryptChannelData(cipher, key);
    if (!plain.empty())
        std::fwrite(plain.data(), 1, plain.size(), out.get());
    return 1;
}

}  // namespace

int32_t DesDecryptFile(const char* cipherPath, const uint8_t key[8], const char* plainPath) {
    FilePtr in(std::fopen(cipherPath, "rb"));
    FilePtr out(in ? std::fopen(plainPath, "wb") : nullptr);
    return DecryptOpenedFiles(in, key, out);
}

#ifdef _WIN32
int32_t DesDecryptFile(const std::wstring& cipherPath, const uint8_t key[8],
                       const std::wstring& plainPath) {
    FilePtr in(::_wfopen(cipherPath.c_str(), L"rb"));
    FilePtr out(in ? ::_wfopen(plainPath.c_str(), L"wb") : nullptr);
    return DecryptOpenedFiles(in, key, out);
}
#endif

}  // namespace vorn
