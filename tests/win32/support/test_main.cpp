// GoogleTest main that also keeps the program's --name=value arguments.
#include <gtest/gtest.h>

#include <map>
#include <string>

namespace vorn::test {
std::map<std::string, std::string>& Args();
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
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
