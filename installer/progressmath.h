// The megabyte figures of the progress window in 64-bit arithmetic, so that
// packages of 2 GiB or more show the same counter as small ones. The
// percentage itself is vorn::ProgressPercent, shared with the download.
#pragma once

#include <cstdint>

// Whole MiB of a byte count.
int64_t WholeMegabytes(uint64_t bytes);

// The megabytes done at a whole percentage of totalMB, computed in single
// precision as the counter always was, truncated.
int64_t MegabytesDone(int64_t totalMB, int percent);
