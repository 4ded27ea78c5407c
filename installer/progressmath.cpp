#include "installer/progressmath.h"

#include <cstdint>

int64_t WholeMegabytes(uint64_t bytes) {
    return static_cast<int64_t>(bytes / 1048576u);
}

int64_t MegabytesDone(int64_t totalMB, float share) {
    // Through volatile so that x87 code rounds to single precision as SSE
    // code does.
    volatile float fraction = share / 100.0f;
    volatile float megabytes = static_cast<float>(totalMB) * fraction;
    const float done = megabytes;
    return done >= 9.2e18f ? INT64_MAX : static_cast<int64_t>(done);
}
