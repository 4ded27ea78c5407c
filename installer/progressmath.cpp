#include "installer/progressmath.h"

int64_t ProgressPercent(uint64_t current, uint64_t total) {
    const double d = total == 0 ? 1.0 : static_cast<double>(total);
    const float x = static_cast<float>(static_cast<double>(current) * 100.0 / d);
    return static_cast<int64_t>(x);
}

int64_t WholeMegabytes(uint64_t bytes) {
    return static_cast<int64_t>(bytes / 1048576u);
}

int64_t MegabytesDone(int64_t totalMB, double percent) {
    return static_cast<int64_t>(static_cast<float>(totalMB) * static_cast<float>(percent / 100.0));
}
