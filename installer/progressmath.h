// The figures of the progress window in 64-bit arithmetic, so that packages of
// 2 GiB or more show the same percentages and megabytes as small ones.
#pragma once

#include <cstdint>

// current * 100 / total, truncated; a total of 0 counts as 1. Rounded through
// single precision as the window's bar has always been.
int64_t ProgressPercent(uint64_t current, uint64_t total);

// Whole MiB of a byte count.
int64_t WholeMegabytes(uint64_t bytes);

// The megabytes done at a percentage of totalMB, truncated.
int64_t MegabytesDone(int64_t totalMB, double percent);
