// The megabyte figures of the progress window in 64-bit arithmetic, so that
// packages of 2 GiB or more show the same counter as small ones. The
// percentage itself is vorn::ProgressPercent, shared with the download.
#pragma once

#include <cstdint>

// Whole MiB of a byte count.
int64_t WholeMegabytes(uint64_t bytes);

// The megabytes done at a percentage of totalMB: totalMB x (share / 100) in
// single precision, truncated. The share is the unrounded percentage, so that
// 33.4 % of 3 MiB shows 1 MiB done.
int64_t MegabytesDone(int64_t totalMB, float share);
