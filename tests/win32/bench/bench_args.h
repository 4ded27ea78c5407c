// "--name=value" arguments of the benchmark programs.
#pragma once

#include <cstdlib>
#include <cstring>
#include <string>

#include "util/string_util.h"

namespace vorn::bench {

inline std::string Arg(int argc, char** argv, const char* name, const char* fallback = "") {
    const size_t n = std::strlen(name);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], name, n) == 0 && argv[i][n] == '=')
            return argv[i] + n + 1;
    }
    return fallback;
}

inline std::wstring WideArg(int argc, char** argv, const char* name) {
    return vorn::AnsiToWide(Arg(argc, argv, name));
}

inline long long NumberArg(int argc, char** argv, const char* name, long long fallback) {
    const std::string text = Arg(argc, argv, name);
    return text.empty() ? fallback : std::atoll(text.c_str());
}

inline double MiB(unsigned long long bytes) {
    return static_cast<double>(bytes) / 1048576.0;
}

}  // namespace vorn::bench
