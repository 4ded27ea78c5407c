// Crashes on purpose, so that the harness can show that a crash under Wine is
// reported with the exception and the running test rather than in silence.
#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

namespace {

volatile int* volatile g_nowhere = nullptr;

TEST(CrashProbe, ReadsAddressZero) {
    EXPECT_EQ(*g_nowhere, 0);
}

TEST(CrashProbe, ThrowsInThread) {
    std::thread t([] { throw std::runtime_error("thrown where nobody catches"); });
    t.join();
}

}  // namespace
