// vorn-channel: makes and reads channel files.
//   vorn-channel encrypt --key KEY IN OUT
//   vorn-channel decrypt --key KEY IN OUT
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "installer/channelcipher.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: vorn-channel encrypt --key KEY IN OUT\n"
                 "       vorn-channel decrypt --key KEY IN OUT\n"
                 "KEY is 8 characters.\n");
    return 2;
}

bool ReadFile(const char* path, std::vector<uint8_t>& data) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteFile(const char* path, const std::vector<uint8_t>& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6 || std::strcmp(argv[2], "--key") != 0)
        return Usage();
    const std::string mode = argv[1];
    const std::string key = argv[3];
    if ((mode != "encrypt" && mode != "decrypt") || key.size() != 8)
        return Usage();
    const auto* keyBytes = reinterpret_cast<const uint8_t*>(key.data());

    if (mode == "decrypt") {
        // The installer's own file routine, byte for byte.
        const int32_t r = vorn::DesDecryptFile(argv[4], keyBytes, argv[5]);
        if (r == -3)
            std::fprintf(stderr, "vorn-channel: cannot read %s\n", argv[4]);
        if (r == -1)
            std::fprintf(stderr, "vorn-channel: cannot write %s\n", argv[5]);
        return r == 1 ? 0 : 1;
    }

    std::vector<uint8_t> plain, cipher;
    if (!ReadFile(argv[4], plain)) {
        std::fprintf(stderr, "vorn-channel: cannot read %s\n", argv[4]);
        return 1;
    }
    std::string error;
    if (!vorn::EncryptChannelData(plain, keyBytes, cipher, error)) {
        std::fprintf(stderr, "vorn-channel: %s\n", error.c_str());
        return 1;
    }
    if (!WriteFile(argv[5], cipher)) {
        std::fprintf(stderr, "vorn-channel: cannot write %s\n", argv[5]);
        return 1;
    }
    return 0;
}
