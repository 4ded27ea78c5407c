#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <gtest/gtest.h>

#include <cstring>

#include "installer/channelcipher.h"

using namespace vorn;

namespace {

const uint8_t kKey[8] = {'m', 'o', 'r', 'v', 'e', 'k', '3', '7'};

// Enciphers one block with OpenSSL's DES as published.
void StandardDes(const uint8_t in[8], uint8_t out[8]) {
    DES_cblock key;
    std::memcpy(key, kKey, 8);
    DES_key_schedule schedule;
    DES_set_key_unchecked(&key, &schedule);
    DES_cblock input, output;
    std::memcpy(input, in, 8);
    DES_ecb_encrypt(&input, &output, &schedule, DES_ENCRYPT);
    std::memcpy(out, output, 8);
}

std::vector<uint8_t> Bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

// A final block whose plain text is `plain` exactly (no padding added).
std::vector<uint8_t> BlockFor(const std::vector<uint8_t>& plain) {
    const DesCipher des(kKey);
    std::vector<uint8_t> cipher(8);
    des.EncryptBlock(plain.data(), cipher.data());
    return cipher;
}

}  // namespace

TEST(DesCipher, StandardVariantMatchesOpenSsl) {
    const DesCipher standard(kKey, DesVariant::Standard);
    uint8_t block[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    for (int round = 0; round < 64; ++round) {
        uint8_t mine[8], reference[8], back[8];
        standard.EncryptBlock(block, mine);
        StandardDes(block, reference);
        ASSERT_EQ(0, std::memcmp(mine, reference, 8)) << "block " << round;
        standard.DecryptBlock(mine, back);
        ASSERT_EQ(0, std::memcmp(back, block, 8));
        std::memcpy(block, mine, 8);
    }
}

TEST(DesCipher, StandardCipherTextDoesNotDecipherToTheSameText) {
    const std::string text = "[Public]\r\nchannel=vx_pc_000001\r\n";
    ASSERT_EQ(text.size() % 8, 0u);
    std::vector<uint8_t> cipher(text.size());
    for (size_t b = 0; b < text.size(); b += 8) {
        StandardDes(reinterpret_cast<const uint8_t*>(text.data()) + b, &cipher[b]);
    }
    const std::vector<uint8_t> plain = DecryptChannelData(cipher, kKey);
    EXPECT_NE(std::string(plain.begin(), plain.end()), text);
}

TEST(DesCipher, BothDeviationsAreNeeded) {
    // Bit order alone: the standard cipher applied to bit-reversed bytes would
    // match if PC-2 were unchanged; it must not.
    auto reverse = [](uint8_t v) {
        uint8_t r = 0;
        for (int i = 0; i < 8; ++i)
            r |= ((v >> i) & 1) << (7 - i);
        return r;
    };
    uint8_t key[8], in[8] = {'[', 'P', 'u', 'b', 'l', 'i', 'c', ']'}, rin[8];
    for (int i = 0; i < 8; ++i) {
        key[i] = reverse(kKey[i]);
        rin[i] = reverse(in[i]);
    }
    const DesCipher reversedStandard(key, DesVariant::Standard);
    uint8_t a[8], b[8];
    reversedStandard.EncryptBlock(rin, a);
    for (auto& v : a)
        v = reverse(v);
    DesCipher(kKey).EncryptBlock(in, b);
    EXPECT_NE(0, std::memcmp(a, b, 8));
    // PC-2 alone: the variant differs from the standard in more than the bit order
    uint8_t c[8];
    DesCipher(kKey, DesVariant::Standard).EncryptBlock(in, c);
    EXPECT_NE(0, std::memcmp(b, c, 8));
}

TEST(FinalBlock, PaddingRules) {
    const uint8_t three[8] = {'a', 'b', 'c', 'd', 0, 0, 0, 3};
    EXPECT_EQ(FinalBlockLength(three), 5u);
    const uint8_t notPadding[8] = {'a', 'b', 'c', 'd', 0, 0, 1, 3};
    EXPECT_EQ(FinalBlockLength(notPadding), 8u);
    const uint8_t one[8] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 1};
    EXPECT_EQ(FinalBlockLength(one), 7u);
    const uint8_t eight[8] = {0, 0, 0, 0, 0, 0, 0, 8};
    EXPECT_EQ(FinalBlockLength(eight), 8u);
    const uint8_t zero[8] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 0};
    EXPECT_EQ(FinalBlockLength(zero), 8u);
    const uint8_t negative[8] = {0, 0, 0, 0, 0, 0, 0, 0xFD};
    EXPECT_EQ(FinalBlockLength(negative), 8u);
    const uint8_t seven[8] = {'a', 0, 0, 0, 0, 0, 0, 7};
    EXPECT_EQ(FinalBlockLength(seven), 1u);
}

TEST(FinalBlock, AppliedToTheLastBlockOnly) {
    // one block of exactly 8 bytes goes through the rule
    EXPECT_EQ(DecryptChannelData(BlockFor({'a', 'b', 'c', 'd', 0, 0, 0, 3}), kKey),
              (std::vector<uint8_t>{'a', 'b', 'c', 'd', 0}));
    // a first block that looks padded is written whole
    std::vector<uint8_t> two = BlockFor({'x', 0, 0, 0, 0, 0, 0, 7});
    const std::vector<uint8_t> last = BlockFor({'1', '2', '3', '4', '5', '6', '7', '8'});
    two.insert(two.end(), last.begin(), last.end());
    EXPECT_EQ(DecryptChannelData(two, kKey).size(), 16u);
}

TEST(ChannelData, ShortAndEmptyInputs) {
    EXPECT_TRUE(DecryptChannelData({}, kKey).empty());
    EXPECT_TRUE(DecryptChannelData(Bytes("12345"), kKey).empty());
    std::vector<uint8_t> cipher, out;
    std::string error;
    ASSERT_TRUE(EncryptChannelData(Bytes("abcdefgh"), kKey, cipher, error));
    cipher.push_back(0x11);  // a stray tail byte is dropped, not read past
    EXPECT_EQ(DecryptChannelData(cipher, kKey), Bytes("abcdefgh"));
}

TEST(ChannelData, EncipherPadsSoThatDecipheringRestoresTheText) {
    for (const std::string text : {"", "a", "[Public]\r\nchannel=vx_pc_000001\r\n",
                                   "[Public]\r\nchannel=x\r\n", "1234567"}) {
        std::vector<uint8_t> cipher;
        std::string error;
        ASSERT_TRUE(EncryptChannelData(Bytes(text), kKey, cipher, error)) << text;
        EXPECT_EQ(cipher.size() % 8, 0u);
        EXPECT_EQ(DecryptChannelData(cipher, kKey), Bytes(text)) << text;
    }
    std::vector<uint8_t> cipher;
    std::string error;
    EXPECT_FALSE(EncryptChannelData({'a', 'b', 'c', 'd', 'e', 'f', 0, 2}, kKey, cipher, error));
    EXPECT_FALSE(error.empty());
}
