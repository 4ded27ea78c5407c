// GoogleTest main that also keeps the program's --name=value arguments.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

namespace vorn::test {
std::map<std::string, std::string>& Args();
void InstallCrashReport();
}  // namespace vorn::test

int main(int argc, char** argv) {
    // Unbuffered, so that a crash loses none of what the tests printed before it
    // (the C runtime buffers a pipe fully).
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    testing::InitGoogleTest(&argc, argv);
    vorn::test::InstallCrashReport();
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a.rfind("--", 0) != 0)
            continue;
        const size_t eq = a.find('=');
        if (eq == std::string::npos)
            continue;
        vorn::test::Args()[a.substr(2, eq - 2)] = a.substr(eq + 1);
    }
    return RUN_ALL_TESTS();
}
